#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/process/VProcess.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/xml/XMLTestSupport.h"
#include "xml/VLocalizationManager.h"

namespace nuvo::test {
namespace {

constexpr DialectCode kUSEnglish = 1033;
constexpr DialectCode kFrench = 1036;

// One XLIFF document; language empty leaves "target-language" out.
std::string Xliff(const std::string& language, const std::string& body)
{
    std::string file = language.empty() ? "<file>" : "<file target-language=\"" + language + "\">";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\">" + file + "<body>" + body
        + "</body></file></xliff>\n";
}

std::string Unit(const std::string& resname, const std::string& target, const std::string& extra = "")
{
    return "<trans-unit resname=\"" + resname + "\"" + extra + "><source>src</source><target>" + target
        + "</target></trans-unit>";
}

std::string Text(VLocalizationManager& manager, const char* key)
{
    VString out("(none)");
    (void) manager.LocalizeStringWithKey(VString(key), out);
    return to_string(out);
}

struct Manager {
    explicit Manager(DialectCode language = kUSEnglish) : manager(VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(language))) {}
    VError Load(const std::string& path, bool avoidLanguageChecking = false)
    {
        return manager->LoadFile(FileAt(path).Get(), avoidLanguageChecking);
    }
    std::string operator[](const char* key) { return Text(*manager, key); }
    VRefPtr<VLocalizationManager> manager;
};

// Restores the process's localizer and the error registry entries a test changes.
struct StLocalizerInstalled {
    explicit StLocalizerInstalled(ILocalizer* localizer) : fPrevious(VProcess::Get()->GetLocalizer())
    {
        VProcess::Get()->SetLocalizer(localizer);
        VErrorBase::RegisterLocalizer(kComponentUpdater, localizer);
    }
    ~StLocalizerInstalled()
    {
        VProcess::Get()->SetLocalizer(fPrevious);
        VErrorBase::UnregisterLocalizer(kComponentUpdater);
    }
    ILocalizer* fPrevious;
};

TEST(VLocalizationManager, DefaultFoldersOverrideByLanguageMatch)
{
    StTempFolder temp;
    const std::string res = temp / "App.app/Contents/Resources";
    MakeTree(res, {"en.lproj/", "en-US.lproj/", "English.lproj/", "fr.lproj/"});
    // Read in order: the resources folder itself (no language check), en-US, en, English.
    WriteFile(res + "/Root.xlf", Xliff("de", Unit("root", "R") + Unit("shared", "root")));
    WriteFile(res + "/en-US.lproj/A.xlf", Xliff("en-US", Unit("exact", "en-US") + Unit("shared", "en-US")));
    WriteFile(res + "/en.lproj/A.xlf", Xliff("en", Unit("exact", "en") + Unit("partial", "en") + Unit("shared", "en")));
    WriteFile(res + "/English.lproj/A.xlf", Xliff("en-GB", Unit("partial", "en-GB") + Unit("both", "en-GB")));
    WriteFile(res + "/en.lproj/Other.xlf", Xliff("fr", Unit("french", "fr")));
    WriteFile(res + "/fr.lproj/A.xlf", Xliff("fr", Unit("notmine", "fr")));

    Manager m;
    EXPECT_TRUE(m.manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(FolderAt(temp / "App.app").Get()));
    struct Row { const char* key; const char* expected; };
    const Row rows[] = {
        {"root", "R"},           // another language, but read without language checking
        {"shared", "en-US"},     // exact match replaces the root file's text
        {"exact", "en-US"},      // "en" matches only partly: the first text stays
        {"partial", "en"},
        {"both", "en-GB"},
        {"french", "(none)"},    // in a language folder: checked, refused
        {"notmine", "(none)"},   // folder of another language: never read
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(m[row.key], row.expected);
    }

    StErrorContextInstaller errors(true, true);
    EXPECT_FALSE(m.manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(nullptr));
    EXPECT_FALSE(m.manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(FolderAt(temp / "none").Get()));
    MakeTree(temp / "Bare.app/Contents/Resources", {});
    EXPECT_FALSE(m.manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(FolderAt(temp / "Bare.app").Get()));
    EXPECT_EQ(errors.GetLastError(), VE_OK);
}

TEST(VLocalizationManager, TransUnitsConditionsAndTexts)
{
    StTempFolder temp;
    const std::string body =
        Unit("excl-mac", "kept", " zq:excludeIf=\"mac\"")
        + Unit("excl-linux", "x", " zq:excludeIf=\"win linux\"")
        + Unit("incl-win-linux", "kept", " zq:includeIf=\"win linux\"")
        + Unit("incl-mac-win", "x", " zq:includeIf=\"mac win\"")
        + Unit("incl-unknown", "kept", " zq:includeIf=\"beos\"")
        + "<trans-unit resname=\"source-only\"><source>from source</source></trans-unit>"
        + "<trans-unit resname=\"empty-target\"><source>untranslated</source><target/></trans-unit>"
        + "<trans-unit resname=\"pieces\"><source>a &amp; b</source><note>n</note></trans-unit>"
        + "<trans-unit resname=\"alt\"><source>s</source><target>main</target>"
          "<alt-trans><target>other</target></alt-trans></trans-unit>"
        + "<trans-unit id=\"4\"><source>no key</source></trans-unit>";
    WriteFile(temp / "A.xlf", Xliff("en-US", body));
    Manager m;
    EXPECT_EQ(m.Load(temp / "A.xlf"), VE_OK);
    struct Row { const char* key; const char* expected; };
    const Row rows[] = {
        {"excl-mac", "kept"}, {"excl-linux", "(none)"}, {"incl-win-linux", "kept"}, {"incl-mac-win", "(none)"},
        {"incl-unknown", "kept"}, {"source-only", "from source"}, {"empty-target", "untranslated"},
        {"pieces", "a & b"}, {"alt", "main"}, {"4", "(none)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(m[row.key], row.expected);
    }
}

TEST(VLocalizationManager, GroupsNumbersCompositeKeysAndBags)
{
    StTempFolder temp;
    const std::string body =
        "<group id=\"7\" resname=\"[Menus]\">"
        "  <group resname=\"File\">"
        "    <trans-unit id=\"2\" resname=\"Open\"><source>Open…</source></trans-unit>"
        "    <trans-unit id=\"1\" resname=\"New\"><source>New</source></trans-unit>"
        "  </group>"
        "  <trans-unit id=\"3\" resname=\"Top\"><source>Top</source></trans-unit>"
        "</group>"
        "<group resname=\"Plain\"><group resname=\"Inner\">"
        "  <trans-unit resname=\"k\"><source>plain parent</source></trans-unit>"
        "</group></group>"
        "<group resname=\"Dialog\" restype=\"x-dialog\" zq:note=\"n\">"
        "  <trans-unit id=\"5\" resname=\"ok\"><source>s</source><target>OK</target>"
        "    <alt-trans lang=\"fr\"><target>D'accord</target></alt-trans></trans-unit>"
        "</group>";
    WriteFile(temp / "G.xlf", Xliff("en-US", body));
    Manager m;
    EXPECT_EQ(m.Load(temp / "G.xlf"), VE_OK);

    EXPECT_EQ(m["[Menus]#}[{@File#}[{@Open"], "Open…");
    EXPECT_EQ(m["Open"], "(none)");
    EXPECT_EQ(m["Top"], "Top");
    EXPECT_EQ(m["k"], "plain parent");  // a parent without brackets: the resname alone

    VString text;
    EXPECT_TRUE(m.manager->LocalizeStringWithSTRSharpCodes({7, 2}, text));
    EXPECT_EQ(to_string(text), "Open…");
    std::vector<VString> texts;
    EXPECT_TRUE(m.manager->LocalizeGroupOfStringsWithAStrSharpID(7, texts));
    EXPECT_EQ(texts, (std::vector<VString>{VString("New"), VString("Open…"), VString("Top")}));
    texts.clear();
    EXPECT_TRUE(m.manager->GetOrderedStringsOfGroup(VString("[Menus]"), texts));
    EXPECT_EQ(texts, (std::vector<VString>{VString("New"), VString("Open…"), VString("Top")}));
    texts.clear();
    EXPECT_TRUE(m.manager->GetOrderedStringsOfGroup(VString("File"), texts));
    EXPECT_EQ(texts.size(), 2u);
    EXPECT_FALSE(m.manager->GetOrderedStringsOfGroup(VString("None"), texts));

    auto bag = VRefPtr<VValueBag>::Adopt(m.manager->RetainGroupBag(VString("Dialog")));
    ASSERT_TRUE(bag);
    EXPECT_EQ(BagText(*bag),
              "<p resname=\"Dialog\" restype=\"x-dialog\" zq:note=\"n\">\n<trans-unit id=\"5\" resname=\"ok\" "
              "target=\"OK\">\n<alt-trans lang=\"fr\" target=\"D&apos;accord\"/></trans-unit></p>");
    std::vector<VRefPtr<VValueBag>> bags;
    EXPECT_TRUE(m.manager->RetainGroupBagsByRestype(VString("x-dialog"), bags));
    EXPECT_EQ(bags.size(), 1u);
    EXPECT_FALSE(VRefPtr<VValueBag>::Adopt(m.manager->RetainGroupBag(VString("[Menus]"))));
}

TEST(VLocalizationManager, LanguageDecisionCarriesToFilesWithoutTargetLanguage)
{
    StTempFolder temp;
    WriteFile(temp / "1.xlf", Xliff("de", Unit("a", "de")));
    WriteFile(temp / "2.xlf", Xliff("", Unit("b", "inherits refusal")));
    WriteFile(temp / "3.xlf", Xliff("en", Unit("c", "partial")));
    WriteFile(temp / "4.xlf", Xliff("", Unit("c", "inherits not overriding")));
    WriteFile(temp / "5.xlf", Xliff("en-US", Unit("c", "exact")));
    Manager m;
    Manager fresh;
    WriteFile(temp / "0.xlf", Xliff("", Unit("z", "z")));
    EXPECT_EQ(fresh.Load(temp / "0.xlf"), VE_OK);
    EXPECT_EQ(fresh["z"], "(none)");  // nothing is acceptable before a target-language
    for (const char* name : {"1.xlf", "2.xlf", "3.xlf", "4.xlf"})
        EXPECT_EQ(m.Load(temp / name), VE_OK);
    EXPECT_EQ(m["a"] + "|" + m["b"] + "|" + m["c"], "(none)|(none)|partial");
    EXPECT_EQ(m.Load(temp / "5.xlf"), VE_OK);
    EXPECT_EQ(m["c"], "exact");
}

TEST(VLocalizationManager, LoadFileResultsAndDotStrings)
{
    StTempFolder temp;
    WriteFile(temp / "a.strings", "/* comment */\n\"greeting\" = \"Hello\";\r\n  plain = word ;\n\"x\" = \"a=b\";\n\n");
    // UTF-16 little endian with its byte-order mark.
    const std::u16string wide = u"\"wide\" = \"é\";\n";
    WriteFile(temp / "b.strings", std::string("\xFF\xFE", 2) + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
    WriteFile(temp / "c.txt", "\"other\" = \"x\";\n");
    WriteFile(temp / "bad.xlf", "<xliff><file target-language=\"en-US\"><body>" + Unit("before", "kept")
                                    + "<trans-unit resname=\"after\"><source>lost</source></body></file></xliff>");

    Manager m;
    StErrorContextInstaller errors(true, true);
    struct Row { const char* name; std::string path; VError expected; };
    const Row rows[] = {
        {"strings file", temp / "a.strings", MakeNuvoError(613)},
        {"UTF-16 strings file", temp / "b.strings", MakeNuvoError(613)},
        {"other extension", temp / "c.txt", MakeNuvoError(613)},
        {"missing", temp / "none.xlf", VE_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(m.Load(row.path), row.expected);
    }
    EXPECT_EQ(m.manager->LoadFile(nullptr, false), MakeNuvoError(3));
    EXPECT_EQ(errors.GetContext()->GetErrorCount(), 0u) << "only the XML layer pushes errors";

    EXPECT_EQ(m["greeting"] + "|" + m["plain"] + "|" + m["x"] + "|" + m["wide"] + "|" + m["other"],
              "Hello|word|(none)|é|(none)");
    VString text;
    EXPECT_TRUE(m.manager->LocalizeStringWithDotStringsKey(VString("greeting"), text));

    EXPECT_EQ(m.Load(temp / "bad.xlf"), VE_OK);
    EXPECT_EQ(m["before"] + "|" + m["after"], "kept|(none)");
    EXPECT_EQ(ComponentOf(errors.GetLastError()), kComponentXml);
}

TEST(VLocalizationManager, ErrorKeysAndLocalizeString)
{
    StTempFolder temp;
    WriteFile(temp / "E.xlf",
              Xliff("en-US", Unit("ERR_QZRT_-10719", "negative") + Unit("ERR_UPQZ_3", "Missing '{path}'{other}.")
                                 + Unit("ERR_nuvo_123456", "cut") + Unit("MoreInformationsAvailableInLogFile", "See {LogFilePath}")));
    Manager m;
    EXPECT_EQ(m.Load(temp / "E.xlf"), VE_OK);
    struct Row { VError code; const char* expected; };
    const Row rows[] = {
        {MakeVError(MakeOsType("QZRT"), -10719), "negative"},   // 15 characters: the longest key
        {MakeNuvoError(123456789), "cut"},                      // ERR_nuvo_123456789 cut to 15
        {MakeNuvoError(5), "(none)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        VString out("(none)");
        (void) m.manager->LocalizeErrorMessage(row.code, out);
        EXPECT_EQ(to_string(out), row.expected);
    }

    const char* fallback = "More information is available in the log file '{LogFilePath}'";
    {
        StLocalizerInstalled none(nullptr);
        EXPECT_EQ(to_string(LocalizeString(VString("MoreInformationsAvailableInLogFile"), fallback)), fallback);
        EXPECT_EQ(to_string(LocalizeString(VString("k"), "caf\xC3\xA9")), "café");
        EXPECT_TRUE(LocalizeString(VString("k"), nullptr).IsEmpty());
    }
    StLocalizerInstalled installed(m.manager.Get());
    EXPECT_EQ(to_string(LocalizeString(VString("MoreInformationsAvailableInLogFile"), fallback)), "See {LogFilePath}");

    // The error model formats the localized text with the record's parameters.
    auto error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MakeVError(kComponentUpdater, 3)));
    error->GetBag()->SetString(StPackedDictionaryKey("path"), VString("/Apps/Client.app/"));
    VString description;
    error->GetErrorDescription(description);
    EXPECT_EQ(to_string(description), "Missing '/Apps/Client.app/'.");
}

TEST(VLocalizationManager, UpdateIfNeededReloadsChangedAndNewFiles)
{
    StTempFolder temp;
    const std::string res = temp / "Resources";
    MakeTree(res, {"en.lproj/"});
    WriteFile(res + "/en.lproj/A.xlf", Xliff("en", Unit("k", "old") + Unit("gone", "g")));
    Manager m;
    ASSERT_TRUE(m.manager->LoadDefaultLocalizationFolders(FolderAt(res).Get()));
    EXPECT_FALSE(m.manager->DoesNeedAnUpdate());

    WriteFile(res + "/en.lproj/A.xlf", Xliff("en", Unit("k", "new")));
    SetTimes(res + "/en.lproj/A.xlf", {1000, 0}, {1000, 0});
    EXPECT_TRUE(m.manager->DoesNeedAnUpdate());
    m.manager->UpdateIfNeeded();
    EXPECT_EQ(m["k"] + "|" + m["gone"], "new|(none)");
    EXPECT_FALSE(m.manager->DoesNeedAnUpdate());

    WriteFile(res + "/en.lproj/B.xlf", Xliff("en", Unit("added", "b")));
    EXPECT_TRUE(m.manager->DoesNeedAnUpdate());
    m.manager->UpdateIfNeeded();
    EXPECT_EQ(m["added"], "b");
}

} // namespace
} // namespace nuvo::test
