#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemoryBuffer.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFilePath.h"
#include "kernel/process/VProcessLauncher.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

using test::StEnvVar;
using test::StTempFolder;

const std::string kChild = NUVO_LAUNCHER_CHILD;

std::string Text(const VMemoryBuffer& buffer)
{
    return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

std::string Pattern(size_t count)
{
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += char('a' + i % 26);
    return bytes;
}

std::vector<std::string> Split(const VString& commandLine)
{
    VProcessLauncher launcher;
    launcher.CreateArgumentsFromFullCommandLine(commandLine);
    std::vector<std::string> out;
    for (const VString& argument : launcher.GetArguments())
        out.push_back(to_string(argument));
    return out;
}

// Waits (without a deadline that could fail a loaded machine) for a file the child writes.
int ReadPidFile(const std::string& path)
{
    int pid = 0;
    while (pid == 0) {
        std::ifstream(path) >> pid;
        if (pid == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
}

struct RunResult {
    int error = 0;
    int exitStatus = 12345; // sentinel: not written
    std::string out;
    std::string err;
};

RunResult Execute(const std::string& commandLine, const std::string& input = {}, int options = 0,
    VProcessEnvironment* environment = nullptr, VFilePath* folder = nullptr)
{
    VMemoryBuffer in;
    VMemoryBuffer out;
    VMemoryBuffer err;
    EXPECT_TRUE(in.PutData(0, input.data(), input.size()));
    RunResult run;
    VString line;
    line.FromCString(commandLine.c_str());
    run.error = VProcessLauncher::ExecuteCommandLine(line, options, input.empty() ? nullptr : &in, &out, &err,
        environment, folder, &run.exitStatus, nullptr, nullptr, true, false);
    run.out = Text(out);
    run.err = Text(err);
    return run;
}

TEST(VProcessLauncher, CommandLineSplitting)
{
    struct Row {
        const char* name;
        const char* line;
        std::vector<std::string> tokens;
    };
    const Row rows[] = {
        { "restart line", R"(open -a "/Apps/My App.app/" --args "/tmp/a b.QZlink")",
          { "open", "-a", "/Apps/My App.app/", "--args", "/tmp/a b.QZlink" } },
        { "escaped blank", R"(a\ b c)", { "a b", "c" } },
        { "single quotes", R"('x "y"' z)", { "x \"y\"", "z" } },
        { "escaped quote inside quotes", R"("say \"hi\"" end)", { "say \"hi\"", "end" } },
        { "quote inside a plain token is kept", R"(a"b c)", { "a\"b", "c" } },
        { "unterminated quote runs to the end", R"(x "a b)", { "x", "a b" } },
        { "blanks collapse, tabs do not separate", "  a   b\tc  ", { "a", "b\tc" } },
        { "trailing backslash vanishes", R"(a\)", { "a" } },
        { "empty quotes give an empty argument", R"(a "" b)", { "a", "", "b" } },
        { "utf-8 passes through", "caf\xC3\xA9 \"\xF0\x9F\x98\x80 x\"", { "caf\xC3\xA9", "\xF0\x9F\x98\x80 x" } },
        { "empty", "", {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString line;
        line.FromCString(row.line);
        EXPECT_EQ(Split(line), row.tokens);
    }
}

TEST(VProcessLauncher, ExitStatusesAndOutput)
{
    // Over a pipe's 64 KiB on both streams at once: neither side may stall.
    const size_t kBig = 300000;
    struct Row {
        const char* name;
        std::string args;
        std::string input;
        int exitStatus;
        std::string out;
        std::string err;
    };
    const Row rows[] = {
        { "exit code", "exit 3", "", 3, "", "" },
        { "signal", "out 5 signal 9", "", VProcessLauncher::kExitStatusSignaled, "abcde", "" },
        { "both streams past a pipe's size", "err 300000 out 300000 exit 1", "", 1, Pattern(kBig), Pattern(kBig) },
        { "input echoed while it is written", "echo", Pattern(kBig), 0, Pattern(kBig), "" },
        { "arguments keep their blanks", R"(args "a b" c\ d 'e "f"')", "", 0, "a b\nc d\ne \"f\"\n", "" },
        { "a child that does not read its input", "exit 4", Pattern(kBig), 4, "", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunResult run = Execute(kChild + " " + row.args, row.input);
        EXPECT_EQ(run.error, 0);
        EXPECT_EQ(run.exitStatus, row.exitStatus);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, row.err);
    }
}

TEST(VProcessLauncher, StartFailuresAndPathSearch)
{
    StTempFolder temp;
    std::filesystem::create_directories(temp / "bin");
    std::filesystem::copy_file(kChild, temp / "bin/qz-child");
    test::WriteFile(temp / "bin/not-executable", "#!/bin/sh\n", 0644);
    StEnvVar path("PATH", "/nonexistent:" + temp.Path() + "/bin");

    struct Row {
        const char* name;
        std::string line;
        int error;
        int exitStatus;
    };
    const Row rows[] = {
        { "found on PATH", "qz-child exit 7", 0, 7 },
        { "missing program", "qz-no-such-program", ENOENT, 12345 },
        { "missing full path", temp / "bin/none", ENOENT, 12345 },
        { "not executable", "not-executable", EACCES, 12345 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunResult run = Execute(row.line);
        EXPECT_EQ(run.error, row.error);
        EXPECT_EQ(run.exitStatus, row.exitStatus);
    }
}

TEST(VProcessLauncher, FolderAndEnvironment)
{
    StTempFolder temp;
    VFilePath folder(VString((temp.Path() + "/").c_str()), FilePathStyle::Posix);
    VProcessEnvironment environment { { VString("QZ_ONLY"), VString("yes") } };
    RunResult run = Execute(kChild + " pwd env QZ_ONLY env HOME", {}, 0, &environment, &folder);
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.out, std::filesystem::canonical(temp.Path()).string() + "\nyes\n<unset>\n");
}

TEST(VProcessLauncher, DoNotWaitReturnsWhileTheChildRuns)
{
    StTempFolder temp;
    RunResult run = Execute(kChild + " pidfile " + temp / "pid" + " sleep 600000", {}, VProcessLauncher::kDoNotWait);
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.exitStatus, 0) << "a child still running has status 0";
    int pid = ReadPidFile(temp / "pid");
    EXPECT_EQ(::kill(pid, 0), 0);
    ::kill(pid, SIGKILL);
}

TEST(VProcessLauncher, TimeLimitKillsAndRecordsTheError)
{
    VProcessLauncher launcher;
    launcher.CreateArgumentsFromFullCommandLine(VString((kChild + " sleep 600000").c_str()));
    launcher.SetWaitClosingChildProcess(100);
    ASSERT_EQ(launcher.Start(), 0);
    StErrorContextInstaller errors;
    EXPECT_EQ(launcher.Shutdown(), 0);
    EXPECT_EQ(launcher.GetExitStatus(), VProcessLauncher::kExitStatusSignaled);
    EXPECT_EQ(errors.GetLastError(), VE_TIMEOUT_KILLED);

    // A child that ends in time leaves no error.
    VProcessLauncher quick;
    quick.CreateArgumentsFromFullCommandLine(VString((kChild + " exit 2").c_str()));
    quick.SetWaitClosingChildProcess(600000);
    ASSERT_EQ(quick.Start(), 0);
    StErrorContextInstaller quiet;
    EXPECT_EQ(quick.Shutdown(), 0);
    EXPECT_EQ(quick.GetExitStatus(), 2);
    EXPECT_EQ(quiet.GetLastError(), VE_OK);
}

TEST(VProcessLauncher, ProcessTreeKill)
{
    StTempFolder temp;
    for (bool enable : { false, true }) {
        SCOPED_TRACE(enable ? "enabled" : "not enabled");
        std::string pidFile = temp / (enable ? "on" : "off");
        VProcessLauncher launcher;
        launcher.CreateArgumentsFromFullCommandLine(VString((kChild + " grandchild " + pidFile).c_str()));
        launcher.SetRedirectStandardOutput(false);
        if (enable)
            launcher.EnableProcessTreeKill();
        ASSERT_EQ(launcher.Start(), 0);
        EXPECT_EQ(launcher.Shutdown(false, true), 0);
        int grandchild = ReadPidFile(pidFile);
        if (!enable) {
            EXPECT_EQ(::kill(grandchild, 0), 0);
            ::kill(grandchild, SIGKILL);
            continue;
        }
        // SIGKILL was sent before Shutdown returned; the orphan then disappears or is a zombie.
        for (;;) {
            std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
            std::string line;
            if (!std::getline(stat, line) || line.substr(line.rfind(')') + 2, 1) == "Z")
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

TEST(VProcessLauncher, ReadFromChildAndShutdown)
{
    VProcessLauncher launcher;
    launcher.CreateArgumentsFromFullCommandLine(VString((kChild + " out 100000 err 3 exit 9").c_str()));
    ASSERT_EQ(launcher.Start(), 0);
    std::string out;
    std::string err;
    EXPECT_EQ(launcher.ReadFromChildAndShutdown(
                  [&](const void* data, size_t size) { out.append(static_cast<const char*>(data), size); },
                  [&](const void* data, size_t size) { err.append(static_cast<const char*>(data), size); }),
        0);
    EXPECT_EQ(out, Pattern(100000));
    EXPECT_EQ(err, "abc");
    EXPECT_EQ(launcher.GetExitStatus(), 9);
    EXPECT_FALSE(launcher.IsRunning());
}

} // namespace
} // namespace nuvo
