#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorContext.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/kernel/process/StChildProcess.h"
#include "tests/support/StEnvVar.h"
#include "tests/updater/UpdaterTestSupport.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

// Runs the customization stage alone on an engine that was never initialised.
class VUpdateEngineTestAccess {
public:
    static bool Customize(const std::string& clientInfo, const std::string& uptodateBundle)
    {
        VUpdateEngine engine;
        engine.fClientInfoFile = VFilePath(VString(clientInfo.c_str()), FilePathStyle::Posix);
        engine.fUpToDateApplication = VFilePath(VString(uptodateBundle.c_str()), FilePathStyle::Posix);
        return engine._FinishClientCustomization();
    }
};

namespace test {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

std::string Link(const std::string& name, const std::string& path, const std::string& cache)
{
    return kDeclaration + "<database_shortcut is_remote=\"true\" server_database_name=\"" + name + "\" server_path=\""
           + path + "\" cache_folder_name=\"" + cache + "\" remote_shared_resources=\"false\"/>";
}

TEST(VUpdateEngineCustomization, LinkFileAndExecutable)
{
    struct Row {
        const char* name;
        const char* json;            // null: no client-info file
        unsigned modeBefore;
        const char* link;            // expected link file bytes, null: no file
        unsigned modeAfter;
        bool ok;
    };
    const std::string full = Link("Sales DB", "srv.example:19812", "SalesCache");
    const std::string escaped = Link("a&lt;b&gt;&amp;&quot;c&apos;", "srv.example", "");
    const std::string addressOnly = Link("", "srv.example", "");
    const Row rows[] = {
        {"server platform alone: no link, execute bits added", R"({"ServerPlatform":"linux"})", 0644, nullptr, 0755, true},
        {"all settings",
         R"({"ServerPlatform":"x","BuildIPAdress":"srv.example","BuildIPPort":"19812","PublishName":"Sales DB",)"
         R"("BuildCacheFolderNameClient":"SalesCache","Other":1})",
         0755, full.c_str(), 0755, true},
        {"port as a number is left out, missing names are empty",
         R"({"ServerPlatform":"x","BuildIPAdress":"srv.example","BuildIPPort":19812,"PublishName":7})", 0700,
         addressOnly.c_str(), 0711, true},
        {"texts escaped", R"({"ServerPlatform":"x","BuildIPAdress":"srv.example","PublishName":"a<b>&\"c'"})", 0644,
         escaped.c_str(), 0755, true},
        {"address as a number: no link", R"({"ServerPlatform":"x","BuildIPAdress":1,"BuildIPPort":"1"})", 0644, nullptr,
         0755, true},
        {"server platform as a number", R"({"ServerPlatform":1,"BuildIPAdress":"srv.example"})", 0644, nullptr, 0644, false},
        {"server platform missing", R"({"BuildIPAdress":"srv.example"})", 0644, nullptr, 0644, false},
        {"root is an array", R"([{"ServerPlatform":"x"}])", 0644, nullptr, 0644, false},
        {"not JSON", "<xml/>", 0644, nullptr, 0644, false},
        {"no such file", nullptr, 0644, nullptr, 0644, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        MakeTree(temp.Path(), {"New.app/", "New.app/Contents/", "New.app/Contents/MacOS/",
                               "New.app/Contents/Info.plist=<plist><dict><key>CFBundleExecutable</key><string>client</string></dict></plist>"});
        WriteFile(temp / "New.app/Contents/MacOS/client", "#!/bin/sh\n", row.modeBefore);
        if (row.json)
            WriteFile(temp / "client.json", row.json);
        StErrorContextInstaller errors(true, true);
        EXPECT_EQ(VUpdateEngineTestAccess::Customize(temp / "client.json", temp / "New.app/"), row.ok);
        if (row.ok)
            EXPECT_EQ(errors.GetLastError(), VError(0));
        else
            EXPECT_EQ(errors.GetLastError(), MakeVError(MakeOsType("UPQZ"), 41));
        const std::string link = temp / "New.app/Contents/Database/EnginedServer.QZlink";
        if (row.link)
            EXPECT_EQ(ReadFile(link), row.link);
        else
            EXPECT_FALSE(EntryExists(link));
        EXPECT_EQ(Mode(temp / "New.app/Contents/MacOS/client") & 07777, row.modeAfter);
        errors.GetContext()->Flush();
    }
}

TEST(VUpdateEngineCustomization, ExistingLinkReplacedAndOddBundles)
{
    StTempFolder temp;
    WriteFile(temp / "client.json", R"({"ServerPlatform":"x","BuildIPAdress":"h"})");
    // A longer link file with other attributes is replaced whole; no Info.plist is no error.
    MakeTree(temp.Path(), {"A.app/", "A.app/Contents/", "A.app/Contents/Database/",
                           "A.app/Contents/Database/EnginedServer.QZlink=<database_shortcut old=\"1\" server_path=\"old.example:1\"/>  "});
    {
        StErrorContextInstaller errors(true, true);
        EXPECT_TRUE(VUpdateEngineTestAccess::Customize(temp / "client.json", temp / "A.app/"));
        EXPECT_EQ(ReadFile(temp / "A.app/Contents/Database/EnginedServer.QZlink"), Link("", "h", ""));
    }
    // Contents is a file: the folder cannot be made, the write fails and stops the stage.
    MakeTree(temp.Path(), {"B.app/", "B.app/Contents=not a folder"});
    StErrorContextInstaller errors(true, true);
    EXPECT_FALSE(VUpdateEngineTestAccess::Customize(temp / "client.json", temp / "B.app/"));
    EXPECT_NE(errors.GetLastError(), VError(0));
    EXPECT_EQ(ReadFile(temp / "B.app/Contents"), "not a folder");
    errors.GetContext()->Flush();
}

// The built program, from a copy of its bundle: the customized bundle is what gets installed; a
// bad client-info file stops the update before anything is swapped.
TEST(VUpdateEngineCustomization, ThroughTheProgram)
{
    const std::string settings =
        R"({"ServerPlatform":"x","BuildIPAdress":"srv.example","BuildIPPort":"19812","PublishName":"Sales DB"})";
    struct Row {
        const char* name;
        const char* json;
        bool asFolderPath;   // the option's text ends in '/'
        int exitCode;
        const char* link;    // link file of the installed bundle, null: none
    };
    const std::string link = Link("Sales DB", "srv.example:19812", "");
    const Row rows[] = {
        {"settings: link installed, executable restarted", settings.c_str(), false, 0, link.c_str()},
        {"path ending in '/': stage skipped", settings.c_str(), true, 0, nullptr},
        {"server platform as a number", R"({"ServerPlatform":2})", false, 2, nullptr},
        {"no such file", nullptr, false, 2, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        StEnvVar home("HOME", temp / "home"), dataHome("XDG_DATA_HOME", temp / "home/.local/share");
        StEnvVar display("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", std::nullopt);
        std::filesystem::copy(NUVO_UPDATER_BUNDLE, temp / "Updater.app", std::filesystem::copy_options::recursive);
        MakeSampleBundle(temp / "Old.app", "1", temp / "record");
        MakeSampleBundle(temp / "New.app", "2", temp / "record");
        // The new executable lacks its execute bits: the installed copy shows whether the stage ran.
        SetMode(temp / "New.app/Contents/MacOS/Client", 0644);
        if (row.json)
            WriteFile(temp / "client.json", row.json);
        std::string out, err;
        const std::string clientInfo = temp / (row.asFolderPath ? "client.json/" : "client.json");
        EXPECT_EQ(ExitCodeOf(RunChild(temp / "Updater.app/Contents/MacOS/updater",
                                      {"--silent", "--log-dir", temp / "logs", "--client-info", clientInfo,
                                       temp / "Old.app", temp / "New.app"},
                                      out, err)),
                  row.exitCode)
            << err;
        const std::string installed = temp / "Old.app/Contents/";
        if (row.link)
            EXPECT_EQ(ReadFile(installed + "Database/EnginedServer.QZlink"), row.link);
        else
            EXPECT_FALSE(EntryExists(installed + "Database"));
        // A stopped customization leaves the old bundle in place, untouched.
        EXPECT_EQ(ReadFile(installed + "Resources/version"), row.link ? "2" : (row.asFolderPath ? "2" : "1"));
        EXPECT_EQ(Mode(installed + "MacOS/Client") & 0777, row.link ? 0755u : (row.asFolderPath ? 0644u : 0755u));
    }
}

} // namespace
} // namespace test
} // namespace nuvo
