#include "tests/kernel/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kernel/errors/VErrorContext.h"
#include "kernel/values/VValueBag.h"

namespace nuvo::test {

void MakeTree(const std::string& root, std::initializer_list<std::string> entries)
{
    std::error_code error;
    std::filesystem::create_directories(root, error);
    ASSERT_FALSE(error) << root << ": " << error.message();
    for (const std::string& entry : entries) {
        const size_t arrow = entry.find("->");
        const size_t equal = entry.find('=');
        if (arrow != std::string::npos)
            MakeLink(entry.substr(arrow + 2), root + "/" + entry.substr(0, arrow));
        else if (equal != std::string::npos)
            WriteFile(root + "/" + entry.substr(0, equal), entry.substr(equal + 1));
        else if (entry.back() == '|')
            ASSERT_EQ(::mkfifo((root + "/" + entry.substr(0, entry.size() - 1)).c_str(), 0644), 0) << entry;
        else
            MakeFolder(root + "/" + entry);
    }
}

void MakeFolder(const std::string& path, unsigned mode)
{
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path << ": " << std::strerror(errno);
    SetMode(path, mode);
}

void MakeLink(const std::string& target, const std::string& path)
{
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path << ": " << std::strerror(errno);
}

void HardLink(const std::string& existing, const std::string& path)
{
    ASSERT_EQ(::link(existing.c_str(), path.c_str()), 0) << path << ": " << std::strerror(errno);
}

void SetMode(const std::string& path, unsigned mode)
{
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path << ": " << std::strerror(errno);
}

void SetTimes(const std::string& path, struct timespec accessed, struct timespec modified)
{
    const timespec times[2] = {accessed, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

struct stat LinkStat(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        std::memset(&st, 0, sizeof st);
    return st;
}

unsigned Mode(const std::string& path)
{
    return LinkStat(path).st_mode & 07777;
}

bool EntryExists(const std::string& path)
{
    return LinkStat(path).st_mode != 0;
}

std::string LinkTarget(const std::string& path)
{
    char buffer[4096];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, size_t(n));
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::set<std::string> NamesIn(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename());
    return names;
}

std::set<std::string> TreeOf(const std::string& root)
{
    namespace fs = std::filesystem;
    std::set<std::string> out;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        const bool isFolder = fs::is_directory(it->symlink_status());
        out.insert(it->path().lexically_relative(root).string() + (isFolder ? "/" : ""));
    }
    return out;
}

VFilePath PosixPath(const std::string& text)
{
    return VFilePath::FromPosixBytes(text);
}

VRefPtr<VFile> FileAt(const std::string& posix)
{
    return VRefPtr<VFile>::Adopt(new VFile(PosixPath(posix)));
}

VRefPtr<VFolder> FolderAt(const std::string& posix)
{
    return VRefPtr<VFolder>::Adopt(new VFolder(PosixPath(posix.back() == '/' ? posix : posix + "/")));
}

std::string PosixOf(const VFilePath& path)
{
    return path.GetPosixBytes();
}

std::vector<VError> Codes(const StErrorContextInstaller& errors)
{
    std::vector<VError> codes;
    for (const auto& record : errors.GetContext()->GetErrorStack())
        codes.push_back(record->GetError());
    return codes;
}

std::string LastString(const StErrorContextInstaller& errors, const StPackedDictionaryKey& key)
{
    VString value;
    const VErrorBase* error = errors.GetContext()->GetLast();
    return error && error->GetBag()->GetString(key, value) ? to_string(value) : "(none)";
}

int32_t LastLong(const StErrorContextInstaller& errors, const StPackedDictionaryKey& key)
{
    int32_t value = -12345;
    const VErrorBase* error = errors.GetContext()->GetLast();
    return error && error->GetBag()->GetLong(key, value) ? value : -12345;
}

static int RunInChild(const std::function<bool()>& prepare, const std::function<int()>& body)
{
    pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const ::testing::TestResult* record = ::testing::UnitTest::GetInstance()->current_test_info()->result();
        const int partsBefore = record->total_part_count();
        const int result = prepare() ? body() : kUnprivilegedUnavailable;
        ::_exit(record->total_part_count() != partsBefore ? kCheckFailedInChild : result);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunUnprivileged(const std::string& folder, const std::function<int()>& body)
{
    if (::chmod(folder.c_str(), 0777) != 0)
        return kUnprivilegedUnavailable;
    for (std::string path = folder; path.rfind('/') != std::string::npos && path.rfind('/') != 0;) {
        path.resize(path.rfind('/'));
        if (!(LinkStat(path).st_mode & S_IXOTH))
            return kUnprivilegedUnavailable;
    }
    return RunInChild(
        [] {
            const uid_t nobody = 65534;
            return ::geteuid() != 0
                || (::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0
                    && ::setresuid(nobody, nobody, nobody) == 0);
        },
        body);
}

int RunWithPrivateMounts(const std::function<int()>& body)
{
    return RunInChild(
        [] {
            if (::unshare(CLONE_NEWNS) != 0) {
                // Unmapped ids cannot own new files: map ours onto themselves.
                const std::string uid = std::to_string(::geteuid()), gid = std::to_string(::getegid());
                auto write = [](const char* path, const std::string& text) {
                    int fd = ::open(path, O_WRONLY);
                    bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
                    if (fd >= 0)
                        ::close(fd);
                    return written;
                };
                if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !write("/proc/self/uid_map", uid + " " + uid + " 1")
                    || !write("/proc/self/setgroups", "deny") || !write("/proc/self/gid_map", gid + " " + gid + " 1"))
                    return false;
            }
            return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        },
        body);
}

} // namespace nuvo::test
