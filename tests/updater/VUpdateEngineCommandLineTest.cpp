#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/commandline/VCommandLineParser.h"
#include "tests/kernel/process/StChildProcess.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {
namespace {

const std::string kNotEnough = "not enough arguments from the command line (required <dest> <src>)\n\n";
const std::string kTooMany = "two many arguments from the command line\n";
const std::string kUpToDate = "mismatched value for option --uptodate-app\n\n";
const std::string kOutdated = "mismatched value for option --outdated-app\n\n";

// The listing as printed for the program path "updater".
std::string HelpGolden()
{
    return test::ReadFile(NUVO_UPDATER_TEST_DATA "/updater-help.txt");
}

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
        {"/My Apps/\xC3\x9Cn\xC3\xAF" "code.app", "/My Apps/\xC3\x9Cn\xC3\xAF" "code.app/", true},
        {"", "", false},
        {"relative/A.app", "relative/A.app/", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        VFilePath path(VString("/previous/"), FilePathStyle::Posix);
        VUpdateEngine::FixFolderPathSpec(VString(row.text), FilePathStyle::Posix, path);
        EXPECT_EQ(to_string(path.GetPath()), row.path);
        EXPECT_EQ(path.IsFolder(), row.valid);
    }
}

// Exposes the command-line hook; the object is never initialised.
class TestableEngine : public VUpdateEngine {
public:
    using VUpdateEngine::DoParseCommandLine;

    // Every member the command line fills, as one text.
    std::string Members() const
    {
        return "old=" + to_string(GetOutdatedApplication().GetPath()) +
               " new=" + to_string(GetUpToDateApplication().GetPath()) +
               " install=" + to_string(GetInstallPath().GetPath()) + " pid=" + std::to_string(GetCallerPid()) +
               " silent=" + std::to_string(IsSilent()) + " progress=" + std::to_string(IsReportingProgressToCaller()) +
               " logs=" + to_string(GetLogFolder().GetPath()) + " info=" + to_string(GetClientInfoFile().GetPath()) +
               " params=" + to_string(GetRestartParamsFile().GetPath()) +
               " headless=" + std::to_string(IsRestartingHeadless());
    }
};

const std::string kUntouched =
    "old= new= install= pid=-1 silent=0 progress=0 logs= info= params= headless=0";
const std::string kPlain =
    "old=/a/Old.app/ new=/b/New.app/ install=/a/Old.app/ pid=-1 silent=0 progress=0 logs= info= params= headless=0";

TEST(VUpdateEngineCommandLine, ChecksMessagesAndMembers)
{
    struct Row {
        const char* name;
        std::vector<const char*> args;
        int result;
        std::string out, err, members;
    };
    const std::vector<Row> rows = {
        {"no arguments", {}, 1, "", kUpToDate + kOutdated, kUntouched},
        {"one argument", {"/a/Old.app"}, 1, "", kNotEnough, kUntouched},
        {"three arguments", {"/a/Old.app", "/b/New.app", "/c"}, 1, "", kTooMany, kUntouched},
        {"two arguments", {"/a/Old.app", "/b/New.app/"}, 0, "", "", kPlain},
        {"empty second argument", {"/a/Old.app", ""}, 1, "", kUpToDate, kUntouched},
        {"empty first argument", {"", "/b/New.app"}, 1, "", kOutdated, kUntouched},
        {"both empty", {"", ""}, 1, "", kUpToDate + kOutdated, kUntouched},
        {"after --", {"--", "/a/Old.app", "/b/New.app"}, 0, "", "", kPlain},
        {"options instead of arguments", {"--outdated-app", "/a/Old.app", "--uptodate-app=/b/New.app"}, 0, "", "", kPlain},
        {"option equal but for case keeps its own text", {"--outdated-app=/A/old.APP", "/a/Old.app", "/b/New.app"}, 0,
         "", "", "old=/A/old.APP/ new=/b/New.app/ install=/A/old.APP/ pid=-1 silent=0 progress=0 logs= info= params= headless=0"},
        {"both options differ", {"--outdated-app=/x", "--uptodate-app=/y", "/a/Old.app", "/b/New.app"}, 1, "",
         kOutdated + kUpToDate, kUntouched},
        {"up-to-date option differs", {"--uptodate-app=/y", "/a/Old.app", "/b/New.app"}, 1, "", kUpToDate, kUntouched},
        {"only the up-to-date option", {"--uptodate-app=/y"}, 1, "", kOutdated, kUntouched},
        {"every option",
         {"--pid", "--silent", "812", "--caller-log=x", "--log-dir", "/logs", "--client-info", "/c/info.json",
          "--restart-params=/p/link.QZlink", "--restart-headless", "--install-path=/elsewhere", "/a/Old.app",
          "/b/New.app"},
         0, "", "",
         "old=/a/Old.app/ new=/b/New.app/ install=/a/Old.app/ pid=812 silent=1 progress=1 logs=/logs/ "
         "info=/c/info.json params=/p/link.QZlink headless=1"},
        {"empty caller log", {"--caller-log=", "/a/Old.app", "/b/New.app"}, 0, "", "", kPlain},
        {"bad pid", {"--pid=12a", "/a/Old.app", "/b/New.app"}, 1, "",
         "invalid value for argument '--pid' got \"12a\" expected a signed integral\n",
         "old= new= install= pid=-1 silent=0 progress=0 logs= info= params= headless=0"},
        {"version", {"--version", "--pid=4"}, 2, QZ_PROJECT_VERSION "\n", "",
         "old= new= install= pid=4 silent=0 progress=0 logs= info= params= headless=0"},
        {"version with a bad value", {"--version", "--pid=x"}, 1, "",
         "invalid value for argument '--pid' got \"x\" expected a signed integral\n", kUntouched},
        {"unknown option", {"--pid=3", "--nope", "/a", "/b"}, 1, "", "error: unknown option `nope`\n",
         "old= new= install= pid=3 silent=0 progress=0 logs= info= params= headless=0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<VString> args = {VString("updater")};
        args.insert(args.end(), row.args.begin(), row.args.end());
        TestableEngine engine;
        VCommandLineParser parser(args);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(engine.DoParseCommandLine(parser), row.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.err);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), row.out);
        EXPECT_EQ(engine.Members(), row.members);
    }
}

TEST(VUpdateEngineCommandLine, RelativePathsAreTakenFromTheCurrentFolder)
{
    test::StTempFolder temp;
    const std::string cwd = std::filesystem::canonical(temp.Path()).string();
    const std::string previous = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    const std::vector<VString> args = {VString("updater"), VString("--log-dir=logs"),
        VString("--client-info=c i.json"), VString("--restart-params=./p.QZlink"), VString("My Apps/Old.app"),
        VString("../b/New.app")};
    TestableEngine engine;
    VCommandLineParser parser(args);
    EXPECT_EQ(engine.DoParseCommandLine(parser), 0);
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_EQ(engine.Members(), "old=" + cwd + "/My Apps/Old.app/ new=" + std::filesystem::path(cwd).parent_path().string() + "/b/New.app/ install=" + cwd
        + "/My Apps/Old.app/ pid=-1 silent=0 progress=0 logs=" + cwd + "/logs/ info=" + cwd + "/c i.json params="
        + cwd + "/p.QZlink headless=0");
}

TEST(VUpdateEngineCommandLine, HelpListingAndManPage)
{
    std::vector<VString> args = {VString("updater"), VString("/a"), VString("--help"), VString("/b")};
    TestableEngine engine;
    VCommandLineParser parser(args);
    testing::internal::CaptureStdout();
    EXPECT_EQ(engine.DoParseCommandLine(parser), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), HelpGolden());

    VString man;
    VUpdateEngine::ExportOptionsAsManPage(man);
    const std::string text = to_string(man);
    EXPECT_EQ(text.rfind(".SH OPTIONS\n.TP\n.BR \\-\\-pid=\\fIVALUE\\fR\nWait for the caller's pid\n", 0), 0u) << text;
    EXPECT_NE(text.find(".TP\n.BR \\-\\-restart-params=\\fIVALUE\\fR\nindicates the full path to the QZLink file that "
                        "will be passed back to the restarted application. This does not apply if the application is "
                        "started as a service\n"),
              std::string::npos);
    EXPECT_NE(text.find(".SS \"Help:\"\n.TP\n.BR \\-\\-version\nPrint the version and exits\n"), std::string::npos);
    EXPECT_EQ(text.find("help\n"), std::string::npos) << "the implicit help option is the listing's alone";
}

// The built program, run from a copy of its bundle in the test's folder.
class UpdaterCommandLineProgram : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy(NUVO_UPDATER_BUNDLE, fBundle, std::filesystem::copy_options::recursive);
    }

    int Run(const std::vector<std::string>& args, std::string& out, std::string& err)
    {
        return test::ExitCodeOf(test::RunChild(fBundle + "/Contents/MacOS/updater", args, out, err));
    }

    test::StTempFolder fTemp;
    std::string fBundle = fTemp / "Updater.app";
    test::StEnvVar fHome{"HOME", fTemp.Path()};
    test::StEnvVar fDataHome{"XDG_DATA_HOME", fTemp / "data"};
    test::StEnvVar fDisplay{"DISPLAY", std::nullopt};
    test::StEnvVar fWayland{"WAYLAND_DISPLAY", std::nullopt};
    test::StEnvVar fNoColour{"NO_COLOR", std::nullopt};
};

TEST_F(UpdaterCommandLineProgram, OutputAndExitCodes)
{
    const std::string logs = fTemp / "logs";
    const std::string help = "Usage: " + fBundle + "/Contents/MacOS/updater" + HelpGolden().substr(14);
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string out, err;
    };
    const std::vector<Row> rows = {
        {"help", {"--log-dir", logs, "--help"}, 0, help, ""},
        {"short help", {"-h", "--log-dir", logs}, 0, help, ""},
        {"version", {"--version", "--log-dir", logs}, 0, QZ_PROJECT_VERSION "\n", ""},
        {"version with a bad value", {"--version", "--pid", "x"}, 1, "",
         "invalid value for argument '--pid' got \"x\" expected a signed integral\n"},
        {"help with a value", {"--help=x"}, 1, "", "error: invalid value for option  `help`\n"},
        {"flag with a value", {"--silent=1", "/a", "/b"}, 1, "", "error: a value for option `silent` is not required\n"},
        {"pid last", {"/a", "/b", "--pid"}, 1, "", "error: missing value for option --pid\n"},
        {"no arguments", {}, 1, "", kUpToDate + kOutdated},
        {"one argument", {"/a"}, 1, "", kNotEnough},
        {"three arguments", {"/a", "/b", "/c"}, 1, "", kTooMany},
        {"empty argument", {"/a", ""}, 1, "", kUpToDate},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out, err;
        EXPECT_EQ(Run(row.args, out, err), row.exitCode);
        EXPECT_EQ(out, row.out);
        EXPECT_EQ(err, row.err);
    }
    EXPECT_FALSE(std::filesystem::exists(logs)) << "help and version stop before the log is opened";
}

// Runs the updater with --help on a pseudo-terminal; returns what it printed there.
std::string HelpOnTerminal(const std::string& updater)
{
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execl(updater.c_str(), updater.c_str(), "--help", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string out;
    if (pid < 0)
        return out;
    char buffer[4096];
    ssize_t count;
    // EIO tells that the child side is closed.
    while ((count = ::read(master, buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(count));
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

TEST_F(UpdaterCommandLineProgram, ColourOnlyOnATerminalWithoutNoColour)
{
    const std::string updater = fBundle + "/Contents/MacOS/updater";
    const std::string coloured = HelpOnTerminal(updater);
    EXPECT_NE(coloured.find("\x1B[0;32m      --pid=VALUE            \x1B[0mWait for the caller's pid"), std::string::npos)
        << coloured;
    EXPECT_NE(coloured.find("\x1B[0;33m\r\nHelp:\r\n\x1B[0m"), std::string::npos) << "paragraphs in yellow";

    test::StEnvVar noColour{"NO_COLOR", "1"};
    const std::string plain = HelpOnTerminal(updater);
    EXPECT_NE(plain.find("Wait for the caller's pid"), std::string::npos) << plain;
    EXPECT_EQ(plain.find('\x1B'), std::string::npos);
}

TEST_F(UpdaterCommandLineProgram, ManualPageInTheBundle)
{
    const std::string page = test::ReadFile(fBundle + "/Contents/Resources/updater.1");
    VString section;
    VUpdateEngine::ExportOptionsAsManPage(section);
    EXPECT_EQ(page.rfind(".TH UPDATER 1", 0), 0u) << page;
    EXPECT_NE(page.find(to_string(section)), std::string::npos) << "in step with the declarations";
}

} // namespace
} // namespace nuvo
