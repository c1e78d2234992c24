#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/platform/XLinuxLocale.h"
#include "kernel/process/VComponentManager.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/support/StEnvVar.h"

namespace nuvo::test {
namespace {

TEST(VComponentManager, LanguageOfABundleFromItsLanguageFolders)
{
    struct Row { const char* name; std::vector<std::string> folders; DialectCode preferred; DialectCode expected; };
    const Row rows[] = {
        {"wanted language present", {"en.lproj/", "fr.lproj/"}, 1036, 1036},
        {"by English name", {"English.lproj/", "French.lproj/"}, 1036, 1036},
        {"by region code", {"en.lproj/", "fr-CA.lproj/"}, 3084, 3084},
        {"suffix after .lproj, any case", {"fr.LPROJ.old/"}, 1036, 1036},
        {"US English when wanted missing", {"de.lproj/", "en.lproj/", "it.lproj/"}, 1036, 1033},
        {"last recognised otherwise", {"de.lproj/", "it.lproj/", "zz.lproj/"}, 1036, 1040},
        {"invisible and unrecognised ignored", {".fr.lproj/", "Base.lproj/", "x/"}, 1036, -2},
        {"no language folders", {}, 1036, -2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        MakeTree(temp / "A.app/Contents/Resources", {});
        for (const std::string& folder : row.folders)
            MakeFolder(temp / ("A.app/Contents/Resources/" + folder));
        EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp / "A.app").Get(), true, row.preferred),
                  row.expected);
    }
    StTempFolder temp;
    MakeTree(temp.Path(), {"fr.lproj/"});
    EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp.Path()).Get(), false, 1036), 1036);
    EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp / "none").Get(), false, 1036), -2);
    EXPECT_EQ(VComponentManager::GetLocalizationLanguage(nullptr, true, 1036), -2);
}

TEST(VComponentManager, UserLanguageAmongTheBundleLocalizations)
{
    using Names = std::vector<std::string>;
    struct Row { const char* name; Names localizations; Names user; DialectCode expected; };
    const Row rows[] = {
        {"same name", {"en", "fr"}, {"fr"}, 1036},
        {"language part of the user's", {"en", "fr"}, {"fr_CA"}, 1036},
        {"exact region first", {"fr", "fr_CA"}, {"fr_CA"}, 3084},
        {"another region of the language", {"en", "pt-BR"}, {"pt_PT"}, 1046},
        {"first user language served wins", {"en", "fr", "de"}, {"it", "de_AT", "fr"}, 1031},
        {"none served", {"en", "fr"}, {"ja_JP"}, 1033},
        {"no user language", {"de", "fr"}, {}, 1033},
        {"served but not a language", {"en", "Base"}, {"base"}, 1033},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<VString> localizations;
        for (const std::string& name : row.localizations)
            localizations.emplace_back(name.c_str());
        EXPECT_EQ(VComponentManager::ChoosePreferredLocalization(localizations, row.user), row.expected);
    }
}

TEST(XLinuxLocale, PreferredLanguagesFromTheEnvironment)
{
    using Names = std::vector<std::string>;
    struct Row {
        const char* name;
        const char* language;
        const char* all;
        const char* messages;
        const char* lang;
        Names expected;
    };
    const Row rows[] = {
        {"LANG alone", nullptr, nullptr, nullptr, "fr_FR.UTF-8@euro", {"fr_FR"}},
        {"LC_MESSAGES over LANG", nullptr, nullptr, "de_DE.UTF-8", "fr_FR.UTF-8", {"de_DE"}},
        {"LC_ALL over both", nullptr, "it_IT", "de_DE", "fr_FR", {"it_IT"}},
        {"empty values skipped", nullptr, "", "", "fr_FR", {"fr_FR"}},
        {"LANGUAGE list first", "pt_BR:fr::en", nullptr, nullptr, "de_DE.UTF-8", {"pt_BR", "fr", "en", "de_DE"}},
        {"C locale ignores LANGUAGE", "fr", nullptr, nullptr, "C.UTF-8", {}},
        {"nothing set", nullptr, nullptr, nullptr, nullptr, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto value = [](const char* text) { return text ? std::optional<std::string>(text) : std::nullopt; };
        StEnvVar language("LANGUAGE", value(row.language));
        StEnvVar all("LC_ALL", value(row.all));
        StEnvVar messages("LC_MESSAGES", value(row.messages));
        StEnvVar lang("LANG", value(row.lang));
        EXPECT_EQ(XLinuxLocale::GetPreferredLanguages(), row.expected);
    }
}

} // namespace
} // namespace nuvo::test
