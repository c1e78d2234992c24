#pragma once
// A child program started by a test with its three standard streams on pipes.

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace nuvo::test {

// Starts program with args (argv[0] is program itself) and the test's environment; the child
// gets an empty signal mask, default signal actions and no core files. The test process ignores
// SIGPIPE from then on. Reading blocks; the destructor kills (SIGKILL) and reaps a child that is
// still running. Not thread-safe.
class StChildProcess {
public:
    StChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~StChildProcess();
    StChildProcess(const StChildProcess&) = delete;
    StChildProcess& operator=(const StChildProcess&) = delete;

    bool IsStarted() const { return fPid > 0; }
    pid_t GetPid() const { return fPid; }

    // One line of standard output without its '\n'; false at end of file.
    bool ReadLine(std::string& line);
    void WriteToInput(const std::string& bytes);
    void CloseInput();
    // Reads both output streams to their end, then waits for the child. Returns the raw wait
    // status; out and err receive what was not read before.
    int Finish(std::string& out, std::string& err);

private:
    pid_t fPid = -1;
    FILE* fIn = nullptr;
    FILE* fOut = nullptr;
    FILE* fErr = nullptr;
};

// Runs program to its end with no input; returns the raw wait status.
int RunChild(const std::string& program, const std::vector<std::string>& args, std::string& out, std::string& err);

// Exit code of a normal exit, or -signal for a death by signal.
int ExitCodeOf(int status);

} // namespace nuvo::test
