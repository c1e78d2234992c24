#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/process/VTask.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/process/StChildProcess.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {
namespace {

const std::string kBuiltBundle = NUVO_UPDATER_BUNDLE;

// Exposes the command-line hook and the run; the object is never initialised.
class TestableEngine : public VUpdateEngine {
public:
    using VUpdateEngine::DoParseCommandLine;
    using VUpdateEngine::DoRun;
};

TEST(VUpdateEngineRun, MissingBundlesAreReportedOutdatedFirst)
{
    test::StTempFolder temp;
    ASSERT_TRUE(std::filesystem::create_directory(temp / "Old.app"));
    ASSERT_TRUE(std::filesystem::create_directory(temp / "New.app"));
    test::WriteFile(temp / "File.app", "not a bundle");
    const std::string old = temp / "Old.app/";
    const std::string fresh = temp / "New.app/";
    const std::string gone = temp / "Gone.app/";
    const std::string file = temp / "File.app/";
    const VError kOutdatedMissing = MakeVError(MakeOsType("UPQZ"), 3);
    const VError kUpToDateMissing = MakeVError(MakeOsType("UPQZ"), 2);
    struct Row {
        std::string outdated;
        std::string upToDate;
        std::vector<std::pair<VError, std::string>> errors;   // code and "path", oldest first
    };
    const std::vector<Row> rows = {
        {gone, gone + "x/", {{kOutdatedMissing, gone}, {kUpToDateMissing, gone + "x/"}}},
        {gone, fresh, {{kOutdatedMissing, gone}}},
        {old, file, {{kUpToDateMissing, file}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.outdated + " " + row.upToDate);
        TestableEngine engine;
        std::vector<VString> args = {VString("/u"), VString(row.outdated.c_str()), VString(row.upToDate.c_str())};
        VCommandLineParser parser(args);
        ASSERT_EQ(engine.DoParseCommandLine(parser), 0);
        std::vector<std::pair<VError, std::string>> errors;
        {
            StErrorContextInstaller outer(true, false);
            engine.DoRun();
            for (const auto& record : outer.GetContext()->GetErrorStack()) {
                VString path;
                EXPECT_TRUE(record->GetBag()->GetString(StPackedDictionaryKey("path"), path));
                errors.emplace_back(record->GetError(), to_string(path));
            }
        }
        EXPECT_EQ(errors, row.errors);
        VTask::GetCurrent()->FlushErrors();
    }
}

TEST(UpdaterBundle, LayoutOfTheBuiltBundle)
{
    // The executable is run from a copy of the bundle below.
    EXPECT_TRUE(std::filesystem::is_directory(kBuiltBundle + "/Contents/Resources"));
    std::string plist = test::ReadFile(kBuiltBundle + "/Contents/Info.plist");
    EXPECT_EQ(plist.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
    for (const char* fragment : {"<key>CFBundleExecutable</key>\n\t<string>updater</string>",
                                 "<key>CFBundleName</key>\n\t<string>QZ Updater</string>",
                                 "<key>CFBundleShortVersionString</key>\n\t<string>" QZ_PROJECT_VERSION "</string>"}) {
        EXPECT_NE(plist.find(fragment), std::string::npos) << fragment;
    }
    EXPECT_EQ(plist.find(kBuiltBundle), std::string::npos) << "the build tree is not written into the bundle";
}

// Each test copies the built bundle into its own folder (under a name with a space) and runs
// the copy, with HOME inside the folder.
class UpdaterProgram : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(fTemp / "Install Folder");
        std::filesystem::copy(kBuiltBundle, fBundle, std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(fTemp / "home");
        std::filesystem::create_directories(fTemp / "Old.app/Contents/MacOS");
        std::filesystem::create_directories(fTemp / "New.app/Contents/MacOS");
    }

    int Run(const std::vector<std::string>& args, std::string& out, std::string& err)
    {
        return test::ExitCodeOf(test::RunChild(fBundle + "/Contents/MacOS/updater", args, out, err));
    }

    test::StTempFolder fTemp;
    std::string fBundle = fTemp / "Install Folder/Updater.app";
    test::StEnvVar fHome{"HOME", fTemp / "home"};
    test::StEnvVar fDataHome{"XDG_DATA_HOME", fTemp / "home/.local/share"};
    test::StEnvVar fDisplay{"DISPLAY", std::nullopt};
    test::StEnvVar fWayland{"WAYLAND_DISPLAY", std::nullopt};
};

TEST_F(UpdaterProgram, ExitCodes)
{
    const std::string old = fTemp / "Old.app";
    const std::string fresh = fTemp / "New.app";
    const std::string missing = fTemp / "Missing.app";
    test::WriteFile(fTemp / "file.app", "not a folder");
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const std::vector<Row> rows = {
        {"unknown option", {"--nope", old, fresh}, 1, "error: unknown option `nope`\n"},
        {"both missing", {missing, fTemp / "Gone.app"}, 2, ""},
        {"up-to-date is a file", {old, fTemp / "file.app"}, 2, ""},
        // Were the -psn_ argument kept, the command line would hold three arguments.
        {"process serial number", {"-psn_0_4242", old, fresh}, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out, err;
        EXPECT_EQ(Run(row.args, out, err), row.exitCode);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, row.err);
    }
}

TEST_F(UpdaterProgram, ResourcesOfTheBundleDuringStartUp)
{
    // Missing bundles end the run with 2, which shows that initialisation went through; a
    // start-up failure ends with 1 before anything runs.
    const std::string resources = fBundle + "/Contents/Resources";
    const std::vector<std::string> args = {fTemp / "Gone.app", fTemp / "Missing.app"};
    std::string out, err;

    std::filesystem::remove_all(resources);
    EXPECT_EQ(Run(args, out, err), 2) << "without a Resources folder";

    std::filesystem::create_directories(resources);
    test::WriteFile(resources + "/real.json", "{}\n");
    ASSERT_EQ(::symlink("real.json", (resources + "/fileSystems.json").c_str()), 0);
    EXPECT_EQ(Run(args, out, err), 2) << "with fileSystems.json as a link";

    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file: an unreadable fileSystems.json cannot be made";
    ASSERT_EQ(::chmod((resources + "/real.json").c_str(), 0), 0);
    EXPECT_EQ(Run(args, out, err), 1) << "with an unreadable fileSystems.json";
    EXPECT_EQ(out, "");
}

} // namespace
} // namespace nuvo
