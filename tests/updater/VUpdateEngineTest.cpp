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

using test::ExitCodeOf;
using test::RunChild;

const std::string kBuiltBundle = NUVO_UPDATER_BUNDLE;

TEST(VUpdateEngineFolderPaths, FixFolderPathSpec)
{
    struct Row {
        const char* text;
        const char* path;
        bool valid;
    };
    const Row rows[] = {
        {"/Applications/A.app", "/Applications/A.app/", true},
        {"/Applications/A.app/", "/Applications/A.app/", true},
        {"/a//b/./c", "/a/b/c/", true},
        {"/", "/", true},
        {"/My Apps/Ünïcode.app", "/My Apps/Ünïcode.app/", true},
        {"", "", false},
        // A relative text is kept but never valid.
        {"relative/A.app", "relative/A.app/", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        VFilePath path(VString("/previous/"), FilePathStyle::Posix);
        VUpdateEngine::FixFolderPathSpec(VString(row.text), FilePathStyle::Posix, path);
        EXPECT_EQ(to_string(path.GetPath()), row.path);
        EXPECT_EQ(path.IsValid(), row.valid);
        if (row.valid) {
            EXPECT_TRUE(path.IsFolder());
        }
    }
}

// Exposes the command-line hook; the object is never initialised, so it switches nothing on.
class TestableEngine : public VUpdateEngine {
public:
    using VUpdateEngine::DoParseCommandLine;
    using VUpdateEngine::DoRun;
};

TEST(VUpdateEngineCommandLine, PlainArguments)
{
    const std::string kNotEnough = "not enough arguments from the command line (required <dest> <src>)\n\n";
    const std::string kTooMany = "two many arguments from the command line\n";
    const std::string kUpToDate = "mismatched value for option --uptodate-app\n\n";
    const std::string kOutdated = "mismatched value for option --outdated-app\n\n";
    struct Row {
        const char* name;
        std::vector<const char*> args;
        int result;
        std::string err;
        const char* outdated;
        const char* upToDate;
    };
    const std::vector<Row> rows = {
        {"no arguments", {}, 1, kUpToDate + kOutdated, "", ""},
        {"one", {"/a/Old.app"}, 1, kNotEnough, "", ""},
        {"three", {"/a/Old.app", "/b/New.app", "/c"}, 1, kTooMany, "", ""},
        {"two", {"/a/Old.app", "/b/New.app/"}, 0, "", "/a/Old.app/", "/b/New.app/"},
        {"empty up-to-date", {"/a/Old.app", ""}, 1, kUpToDate, "", ""},
        {"empty outdated", {"", "/b/New.app"}, 1, kOutdated, "", ""},
        {"both empty", {"", ""}, 1, kUpToDate + kOutdated, "", ""},
        {"after end of options", {"--", "/a/Old.app", "/b/New.app"}, 0, "", "/a/Old.app/", "/b/New.app/"},
        {"parser error wins", {"--pid=3", "/a/Old.app", "/b/New.app"}, 1, "error: unknown option `pid`\n", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<VString> args = {VString("/x/Updater.app/Contents/MacOS/updater")};
        for (const char* arg : row.args)
            args.emplace_back(arg);
        TestableEngine engine;
        VCommandLineParser parser(args);
        testing::internal::CaptureStderr();
        int result = engine.DoParseCommandLine(parser);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(err, row.err);
        EXPECT_EQ(to_string(engine.GetOutdatedApplication().GetPath()), row.outdated);
        EXPECT_EQ(to_string(engine.GetUpToDateApplication().GetPath()), row.upToDate);
        // The install path always follows the outdated bundle.
        EXPECT_EQ(to_string(engine.GetInstallPath().GetPath()), row.outdated);
    }
}

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
    struct Expected {
        VError code;
        std::string path;
    };
    struct Row {
        const char* name;
        std::string outdated;
        std::string upToDate;
        std::vector<Expected> errors;
    };
    const std::vector<Row> rows = {
        {"both present", old, fresh, {}},
        {"both missing", gone, gone + "x/", {{kOutdatedMissing, gone}, {kUpToDateMissing, gone + "x/"}}},
        {"outdated missing", gone, fresh, {{kOutdatedMissing, gone}}},
        {"up-to-date missing", old, gone, {{kUpToDateMissing, gone}}},
        {"up-to-date is a file", old, file, {{kUpToDateMissing, file}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestableEngine engine;
        std::vector<VString> args = {VString("/u"), VString(row.outdated.c_str()), VString(row.upToDate.c_str())};
        VCommandLineParser parser(args);
        ASSERT_EQ(engine.DoParseCommandLine(parser), 0);
        {
            StErrorContextInstaller outer(true, false);
            engine.DoRun();
            ASSERT_NE(outer.GetContext(), nullptr);
            const auto& stack = outer.GetContext()->GetErrorStack();
            ASSERT_EQ(stack.size(), row.errors.size());
            for (size_t i = 0; i < stack.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(stack[i]->GetError(), row.errors[i].code);
                VString path;
                EXPECT_TRUE(stack[i]->GetBag()->GetString(StPackedDictionaryKey("path"), path));
                EXPECT_EQ(to_string(path), row.errors[i].path);
            }
        }
        VTask::GetCurrent()->FlushErrors();
    }
}

TEST(UpdaterBundle, LayoutOfTheBuiltBundle)
{
    struct stat info;
    ASSERT_EQ(::stat((kBuiltBundle + "/Contents/MacOS/updater").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);
    ASSERT_EQ(::stat((kBuiltBundle + "/Contents/Resources").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));

    std::string plist = test::ReadFile(kBuiltBundle + "/Contents/Info.plist");
    EXPECT_EQ(plist.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
    for (const char* fragment : {"<key>CFBundleExecutable</key>\n\t<string>updater</string>",
                                 "<key>CFBundleName</key>\n\t<string>QZ Updater</string>",
                                 "<key>CFBundleShortVersionString</key>\n\t<string>" QZ_PROJECT_VERSION "</string>"}) {
        SCOPED_TRACE(fragment);
        EXPECT_NE(plist.find(fragment), std::string::npos);
    }
    // The build tree is not written into the bundle's description.
    EXPECT_EQ(plist.find(kBuiltBundle), std::string::npos);
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
    }

    int Run(const std::vector<std::string>& args, std::string& out, std::string& err)
    {
        return ExitCodeOf(RunChild(fBundle + "/Contents/MacOS/updater", args, out, err));
    }

    std::string MakeBundle(const std::string& name)
    {
        std::string path = fTemp / name;
        std::filesystem::create_directories(path + "/Contents/MacOS");
        return path;
    }

    test::StTempFolder fTemp;
    std::string fBundle = fTemp / "Install Folder/Updater.app";
    test::StEnvVar fHome{"HOME", fTemp / "home"};
    test::StEnvVar fDataHome{"XDG_DATA_HOME", fTemp / "home/.local/share"};
    test::StEnvVar fDisplay{"DISPLAY", std::nullopt};
    test::StEnvVar fWayland{"WAYLAND_DISPLAY", std::nullopt};
};

TEST_F(UpdaterProgram, CommandLineErrorsExitWithOne)
{
    struct Row {
        const char* name;
        std::vector<std::string> args;
        const char* err;
    };
    const std::vector<Row> rows = {
        {"no arguments",
         {},
         "mismatched value for option --uptodate-app\n\nmismatched value for option --outdated-app\n\n"},
        {"one argument", {"/x/A.app"}, "not enough arguments from the command line (required <dest> <src>)\n\n"},
        {"three arguments", {"/x/A.app", "/y/B.app", "/z"}, "two many arguments from the command line\n"},
        {"unknown option", {"--nope", "/x/A.app", "/y/B.app"}, "error: unknown option `nope`\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out, err;
        EXPECT_EQ(Run(row.args, out, err), 1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, row.err);
    }
}

TEST_F(UpdaterProgram, MissingBundlesExitWithTwo)
{
    std::string present = MakeBundle("Present.app");
    std::string missing = fTemp / "Missing.app";
    struct Row {
        const char* name;
        std::string outdated;
        std::string upToDate;
        int exitCode;
    };
    const Row rows[] = {
        {"both missing", missing, fTemp / "Gone.app", 2},
        {"outdated missing", missing, present, 2},
        {"up-to-date missing", present, missing, 2},
        // A file is not a bundle folder.
        {"up-to-date is a file", present, fTemp / "file.app", 2},
    };
    test::WriteFile(fTemp / "file.app", "not a folder");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out, err;
        EXPECT_EQ(Run({row.outdated, row.upToDate}, out, err), row.exitCode);
        EXPECT_EQ(out, "");
    }
}

TEST_F(UpdaterProgram, ProcessSerialNumberIsNotAnArgument)
{
    // Two bundles that exist: the checks that exist so far pass. Were the -psn_ argument kept,
    // the command line would hold three arguments and fail with 1.
    std::string outdated = MakeBundle("Old.app");
    std::string upToDate = MakeBundle("New.app");
    std::string out, err;
    EXPECT_EQ(Run({"-psn_0_4242", outdated, upToDate}, out, err), 0);
    EXPECT_EQ(err, "");
}

TEST_F(UpdaterProgram, ResourcesOfTheBundleDuringStartUp)
{
    // Missing bundles end the run with 2, which shows that initialisation went through; a
    // start-up failure ends with 1 before anything runs.
    const std::string resources = fBundle + "/Contents/Resources";
    const std::vector<std::string> args = {fTemp / "Old.app", fTemp / "New.app"};
    std::string out, err;

    std::filesystem::remove_all(resources);
    EXPECT_EQ(Run(args, out, err), 2) << "without a Resources folder";

    std::filesystem::create_directories(resources);
    test::WriteFile(resources + "/fileSystems.json", "{}\n");
    EXPECT_EQ(Run(args, out, err), 2) << "with a readable fileSystems.json";

    ASSERT_EQ(::rename((resources + "/fileSystems.json").c_str(), (resources + "/real.json").c_str()), 0);
    ASSERT_EQ(::symlink("real.json", (resources + "/fileSystems.json").c_str()), 0);
    EXPECT_EQ(Run(args, out, err), 2) << "with fileSystems.json as a link";
    ASSERT_EQ(::unlink((resources + "/fileSystems.json").c_str()), 0);
    ASSERT_EQ(::rename((resources + "/real.json").c_str(), (resources + "/fileSystems.json").c_str()), 0);

    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file: an unreadable fileSystems.json cannot be made";
    ASSERT_EQ(::chmod((resources + "/fileSystems.json").c_str(), 0), 0);
    EXPECT_EQ(Run(args, out, err), 1) << "with an unreadable fileSystems.json";
    EXPECT_EQ(out, "");
}

} // namespace
} // namespace nuvo
