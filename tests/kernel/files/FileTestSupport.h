#pragma once
// Helpers of the file tests (VFile and its platform layer).

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace nuvo::test {

inline struct stat LStat(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Exit status of RunUnprivileged when the unprivileged user cannot reach the test's folder.
inline constexpr int kCannotReachFolder = 77;

// Runs body in a forked child, as the user "nobody" when the tests run as root (so that permission
// bits apply), and returns its exit status: 100 when the switch failed, kCannotReachFolder when
// that user cannot search folder. The body reports through its result, not through gtest.
inline int RunUnprivileged(const std::string& folder, const std::function<int()>& body)
{
    pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        if (::access(folder.c_str(), X_OK) != 0)
            ::_exit(kCannotReachFolder);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

} // namespace nuvo::test
