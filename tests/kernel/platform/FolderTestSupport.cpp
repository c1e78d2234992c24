#include "tests/kernel/platform/FolderTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nuvo::test {

void MakeFolder(const std::string& path, unsigned mode)
{
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path << ": " << std::strerror(errno);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

void MakeLink(const std::string& target, const std::string& path)
{
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path << ": " << std::strerror(errno);
}

struct stat LinkStat(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        std::memset(&st, 0, sizeof st);
    return st;
}

bool EntryExists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string LinkTarget(const std::string& path)
{
    char buffer[4096];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, size_t(n));
}

std::set<std::string> NamesIn(const std::string& folder)
{
    std::set<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.insert(name);
    }
    ::closedir(dir);
    return names;
}

static void CollectTree(const std::string& root, const std::string& relative, std::set<std::string>& out)
{
    for (const std::string& name : NamesIn(root + "/" + relative)) {
        std::string path = relative + name;
        struct stat st = LinkStat(root + "/" + path);
        if (S_ISDIR(st.st_mode)) {
            out.insert(path + "/");
            CollectTree(root, path + "/", out);
        } else {
            out.insert(path);
        }
    }
}

std::set<std::string> TreeOf(const std::string& root)
{
    std::set<std::string> out;
    CollectTree(root, "", out);
    return out;
}

int RunUnprivileged(const std::function<int()>& body)
{
    pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::geteuid() == 0) {
            const uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0
                || ::setresuid(nobody, nobody, nobody) != 0)
                ::_exit(kUnprivilegedUnavailable);
        }
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ShareWithUnprivileged(const std::string& folder)
{
    if (::chmod(folder.c_str(), 0777) != 0)
        return false;
    // Every ancestor must let others search it.
    std::string path = folder;
    while (true) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0)
            break;
        path.resize(slash);
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
    }
    return true;
}

} // namespace nuvo::test
