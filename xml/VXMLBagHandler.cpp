#include "xml/VXMLBagHandler.h"

#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

VXMLBagHandler::VXMLBagHandler(VValueBag* bag) : fBag(RetainRefCountable(bag)) {}

VXMLBagHandler::~VXMLBagHandler()
{
    ReleaseRefCountable(&fBag);
}

IXMLHandler* VXMLBagHandler::StartElement(const VString& name)
{
    _FlushText(true);
    VValueBag* child = new VValueBag;
    fBag->AddElement(StPackedDictionaryKey(name), child);
    IXMLHandler* handler = new VXMLBagHandler(child);
    child->Release();
    return handler;
}

void VXMLBagHandler::EndElement(const VString&)
{
    _FlushText(fBag->GetElementNamesCount() > 0);
}

// White space between child elements is the writer's indentation, not content.
void VXMLBagHandler::_FlushText(bool dropSpaceOnly)
{
    if (fText.IsEmpty())
        return;
    bool onlySpace = true;
    for (int32_t i = 0; i < fText.GetLength() && onlySpace; ++i) {
        UniChar c = fText.GetCPointer()[i];
        onlySpace = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    }
    if (!onlySpace || !dropSpaceOnly)
        fBag->AppendToCData(fText);
    fText.Clear();
}

void VXMLBagHandler::SetAttribute(const VString& name, const VString& value)
{
    fBag->SetString(StPackedDictionaryKey(name), value);
}

void VXMLBagHandler::SetText(const VString& text)
{
    fText.AppendString(text);
}

} // namespace nuvo
