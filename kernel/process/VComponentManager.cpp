#include "kernel/process/VComponentManager.h"

#include <algorithm>

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFolder.h"
#include "kernel/platform/XLinuxLocale.h"
#include "kernel/process/VProcess.h"
#include "kernel/text/VIntlMgr.h"

namespace nuvo {

namespace {

constexpr DialectCode kUSEnglish = 1033;
constexpr DialectCode kNoLanguage = -2;

// The sub-folders of folder that are not invisible, with the part of their names before the
// first ".lproj" (case ignored); folders without it are left out. Sorted, so that "the last
// one recognised" does not depend on the order of the directory.
std::vector<VString> LanguageFolderNames(const VFolder& folder)
{
    std::vector<VRefPtr<IFolder>> folders;
    std::vector<VString> names;
    if (folder.GetElements(nullptr, &folders) != VE_OK)
        return names;
    for (const auto& sub : folders) {
        VString name;
        sub->GetName(name);
        if (name.IsEmpty() || name.GetUniChar(1) == u'.')
            continue;
        VString lower(name);
        lower.ToLowerCase();
        int32_t pos = lower.FindRawString(VString(".lproj"));
        if (pos == 0)
            continue;
        name.Truncate(pos - 1);
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), VStringLessCompareStrict());
    return names;
}

std::string Normalized(const std::string& name)
{
    std::string out = name;
    for (char& c : out) {
        if (c == '_')
            c = '-';
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

std::string LanguagePart(const std::string& normalized)
{
    return normalized.substr(0, normalized.find('-'));
}

} // namespace

DialectCode VComponentManager::ChoosePreferredLocalization(const std::vector<VString>& localizations,
                                                           const std::vector<std::string>& userLanguages)
{
    const VString* chosen = nullptr;
    for (const std::string& user : userLanguages) {
        std::string wanted = Normalized(user);
        std::string wantedLanguage = LanguagePart(wanted);
        // Three passes, from the closest match to the loosest.
        for (int pass = 0; pass < 3 && chosen == nullptr; ++pass) {
            for (const VString& localization : localizations) {
                std::string candidate = Normalized(to_string(localization));
                bool match = pass == 0 ? candidate == wanted
                    : pass == 1        ? candidate == wantedLanguage
                                       : LanguagePart(candidate) == wantedLanguage;
                if (match) {
                    chosen = &localization;
                    break;
                }
            }
        }
        if (chosen != nullptr)
            break;
    }
    DialectCode dialect = kUSEnglish;
    if (chosen != nullptr && !VIntlMgr::GetDialectCodeWithISOLanguageName(*chosen, dialect)
        && !VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(*chosen, dialect))
        dialect = kUSEnglish;
    return dialect;
}

DialectCode VComponentManager::GetLocalizationLanguage(const VFolder* folder, bool inResources, DialectCode preferred)
{
    if (folder == nullptr || !folder->Exists())
        return kNoLanguage;
    VRefPtr<VFolder> searched(const_cast<VFolder*>(folder));
    if (inResources) {
        auto contents = VRefPtr<VFolder>::Adopt(new VFolder(*folder, VString("Contents/"), FilePathStyle::Posix));
        searched = VRefPtr<VFolder>::Adopt(new VFolder(*contents, VString("Resources/"), FilePathStyle::Posix));
    }

    DialectCode wanted = preferred;
    if (wanted == 0) {
        wanted = kUSEnglish;
        VProcess* process = VProcess::Get();
        auto mainResources = VRefPtr<VFolder>::Adopt(process ? process->RetainFolder(kFolderResources) : nullptr);
        if (mainResources && mainResources->Exists()) {
            std::vector<VString> localizations = LanguageFolderNames(*mainResources);
            if (!localizations.empty())
                wanted = ChoosePreferredLocalization(localizations, XLinuxLocale::GetPreferredLanguages());
        }
    }

    bool sawUSEnglish = false;
    DialectCode last = kNoLanguage;
    for (const VString& name : LanguageFolderNames(*searched)) {
        DialectCode dialect = 0;
        if (!VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(name, dialect)
            && !VIntlMgr::GetDialectCodeWithISOLanguageName(name, dialect))
            continue;
        if (dialect == wanted)
            return dialect;
        sawUSEnglish = sawUSEnglish || dialect == kUSEnglish;
        last = dialect;
    }
    return sawUSEnglish ? kUSEnglish : last;
}

} // namespace nuvo
