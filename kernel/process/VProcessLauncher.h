#pragma once
// Starts a child process, feeds its standard input, collects its output and reports its exit.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "kernel/text/VString.h"

namespace nuvo {

class VFilePath;
class VMemoryBuffer;
class XPosixProcessLauncher;

using VProcessEnvironment = std::map<VString, VString, VStringLessCompareStrict>;

// Facade over the platform launcher, which it owns. One launcher belongs to one thread. Start
// and ExecuteCommandLine return the system error of the failed step (an errno value such as
// ENOENT) or -1 for a pipe failure, and push no error record; Shutdown pushes 'nuvo' 8 when the
// child was killed after its time limit.
class VProcessLauncher {
public:
    // ExecuteCommandLine options: return right after the start, neither reading nor waiting.
    static constexpr int kDoNotWait = 2;
    // Exit status of a child that a signal ended.
    static constexpr int kExitStatusSignaled = -127;
    // Wait-closing-child time meaning "never kill" (so is 0, which also means "do not wait").
    static constexpr int kWaitForever = 2147483647;

    VProcessLauncher();
    virtual ~VProcessLauncher();
    VProcessLauncher(const VProcessLauncher&) = delete;
    VProcessLauncher& operator=(const VProcessLauncher&) = delete;

    // Runs commandLine (split as CreateArgumentsFromFullCommandLine does) and, unless options
    // has kDoNotWait, collects its output and waits for it. exitStatus is written only when the
    // child was started and shut down. With outLauncher the caller receives the started
    // launcher (not shut down) and deletes it.
    [[nodiscard]] static int ExecuteCommandLine(const VString& commandLine, int options,
        VMemoryBuffer* stdinData, VMemoryBuffer* stdoutBuffer, VMemoryBuffer* stderrBuffer,
        VProcessEnvironment* environment, VFilePath* defaultFolder, int* exitStatus,
        VProcessLauncher** outLauncher, std::vector<VString>* extraArguments,
        bool quoteArgumentsIfNeeded, bool killProcessTree);

    void SetDefaultDirectory(const VFilePath& folder);
    void SetEnvironmentVariable(const VString& name, const VString& value);
    void SetEnvironmentVariables(const VProcessEnvironment& variables);
    // Also becomes argument 0.
    void SetBinaryPath(const VString& path);
    // Blanks separate tokens; '…' and "…" group; a backslash keeps the next character as is.
    void CreateArgumentsFromFullCommandLine(const VString& commandLine);
    // Empty arguments are ignored.
    void AddArgument(const VString& argument, bool quoteIfNeeded = true);
    void ClearArguments();
    // Milliseconds after which a child still running is killed; 0 and kWaitForever: never.
    void SetWaitClosingChildProcess(int milliseconds);
    void SetRedirectStandardInput(bool redirect);
    // Also covers standard error.
    void SetRedirectStandardOutput(bool redirect);
    void SetQuoteArgumentsIfNeeded(bool quote);
    // Shutdown(…, true) then kills the child's whole process group.
    void EnableProcessTreeKill();

    [[nodiscard]] int Start();
    [[nodiscard]] int Start(const VProcessEnvironment& environment);
    bool IsRunning() const;

    // Writes everything, draining the child's output meanwhile so that neither side blocks on
    // a full pipe. Negative when the child's input is closed or the write failed.
    int WriteToChild(const void* data, uint32_t size, bool closeInputAfterwards = false);
    void CloseStandardInput();
    // Blocks until the child's output or error has data or reaches its end.
    void WaitForData();
    // Never block: bytes read, 0 when nothing is available yet, -1 at end or on error.
    long ReadFromChild(char* buffer, long size);
    long ReadErrorFromChild(char* buffer, long size);
    // Hands every output and error block to the callbacks until both end, then shuts down.
    int ReadFromChildAndShutdown(std::function<void(const void*, size_t)> out,
        std::function<void(const void*, size_t)> err);
    // Closes the child's input, kills the child first when force is set, waits for it when the
    // wait-closing-child time is positive (its output is drained and dropped meanwhile), reaps
    // it and records its exit status; with killProcessTree and tree kill enabled, kills its
    // process group. A child still running (time 0) is reaped in the background later.
    int Shutdown(bool force = false, bool killProcessTree = false);

    int GetPid() const;
    // The exit code, kExitStatusSignaled when a signal ended the child, 0 while it runs.
    int GetExitStatus() const;
    // Sends SIGKILL; false when the signal could not be sent.
    static bool KillProcess(int pid);

    // The arguments as they will reach the child (entry 0 is the binary path).
    const std::vector<VString>& GetArguments() const;
    // The binary path, after the PATH search once Start ran.
    VString GetBinaryPath() const;

private:
    std::unique_ptr<XPosixProcessLauncher> fImpl;
};

} // namespace nuvo
