#include "tests/kernel/process/StChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace nuvo::test {

namespace {

std::string ReadAll(int fd)
{
    std::string data;
    char buffer[4096];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        data.append(buffer, size_t(count));
    }
    return data;
}

void CloseFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

StChildProcess::StChildProcess(const std::string& program, const std::vector<std::string>& args)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]);
        return;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
        return;
    }
    // A child that dies early must fail the test, not kill it through a write on its input.
    ::signal(SIGPIPE, SIG_IGN);
    // Everything the child needs is built before fork: between fork and exec only
    // async-signal-safe calls are allowed.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        struct rlimit noCore = {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE})
            ::signal(sig, SIG_DFL);
        ::execve(program.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    fIn = in[1];
    fOut = out[0];
    fErr = err[0];
    fPid = pid;
}

StChildProcess::~StChildProcess()
{
    CloseFd(fIn);
    CloseFd(fOut);
    CloseFd(fErr);
    if (fPid > 0) {
        ::kill(fPid, SIGKILL);
        int status;
        while (::waitpid(fPid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool StChildProcess::ReadLine(std::string& line)
{
    for (;;) {
        size_t end = fPending.find('\n');
        if (end != std::string::npos) {
            line = fPending.substr(0, end);
            fPending.erase(0, end + 1);
            return true;
        }
        char buffer[512];
        ssize_t count = ::read(fOut, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        fPending.append(buffer, size_t(count));
    }
}

void StChildProcess::WriteToInput(const std::string& bytes)
{
    size_t done = 0;
    while (fIn >= 0 && done < bytes.size()) {
        ssize_t count = ::write(fIn, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        done += size_t(count);
    }
}

void StChildProcess::CloseInput()
{
    CloseFd(fIn);
}

int StChildProcess::Finish(std::string& out, std::string& err)
{
    CloseInput();
    // The outputs of these children are far below a pipe's capacity, so reading one stream to
    // its end before the other cannot dead-lock.
    out = fPending + ReadAll(fOut);
    fPending.clear();
    err = ReadAll(fErr);
    CloseFd(fOut);
    CloseFd(fErr);
    int status = -1;
    if (fPid > 0) {
        while (::waitpid(fPid, &status, 0) < 0 && errno == EINTR) {
        }
        fPid = -1;
    }
    return status;
}

int RunChild(const std::string& program, const std::vector<std::string>& args, std::string& out, std::string& err)
{
    StChildProcess child(program, args);
    if (!child.IsStarted())
        return -1;
    return child.Finish(out, err);
}

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return -WTERMSIG(status);
    return 1000;
}

} // namespace nuvo::test
