#include "xml/VInfoPlist.h"

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "xml/IXMLHandler.h"
#include "xml/VXMLParser.h"

namespace nuvo {

namespace {

// Property lists name a DTD by URL: never validate, never load it.
constexpr unsigned kPlistParseOptions = XMLParserOptions::kValidationNever;

class TextHandler : public VObject, public IXMLHandler {
public:
    void SetText(const VString& text) override { fText.AppendString(text); }
    VString fText;
};

// The top-level <dict>: a <key> followed by its value element, repeated.
class DictHandler : public VObject, public IXMLHandler {
public:
    explicit DictHandler(std::vector<std::pair<VString, VString>>& strings) : fStrings(strings) {}

    IXMLHandler* StartElement(const VString& name) override
    {
        _TakeValue();
        bool isKey = name.EqualToUSASCIICString("key");
        if (!isKey && !fHasKey)
            return nullptr;
        if (!isKey && !name.EqualToUSASCIICString("string")) {
            // A value of another kind consumes its key.
            fHasKey = false;
            return nullptr;
        }
        fPendingIsKey = isKey;
        fPending = VRefPtr<TextHandler>::Adopt(new TextHandler);
        fPending->Retain();
        return fPending.Get();
    }
    void EndElement(const VString&) override { _TakeValue(); }

private:
    void _TakeValue()
    {
        if (!fPending)
            return;
        if (fPendingIsKey) {
            fKey = fPending->fText;
            fHasKey = true;
        } else if (fHasKey) {
            fStrings.emplace_back(fKey, fPending->fText);
            fHasKey = false;
        }
        fPending.Clear();
    }

    std::vector<std::pair<VString, VString>>& fStrings;
    VRefPtr<TextHandler> fPending;
    bool fPendingIsKey = false;
    VString fKey;
    bool fHasKey = false;
};

class PlistHandler : public VObject, public IXMLHandler {
public:
    explicit PlistHandler(std::vector<std::pair<VString, VString>>& strings) : fStrings(strings) {}

    IXMLHandler* StartElement(const VString& name) override
    {
        if (fDepth == 0 && name.EqualToUSASCIICString("plist")) {
            ++fDepth;
            Retain();
            return this;
        }
        if (fDepth == 1 && !fFoundDict && name.EqualToUSASCIICString("dict")) {
            fFoundDict = true;
            return new DictHandler(fStrings);
        }
        return nullptr;
    }
    bool fFoundDict = false;

private:
    std::vector<std::pair<VString, VString>>& fStrings;
    int fDepth = 0;
};

} // namespace

bool VInfoPlist::LoadFromFile(IFile& file)
{
    fStrings.clear();
    auto handler = VRefPtr<PlistHandler>::Adopt(new PlistHandler(fStrings));
    VXMLParser parser;
    bool parsed = parser.Parse(&file, handler.Get(), kPlistParseOptions);
    if (!parsed || !handler->fFoundDict) {
        fStrings.clear();
        return false;
    }
    return true;
}

bool VInfoPlist::LoadFromBundle(const VFolder& bundle)
{
    VFilePath path = bundle.GetPath();
    path.ToSubFolder(VString("Contents")).ToSubFile(VString("Info.plist"));
    auto file = VRefPtr<VFile>::Adopt(new VFile(path));
    return LoadFromFile(*file);
}

bool VInfoPlist::GetString(const VString& key, VString& out) const
{
    for (const auto& [name, value] : fStrings) {
        if (name.EqualToStringRaw(key)) {
            out = value;
            return true;
        }
    }
    return false;
}

VFile* VInfoPlist::RetainBundleExecutable(const VFolder& bundle)
{
    StErrorContextInstaller quiet(false, true);
    VInfoPlist plist;
    VString name;
    if (!plist.LoadFromBundle(bundle) || !plist.GetString(VString("CFBundleExecutable"), name))
        return nullptr;
    // The name must stay inside Contents/MacOS.
    if (name.IsEmpty() || name.FindUniChar('/') > 0 || name.EqualToUSASCIICString(".")
        || name.EqualToUSASCIICString(".."))
        return nullptr;
    VFilePath path = bundle.GetPath();
    path.ToSubFolder(VString("Contents")).ToSubFolder(VString("MacOS")).ToSubFile(name);
    VFile* file = new VFile(path);
    if (!file->Exists()) {
        file->Release();
        return nullptr;
    }
    return file;
}

} // namespace nuvo
