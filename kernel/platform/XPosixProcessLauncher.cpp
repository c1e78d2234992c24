// POSIX process launcher: pipes, posix_spawn with the glibc extensions, pidfd waits, reaping.
// Holds the fork/exec of detached programs too; no portable logic beyond command-line splitting.

#include "kernel/platform/XPosixProcessLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"

extern char** environ;

namespace nuvo {

// What the launcher, its time-limit watcher and a background reaper share about one child.
// "ended" is set, under the mutex, once the child has exited but before it is reaped: while it
// is false the pid still names our child, so the watcher may signal it without hitting a reused
// pid.
struct XPosixProcessLauncher::ChildState {
    std::mutex mutex;
    std::condition_variable changed;
    int pid = 0;
    bool ended = false;
    bool killedAfterTime = false;
    bool killGroup = false;
};

namespace {

using ChildStatePtr = std::shared_ptr<XPosixProcessLauncher::ChildState>;

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void ClosePair(int (&pair)[2])
{
    CloseFd(pair[0]);
    CloseFd(pair[1]);
}

// glibc's pidfd header is not C++-safe: go through syscall.
int OpenPidFd(int pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// Blocks until the child has exited, without reaping it.
void WaitForExitNoReap(int pid)
{
    siginfo_t info;
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
}

void MarkEnded(XPosixProcessLauncher::ChildState& state)
{
    std::lock_guard lock(state.mutex);
    state.ended = true;
    state.changed.notify_all();
}

int DecodeStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return VProcessLauncher::kExitStatusSignaled;
    return 0;
}

// Reaps the child whenever it ends, so that an abandoned child does not stay a zombie.
void ReapLater(const ChildStatePtr& state)
{
    std::thread([state] {
        WaitForExitNoReap(state->pid);
        MarkEnded(*state);
        while (::waitpid(state->pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

void StartTimeLimitWatcher(const ChildStatePtr& state, int milliseconds)
{
    std::thread([state, milliseconds] {
        std::unique_lock lock(state->mutex);
        if (state->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return state->ended; }))
            return;
        ::kill(state->killGroup ? -state->pid : state->pid, SIGKILL);
        state->killedAfterTime = true;
    }).detach();
}

bool IsRegularFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// PATH lookup: the first entry holding a regular file of that name. Empty entries are skipped
// rather than read as the current folder. Candidates longer than PATH_MAX are skipped.
bool SearchPath(const std::string& name, const char* path, std::string& found)
{
    if (!path)
        return false;
    const char* entry = path;
    for (;;) {
        const char* end = std::strchr(entry, ':');
        size_t length = end ? size_t(end - entry) : std::strlen(entry);
        if (length > 0 && length + 1 + name.size() < PATH_MAX) {
            std::string candidate(entry, length);
            candidate += '/';
            candidate += name;
            if (IsRegularFile(candidate)) {
                found = std::move(candidate);
                return true;
            }
        }
        if (!end)
            return false;
        entry = end + 1;
    }
}

// Descriptors at 3 or above, so that a process started with 0–2 closed cannot have its pipe
// ends clobbered when the child sets up its standard streams.
bool MakePipe(int (&pair)[2])
{
    int raw[2];
    if (::pipe2(raw, O_CLOEXEC) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (raw[i] < 3) {
            int moved = ::fcntl(raw[i], F_DUPFD_CLOEXEC, 3);
            int saved = errno;
            ::close(raw[i]);
            raw[i] = moved;
            errno = saved;
        }
    }
    if (raw[0] < 0 || raw[1] < 0) {
        int saved = errno;
        if (raw[0] >= 0)
            ::close(raw[0]);
        if (raw[1] >= 0)
            ::close(raw[1]);
        errno = saved;
        return false;
    }
    pair[0] = raw[0];
    pair[1] = raw[1];
    return true;
}

bool SetNonBlocking(int fd)
{
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::vector<char*> MakeArgv(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Descriptor actions and attributes of a spawn: childIn/childOut/childErr become 0/1/2 unless
// negative. On failure nothing is left to destroy.
int PrepareSpawn(posix_spawn_file_actions_t& actions, posix_spawnattr_t& attributes, int childIn, int childOut,
    int childErr, const char* folder)
{
    int error = ::posix_spawn_file_actions_init(&actions);
    if (error != 0)
        return error;
    error = ::posix_spawnattr_init(&attributes);
    if (error != 0) {
        ::posix_spawn_file_actions_destroy(&actions);
        return error;
    }
    if (childIn >= 0)
        error = ::posix_spawn_file_actions_adddup2(&actions, childIn, 0);
    if (error == 0 && childOut >= 0)
        error = ::posix_spawn_file_actions_adddup2(&actions, childOut, 1);
    if (error == 0 && childErr >= 0)
        error = ::posix_spawn_file_actions_adddup2(&actions, childErr, 2);
    if (error == 0 && folder)
        error = ::posix_spawn_file_actions_addchdir_np(&actions, folder);
    // Only 0–2 reach the child, whatever other threads opened without close-on-exec.
    if (error == 0)
        error = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t noSignals;
    sigset_t defaults;
    sigemptyset(&noSignals);
    sigemptyset(&defaults);
    // A parent that ignores SIGPIPE must not hand that on: the child would loop on EPIPE.
    sigaddset(&defaults, SIGPIPE);
    if (error == 0)
        error = ::posix_spawnattr_setflags(&attributes,
            short(POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
    if (error == 0)
        error = ::posix_spawnattr_setpgroup(&attributes, 0);
    if (error == 0)
        error = ::posix_spawnattr_setsigmask(&attributes, &noSignals);
    if (error == 0)
        error = ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    if (error != 0) {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    return error;
}

} // namespace

XPosixProcessLauncher::XPosixProcessLauncher() = default;

XPosixProcessLauncher::~XPosixProcessLauncher()
{
    _ClosePipes();
    // A child never shut down must still be reaped by someone.
    if (fChild && fPid > 0)
        ReapLater(fChild);
}

void XPosixProcessLauncher::SetBinaryPath(const VString& path)
{
    fBinaryPath = path;
    if (fArguments.empty())
        fArguments.push_back(path);
    else
        fArguments[0] = path;
}

std::vector<std::string> XPosixProcessLauncher::SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    const size_t size = commandLine.size();
    while (i < size) {
        if (commandLine[i] == ' ') {
            ++i;
            continue;
        }
        char quote = 0;
        if (commandLine[i] == '"' || commandLine[i] == '\'')
            quote = commandLine[i++];
        std::string token;
        while (i < size) {
            char c = commandLine[i];
            if (c == '\\') {
                if (i + 1 < size)
                    token += commandLine[i + 1];
                i += 2;
                continue;
            }
            if (quote ? c == quote : c == ' ')
                break;
            token += c;
            ++i;
        }
        if (quote && i < size)
            ++i;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

void XPosixProcessLauncher::CreateArgumentsFromFullCommandLine(const VString& commandLine)
{
    fArguments.clear();
    for (const std::string& token : SplitCommandLine(to_string(commandLine))) {
        VString argument;
        argument.FromCString(token.c_str());
        fArguments.push_back(argument);
    }
    if (!fArguments.empty())
        fBinaryPath = fArguments[0];
}

void XPosixProcessLauncher::AddArgument(const VString& argument, bool /*quoteIfNeeded*/)
{
    // Arguments reach the child as separate entries: quoting would become part of the text.
    if (!argument.IsEmpty())
        fArguments.push_back(argument);
}

void XPosixProcessLauncher::_AdjustBinaryPathIfNeeded()
{
    std::string binary = to_string(fBinaryPath);
    if (binary.empty() || binary[0] == '/' || IsRegularFile(binary))
        return;
    const char* path = nullptr;
    std::string fromMap;
    if (!fEnvironment.empty()) {
        for (const char* name : { "PATH", "path" }) {
            auto found = fEnvironment.find(VString(name));
            if (found != fEnvironment.end()) {
                fromMap = to_string(found->second);
                path = fromMap.c_str();
                break;
            }
        }
    } else {
        path = std::getenv("PATH");
        if (!path)
            path = std::getenv("path");
    }
    std::string found;
    if (SearchPath(binary, path, found))
        fBinaryPath.FromCString(found.c_str());
}

void XPosixProcessLauncher::_ClosePipes()
{
    ClosePair(fStdinPipe);
    ClosePair(fOutPipes[kOut]);
    ClosePair(fOutPipes[kErr]);
}

int XPosixProcessLauncher::Start()
{
    if (fRunning || fBinaryPath.IsEmpty())
        return -1;
    _AdjustBinaryPathIfNeeded();

    int startupPipe[2] = { -1, -1 };
    if (!MakePipe(startupPipe))
        return -1;
    bool pipesOK = (!fRedirectStdin || MakePipe(fStdinPipe));
    if (pipesOK && fRedirectStdout) {
        pipesOK = MakePipe(fOutPipes[kOut]) && MakePipe(fOutPipes[kErr])
            && SetNonBlocking(fOutPipes[kOut][0]) && SetNonBlocking(fOutPipes[kErr][0]);
    }
    // The parent writes without blocking so that WriteToChild can drain output in between.
    if (pipesOK && fRedirectStdin)
        pipesOK = SetNonBlocking(fStdinPipe[1]);
    if (!pipesOK) {
        ClosePair(startupPipe);
        _ClosePipes();
        return -1;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    int error = PrepareSpawn(actions, attributes, fStdinPipe[0], fOutPipes[kOut][1], fOutPipes[kErr][1],
        fHasDefaultFolder ? fDefaultFolder.c_str() : nullptr);
    if (error != 0) {
        ::syslog(LOG_ERR, "init_pipes error");
        ClosePair(startupPipe);
        _ClosePipes();
        return error;
    }

    std::vector<std::string> argumentTexts;
    argumentTexts.reserve(fArguments.size());
    for (const VString& argument : fArguments)
        argumentTexts.push_back(to_string(argument));
    if (argumentTexts.empty())
        argumentTexts.push_back(to_string(fBinaryPath));
    std::vector<char*> argv = MakeArgv(argumentTexts);
    std::vector<std::string> environmentTexts;
    for (const auto& [name, value] : fEnvironment)
        environmentTexts.push_back(to_string(name) + "=" + to_string(value));
    std::vector<char*> envp = MakeArgv(environmentTexts);

    std::string binary = to_string(fBinaryPath);
    pid_t pid = 0;
    error = ::posix_spawn(&pid, binary.c_str(), &actions, &attributes, argv.data(),
        fEnvironment.empty() ? environ : envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        fRunning = false;
        ClosePair(startupPipe);
        _ClosePipes();
        return error;
    }

    fPid = int(pid);
    fProcessGroup = -fPid;
    fRunning = true;
    fChild = std::make_shared<ChildState>();
    fChild->pid = fPid;
    fChild->killGroup = fKillProcessTree;

    CloseFd(fStdinPipe[0]);
    CloseFd(fOutPipes[kOut][1]);
    CloseFd(fOutPipes[kErr][1]);
    // The write end is close-on-exec (and closed by the spawn's closefrom): end of file means
    // the child got past exec; anything else means it did not really start.
    CloseFd(startupPipe[1]);
    char byte = 0;
    ssize_t got;
    while ((got = ::read(startupPipe[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    CloseFd(startupPipe[0]);
    if (got != 0) {
        Shutdown(true, false);
        return -1;
    }

    if (fWaitClosingChildTime > 0 && fWaitClosingChildTime < VProcessLauncher::kWaitForever)
        StartTimeLimitWatcher(fChild, fWaitClosingChildTime);
    return 0;
}

long XPosixProcessLauncher::_Read(int which, char* buffer, long size)
{
    if (size <= 0)
        return 0;
    std::string& pending = fPending[which];
    if (!pending.empty()) {
        size_t count = std::min(pending.size(), size_t(size));
        std::memcpy(buffer, pending.data(), count);
        pending.erase(0, count);
        return long(count);
    }
    int fd = fOutPipes[which][0];
    if (fd < 0 || fEnded[which])
        return -1;
    ssize_t count = ::read(fd, buffer, size_t(size));
    if (count > 0)
        return long(count);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    fEnded[which] = true;
    return -1;
}

void XPosixProcessLauncher::WaitForData()
{
    if (!fPending[kOut].empty() || !fPending[kErr].empty())
        return;
    pollfd fds[2];
    nfds_t count = 0;
    for (int which : { kOut, kErr }) {
        if (fOutPipes[which][0] >= 0 && !fEnded[which])
            fds[count++] = { fOutPipes[which][0], POLLIN, 0 };
    }
    if (count == 0)
        return;
    while (::poll(fds, count, -1) < 0 && errno == EINTR) {
    }
}

int XPosixProcessLauncher::WriteToChild(const void* data, uint32_t size, bool closeInputAfterwards)
{
    if (fStdinPipe[1] < 0)
        return -1;
    // A child that closed its input must not kill us with SIGPIPE: block it on this thread and
    // swallow the one the failed write raised.
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

    const char* bytes = static_cast<const char*>(data);
    uint32_t written = 0;
    bool failed = false;
    while (written < size && !failed) {
        pollfd fds[3];
        fds[0] = { fStdinPipe[1], POLLOUT, 0 };
        nfds_t count = 1;
        int readers[2];
        for (int which : { kOut, kErr }) {
            if (fOutPipes[which][0] >= 0 && !fEnded[which]) {
                readers[count - 1] = which;
                fds[count++] = { fOutPipes[which][0], POLLIN, 0 };
            }
        }
        if (::poll(fds, count, -1) < 0) {
            failed = errno != EINTR;
            continue;
        }
        // Drain the child's output first: a child blocked on a full output pipe stops reading.
        for (nfds_t i = 1; i < count; ++i) {
            if (fds[i].revents == 0)
                continue;
            int which = readers[i - 1];
            char chunk[4096];
            ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0)
                fPending[which].append(chunk, size_t(got));
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                fEnded[which] = true;
        }
        if (fds[0].revents == 0)
            continue;
        ssize_t put = ::write(fStdinPipe[1], bytes + written, size - written);
        if (put > 0)
            written += uint32_t(put);
        else if (put < 0 && errno != EAGAIN && errno != EINTR)
            failed = true;
    }
    if (failed && errno == EPIPE) {
        timespec zero {};
        ::sigtimedwait(&pipeSignal, nullptr, &zero);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    if (closeInputAfterwards)
        CloseStandardInput();
    return failed ? -1 : int(written);
}

void XPosixProcessLauncher::CloseStandardInput()
{
    CloseFd(fStdinPipe[1]);
}

int XPosixProcessLauncher::ReadFromChildAndShutdown(const std::function<void(const void*, size_t)>& out,
    const std::function<void(const void*, size_t)>& err)
{
    char chunk[4096];
    for (;;) {
        long outRead = _Read(kOut, chunk, sizeof chunk);
        if (outRead > 0 && out)
            out(chunk, size_t(outRead));
        long errRead = _Read(kErr, chunk, sizeof chunk);
        if (errRead > 0 && err)
            err(chunk, size_t(errRead));
        if (outRead < 0 && errRead < 0)
            break;
        if (outRead <= 0 && errRead <= 0)
            WaitForData();
    }
    return Shutdown(false, false);
}

void XPosixProcessLauncher::_ReapChild(bool wait)
{
    if (wait) {
        // Keep draining the output while waiting: a child blocked on a full pipe never exits.
        int pidFd = OpenPidFd(fPid);
        if (pidFd >= 0) {
            for (;;) {
                pollfd fds[3] = { { pidFd, POLLIN, 0 } };
                nfds_t count = 1;
                for (int which : { kOut, kErr }) {
                    if (fOutPipes[which][0] >= 0 && !fEnded[which])
                        fds[count++] = { fOutPipes[which][0], POLLIN, 0 };
                }
                if (::poll(fds, count, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    break;
                }
                if (fds[0].revents != 0)
                    break;
                char discard[4096];
                for (nfds_t i = 1; i < count; ++i) {
                    if (fds[i].revents == 0)
                        continue;
                    ssize_t got = ::read(fds[i].fd, discard, sizeof discard);
                    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                        fEnded[fds[i].fd == fOutPipes[kOut][0] ? kOut : kErr] = true;
                }
            }
            ::close(pidFd);
        } else {
            // No pidfd: closing our read ends is the only way to unblock a writing child.
            ClosePair(fOutPipes[kOut]);
            ClosePair(fOutPipes[kErr]);
        }
        WaitForExitNoReap(fPid);
        MarkEnded(*fChild);
    }

    int status = 0;
    pid_t reaped;
    while ((reaped = ::waitpid(fPid, &status, WNOHANG | WUNTRACED | WCONTINUED)) < 0 && errno == EINTR) {
    }
    if (reaped == fPid && (WIFEXITED(status) || WIFSIGNALED(status))) {
        MarkEnded(*fChild);
        fExitStatus = DecodeStatus(status);
        return;
    }
    fExitStatus = 0;
    if (reaped >= 0)
        ReapLater(fChild);
}

int XPosixProcessLauncher::Shutdown(bool force, bool killProcessTree)
{
    if (!fChild) {
        _ClosePipes();
        return 0;
    }
    // The child may be waiting for the end of its input.
    CloseStandardInput();
    if (force) {
        std::lock_guard lock(fChild->mutex);
        if (!fChild->ended)
            ::kill(fPid, SIGKILL);
    }
    _ReapChild(fWaitClosingChildTime > 0);
    bool killed;
    {
        std::lock_guard lock(fChild->mutex);
        killed = fChild->killedAfterTime;
    }
    if (killed)
        _ThrowError(VE_TIMEOUT_KILLED);
    _ClosePipes();
    if (killProcessTree && fKillProcessTree)
        ::kill(fProcessGroup, SIGKILL);
    fRunning = false;
    fChild.reset();
    return 0;
}

bool XPosixProcessLauncher::FindOnPath(const std::string& name, const char* path, std::string& found)
{
    return SearchPath(name, path, found);
}

bool XPosixProcessLauncher::KillProcess(int pid)
{
    return pid > 0 && ::kill(pid, SIGKILL) == 0;
}

int XPosixProcessLauncher::SpawnDetached(const std::string& binary, const std::vector<std::string>& args, int& savedErrno)
{
    savedErrno = 0;
    std::string program = binary;
    if (program.find('/') == std::string::npos && !SearchPath(binary, std::getenv("PATH"), program)) {
        savedErrno = ENOENT;
        return -1;
    }
    // Everything the child needs is prepared here: between fork and exec only async-signal-safe
    // calls are allowed, and the updater has other threads.
    std::vector<std::string> argumentTexts = args;
    if (argumentTexts.empty())
        argumentTexts.push_back(program);
    std::vector<char*> argv = MakeArgv(argumentTexts);
    int execPipe[2];
    if (!MakePipe(execPipe)) {
        savedErrno = errno;
        return -1;
    }
    sigset_t allSignals;
    sigset_t previous;
    sigfillset(&allSignals);
    // Blocked around fork so that no handler of ours runs in the child before exec.
    ::pthread_sigmask(SIG_SETMASK, &allSignals, &previous);
    pid_t pid = ::fork();
    if (pid == 0) {
        struct sigaction defaultAction {};
        defaultAction.sa_handler = SIG_DFL;
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
            ::sigaction(signalNumber, &defaultAction, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        int result = ::setsid() < 0 ? errno : 0;
        if (result == 0 && ::chdir("/") != 0)
            result = errno;
        if (result == 0) {
            int null = ::open("/dev/null", O_RDWR);
            if (null < 0)
                result = errno;
            for (int fd = 0; result == 0 && fd < 3; ++fd) {
                if (::dup2(null, fd) < 0)
                    result = errno;
            }
            if (null > 2)
                ::close(null);
        }
        if (result == 0) {
            // Only the exec pipe (close-on-exec) may stay open until exec.
            if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
                for (int fd = 3; fd < 4096; ++fd) {
                    if (fd != execPipe[1])
                        ::close(fd);
                }
            }
            ::execve(program.c_str(), argv.data(), environ);
            result = errno;
        }
        ssize_t ignored = ::write(execPipe[1], &result, sizeof result);
        (void)ignored;
        ::_exit(127);
    }
    int forkErrno = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    CloseFd(execPipe[1]);
    if (pid < 0) {
        CloseFd(execPipe[0]);
        savedErrno = forkErrno;
        return -1;
    }
    int childErrno = 0;
    ssize_t got;
    while ((got = ::read(execPipe[0], &childErrno, sizeof childErrno)) < 0 && errno == EINTR) {
    }
    CloseFd(execPipe[0]);
    if (got == 0)
        return int(pid);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    savedErrno = got == ssize_t(sizeof childErrno) && childErrno != 0 ? childErrno : EIO;
    return -1;
}

bool XPosixProcessLauncher::WaitForChild(int pid, int milliseconds, int& exitStatus)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int pidFd = OpenPidFd(pid);
    for (;;) {
        int status = 0;
        pid_t reaped = ::waitpid(pid, &status, WNOHANG);
        if (reaped < 0 && errno == EINTR)
            continue;
        if (reaped == pid) {
            if (pidFd >= 0)
                ::close(pidFd);
            exitStatus = DecodeStatus(status);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (reaped < 0 || left <= 0)
            break;
        // Without a pidfd, poll the child's state every 20 ms.
        pollfd fd = { pidFd, POLLIN, 0 };
        ::poll(pidFd >= 0 ? &fd : nullptr, pidFd >= 0 ? 1 : 0, int(pidFd >= 0 ? left : std::min<long long>(left, 20)));
    }
    if (pidFd >= 0)
        ::close(pidFd);
    ReapInBackground(pid);
    return false;
}

void XPosixProcessLauncher::ReapInBackground(int pid)
{
    auto state = std::make_shared<ChildState>();
    state->pid = pid;
    ReapLater(state);
}

} // namespace nuvo
