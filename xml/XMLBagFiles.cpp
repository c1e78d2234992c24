#include "xml/XMLBagFiles.h"

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileStream.h"
#include "kernel/files/VFolder.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "xml/VXMLBagHandler_UniqueElement.h"
#include "xml/VXMLParser.h"
#include "xml/XMLErrors.h"

namespace nuvo {

namespace {

// Reading bag files: validation only when the document declares a grammar, no namespaces.
constexpr unsigned kBagParseOptions = 0;

// Streams hold UTF-16 text as a 32-bit count of units and the units, little-endian.
VError PutString(VFileStream& stream, const VString& text)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(4 + size_t(text.GetLength()) * 2);
    uint32_t count = uint32_t(text.GetLength());
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(count >> shift));
    for (int32_t i = 0; i < text.GetLength(); ++i) {
        UniChar unit = text.GetCPointer()[i];
        bytes.push_back(static_cast<unsigned char>(unit));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return stream.PutData(bytes.data(), bytes.size());
}

VError GetString(VFileStream& stream, VString& text)
{
    unsigned char header[4];
    VError error = stream.GetData(header, sizeof header);
    if (error != VE_OK)
        return error;
    uint32_t count = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16
                     | uint32_t(header[3]) << 24;
    // The count comes from the file: read in slices so that a wrong count fails at the end of
    // the file instead of allocating what it claims.
    text.Clear();
    std::vector<unsigned char> slice;
    while (count > 0) {
        uint32_t units = count < 32768 ? count : 32768;
        slice.resize(size_t(units) * 2);
        error = stream.GetData(slice.data(), slice.size());
        if (error != VE_OK)
            return error;
        for (uint32_t i = 0; i < units; ++i)
            text.AppendUniChar(UniChar(slice[2 * i] | slice[2 * i + 1] << 8));
        count -= units;
    }
    return VE_OK;
}

template <class Source>
VError LoadBag(const Source& source, const VString& elementName, VValueBag& bag, const VString* entitiesPrefix,
               VFolder* entitiesFolder)
{
    StErrorContextInstaller errors(true, false);
    VRefPtr<VXMLBagHandler_UniqueElement> handler =
        VRefPtr<VXMLBagHandler_UniqueElement>::Adopt(new VXMLBagHandler_UniqueElement(&bag, elementName));
    VXMLParser parser;
    if (entitiesFolder)
        parser.SetEntitiesLocalFolder(entitiesPrefix ? *entitiesPrefix : VString(), entitiesFolder);
    bool parsed;
    if constexpr (std::is_same_v<Source, VString>)
        parsed = parser.Parse(source, handler.Get(), kBagParseOptions);
    else
        parsed = parser.Parse(const_cast<IFile*>(&source), handler.Get(), kBagParseOptions);
    if (parsed && !handler->WasFound()) {
        VErrorBase* error = new VErrorBase(VE_XML_UNEXPECTED_ROOT);
        error->GetBag()->SetString(StPackedDictionaryKey("name"), elementName);
        _PushRetainedError(error);
    }
    return errors.GetLastError();
}

} // namespace

VError WriteBagToFileInXML(const VValueBag& bag, const VString& elementName, IFile* file, bool indented)
{
    if (!file)
        return VE_OK;
    VString text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    bag.DumpXML(text, elementName, indented);
    VError error = file->SetContentAsString(text, CharSet::UTF8, eCRM_NONE, false);
    if (error != VE_OK) {
        // A half-written document must not be read later as a valid, shorter one.
        if (const VFile* plain = dynamic_cast<const VFile*>(file); plain && plain->Exists()) {
            StErrorContextInstaller quiet(false, true);
            (void) plain->Delete();
        }
    }
    return error;
}

VError WriteBagToStreamInXML(const VValueBag& bag, const VString& elementName, VFileStream& stream)
{
    VString text("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    bag.DumpXML(text, elementName, false);
    return PutString(stream, text);
}

VError ReadBagFromStreamInXML(VValueBag& bag, VFileStream& stream)
{
    VString text;
    VError error = GetString(stream, text);
    if (error != VE_OK)
        return error;
    return LoadBag(text, VString(), bag, nullptr, nullptr);
}

VError LoadBagFromXML(const IFile& file, const VString& elementName, VValueBag& bag, const VString* entitiesPrefix,
                      VFolder* entitiesFolder)
{
    return LoadBag(file, elementName, bag, entitiesPrefix, entitiesFolder);
}

VError LoadBagFromXML(const VString& text, const VString& elementName, VValueBag& bag, const VString* entitiesPrefix,
                      VFolder* entitiesFolder)
{
    return LoadBag(text, elementName, bag, entitiesPrefix, entitiesFolder);
}

} // namespace nuvo
