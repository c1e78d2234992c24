#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "kernel/commandline/VCommandLineParser.h"
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
const std::string kCtrlC = "\n (ctrl-c has been received - quit)\n\n";

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
        std::vector<const char*> argv;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {{"/bin/app", "-psn_0_12345", "a", "-psn_1", "b", "-psn_3"}, {"/bin/app", "a", "b"}},
        // Only the five bytes "-psn_" at the start count.
        {{"/bin/app", "-psn_"}, {"/bin/app"}},
        {{"/bin/app", "-psn", "-PSN_0_1", "--psn_0_1", "x-psn_0_1", ""},
         {"/bin/app", "-psn", "-PSN_0_1", "--psn_0_1", "x-psn_0_1", ""}},
        // The program path is an argument like the others.
        {{"-psn_0_1", "a"}, {"a"}},
        {{}, {}},
        // é and U+1F600 come back as they went in.
        {{"/bin/app", "caf\xC3\xA9", "\xF0\x9F\x98\x80!"}, {"/bin/app", "caf\xC3\xA9", "\xF0\x9F\x98\x80!"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.expected));
        std::vector<char*> argv;
        for (const char* arg : row.argv)
            argv.push_back(const_cast<char*>(arg));
        argv.push_back(nullptr);
        EXPECT_EQ(ToUTF8(VProcessIPC::BuildArgumentVector(int(row.argv.size()), argv.data())), row.expected);
    }
}

TEST(VCommandLineParserPrint, UTF8LinesFlushedAsTheyAre)
{
    testing::internal::CaptureStdout();
    VCommandLineParser::Print(VString("caf\xC3\xA9\r\n1.0"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "caf\xC3\xA9\r\n1.0\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(VCommandLineParser::PrintArgumentError(VString("bad\n")), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "bad\n\n");
}

// The probe program (ProcessProbe.cpp) runs with HOME in the test's own folder.
class VProcessIPCChild : public testing::Test {
protected:
    test::StTempFolder fTemp;
    test::StEnvVar fHome{"HOME", fTemp.Path()};
    test::StEnvVar fDataHome{"XDG_DATA_HOME", fTemp / "data"};
    test::StEnvVar fDisplay{"DISPLAY", std::nullopt};
    test::StEnvVar fWayland{"WAYLAND_DISPLAY", std::nullopt};
};

TEST_F(VProcessIPCChild, ExitCodesAndInitialisation)
{
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    };
    const std::vector<Row> rows = {
        {"go on", {"answer=0"}, 0, "arg1=answer=0 len=8\nrun\n"},
        {"failure", {"answer=1"}, 1, "arg1=answer=1 len=8\n"},
        {"help or version printed", {"answer=2"}, 0, "arg1=answer=2 len=8\n"},
        {"any other value", {"answer=-1"}, 1, "arg1=answer=-1 len=9\n"},
        {"run ends with nuvo 4", {"mode=throw=4"}, 1, "arg1=mode=throw=4 len=12\n"},
        {"run ends with another error", {"mode=throw=5"}, 2, "arg1=mode=throw=5 len=12\n"},
        {"process serial numbers", {"-psn_0_1", "a", "-psn", "-psn_0_2", "caf\xC3\xA9"}, 0,
         "arg1=a len=1\narg2=-psn len=4\narg3=caf\xC3\xA9 len=4\nrun\n"},
        // A second Init repeats nothing and answers the first result.
        {"init twice, go on", {"mode=init-twice", "answer=0"}, 0,
         "arg1=mode=init-twice len=15\narg2=answer=0 len=8\nfirst=1 second=1 checks=1 parses=1 exit=0/0\n"},
        {"init twice, stop", {"mode=init-twice", "answer=2"}, 0,
         "arg1=mode=init-twice len=15\narg2=answer=2 len=8\nfirst=0 second=0 checks=1 parses=1 exit=0/0\n"},
        {"init twice, fail", {"mode=init-twice", "answer=1"}, 0,
         "arg1=mode=init-twice len=15\narg2=answer=1 len=8\nfirst=0 second=0 checks=1 parses=1 exit=1/1\n"},
        {"run after a failed init", {"mode=run-after-failed-init", "answer=1"}, 0,
         "arg1=mode=run-after-failed-init len=26\narg2=answer=1 len=8\n"
         "init=0 runs=0 error=nuvo/4 p1=VApplication::DoInit failed\n"},
        // The process object is known, but no later step ran: no main task, no logger, no parse.
        {"old system", {"mode=old-system"}, 1, "init=0 exit=1 version=14 instance=1 task=0 logger=0 parses=0\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out, err;
        EXPECT_EQ(ExitCodeOf(RunChild(kProbe, row.args, out, err)), row.exitCode);
        EXPECT_EQ(out, row.out);
        EXPECT_EQ(err, "");
    }
}

TEST_F(VProcessIPCChild, SignalsStopTheMainTask)
{
    // A pending signal is delivered before the probe's read returns with the next input line.
    struct Row {
        int signal;
        const char* mode;
        int times;
        std::string eachAnswer;   // what each signal and one input line bring; empty: no input
        int last;                 // a last signal sent before the end, or 0
        int exitCode;
        std::string out;
    };
    const std::vector<Row> rows = {
        // The SIGINT handler stays installed: each one prints the line. DoRun does not poll
        // IsRunning: it completes its work and the run ends normally.
        {SIGINT, "interactive", 2, kCtrlC + "running=0\n", 0, 0, "done\n"},
        {SIGTERM, "interactive", 1, "running=0\n", 0, 0, "done\n"},
        // SIGQUIT's handler was reset: a second one takes the default action.
        {SIGQUIT, "interactive", 1, "running=0\n", SIGQUIT, -SIGQUIT, ""},
        {SIGTERM, "base-run", 1, "", 0, 0, "done\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.signal) + " " + row.mode);
        StChildProcess child(kProbe, {std::string("mode=") + row.mode});
        std::string line;
        ASSERT_TRUE(child.ReadLine(line));
        ASSERT_EQ(line, "arg1=mode=" + std::string(row.mode) + " len=" + std::to_string(std::strlen(row.mode) + 5));
        ASSERT_TRUE(child.ReadLine(line));
        ASSERT_EQ(line, "ready");
        if (!row.eachAnswer.empty()) {
            child.WriteToInput("check\n");
            ASSERT_TRUE(child.ReadLine(line));
            EXPECT_EQ(line, "running=1");
        }
        for (int i = 0; i < row.times; ++i) {
            ASSERT_EQ(::kill(child.GetPid(), row.signal), 0);
            if (row.eachAnswer.empty())
                continue;
            child.WriteToInput("check\n");
            std::string lines;
            for (auto n = std::count(row.eachAnswer.begin(), row.eachAnswer.end(), '\n'); n > 0; --n)
                lines += child.ReadLine(line) ? line + "\n" : "";
            EXPECT_EQ(lines, row.eachAnswer) << "signal " << i;
        }
        ASSERT_TRUE(row.last == 0 || ::kill(child.GetPid(), row.last) == 0);
        std::string out, err;
        EXPECT_EQ(ExitCodeOf(child.Finish(out, err)), row.exitCode);
        EXPECT_EQ(out, row.out);
        EXPECT_EQ(err, "");
    }
}

} // namespace
} // namespace nuvo
