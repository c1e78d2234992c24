#pragma once
// POSIX half of VProcessLauncher: pipes, posix_spawn, non-blocking reads, waiting and reaping.
// Holds no portable logic beyond the command-line splitting that the platform's quoting needs.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernel/process/VProcessLauncher.h"

namespace nuvo {

// One child per launcher, used from one thread. The time-limit watcher runs on its own thread
// and shares only the child's state block with the launcher (see ChildState in the .cpp).
class XPosixProcessLauncher {
public:
    XPosixProcessLauncher();
    ~XPosixProcessLauncher();
    XPosixProcessLauncher(const XPosixProcessLauncher&) = delete;
    XPosixProcessLauncher& operator=(const XPosixProcessLauncher&) = delete;

    void SetDefaultDirectory(const std::string& posixPath) { fDefaultFolder = posixPath; fHasDefaultFolder = true; }
    void SetEnvironmentVariable(const VString& name, const VString& value) { fEnvironment[name] = value; }
    void SetEnvironmentVariables(const VProcessEnvironment& variables) { fEnvironment = variables; }
    void SetBinaryPath(const VString& path);
    void CreateArgumentsFromFullCommandLine(const VString& commandLine);
    void AddArgument(const VString& argument, bool quoteIfNeeded);
    void ClearArguments() { fArguments.clear(); }
    void SetWaitClosingChildProcess(int milliseconds) { fWaitClosingChildTime = milliseconds; }
    void SetRedirectStandardInput(bool redirect) { fRedirectStdin = redirect; }
    void SetRedirectStandardOutput(bool redirect) { fRedirectStdout = redirect; }
    void SetQuoteArgumentsIfNeeded(bool quote) { fQuoteArgumentsIfNeeded = quote; }
    void EnableProcessTreeKill() { fKillProcessTree = true; }

    int Start();
    bool IsRunning() const { return fRunning; }
    int WriteToChild(const void* data, uint32_t size, bool closeInputAfterwards);
    void CloseStandardInput();
    void WaitForData();
    long ReadFromChild(char* buffer, long size) { return _Read(kOut, buffer, size); }
    long ReadErrorFromChild(char* buffer, long size) { return _Read(kErr, buffer, size); }
    int ReadFromChildAndShutdown(const std::function<void(const void*, size_t)>& out,
        const std::function<void(const void*, size_t)>& err);
    int Shutdown(bool force, bool killProcessTree);

    int GetPid() const { return fPid; }
    int GetExitStatus() const { return fExitStatus; }
    static bool KillProcess(int pid);

    const std::vector<VString>& GetArguments() const { return fArguments; }
    const VString& GetBinaryPath() const { return fBinaryPath; }

    // Splits a command line into tokens (blanks separate; '…' and "…" group; a backslash keeps
    // the next character). Works on UTF-8 bytes, which the separators cannot occur inside.
    static std::vector<std::string> SplitCommandLine(const std::string& commandLine);

    // The first PATH entry holding a regular file of that name (empty entries skipped).
    static bool FindOnPath(const std::string& name, const char* path, std::string& found);

    // Starts binary (searched on PATH unless it holds a '/') with args (args[0] included) in a
    // new session, standard streams on /dev/null, working folder "/", and returns once exec
    // succeeded. On failure returns -1 with the errno of the failed step in savedErrno.
    static int SpawnDetached(const std::string& binary, const std::vector<std::string>& args, int& savedErrno);
    // Waits up to milliseconds for a child of this process to end and reaps it; true with its
    // exit status when it ended. When it did not, a background thread reaps it later.
    static bool WaitForChild(int pid, int milliseconds, int& exitStatus);
    // Reaps the child in the background whenever it ends.
    static void ReapInBackground(int pid);

    struct ChildState;

private:
    enum { kOut = 0, kErr = 1 };

    long _Read(int which, char* buffer, long size);
    void _AdjustBinaryPathIfNeeded();
    void _ClosePipes();
    void _ReapChild(bool wait);

    std::string fDefaultFolder;
    bool fHasDefaultFolder = false;
    VProcessEnvironment fEnvironment;
    VString fBinaryPath;
    std::vector<VString> fArguments;
    bool fRunning = false;
    int fWaitClosingChildTime = VProcessLauncher::kWaitForever;
    int fPid = 0;
    int fExitStatus = 0;
    int fStdinPipe[2] = { -1, -1 };
    int fOutPipes[2][2] = { { -1, -1 }, { -1, -1 } };
    // Output drained while WriteToChild waited for room; returned by the next reads.
    std::string fPending[2];
    bool fEnded[2] = { false, false };
    bool fRedirectStdin = true;
    bool fRedirectStdout = true;
    bool fQuoteArgumentsIfNeeded = true;
    bool fKillProcessTree = false;
    int fProcessGroup = 0;
    std::shared_ptr<ChildState> fChild;
};

} // namespace nuvo
