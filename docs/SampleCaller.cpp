// A minimal application-side caller of QZ Updater (see docs/integrating.md).
//
//   sample_caller UPDATER OUTDATED_BUNDLE UPTODATE_BUNDLE [LOG_FOLDER]
//
// Starts the updater with our pid and --caller-log, reads its progress lines, and quits as soon
// as it says "waitquit,-1": the updater waits for this process to be gone before it touches the
// installed bundle. Exit code: 0 when the updater is waiting for us; otherwise the updater's own
// exit code (1 bad command line, 2 failed update), or 3 when it could not be started.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: %s UPDATER OUTDATED_BUNDLE UPTODATE_BUNDLE [LOG_FOLDER]\n", argv[0]);
        return 3;
    }
    std::vector<std::string> args = {argv[1], "--pid=" + std::to_string(::getpid()), "--caller-log=1"};
    if (argc == 5)
        args.push_back(std::string("--log-dir=") + argv[4]);
    args.push_back(argv[2]);  // the installed bundle, replaced in place
    args.push_back(argv[3]);  // the downloaded bundle, copied (it stays where it is)

    // The updater's standard output is a pipe we read; its other streams are ours.
    int out[2];
    if (::pipe(out) != 0) {
        std::perror("pipe");
        return 3;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<char*> argvOut;
    for (std::string& arg : args)
        argvOut.push_back(arg.data());
    argvOut.push_back(nullptr);
    pid_t updater = 0;
    const int spawned = posix_spawn(&updater, argv[1], &actions, nullptr, argvOut.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[1], std::strerror(spawned));
        return 3;
    }

    // Progress lines are "step,value\n"; "waitquit,-1" is the last one and means: quit now.
    FILE* progress = ::fdopen(out[0], "r");
    char line[256];
    while (progress && std::fgets(line, sizeof line, progress)) {
        if (std::strcmp(line, "waitquit,-1\n") == 0) {
            std::printf("the updater is waiting for us (pid %d) to quit\n", int(::getpid()));
            return 0;  // a real application saves its state and quits here
        }
    }

    // End of file without the line: the updater stopped before waiting (bad arguments, missing
    // bundles). Its exit code says why.
    int status = 0;
    while (::waitpid(updater, &status, 0) < 0 && errno == EINTR) {
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 3;
    std::printf("the updater ended without waiting for us, exit code %d\n", code);
    return code;
}
