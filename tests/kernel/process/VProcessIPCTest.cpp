#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/platform/XPosixProcessIPC.h"
#include "kernel/process/VProcessIPC.h"
#include "tests/kernel/process/StChildProcess.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

using test::ExitCodeOf;
using test::RunChild;
using test::StChildProcess;

const std::string kProbe = NUVO_PROCESS_PROBE;

std::vector<std::string> ToUTF8(const std::vector<VString>& args)
{
    std::vector<std::string> out;
    for (const VString& arg : args)
        out.push_back(to_string(arg));
    return out;
}

TEST(VProcessIPCArguments, ProcessSerialNumbersAreDropped)
{
    struct Row {
        const char* name;
        std::vector<const char*> argv;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"none", {"/bin/app", "a", "b"}, {"/bin/app", "a", "b"}},
        {"first", {"/bin/app", "-psn_0_12345", "a"}, {"/bin/app", "a"}},
        {"middle", {"/bin/app", "a", "-psn_0_12345", "b"}, {"/bin/app", "a", "b"}},
        {"last", {"/bin/app", "a", "-psn_0_12345"}, {"/bin/app", "a"}},
        {"several", {"/bin/app", "-psn_1", "-psn_2", "x", "-psn_3"}, {"/bin/app", "x"}},
        // Only the five bytes "-psn_" count.
        {"prefix alone", {"/bin/app", "-psn_"}, {"/bin/app"}},
        {"four characters", {"/bin/app", "-psn"}, {"/bin/app", "-psn"}},
        {"other case", {"/bin/app", "-PSN_0_1"}, {"/bin/app", "-PSN_0_1"}},
        {"double dash", {"/bin/app", "--psn_0_1"}, {"/bin/app", "--psn_0_1"}},
        {"not at the start", {"/bin/app", "x-psn_0_1"}, {"/bin/app", "x-psn_0_1"}},
        {"empty argument kept", {"/bin/app", ""}, {"/bin/app", ""}},
        // Even the program path would be dropped: it is an argument like the others.
        {"program path", {"-psn_0_1", "a"}, {"a"}},
        {"no arguments", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<char*> argv;
        for (const char* arg : row.argv)
            argv.push_back(const_cast<char*>(arg));
        argv.push_back(nullptr);
        EXPECT_EQ(ToUTF8(VProcessIPC::BuildArgumentVector(int(row.argv.size()), argv.data())), row.expected);
    }
}

TEST(VProcessIPCArguments, NonASCIIArgumentsAreDecodedAsUTF8)
{
    char program[] = "/bin/app";
    char accented[] = "caf\xC3\xA9";          // café
    char astral[] = "\xF0\x9F\x98\x80!";      // U+1F600 then '!'
    char* argv[] = {program, accented, astral, nullptr};
    std::vector<VString> args = VProcessIPC::BuildArgumentVector(3, argv);
    ASSERT_EQ(args.size(), 3u);
    ASSERT_EQ(args[1].GetLength(), 4);
    EXPECT_EQ(args[1].GetUniChar(4), u'\u00E9');
    ASSERT_EQ(args[2].GetLength(), 3);
    EXPECT_EQ(args[2].GetUniChar(1), 0xD83D);
    EXPECT_EQ(args[2].GetUniChar(2), 0xDE00);
    EXPECT_EQ(args[2].GetUniChar(3), u'!');
}

TEST(VCommandLineParserMinimal, HolderAndErrors)
{
    struct Row {
        const char* name;
        std::vector<const char*> args;
        bool withHolder;
        int result;
        std::vector<std::string> held;
    };
    const std::vector<Row> rows = {
        {"program only", {"/p"}, true, 0, {}},
        {"program only, no holder", {"/p"}, false, 0, {}},
        {"two plain", {"/p", "a", "b"}, true, 0, {"a", "b"}},
        {"plain without holder", {"/p", "a"}, false, 1, {}},
        {"empty argument is plain", {"/p", ""}, true, 0, {""}},
        {"unknown long option", {"/p", "a", "--pid=3", "b"}, true, 1, {"a"}},
        {"unknown short option", {"/p", "-x"}, true, 1, {}},
        {"end of options", {"/p", "--", "-x", "--y"}, true, 0, {"-x", "--y"}},
        {"second double dash is plain", {"/p", "--", "--"}, true, 0, {"--"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<VString> args;
        for (const char* arg : row.args)
            args.emplace_back(arg);
        std::vector<VString> held;
        VCommandLineParser parser(args);
        if (row.withHolder)
            parser.AddArguments(held);
        testing::internal::CaptureStderr();
        int result = parser.Parse();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(ToUTF8(held), row.held);
        EXPECT_EQ(err.empty(), row.result == 0) << err;
    }
}

TEST(VCommandLineParserMinimal, ErrorTexts)
{
    struct Row {
        const char* arg;
        const char* message;
    };
    const Row rows[] = {
        {"--pid=3", "error: unknown option `pid`\n"},
        {"--silent", "error: unknown option `silent`\n"},
        {"-x", "error: unknown option `x`\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arg);
        std::vector<VString> args = {VString("/p"), VString(row.arg)};
        std::vector<VString> held;
        VCommandLineParser parser(args);
        parser.AddArguments(held);
        testing::internal::CaptureStderr();
        EXPECT_EQ(parser.Parse(), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.message);
    }
    std::vector<VString> args = {VString("/p"), VString("plain")};
    VCommandLineParser parser(args);
    testing::internal::CaptureStderr();
    EXPECT_EQ(parser.Parse(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error: unknown option `plain`\n");
}

TEST(VCommandLineParserMinimal, PrintWritesUTF8AndANewline)
{
    testing::internal::CaptureStdout();
    VCommandLineParser::Print(VString("caf\xC3\xA9\r\n1.0"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "caf\xC3\xA9\r\n1.0\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(VCommandLineParser::PrintArgumentError(VString("bad\n")), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "bad\n\n");
}

// The probe program runs in its own temporary folder with HOME inside it.
class VProcessIPCChild : public testing::Test {
protected:
    test::StTempFolder fTemp;
    test::StEnvVar fHome{"HOME", fTemp.Path()};
    test::StEnvVar fDataHome{"XDG_DATA_HOME", fTemp / "data"};
    test::StEnvVar fDisplay{"DISPLAY", std::nullopt};
    test::StEnvVar fWayland{"WAYLAND_DISPLAY", std::nullopt};
};

TEST_F(VProcessIPCChild, ExitCodesFollowDoParseCommandLine)
{
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        const char* out;
    };
    const std::vector<Row> rows = {
        {"go on", {"answer=0"}, 0, "arg1=answer=0 len=8\nrun\n"},
        {"no answer at all", {}, 0, "run\n"},
        {"failure", {"answer=1"}, 1, "arg1=answer=1 len=8\n"},
        {"help or version printed", {"answer=2"}, 0, "arg1=answer=2 len=8\n"},
        {"any other value", {"answer=3"}, 1, "arg1=answer=3 len=8\n"},
        {"negative value", {"answer=-1"}, 1, "arg1=answer=-1 len=9\n"},
        {"run ends with nuvo 4", {"mode=throw=4"}, 1, "arg1=mode=throw=4 len=12\n"},
        {"run ends with another error", {"mode=throw=5"}, 2, "arg1=mode=throw=5 len=12\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out, err;
        int status = RunChild(kProbe, row.args, out, err);
        EXPECT_EQ(ExitCodeOf(status), row.exitCode);
        EXPECT_EQ(out, row.out);
        EXPECT_EQ(err, "");
    }
}

TEST_F(VProcessIPCChild, ProcessSerialNumberNeverReachesTheApplication)
{
    std::string out, err;
    int status = RunChild(kProbe, {"-psn_0_12345", "a", "-psn", "-psn_0_12345", "b", "-psn_0_12345"}, out, err);
    EXPECT_EQ(ExitCodeOf(status), 0);
    EXPECT_EQ(out, "arg1=a len=1\narg2=-psn len=4\narg3=b len=1\nrun\n");
}

TEST_F(VProcessIPCChild, InitTwiceAnswersFromTheCache)
{
    struct Row {
        const char* answer;
        const char* expected;
    };
    const Row rows[] = {
        {"answer=0", "first=1 second=1 checks=1 parses=1 exit=0/0\n"},
        {"answer=2", "first=0 second=0 checks=1 parses=1 exit=0/0\n"},
        {"answer=1", "first=0 second=0 checks=1 parses=1 exit=1/1\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        std::string out, err;
        int status = RunChild(kProbe, {"mode=init-twice", row.answer}, out, err);
        EXPECT_EQ(ExitCodeOf(status), 0);
        EXPECT_EQ(out, "arg1=mode=init-twice len=15\narg2=" + std::string(row.answer) + " len=8\n" + row.expected);
    }
}

TEST_F(VProcessIPCChild, RunAfterAFailedInitThrowsInitFailed)
{
    std::string out, err;
    int status = RunChild(kProbe, {"mode=run-after-failed-init", "answer=1"}, out, err);
    EXPECT_EQ(ExitCodeOf(status), 0);
    EXPECT_EQ(out,
              "arg1=mode=run-after-failed-init len=26\narg2=answer=1 len=8\n"
              "init=0 runs=0 error=nuvo/4 p1=VApplication::DoInit failed\n");
}

TEST_F(VProcessIPCChild, OldSystemStopsInitAfterSettingTheInstance)
{
    std::string out, err;
    int status = RunChild(kProbe, {"mode=old-system"}, out, err);
    EXPECT_EQ(ExitCodeOf(status), 1);
    // The process object is known, but no later step ran: no main task, no logger, no parse.
    EXPECT_EQ(out, "init=0 exit=1 version=14 instance=1 task=0 logger=0 parses=0\n");
}

// Starts the interactive probe and waits for its "ready" line.
void StartInteractive(StChildProcess& child)
{
    ASSERT_TRUE(child.IsStarted());
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    ASSERT_EQ(line, "arg1=mode=interactive len=16");
    ASSERT_TRUE(child.ReadLine(line));
    ASSERT_EQ(line, "ready");
}

TEST_F(VProcessIPCChild, SigintPrintsOneLineAndStopsTheMainTask)
{
    StChildProcess child(kProbe, {"mode=interactive"});
    StartInteractive(child);

    // Before the signal the main task runs.
    child.WriteToInput("check\n");
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    EXPECT_EQ(line, "running=1");

    // The pending signal is delivered before the probe's read returns with the next line.
    ASSERT_EQ(::kill(child.GetPid(), SIGINT), 0);
    child.WriteToInput("check\n");
    std::string out, err;
    int status = child.Finish(out, err);
    // DoRun goes on (it does not poll), sees the dying main task, and the run ends normally.
    EXPECT_EQ(out, "\n (ctrl-c has been received - quit)\n\nrunning=0\ndone\n");
    EXPECT_EQ(ExitCodeOf(status), 0);
    EXPECT_EQ(err, "");
}

TEST_F(VProcessIPCChild, SigtermAndFirstSigquitStopTheMainTaskSilently)
{
    for (int signalNumber : {SIGTERM, SIGQUIT}) {
        SCOPED_TRACE(signalNumber);
        StChildProcess child(kProbe, {"mode=interactive"});
        StartInteractive(child);
        ASSERT_EQ(::kill(child.GetPid(), signalNumber), 0);
        child.WriteToInput("check\n");
        std::string out, err;
        int status = child.Finish(out, err);
        EXPECT_EQ(out, "running=0\ndone\n");
        EXPECT_EQ(ExitCodeOf(status), 0);
    }
}

TEST_F(VProcessIPCChild, SecondSigquitTakesTheDefaultAction)
{
    StChildProcess child(kProbe, {"mode=interactive"});
    StartInteractive(child);
    ASSERT_EQ(::kill(child.GetPid(), SIGQUIT), 0);
    child.WriteToInput("check\n");
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    EXPECT_EQ(line, "running=0");

    ASSERT_EQ(::kill(child.GetPid(), SIGQUIT), 0);
    std::string out, err;
    int status = child.Finish(out, err);
    EXPECT_EQ(ExitCodeOf(status), -SIGQUIT);
    EXPECT_EQ(out, "");
}

TEST_F(VProcessIPCChild, EachSigintPrintsItsOwnLine)
{
    // The handler stays installed for SIGINT: every signal prints the line once.
    StChildProcess child(kProbe, {"mode=interactive"});
    StartInteractive(child);
    const std::vector<std::string> expected = {"", " (ctrl-c has been received - quit)", "", "running=0"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(::kill(child.GetPid(), SIGINT), 0);
        child.WriteToInput("check\n");
        std::vector<std::string> lines(expected.size());
        for (std::string& line : lines)
            ASSERT_TRUE(child.ReadLine(line));
        EXPECT_EQ(lines, expected);
    }
    std::string out, err;
    int status = child.Finish(out, err);
    EXPECT_EQ(out, "done\n");
    EXPECT_EQ(ExitCodeOf(status), 0);
}

TEST_F(VProcessIPCChild, BaseMessageLoopEndsOnSigterm)
{
    StChildProcess child(kProbe, {"mode=base-run"});
    ASSERT_TRUE(child.IsStarted());
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    ASSERT_EQ(line, "arg1=mode=base-run len=13");
    ASSERT_TRUE(child.ReadLine(line));
    ASSERT_EQ(line, "ready");
    ASSERT_EQ(::kill(child.GetPid(), SIGTERM), 0);
    std::string out, err;
    int status = child.Finish(out, err);
    EXPECT_EQ(out, "done\n");
    EXPECT_EQ(ExitCodeOf(status), 0);
}

TEST(XPosixProcessIPC, CtrlCLineBytes)
{
    EXPECT_EQ(std::string(XPosixProcessIPC::kCtrlCLine), "\n (ctrl-c has been received - quit)\n\n");
}

} // namespace
} // namespace nuvo
