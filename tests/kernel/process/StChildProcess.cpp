#include "tests/kernel/process/StChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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
    // The child inherits the limit: SIGQUIT's default action must not leave core files behind.
    struct rlimit limit;
    ::getrlimit(RLIMIT_CORE, &limit);
    struct rlimit noCore = {0, limit.rlim_max};
    ::setrlimit(RLIMIT_CORE, &noCore);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes, &signals);
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE})
        sigaddset(&signals, sig);
    ::posix_spawnattr_setsigdefault(&attributes, &signals);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    for (int fd = 0; fd < made; ++fd)
        ::posix_spawn_file_actions_adddup2(&actions, pipes[fd][fd == 0 ? 0 : 1], fd);
    pid_t pid = -1;
    if (made == 3 && ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0)
        fPid = pid;
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::setrlimit(RLIMIT_CORE, &limit);
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
