#include "xml/VLocalizationManager.h"

#include <bit>
#include <cstdio>

#include "kernel/base/VErrorCodes.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFolder.h"
#include "kernel/base/VMemoryBuffer.h"
#include "kernel/process/VProcess.h"
#include "kernel/text/VIntlMgr.h"
#include "kernel/time/VTime.h"
#include "kernel/values/VValueBag.h"
#include "xml/VLocalizationXMLHandler.h"
#include "xml/VXMLParser.h"

namespace nuvo {

namespace {

constexpr VError kErrorNullFile = MakeNuvoError(3);
constexpr VError kErrorNotXLIFF = MakeNuvoError(613);

class StLock {
public:
    explicit StLock(VCriticalSection& lock) : fLock(lock) { fLock.Lock(); }
    ~StLock() { fLock.Unlock(); }
    StLock(const StLock&) = delete;
    StLock& operator=(const StLock&) = delete;

private:
    VCriticalSection& fLock;
};

template <class Map, class Key> void Insert(Map& map, const Key& key, const VString& text, bool overriding)
{
    auto [it, inserted] = map.try_emplace(key, text);
    if (!inserted && overriding)
        it->second = text;
}

// "strings" files come from editors that write UTF-16 with or without a byte-order mark, or
// UTF-8. A mark wins anyway; without one, a zero among the first two bytes of ASCII text
// tells UTF-16 and its byte order.
CharSet GuessDotStringsCharSet(const unsigned char* bytes, size_t size)
{
    static_assert(std::endian::native == std::endian::little, "little-endian UTF-16 is CharSet::UTF16 here");
    if (size >= 2 && bytes[0] == 0 && bytes[1] != 0)
        return CharSet::UTF16_BigEndian;
    if (size >= 2 && bytes[0] != 0 && bytes[1] == 0)
        return CharSet::UTF16;
    return CharSet::UTF8;
}

void StripQuotes(VString& part)
{
    if (part.GetLength() >= 1 && part.GetUniChar(1) == u'"') {
        part.Remove(1, 1);
        if (!part.IsEmpty())
            part.Truncate(part.GetLength() - 1);
    }
}

bool IsVisible(const VString& name)
{
    return !name.IsEmpty() && name.GetUniChar(1) != u'.';
}

} // namespace

VLocalizationManager::VLocalizationManager(DialectCode language)
    : fLanguage(language), fRootHandler(VRefPtr<VLocalizationXMLHandler>::Adopt(new VLocalizationXMLHandler(this)))
{
    if (!VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(language, fRFC3066Code))
        fRFC3066Code.Clear();
}

VLocalizationManager::~VLocalizationManager()
{
    delete fParser;
}

bool VLocalizationManager::LocalizeErrorMessage(VError code, VString& out)
{
    OsType component = ComponentOf(code);
    char key[16];
    // The key is at most 15 characters, as it always was: longer numbers are cut.
    std::snprintf(key, sizeof key, "ERR_%c%c%c%c_%d", char(component >> 24), char(component >> 16),
                  char(component >> 8), char(component), NumberOf(code));
    return LocalizeStringWithKey(VString(key), out);
}

bool VLocalizationManager::LocalizeStringWithKey(const VString& key, VString& out)
{
    StLock lock(fLock);
    auto it = fKeyedStrings.find(key);
    if (it == fKeyedStrings.end())
        return false;
    out = it->second;
    return true;
}

bool VLocalizationManager::LocalizeStringWithDotStringsKey(const VString& key, VString& out)
{
    return LocalizeStringWithKey(key, out);
}

VValueBag* VLocalizationManager::RetainGroupBag(const VString& groupName)
{
    StLock lock(fLock);
    auto it = fGroupBags.find(groupName);
    return it == fGroupBags.end() ? nullptr : RetainRefCountable(it->second.Get());
}

bool VLocalizationManager::LoadDefaultLocalizationFoldersForComponentOrPlugin(const VFolder* bundleFolder)
{
    if (bundleFolder == nullptr || !bundleFolder->Exists())
        return false;
    auto resources = VRefPtr<VFolder>::Adopt(new VFolder(*bundleFolder, VString("Contents/Resources/"), FilePathStyle::Posix));
    return LoadDefaultLocalizationFolders(resources.Get());
}

bool VLocalizationManager::LoadDefaultLocalizationFolders(const VFolder* resourcesFolder)
{
    if (resourcesFolder == nullptr || !resourcesFolder->Exists())
        return false;
    (void) ScanAndLoadFolder(resourcesFolder, true);
    std::vector<VRefPtr<VFolder>> folders;
    VIntlMgr::GetLocalizationFoldersWithDialect(fLanguage, *resourcesFolder, folders);
    {
        StLock lock(fLock);
        fLanguageFolders.clear();
        for (const auto& folder : folders)
            fLanguageFolders.push_back(folder->GetPathRef());
    }
    bool loaded = false;
    for (const auto& folder : folders)
        loaded = ScanAndLoadFolder(folder.Get(), false) || loaded;
    return loaded;
}

bool VLocalizationManager::ScanAndLoadFolder(const VFolder* folder, bool avoidLanguageChecking)
{
    if (folder == nullptr || !folder->Exists())
        return false;
    std::vector<VRefPtr<IFile>> files;
    if (folder->GetElements(&files, nullptr) != VE_OK)
        return false;
    {
        StLock lock(fLock);
        bool known = false;
        for (const auto& [path, avoid] : fScannedFolders)
            known = known || path == folder->GetPathRef();
        if (!known)
            fScannedFolders.emplace_back(folder->GetPathRef(), avoidLanguageChecking);
    }
    for (const auto& entry : files) {
        VString name;
        entry->GetName(name);
        if (!IsVisible(name))
            continue;
        auto file = VRefPtr<VFile>::Adopt(new VFile(entry->GetPath()));
        (void) LoadFile(file.Get(), avoidLanguageChecking);
    }
    return true;
}

VError VLocalizationManager::LoadFile(const VFile* file, bool avoidLanguageChecking)
{
    if (file == nullptr)
        return kErrorNullFile;
    if (!file->Exists())
        return VE_FILE_NOT_FOUND;
    if (file->MatchExtension(VString("xlf")))
        return _LoadXLIFF(*file, avoidLanguageChecking);
    if (file->MatchExtension(VString("strings")))
        _LoadDotStrings(*file);
    return kErrorNotXLIFF;
}

VError VLocalizationManager::_LoadXLIFF(const VFile& file, bool avoidLanguageChecking)
{
    VString text;
    if (VError error = file.GetContentAsString(text, CharSet::UTF8, eCRM_NONE))
        return error;
    if (fParser == nullptr)
        fParser = new VXMLParser;
    fRootHandler->SetAvoidLanguageChecking(avoidLanguageChecking);
    // XML errors are on the task's context already; the texts read before them stay.
    (void) fParser->Parse(text, fRootHandler.Get(), 2);
    _RememberLoaded(file);
    return VE_OK;
}

void VLocalizationManager::_LoadDotStrings(const VFile& file)
{
    VMemoryBuffer buffer;
    if (file.GetContent(buffer) != VE_OK)
        return;
    CharSet set = GuessDotStringsCharSet(static_cast<const unsigned char*>(buffer.GetDataPtr()), buffer.GetDataSize());
    VString text;
    text.FromBlockWithOptionalBOM(buffer.GetDataPtr(), buffer.GetDataSize(), set);
    text.ConvertCarriageReturns(eCRM_LF);
    std::vector<VString> lines;
    text.GetSubStrings(u'\n', lines, false, false);
    for (VString& line : lines) {
        if (line.IsEmpty())
            continue;
        // The closing semicolon.
        line.Truncate(line.GetLength() - 1);
        std::vector<VString> parts;
        line.GetSubStrings(u'=', parts, true, true);
        if (parts.size() != 2)
            continue;
        StripQuotes(parts[0]);
        StripQuotes(parts[1]);
        InsertKeyedString(parts[0], parts[1], true);
    }
}

void VLocalizationManager::_RememberLoaded(const VFile& file)
{
    VTime modified;
    (void) file.GetTimeAttributes(&modified, nullptr, nullptr);
    StLock lock(fLock);
    bool known = false;
    for (const VFilePath& path : fLoadedFiles)
        known = known || path == file.GetPathRef();
    if (!known)
        fLoadedFiles.push_back(file.GetPathRef());
    fModificationTimes[file.GetPathRef().GetPath()] = modified.GetUnixMilliseconds();
}

bool VLocalizationManager::LocalizeStringWithSTRSharpCodes(STRSharpCodes codes, VString& out)
{
    StLock lock(fLock);
    auto it = fSTRSharpStrings.find(codes);
    if (it == fSTRSharpStrings.end())
        return false;
    out = it->second;
    return true;
}

bool VLocalizationManager::LocalizeGroupOfStringsWithAStrSharpID(uint32_t groupID, std::vector<VString>& texts)
{
    StLock lock(fLock);
    bool found = false;
    for (auto it = fSTRSharpStrings.lower_bound(STRSharpCodes{groupID, 0});
         it != fSTRSharpStrings.end() && it->first.fID == groupID; ++it) {
        texts.push_back(it->second);
        found = true;
    }
    return found;
}

bool VLocalizationManager::GetOrderedStringsOfGroup(const VString& groupName, std::vector<VString>& texts)
{
    StLock lock(fLock);
    auto it = fGroupStrings.find(groupName);
    if (it == fGroupStrings.end())
        return false;
    for (const auto& [itemID, text] : it->second)
        texts.push_back(text);
    return true;
}

bool VLocalizationManager::RetainGroupBagsByRestype(const VString& restype, std::vector<VRefPtr<VValueBag>>& bags)
{
    StLock lock(fLock);
    auto it = fGroupBagNamesByRestype.find(restype);
    if (it == fGroupBagNamesByRestype.end())
        return false;
    for (const VString& name : it->second) {
        if (auto bag = fGroupBags.find(name); bag != fGroupBags.end())
            bags.push_back(bag->second);
    }
    return true;
}

bool VLocalizationManager::DoesNeedAnUpdate()
{
    std::vector<VFilePath> loaded;
    std::vector<VFilePath> languageFolders;
    std::map<VString, int64_t, VStringLessCompareStrict> times;
    {
        StLock lock(fLock);
        loaded = fLoadedFiles;
        languageFolders = fLanguageFolders;
        times = fModificationTimes;
    }
    for (const VFilePath& path : loaded) {
        auto file = VRefPtr<VFile>::Adopt(new VFile(path));
        VTime modified;
        if (!file->Exists() || file->GetTimeAttributes(&modified, nullptr, nullptr) != VE_OK
            || modified.GetUnixMilliseconds() != times[path.GetPath()])
            return true;
    }
    for (const VFilePath& path : languageFolders) {
        auto folder = VRefPtr<VFolder>::Adopt(new VFolder(path));
        std::vector<VRefPtr<IFile>> files;
        if (!folder->Exists() || folder->GetElements(&files, nullptr) != VE_OK)
            continue;
        for (const auto& file : files) {
            if (!file->MatchExtension(VString("xlf")))
                continue;
            bool known = false;
            for (const VFilePath& loadedPath : loaded)
                known = known || loadedPath == file->GetPath();
            if (!known)
                return true;
        }
    }
    return false;
}

void VLocalizationManager::UpdateIfNeeded()
{
    if (!DoesNeedAnUpdate())
        return;
    std::vector<std::pair<VFilePath, bool>> folders;
    std::vector<VFilePath> files;
    {
        StLock lock(fLock);
        folders = fScannedFolders;
        files = fLoadedFiles;
    }
    ClearLocalizations();
    for (const auto& [path, avoid] : folders) {
        auto folder = VRefPtr<VFolder>::Adopt(new VFolder(path));
        (void) ScanAndLoadFolder(folder.Get(), avoid);
    }
    for (const VFilePath& path : files) {
        auto file = VRefPtr<VFile>::Adopt(new VFile(path));
        bool known = false;
        {
            StLock lock(fLock);
            for (const VFilePath& loadedPath : fLoadedFiles)
                known = known || loadedPath == path;
        }
        if (!known && file->Exists())
            (void) LoadFile(file.Get(), false);
    }
}

void VLocalizationManager::ClearLocalizations()
{
    StLock lock(fLock);
    fSTRSharpStrings.clear();
    fKeyedStrings.clear();
    fGroupStrings.clear();
    fGroupBags.clear();
    fGroupBagNamesByRestype.clear();
    fLoadedFiles.clear();
    fModificationTimes.clear();
    fScannedFolders.clear();
}

void VLocalizationManager::InsertKeyedString(const VString& key, const VString& text, bool overriding)
{
    StLock lock(fLock);
    Insert(fKeyedStrings, key, text, overriding);
}

void VLocalizationManager::InsertSTRSharpString(STRSharpCodes codes, const VString& text, bool overriding)
{
    StLock lock(fLock);
    Insert(fSTRSharpStrings, codes, text, overriding);
}

void VLocalizationManager::InsertGroupString(const VString& groupName, uint32_t itemID, const VString& text, bool overriding)
{
    StLock lock(fLock);
    Insert(fGroupStrings[groupName], itemID, text, overriding);
}

void VLocalizationManager::InsertGroupBag(const VString& name, const VString& restype, VValueBag* bag, bool overriding)
{
    StLock lock(fLock);
    auto [it, inserted] = fGroupBags.try_emplace(name, bag);
    if (!inserted) {
        if (!overriding)
            return;
        it->second.Set(bag);
    }
    std::vector<VString>& names = fGroupBagNamesByRestype[restype];
    for (const VString& known : names) {
        if (known == name)
            return;
    }
    names.push_back(name);
}

VString LocalizeString(const VString& key, const char* defaultText)
{
    VString text;
    VProcess* process = VProcess::Get();
    ILocalizer* localizer = process ? process->GetLocalizer() : nullptr;
    bool found = localizer != nullptr && localizer->LocalizeStringWithKey(key, text);
    if (!found && defaultText != nullptr)
        text.FromBlock(defaultText, std::char_traits<char>::length(defaultText), CharSet::UTF8);
    return text;
}

} // namespace nuvo
