#include "xml/IXMLHandler.h"

#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "xml/VXMLParser.h"

namespace nuvo {

IXMLHandler::~IXMLHandler() = default;

IXMLHandler* IXMLHandler::StartElement(const VString&)
{
    return nullptr;
}

void IXMLHandler::EndElement(const VString&) {}

void IXMLHandler::SetAttribute(const VString&, const VString&) {}

void IXMLHandler::SetText(const VString&) {}

VFile* IXMLHandler::ResolveEntity(const VString& systemId)
{
    return VXMLParser::ResolveEntityFromFolder(fEntitiesPrefix, fEntitiesFolder.Get(), systemId);
}

namespace {

bool IsXMLSpace(UniChar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

// Pseudo-attributes: name="value" or name='value' pairs separated by white space. Parsing stops
// at the first malformed pair; what came before it is still reported.
void IXMLHandler::processingInstruction(const VString& target, const VString& data)
{
    if (!target.EqualToUSASCIICString("xml-stylesheet"))
        return;
    StartStyleSheet();
    const UniChar* p = data.GetCPointer();
    const UniChar* end = p + data.GetLength();
    for (;;) {
        while (p < end && IsXMLSpace(*p))
            ++p;
        const UniChar* nameStart = p;
        while (p < end && *p != '=' && !IsXMLSpace(*p))
            ++p;
        const UniChar* nameEnd = p;
        while (p < end && IsXMLSpace(*p))
            ++p;
        if (nameEnd == nameStart || p >= end || *p != '=')
            break;
        ++p;
        while (p < end && IsXMLSpace(*p))
            ++p;
        if (p >= end || (*p != '"' && *p != '\''))
            break;
        UniChar quote = *p++;
        const UniChar* valueStart = p;
        while (p < end && *p != quote)
            ++p;
        if (p >= end)
            break;
        SetStyleSheetAttribute(VString(nameStart, int32_t(nameEnd - nameStart)),
                               VString(valueStart, int32_t(p - valueStart)));
        ++p;
    }
    EndStyleSheet();
}

void IXMLHandler::StartStyleSheet() {}

void IXMLHandler::SetStyleSheetAttribute(const VString&, const VString&) {}

void IXMLHandler::EndStyleSheet() {}

void IXMLHandler::SetEntitiesLocalFolder(const VString& prefix, VFolder* folder)
{
    fEntitiesPrefix = prefix;
    fEntitiesFolder.Set(folder);
}

} // namespace nuvo
