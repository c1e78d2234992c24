#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ILocalizer.h"
#include "kernel/files/VFilePath.h"
#include "kernel/process/VCriticalSection.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VFile;
class VFolder;
class VLocalizationXMLHandler;
class VValueBag;
class VXMLParser;

// A numbered string's address: (group id, item id).
struct STRSharpCodes {
    uint32_t fID = 0;
    uint32_t fItemID = 0;
    auto operator<=>(const STRSharpCodes&) const = default;
};

// The user-visible texts of one language, read from XLIFF ("xlf") and key-value ("strings")
// files of a bundle's resources, answering by key, by error code ("ERR_<comp>_<n>") and by
// numbered group. Reference counted; every table is guarded by one lock, so a loaded manager
// may be read from any task. Loading runs on one task at a time (it owns one XML parser).
// Files that cannot be read or parsed contribute what they could; XML errors land on the
// calling task's error context.
class VLocalizationManager : public VObject, public IRefCountable, public ILocalizer {
public:
    explicit VLocalizationManager(DialectCode language);

    DialectCode GetLocalizationLanguage() override { return fLanguage; }
    bool LocalizeErrorMessage(VError code, VString& out) override;
    // An exact, case-sensitive match; out is unchanged when nothing is found.
    bool LocalizeStringWithKey(const VString& key, VString& out) override;
    bool LocalizeStringWithDotStringsKey(const VString& key, VString& out) override;
    [[nodiscard]] VValueBag* RetainGroupBag(const VString& groupName) override;

    // The bundle's Contents/Resources; false for a null or missing folder.
    bool LoadDefaultLocalizationFoldersForComponentOrPlugin(const VFolder* bundleFolder);
    // Every file of resourcesFolder without language checking, then the language's folders in
    // it with checking; true when at least one language folder was loaded.
    bool LoadDefaultLocalizationFolders(const VFolder* resourcesFolder);
    bool ScanAndLoadFolder(const VFolder* folder, bool avoidLanguageChecking);
    // 0 for an XLIFF file that could be read (even with XML errors); 'nuvo' 613 for a
    // "strings" file (loaded) and any other extension (ignored); 600 for a missing file, 3 for
    // null. Only the XML layer's errors are pushed.
    VError LoadFile(const VFile* file, bool avoidLanguageChecking);

    bool LocalizeStringWithSTRSharpCodes(STRSharpCodes codes, VString& out);
    // The numbered strings of group id, in item order; false when there is none.
    bool LocalizeGroupOfStringsWithAStrSharpID(uint32_t groupID, std::vector<VString>& texts);
    // The strings of a named group, in item order; false when there is none.
    bool GetOrderedStringsOfGroup(const VString& groupName, std::vector<VString>& texts);
    bool RetainGroupBagsByRestype(const VString& restype, std::vector<VRefPtr<VValueBag>>& bags);

    // A loaded file changed or vanished, or a language folder holds an XLIFF file not loaded.
    bool DoesNeedAnUpdate();
    // When an update is needed: empties the tables and loads the remembered folders and files
    // again.
    void UpdateIfNeeded();
    void ClearLocalizations();

    // The XLIFF handlers' side. An overriding insert replaces an existing text.
    void InsertKeyedString(const VString& key, const VString& text, bool overriding);
    void InsertSTRSharpString(STRSharpCodes codes, const VString& text, bool overriding);
    void InsertGroupString(const VString& groupName, uint32_t itemID, const VString& text, bool overriding);
    void InsertGroupBag(const VString& name, const VString& restype, VValueBag* bag, bool overriding);
    // The RFC 3066 code of the manager's language, "en-US" form.
    const VString& GetRFC3066Code() const { return fRFC3066Code; }

protected:
    ~VLocalizationManager() override;

private:
    VError _LoadXLIFF(const VFile& file, bool avoidLanguageChecking);
    void _LoadDotStrings(const VFile& file);
    void _RememberLoaded(const VFile& file);

    using StringMap = std::map<VString, VString, VStringLessCompareStrict>;

    VCriticalSection fLock;
    DialectCode fLanguage;
    VString fRFC3066Code;
    std::map<STRSharpCodes, VString> fSTRSharpStrings;
    StringMap fKeyedStrings;
    std::map<VString, std::map<uint32_t, VString>, VStringLessCompareStrict> fGroupStrings;
    std::map<VString, VRefPtr<VValueBag>, VStringLessCompareStrict> fGroupBags;
    std::map<VString, std::vector<VString>, VStringLessCompareStrict> fGroupBagNamesByRestype;
    std::vector<VFilePath> fLoadedFiles;
    std::map<VString, int64_t, VStringLessCompareStrict> fModificationTimes;
    std::vector<VFilePath> fLanguageFolders;
    // Folders scanned by ScanAndLoadFolder, with their language checking, for UpdateIfNeeded.
    std::vector<std::pair<VFilePath, bool>> fScannedFolders;
    VRefPtr<VLocalizationXMLHandler> fRootHandler;
    VXMLParser* fParser = nullptr;
};

// The text of key from the process's localizer; defaultText (UTF-8) when there is none or it
// has no such key, an empty text without a default. Placeholders are left for the caller.
VString LocalizeString(const VString& key, const char* defaultText);

} // namespace nuvo
