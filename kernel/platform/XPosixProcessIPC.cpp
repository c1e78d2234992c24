// POSIX side of the command-line process frame: sigaction and the signal handler (nothing in
// the handler may lock or allocate), and the standard streams moved onto /dev/null.

#include "kernel/platform/XPosixProcessIPC.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "kernel/process/VProcess.h"

namespace nuvo {

namespace {

void WriteAll(int fd, const char* bytes, size_t count)
{
    while (count > 0) {
        ssize_t written = ::write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        bytes += written;
        count -= size_t(written);
    }
}

extern "C" void HandleTerminationSignal(int signalNumber)
{
    // The interrupted code may be looking at errno.
    int savedErrno = errno;
    if (VProcess* process = VProcess::Get()) {
        // Unbuffered write(2): the line cannot interleave with a half-flushed stdio buffer
        // of this handler, and stdio is not async-signal-safe.
        if (signalNumber == SIGINT)
            WriteAll(STDOUT_FILENO, XPosixProcessIPC::kCtrlCLine, sizeof(XPosixProcessIPC::kCtrlCLine) - 1);
        process->QuitAsynchronously(nullptr);
    }
    errno = savedErrno;
}

bool InstallHandler(int signalNumber, int blocked1, int blocked2, int flags)
{
    struct sigaction action = {};
    action.sa_handler = HandleTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, blocked1);
    sigaddset(&action.sa_mask, blocked2);
    action.sa_flags = flags;
    return ::sigaction(signalNumber, &action, nullptr) == 0;
}

} // namespace

bool XPosixProcessIPC::Init()
{
    // SA_RESETHAND on SIGQUIT: a second SIGQUIT takes the default action (core dump), the way
    // out when the application does not react to the first.
    // A caller that quits without reading the progress line must not kill the update with
    // SIGPIPE: the write fails with EPIPE instead. Detached children get default dispositions.
    ::signal(SIGPIPE, SIG_IGN);
    return InstallHandler(SIGTERM, SIGINT, SIGQUIT, SA_RESTART)
        && InstallHandler(SIGINT, SIGQUIT, SIGTERM, SA_RESTART)
        && InstallHandler(SIGQUIT, SIGINT, SIGTERM, SA_RESTART | SA_RESETHAND);
}

void XPosixProcessIPC::CloseStandardStreams()
{
    // freopen closes each stream's descriptor and reopens the lowest free number, which is the
    // one just closed; the stdio objects stay valid, unlike after fclose.
    (void) std::freopen("/dev/null", "r", stdin);
    (void) std::freopen("/dev/null", "w", stdout);
    (void) std::freopen("/dev/null", "w", stderr);
    // A stream that was already closed when we started left its number free: fill it.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

} // namespace nuvo
