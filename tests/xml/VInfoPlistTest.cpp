#include <gtest/gtest.h>

#include <filesystem>

#include "kernel/errors/StErrorContextInstaller.h"
#include "tests/kernel/process/StChildProcess.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/xml/XMLTestSupport.h"
#include "xml/VInfoPlist.h"

namespace nuvo::test {
namespace {

std::string Plist(const std::string& dict)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://127.0.0.1/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">" + dict + "</plist>\n";
}

TEST(VInfoPlist, StringsOfTheTopDictionary)
{
    struct Row {
        const char* name;
        std::string content;
        bool loads;
        const char* expected;   // "CFBundleExecutable" or null when absent
    };
    const Row rows[] = {
        {"plain", Plist("<dict><key>CFBundleExecutable</key><string>app</string></dict>"), true, "app"},
        {"after values of other kinds",
         Plist("<dict><key>n</key><integer>3</integer><key>b</key><true/><key>d</key><dict><key>CFBundleExecutable</key>"
               "<string>inner</string></dict><key>CFBundleExecutable</key><string>a &amp; b</string></dict>"),
         true, "a & b"},
        {"key of a non-string value", Plist("<dict><key>CFBundleExecutable</key><array><string>x</string></array></dict>"),
         true, nullptr},
        {"empty string", Plist("<dict><key>CFBundleExecutable</key><string/></dict>"), true, ""},
        {"string without a key", Plist("<dict><string>x</string><key>CFBundleExecutable</key></dict>"), true, nullptr},
        {"no dictionary", Plist("<array/>"), false, nullptr},
        {"other root", "<dict><key>CFBundleExecutable</key><string>x</string></dict>", false, nullptr},
        {"malformed", Plist("<dict><key>CFBundleExecutable</key><string>x</dict>"), false, nullptr},
    };
    StTempFolder temp;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFile(temp / "Info.plist", row.content);
        StErrorContextInstaller errors(true, true);
        VInfoPlist plist;
        EXPECT_EQ(plist.LoadFromFile(*FileAt(temp / "Info.plist")), row.loads);
        VString value("unchanged");
        EXPECT_EQ(plist.GetString(VString("CFBundleExecutable"), value), row.expected != nullptr);
        EXPECT_EQ(to_string(value), row.expected ? row.expected : "unchanged");
        errors.GetContext()->Flush();
    }
}

TEST(VInfoPlist, BundleExecutable)
{
    struct Row {
        const char* name;
        const char* executable;   // the CFBundleExecutable text, or null for no Info.plist
        const char* found;        // path inside the bundle, or null
    };
    const Row rows[] = {
        {"named file", "client", "B.app/Contents/MacOS/client"},
        {"missing file", "other", nullptr},
        {"a folder", "tools", nullptr},
        {"a path", "../MacOS/client", nullptr},
        {"parent", "..", nullptr},
        {"no Info.plist", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        MakeTree(temp.Path(), {"B.app/", "B.app/Contents/", "B.app/Contents/MacOS/", "B.app/Contents/MacOS/client=x",
                               "B.app/Contents/MacOS/tools/"});
        if (row.executable)
            WriteFile(temp / "B.app/Contents/Info.plist",
                      Plist(std::string("<dict><key>CFBundleExecutable</key><string>") + row.executable + "</string></dict>"));
        StErrorContextInstaller errors(true, true);
        auto file = VRefPtr<VFile>::Adopt(VInfoPlist::RetainBundleExecutable(*FolderAt(temp / "B.app/")));
        EXPECT_EQ(errors.GetLastError(), VError(0));
        if (row.found) {
            ASSERT_TRUE(file);
            EXPECT_EQ(PosixOf(file->GetPathRef()), temp / row.found);
        } else {
            EXPECT_FALSE(file);
        }
    }
}

TEST(VInfoPlist, ProductNameAndVersionOfTheMainBundle)
{
    const std::string fallback = std::string("QZ Updater\n") + QZ_PROJECT_VERSION + "\n";
    struct Row {
        const char* name;
        const char* plist;   // null: no Info.plist
        std::string output;
    };
    const Row rows[] = {
        {"both keys",
         "<plist><dict><key>CFBundleName</key><string>Probe &amp; Co</string><key>CFBundleShortVersionString</key>"
         "<string>9.8.7</string></dict></plist>",
         "Probe & Co\n9.8.7\n"},
        {"version only", "<plist><dict><key>CFBundleShortVersionString</key><string>2.0</string></dict></plist>",
         "QZ Updater\n2.0\n"},
        {"malformed", "<plist><dict><key>CFBundleName</key><string>X</dict>", fallback},
        {"outside a bundle", nullptr, fallback},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        MakeTree(temp.Path(), {"P.app/", "P.app/Contents/", "P.app/Contents/MacOS/"});
        const std::string probe = temp / "P.app/Contents/MacOS/probe";
        std::filesystem::copy_file(NUVO_BUNDLE_INFO_PROBE, probe);
        if (row.plist)
            WriteFile(temp / "P.app/Contents/Info.plist", row.plist);
        std::string out, err;
        EXPECT_EQ(ExitCodeOf(RunChild(probe, {}, out, err)), 0) << err;
        EXPECT_EQ(out, row.output);
    }
}

} // namespace
} // namespace nuvo::test
