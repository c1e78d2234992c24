#include "tests/kernel/process/StChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nuvo::test {

namespace {

std::string ReadAll(FILE* stream)
{
    std::string data;
    char buffer[4096];
    while (size_t count = stream ? std::fread(buffer, 1, sizeof(buffer), stream) : 0)
        data.append(buffer, count);
    return data;
}

void Close(FILE*& stream)
{
    if (stream)
        std::fclose(stream);
    stream = nullptr;
}

} // namespace

StChildProcess::StChildProcess(const std::string& program, const std::vector<std::string>& args)
{
    int pipes[3][2];   // the child's standard input, output and error
    int made = 0;
    while (made < 3 && ::pipe2(pipes[made], O_CLOEXEC) == 0)
        ++made;
    // A child that dies early must fail the test, not kill it through a write on its input.
    ::signal(SIGPIPE, SIG_IGN);
    // Everything the child needs is built before fork: between fork and exec only
    // async-signal-safe calls are allowed.
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = made == 3 ? ::fork() : -1;
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd)
            ::dup2(pipes[fd][fd == 0 ? 0 : 1], fd);
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
    fPid = pid;
    for (int fd = 0; fd < made; ++fd) {
        ::close(pipes[fd][fd == 0 ? 0 : 1]);
        if (fPid <= 0)
            ::close(pipes[fd][fd == 0 ? 1 : 0]);
    }
    if (fPid > 0) {
        fIn = ::fdopen(pipes[0][1], "w");
        fOut = ::fdopen(pipes[1][0], "r");
        fErr = ::fdopen(pipes[2][0], "r");
    }
}

StChildProcess::~StChildProcess()
{
    if (fPid > 0)
        ::kill(fPid, SIGKILL);
    std::string out, err;
    Finish(out, err);
}

bool StChildProcess::ReadLine(std::string& line)
{
    line.clear();
    for (int c; fOut && (c = std::fgetc(fOut)) != EOF;) {
        if (c == '\n')
            return true;
        line += char(c);
    }
    return false;
}

void StChildProcess::WriteToInput(const std::string& bytes)
{
    if (fIn) {
        std::fwrite(bytes.data(), 1, bytes.size(), fIn);
        std::fflush(fIn);
    }
}

void StChildProcess::CloseInput()
{
    Close(fIn);
}

int StChildProcess::Finish(std::string& out, std::string& err)
{
    CloseInput();
    // The outputs of these children are far below a pipe's capacity, so reading one stream to
    // its end before the other cannot dead-lock.
    out = ReadAll(fOut);
    err = ReadAll(fErr);
    Close(fOut);
    Close(fErr);
    int status = -1;
    if (fPid > 0)
        ::waitpid(fPid, &status, 0);
    fPid = -1;
    return status;
}

int RunChild(const std::string& program, const std::vector<std::string>& args, std::string& out, std::string& err)
{
    StChildProcess child(program, args);
    return child.IsStarted() ? child.Finish(out, err) : -1;
}

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : 1000;
}

} // namespace nuvo::test
