#include "xml/VXMLParser.h"

#include <deque>
#include <mutex>
#include <vector>

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/framework/XMLDocumentHandler.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include "kernel/base/VMemoryBuffer.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "xml/IXMLHandler.h"
#include "xml/XMLErrors.h"

namespace nuvo {

namespace xc = XERCES_CPP_NAMESPACE;

namespace {

// A "billion laughs" document hits the expansion count; a few large entities referenced many
// times hit the text limit. Both fail the parse with 'xmlc' 3 well before memory runs out.
constexpr XMLSize_t kMaxEntityExpansions = 10000;
constexpr uint64_t kMaxTextUnits = uint64_t(16) << 20;

std::mutex sLibraryLock;
bool sLibraryStarted = false;

VString FromXMLCh(const XMLCh* text)
{
    return text ? VString(text) : VString();
}

VString FromXMLCh(const XMLCh* text, XMLSize_t length)
{
    return text ? VString(text, int32_t(length)) : VString();
}

void PushXMLError(VError code, const VString& message, const VString& systemId, const VString& publicId,
                  int64_t line, int64_t column)
{
    VErrorBase* error = new VErrorBase(code);
    VValueBag* bag = error->GetBag();
    bag->SetString(StPackedDictionaryKey("message"), message);
    bag->SetString(StPackedDictionaryKey("systemID"), systemId);
    bag->SetString(StPackedDictionaryKey("publicID"), publicId);
    bag->SetLong8(StPackedDictionaryKey("line"), line);
    bag->SetLong8(StPackedDictionaryKey("column"), column);
    _PushRetainedError(error);
}

// The SAX parser with its scanner's position reachable, for the errors the adapter raises.
class LocatingSAXParser : public xc::SAXParser {
public:
    const xc::Locator* GetLocator() const { return getScanner().getLocator(); }
};

// Thrown by the adapter to stop the parser; the parser cleans up and lets it through.
struct StopParsing {};

// The adapter installed into the SAX parser: keeps the handler stack (one counted reference per
// open element, null for a skipped element) and turns the parser's errors into records.
class SAX_Handlers final : public xc::XMLDocumentHandler, public xc::ErrorHandler, public xc::EntityResolver {
public:
    SAX_Handlers(VXMLParser& parser, IXMLHandler* root, const VString& systemId, bool namespaces)
        : fParser(parser), fSystemId(systemId), fNamespaces(namespaces)
    {
        fStack.push_back(RetainRefCountable(root));
    }
    ~SAX_Handlers() override
    {
        for (IXMLHandler* handler : fStack) {
            if (handler)
                handler->Release();
        }
    }

    int GetErrorCount() const { return fErrorCount; }
    void SetLocator(const xc::Locator* locator) { fLocator = locator; }
    void CountError() { ++fErrorCount; }

    // XMLDocumentHandler
    void docCharacters(const XMLCh* const chars, const XMLSize_t length, const bool) override
    {
        fTextUnits += length;
        if (fTextUnits > kMaxTextUnits) {
            ++fErrorCount;
            const xc::Locator* where = fLocator;
            PushXMLError(VE_XML_FATAL_ERROR, VString("Character data limit exceeded (entity expansion)"),
                         fSystemId, VString(), where ? int64_t(where->getLineNumber()) : 0,
                         where ? int64_t(where->getColumnNumber()) : 0);
            throw StopParsing();
        }
        if (fStack.size() > 1 && fStack.back())
            fStack.back()->SetText(FromXMLCh(chars, length));
    }
    void docComment(const XMLCh* const) override {}
    void docPI(const XMLCh* const target, const XMLCh* const data) override
    {
        if (fStack.back() && target && data)
            fStack.back()->processingInstruction(FromXMLCh(target), FromXMLCh(data));
    }
    void endDocument() override {}
    void endElement(const xc::XMLElementDecl& decl, const unsigned int, const bool, const XMLCh* const prefix) override
    {
        IXMLHandler* top = fStack.back();
        fStack.pop_back();
        if (top) {
            top->EndElement(_Name(decl, prefix));
            top->Release();
        }
    }
    void endEntityReference(const xc::XMLEntityDecl&) override {}
    void ignorableWhitespace(const XMLCh* const, const XMLSize_t, const bool) override {}
    void resetDocument() override {}
    void startDocument() override {}
    void startElement(const xc::XMLElementDecl& decl, const unsigned int, const XMLCh* const prefix,
                      const xc::RefVectorOf<xc::XMLAttr>& attributes, const XMLSize_t attributeCount,
                      const bool isEmpty, const bool) override
    {
        IXMLHandler* top = fStack.back();
        VString name = _Name(decl, prefix);
        IXMLHandler* child = top ? top->StartElement(name) : nullptr;
        if (child) {
            bool withDefaulted = fParser.GetReportDefaultedAttributes();
            for (XMLSize_t i = 0; i < attributeCount; ++i) {
                const xc::XMLAttr* attribute = attributes.elementAt(i);
                if (attribute->getSpecified() || withDefaulted)
                    child->SetAttribute(FromXMLCh(attribute->getQName()), FromXMLCh(attribute->getValue()));
            }
        }
        if (isEmpty) {
            if (child) {
                child->EndElement(name);
                child->Release();
            }
        } else {
            fStack.push_back(child);
        }
    }
    void startEntityReference(const xc::XMLEntityDecl&) override {}
    void XMLDecl(const XMLCh* const, const XMLCh* const, const XMLCh* const, const XMLCh* const) override {}

    // ErrorHandler
    void warning(const xc::SAXParseException&) override {}
    void error(const xc::SAXParseException& e) override { _Report(VE_XML_PARSING_ERROR, e); }
    void fatalError(const xc::SAXParseException& e) override { _Report(VE_XML_FATAL_ERROR, e); }
    void resetErrors() override {}

    // EntityResolver. The parser's own resolution is switched off (it would read any path or
    // URL), so null leaves the entity unread.
    xc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const systemId) override
    {
        VString id = FromXMLCh(systemId);
        VRefPtr<VFile> file;
        if (fStack.back())
            file = VRefPtr<VFile>::Adopt(fStack.back()->ResolveEntity(id));
        if (!file)
            file = VRefPtr<VFile>::Adopt(fParser.ResolveEntity(id));
        if (!file)
            return nullptr;
        VString path;
        file->GetPlatformPath(path, FilePathStyle::Posix);
        return new xc::LocalFileInputSource(path.GetCPointer());
    }

private:
    VString _Name(const xc::XMLElementDecl& decl, const XMLCh* prefix) const
    {
        if (!fNamespaces)
            return FromXMLCh(decl.getFullName());
        VString name;
        if (prefix && *prefix) {
            name = FromXMLCh(prefix);
            name.AppendUniChar(':');
        }
        name.AppendString(FromXMLCh(decl.getBaseName()));
        return name;
    }
    void _Report(VError code, const xc::SAXParseException& e)
    {
        ++fErrorCount;
        PushXMLError(code, FromXMLCh(e.getMessage()), FromXMLCh(e.getSystemId()), FromXMLCh(e.getPublicId()),
                     int64_t(e.getLineNumber()), int64_t(e.getColumnNumber()));
    }

    VXMLParser& fParser;
    VString fSystemId;
    bool fNamespaces;
    std::deque<IXMLHandler*> fStack;
    int fErrorCount = 0;
    uint64_t fTextUnits = 0;
    const xc::Locator* fLocator = nullptr;
};

} // namespace

VXMLParser::VXMLParser() = default;

VXMLParser::~VXMLParser() = default;

bool VXMLParser::Init()
{
    std::lock_guard<std::mutex> lock(sLibraryLock);
    if (sLibraryStarted)
        return true;
    try {
        xc::XMLPlatformUtils::Initialize();
    } catch (const xc::XMLException&) {
        return false;
    }
    sLibraryStarted = true;
    return true;
}

void VXMLParser::DeInit()
{
    std::lock_guard<std::mutex> lock(sLibraryLock);
    if (!sLibraryStarted)
        return;
    xc::XMLPlatformUtils::Terminate();
    sLibraryStarted = false;
}

void VXMLParser::SetEntitiesLocalFolder(const VString& prefix, VFolder* folder)
{
    fEntitiesPrefix = prefix;
    fEntitiesFolder.Set(folder);
}

VFile* VXMLParser::ResolveEntity(const VString& systemId) const
{
    return ResolveEntityFromFolder(fEntitiesPrefix, fEntitiesFolder.Get(), systemId);
}

VFile* VXMLParser::ResolveEntityFromFolder(const VString& prefix, VFolder* folder, const VString& systemId)
{
    if (!folder || !systemId.BeginsWithRawString(prefix))
        return nullptr;
    VString rest;
    systemId.GetSubString(prefix.GetLength() + 1, systemId.GetLength() - prefix.GetLength(), rest);
    std::vector<VString> names;
    rest.GetSubStrings(UniChar('/'), names, true);
    if (names.empty())
        return nullptr;
    VFilePath path = folder->GetPath();
    for (size_t i = 0; i < names.size(); ++i) {
        const VString& name = names[i];
        // Each name must stay one name inside the folder: no climbing, no scheme, no separator.
        if (name.IsEmpty() || name.EqualToUSASCIICString(".") || name.EqualToUSASCIICString("..")
            || name.FindUniChar(':') > 0 || name.FindUniChar('\\') > 0 || name.FindUniChar(0) > 0)
            return nullptr;
        if (i + 1 < names.size())
            path.ToSubFolder(name);
        else
            path.ToSubFile(name);
    }
    if (!path.IsValid() || !path.IsChildOf(folder->GetPath()))
        return nullptr;
    VFile* file = new VFile(path);
    if (!file->Exists()) {
        file->Release();
        return nullptr;
    }
    return file;
}

bool VXMLParser::Parse(IFile* file, IXMLHandler* handler, unsigned options)
{
    if (!file)
        return false;
    VString systemId;
    if (const VFile* plain = dynamic_cast<const VFile*>(file)) {
        plain->GetPlatformPath(systemId, FilePathStyle::Posix);
        return _Parse(nullptr, 0, false, systemId, true, handler, options);
    }
    file->GetPath().GetPosixPath(systemId);
    VMemoryBuffer content;
    if (file->GetContent(content) != VE_OK)
        return false;
    return _Parse(content.GetDataPtr(), content.GetDataSize(), false, systemId, false, handler, options);
}

bool VXMLParser::Parse(const void* data, size_t size, IXMLHandler* handler, unsigned options)
{
    return _Parse(data, size, false, VString("frommem"), false, handler, options);
}

bool VXMLParser::Parse(const VString& text, IXMLHandler* handler, unsigned options)
{
    return _Parse(text.GetCPointer(), size_t(text.GetLength()) * sizeof(UniChar), true, VString("frommem"), false,
                  handler, options);
}

bool VXMLParser::_Parse(const void* data, size_t size, bool utf16, const VString& systemId, bool localFile,
                        IXMLHandler* handler, unsigned options)
{
    if (!Init()) {
        PushXMLError(VE_XML_FATAL_ERROR, VString("The XML library cannot start"), systemId, VString(), 0, 0);
        return false;
    }
    fReportDefaultedAttributes = (options & XMLParserOptions::kDefaultedAttributes) != 0;
    bool namespaces = (options & XMLParserOptions::kNamespaces) != 0;

    xc::SecurityManager security;
    security.setEntityExpansionLimit(kMaxEntityExpansions);
    LocatingSAXParser parser;
    if (options & XMLParserOptions::kValidationAlways)
        parser.setValidationScheme(xc::SAXParser::Val_Always);
    else if (options & XMLParserOptions::kValidationNever)
        parser.setValidationScheme(xc::SAXParser::Val_Never);
    else
        parser.setValidationScheme(xc::SAXParser::Val_Auto);
    parser.setDoNamespaces(namespaces);
    parser.setLoadExternalDTD((options & XMLParserOptions::kLoadExternalDTD) != 0);
    parser.setSecurityManager(&security);
    parser.setDisableDefaultEntityResolution(true);

    SAX_Handlers adapter(*this, handler, systemId, namespaces);
    parser.installAdvDocHandler(&adapter);
    parser.setErrorHandler(&adapter);
    parser.setEntityResolver(&adapter);
    adapter.SetLocator(parser.GetLocator());

    try {
        if (localFile) {
            xc::LocalFileInputSource source(systemId.GetCPointer());
            parser.parse(source);
        } else {
            xc::MemBufInputSource source(static_cast<const XMLByte*>(data), size, systemId.GetCPointer(), false);
            if (utf16)
                source.setEncoding(u"UTF-16LE");
            parser.parse(source);
        }
    } catch (const StopParsing&) {
    } catch (const xc::SAXParseException&) {
        // Already reported through fatalError.
        adapter.CountError();
    } catch (const xc::XMLException& e) {
        adapter.CountError();
        PushXMLError(VE_XML_FATAL_ERROR, FromXMLCh(e.getMessage()), systemId, VString(), 0, 0);
    } catch (const xc::OutOfMemoryException&) {
        adapter.CountError();
        PushXMLError(VE_XML_FATAL_ERROR, VString("Out of memory"), systemId, VString(), 0, 0);
    }
    return adapter.GetErrorCount() == 0 && parser.getErrorCount() == 0;
}

} // namespace nuvo
