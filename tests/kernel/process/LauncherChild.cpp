// Child program for the launcher tests. Runs its commands in order:
//   out N / err N   write N bytes ('a'+i%26) to standard output / error
//   echo            copy standard input to standard output until its end
//   args            print every argument after "args", one per line, then stop
//   pwd / env NAME  print the working folder / the variable ("<unset>" when absent)
//   pidfile PATH    write the pid to PATH
//   grandchild PATH fork a child that sleeps in this process group; write its pid to PATH
//   sleep MS        sleep
//   signal N        kill itself with signal N
//   exit N          exit with N (the default is 0)

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void WriteBytes(FILE* stream, long count)
{
    for (long i = 0; i < count; ++i)
        std::fputc('a' + int(i % 26), stream);
    std::fflush(stream);
}

void WritePid(const char* path, pid_t pid)
{
    FILE* file = std::fopen(path, "w");
    if (file) {
        std::fprintf(file, "%d\n", int(pid));
        std::fclose(file);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string command = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (command == "out" || command == "err") {
            WriteBytes(command == "out" ? stdout : stderr, std::atol(value));
            ++i;
        } else if (command == "echo") {
            char buffer[4096];
            size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
                std::fwrite(buffer, 1, got, stdout);
            std::fflush(stdout);
        } else if (command == "args") {
            for (int k = i + 1; k < argc; ++k)
                std::printf("%s\n", argv[k]);
            return 0;
        } else if (command == "pwd") {
            char folder[4096];
            std::printf("%s\n", getcwd(folder, sizeof folder) ? folder : "?");
        } else if (command == "env") {
            const char* found = std::getenv(value);
            std::printf("%s\n", found ? found : "<unset>");
            ++i;
        } else if (command == "pidfile") {
            WritePid(value, getpid());
            ++i;
        } else if (command == "grandchild") {
            pid_t pid = fork();
            if (pid == 0) {
                for (;;)
                    pause();
            }
            WritePid(value, pid);
            ++i;
        } else if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(value)));
            ++i;
        } else if (command == "signal") {
            std::fflush(nullptr);
            raise(std::atoi(value));
            ++i;
        } else if (command == "exit") {
            std::fflush(nullptr);
            return std::atoi(value);
        }
    }
    return 0;
}
