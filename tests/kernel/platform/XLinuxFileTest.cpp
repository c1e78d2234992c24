#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "kernel/platform/XLinuxFile.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

using test::ReadFile;
using test::StTempFolder;
using test::WriteFile;

constexpr VError Posix(int error) { return MakePosixError(error); }

struct stat LStat(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

void SetTimes(const std::string& path, time_t accessSec, long accessNsec, time_t modifySec, long modifyNsec)
{
    const struct timespec times[2] = {{accessSec, accessNsec}, {modifySec, modifyNsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Runs body in a child process as the unprivileged user "nobody" when the tests run as root, so
// that permission checks apply; returns body's exit status (or 100 when the switch failed, 77
// when the unprivileged user cannot even reach the temporary folder).
int RunUnprivileged(const std::string& folder, const std::function<int()>& body)
{
    pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        if (::access(folder.c_str(), X_OK) != 0)
            ::_exit(77);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

class XLinuxFileTest : public ::testing::Test {
protected:
    StTempFolder fTemp;
    std::string P(const std::string& relative) const { return fTemp / relative; }
};

TEST_F(XLinuxFileTest, ExistsCountsFilesAndLinksOnly)
{
    WriteFile(P("file"), "x");
    ASSERT_EQ(::mkdir(P("folder").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("missing-target", P("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("folder", P("folder-link").c_str()), 0);
    ASSERT_EQ(::mkfifo(P("fifo").c_str(), 0644), 0);

    struct Row {
        const char* name;
        bool exists;
    };
    const Row rows[] = {
        {"file", true}, {"dangling", true}, {"folder-link", true},
        {"folder", false}, {"fifo", false}, {"missing", false}, {"file/below", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(XLinuxFile::Exists(P(row.name).c_str()), row.exists);
    }
}

TEST_F(XLinuxFileTest, DeleteUnlinksAndReportsErrno)
{
    WriteFile(P("file"), "x");
    ASSERT_EQ(::symlink("file", P("link").c_str()), 0);
    ASSERT_EQ(::mkdir(P("folder").c_str(), 0755), 0);

    EXPECT_EQ(XLinuxFile::Delete(P("link").c_str()), VE_OK);
    EXPECT_EQ(::access(P("file").c_str(), F_OK), 0) << "the link's target stays";
    EXPECT_EQ(XLinuxFile::Delete(P("file").c_str()), VE_OK);
    EXPECT_NE(::access(P("file").c_str(), F_OK), 0);
    EXPECT_EQ(XLinuxFile::Delete(P("file").c_str()), Posix(ENOENT));
    EXPECT_EQ(XLinuxFile::Delete(P("folder").c_str()), Posix(EISDIR));
}

TEST_F(XLinuxFileTest, PermissionsOfTheEntryItself)
{
    WriteFile(P("file"), "x", 0640);
    ASSERT_EQ(::symlink("file", P("link").c_str()), 0);

    uint16_t mode = 1;
    EXPECT_EQ(XLinuxFile::GetPermissions(P("file").c_str(), &mode), VE_OK);
    EXPECT_EQ(mode, 0640);
    EXPECT_EQ(XLinuxFile::GetPermissions(P("link").c_str(), &mode), VE_OK);
    EXPECT_EQ(mode, 0777) << "a link's own bits, not its target's";

    // Only the nine permission bits are written.
    EXPECT_EQ(XLinuxFile::SetPermissions(P("file").c_str(), 04755), VE_OK);
    EXPECT_EQ(LStat(P("file")).st_mode & 07777, 0755u);

    // On a link nothing changes, neither the link nor its target.
    EXPECT_EQ(XLinuxFile::SetPermissions(P("link").c_str(), 0700), VE_OK);
    EXPECT_EQ(LStat(P("file")).st_mode & 07777, 0755u);

    EXPECT_EQ(XLinuxFile::GetPermissions(P("missing").c_str(), &mode), Posix(ENOENT));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(XLinuxFile::SetPermissions(P("missing").c_str(), 0644), Posix(ENOENT));
}

TEST_F(XLinuxFileTest, SizeAndTimesFollowLinks)
{
    WriteFile(P("file"), "0123456789");
    ASSERT_EQ(::symlink("file", P("link").c_str()), 0);
    SetTimes(P("file"), 1500000000, 250000000, 1000000000, 999999999);

    int64_t size = -1;
    EXPECT_EQ(XLinuxFile::GetSize(P("link").c_str(), &size), VE_OK);
    EXPECT_EQ(size, 10);

    XLinuxFileTimes times;
    EXPECT_EQ(XLinuxFile::GetTimes(P("link").c_str(), &times), VE_OK);
    EXPECT_EQ(times.modified, 1000000000999);
    EXPECT_EQ(times.accessed, 1500000000250);
    EXPECT_GT(times.created, 0);

    EXPECT_EQ(XLinuxFile::GetSize(P("missing").c_str(), &size), Posix(ENOENT));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(XLinuxFile::GetTimes(P("missing").c_str(), &times), Posix(ENOENT));
}

TEST_F(XLinuxFileTest, CopyKeepsDataModeTimesAndAttributes)
{
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data.push_back(char('a' + i % 23));
    WriteFile(P("source"), data, 0751);
    bool haveXattr = ::setxattr(P("source").c_str(), "user.origin", "qz", 2, 0) == 0;
    SetTimes(P("source"), 1300000000, 0, 1200000000, 123000000);

    ASSERT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("copy").c_str(), false), VE_OK);
    // Before reading it: reading moves the access time.
    struct stat st = LStat(P("copy"));
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123000000);
    EXPECT_EQ(st.st_atim.tv_sec, 1300000000);
    EXPECT_EQ(ReadFile(P("copy")), data);
    if (haveXattr) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(P("copy").c_str(), "user.origin", value, sizeof value), 2);
        EXPECT_STREQ(value, "qz");
    }
}

TEST_F(XLinuxFileTest, CopyOfAnEmptyFile)
{
    WriteFile(P("empty"), "", 0600);
    ASSERT_EQ(XLinuxFile::CopyFile(P("empty").c_str(), P("copy").c_str(), false), VE_OK);
    EXPECT_EQ(LStat(P("copy")).st_size, 0);
}

TEST_F(XLinuxFileTest, CopyRefusesAnExistingDestinationUnlessReplacing)
{
    WriteFile(P("source"), "new");
    WriteFile(P("dest"), "old content", 0600);

    EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("dest").c_str(), false), Posix(EEXIST));
    EXPECT_EQ(ReadFile(P("dest")), "old content") << "a refused copy must not touch the destination";

    EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("dest").c_str(), true), VE_OK);
    EXPECT_EQ(ReadFile(P("dest")), "new");
    EXPECT_EQ(LStat(P("dest")).st_mode & 07777, 0644u);

    // A link at the destination is replaced, its target left alone.
    WriteFile(P("target"), "target");
    ASSERT_EQ(::symlink("target", P("link-dest").c_str()), 0);
    EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("link-dest").c_str(), false), Posix(EEXIST));
    EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("link-dest").c_str(), true), VE_OK);
    EXPECT_TRUE(S_ISREG(LStat(P("link-dest")).st_mode));
    EXPECT_EQ(ReadFile(P("target")), "target");
}

TEST_F(XLinuxFileTest, ReplacingCopyNeverRemovesItsOwnSource)
{
    WriteFile(P("source"), "only copy");
    ASSERT_EQ(::link(P("source").c_str(), P("hard").c_str()), 0);
    ASSERT_EQ(::symlink(fTemp.Path().c_str(), P("here").c_str()), 0);

    const char* spellings[] = {"source", "hard", "here/source"};
    for (const char* spelling : spellings) {
        SCOPED_TRACE(spelling);
        EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P(spelling).c_str(), true), Posix(EINVAL));
        EXPECT_EQ(ReadFile(P("source")), "only copy");
    }
}

TEST_F(XLinuxFileTest, FailedReplacingCopyKeepsTheDestination)
{
    ASSERT_EQ(::mkdir(P("folder").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(P("fifo").c_str(), 0644), 0);
    WriteFile(P("target"), "only copy");
    ASSERT_EQ(::symlink("target", P("link").c_str()), 0);
    WriteFile(P("dest"), "old");
    struct Row {
        const char* source;
        const char* dest;
        VError expected;
    };
    const Row rows[] = {
        {"folder", "dest", Posix(EISDIR)},
        {"fifo", "dest", Posix(EINVAL)},
        // Copying a link over its own target would leave a link to itself.
        {"link", "target", Posix(EINVAL)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        EXPECT_EQ(XLinuxFile::CopyFile(P(row.source).c_str(), P(row.dest).c_str(), true), row.expected);
    }
    EXPECT_EQ(ReadFile(P("dest")), "old");
    EXPECT_EQ(ReadFile(P("target")), "only copy");
    EXPECT_TRUE(S_ISREG(LStat(P("target")).st_mode));
    // Nothing temporary is left beside the destination.
    auto entries = std::filesystem::directory_iterator(fTemp.Path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 5);
}

TEST_F(XLinuxFileTest, CopyErrors)
{
    ASSERT_EQ(::mkdir(P("folder").c_str(), 0755), 0);
    WriteFile(P("source"), "x");

    EXPECT_EQ(XLinuxFile::CopyFile(P("missing").c_str(), P("copy").c_str(), false), Posix(ENOENT));
    EXPECT_NE(::access(P("copy").c_str(), F_OK), 0);
    EXPECT_EQ(XLinuxFile::CopyFile(P("folder").c_str(), P("copy").c_str(), false), Posix(EISDIR));
    EXPECT_NE(::access(P("copy").c_str(), F_OK), 0);
    EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("no/such/copy").c_str(), false), Posix(ENOENT));
    // Replacing cannot remove a folder: the copy fails and the folder stays.
    EXPECT_EQ(XLinuxFile::CopyFile(P("source").c_str(), P("folder").c_str(), true), Posix(EEXIST));
    EXPECT_TRUE(S_ISDIR(LStat(P("folder")).st_mode));
}

TEST_F(XLinuxFileTest, CopyOfALinkCopiesTheLink)
{
    ASSERT_EQ(::symlink("../elsewhere/target", P("link").c_str()), 0);
    ASSERT_EQ(XLinuxFile::CopyFile(P("link").c_str(), P("copy").c_str(), false), VE_OK);
    ASSERT_TRUE(S_ISLNK(LStat(P("copy")).st_mode));
    char target[64] = {};
    ASSERT_EQ(::readlink(P("copy").c_str(), target, sizeof target - 1), 19);
    EXPECT_STREQ(target, "../elsewhere/target");
}

TEST_F(XLinuxFileTest, CopyKeepsHoles)
{
    // 16 MiB with two written bytes: one block at 8 MiB, one at the end.
    const off_t size = 16 << 20;
    int fd = ::open(P("sparse").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "A", 1, 8 << 20), 1);
    ASSERT_EQ(::pwrite(fd, "Z", 1, size - 1), 1);
    ::close(fd);
    struct stat source = LStat(P("sparse"));
    if (source.st_blocks * 512 >= size)
        GTEST_SKIP() << "the temporary folder's file system does not keep holes";

    ASSERT_EQ(XLinuxFile::CopyFile(P("sparse").c_str(), P("copy").c_str(), false), VE_OK);
    struct stat copy = LStat(P("copy"));
    EXPECT_EQ(copy.st_size, size);
    // A dense copy would take 32768 blocks of 512 bytes; allow generous allocation granularity.
    EXPECT_LE(copy.st_blocks, 1024) << "holes were filled";
    std::string content = ReadFile(P("copy"));
    ASSERT_EQ(content.size(), size_t(size));
    EXPECT_EQ(content[8 << 20], 'A');
    EXPECT_EQ(content[size - 1], 'Z');
    EXPECT_EQ(content[(8 << 20) - 1], '\0');
    EXPECT_EQ(content.find_first_not_of('\0'), size_t(8 << 20));
}

TEST_F(XLinuxFileTest, OpenLocksWithoutWaiting)
{
    WriteFile(P("file"), "content");
    std::string pathText = P("file");

    int first = -1, second = -1, third = -1;
    ASSERT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWrite, 0, &first), VE_OK);
    // flock belongs to the open file description: a second open in the same process conflicts.
    EXPECT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWrite, 0, &second), Posix(EACCES));
    EXPECT_EQ(second, -1);
    EXPECT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWriteShared, 0, &second), Posix(EACCES));
    // A locked file keeps its content when a truncating open is refused.
    EXPECT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWrite, XLinuxFile::kOptionTruncate, &second),
              Posix(EACCES));
    EXPECT_EQ(ReadFile(pathText), "content");
    // Reading takes no lock.
    ASSERT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessRead, 0, &third), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(third), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(first), VE_OK);

    // Shared locks live together and keep an exclusive one out.
    ASSERT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWriteShared, 0, &first), VE_OK);
    ASSERT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWriteShared, 0, &second), VE_OK);
    EXPECT_EQ(XLinuxFile::Open(pathText.c_str(), XLinuxFile::kAccessReadWrite, 0, &third), Posix(EACCES));
    EXPECT_EQ(XLinuxFile::Close(first), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(second), VE_OK);
}

TEST_F(XLinuxFileTest, OpenOptions)
{
    WriteFile(P("file"), "content");
    ASSERT_EQ(::symlink("file", P("link").c_str()), 0);
    ASSERT_EQ(::mkdir(P("folder").c_str(), 0755), 0);
    int fd = -1;

    EXPECT_EQ(XLinuxFile::Open(P("link").c_str(), XLinuxFile::kAccessRead, 0, &fd), Posix(ELOOP));
    ASSERT_EQ(XLinuxFile::Open(P("link").c_str(), XLinuxFile::kAccessRead, XLinuxFile::kOptionFollowLink, &fd), VE_OK);
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);

    EXPECT_EQ(XLinuxFile::Open(P("new").c_str(), XLinuxFile::kAccessReadWrite, 0, &fd), Posix(ENOENT));
    mode_t oldMask = ::umask(022);
    VError created = XLinuxFile::Open(P("new").c_str(), XLinuxFile::kAccessReadWrite, XLinuxFile::kOptionCreate, &fd);
    ::umask(oldMask);
    ASSERT_EQ(created, VE_OK);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);
    EXPECT_EQ(LStat(P("new")).st_mode & 07777, 0644u);

    ASSERT_EQ(XLinuxFile::Open(P("file").c_str(), XLinuxFile::kAccessReadWrite, XLinuxFile::kOptionTruncate, &fd), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);
    EXPECT_EQ(LStat(P("file")).st_size, 0);

    EXPECT_EQ(XLinuxFile::Open(P("folder").c_str(), XLinuxFile::kAccessRead, 0, &fd), Posix(EISDIR));
    EXPECT_EQ(XLinuxFile::Open(P("folder").c_str(), XLinuxFile::kAccessReadWrite, 0, &fd), Posix(EISDIR));
    EXPECT_EQ(XLinuxFile::Open(P("file").c_str(), XLinuxFile::kAccessRead, XLinuxFile::kOptionResourceFork, &fd),
              Posix(EOPNOTSUPP));
    EXPECT_EQ(XLinuxFile::Open(P("file").c_str(), 3, 0, &fd), Posix(EINVAL));
    EXPECT_EQ(fd, -1);
}

TEST_F(XLinuxFileTest, ReadAndWriteAtPositions)
{
    int fd = -1;
    ASSERT_EQ(XLinuxFile::Open(P("file").c_str(), XLinuxFile::kAccessReadWrite, XLinuxFile::kOptionCreate, &fd), VE_OK);
    EXPECT_EQ(XLinuxFile::WriteAt(fd, "hello", 5, 10), VE_OK);
    int64_t size = 0;
    EXPECT_EQ(XLinuxFile::GetDescriptorSize(fd, &size), VE_OK);
    EXPECT_EQ(size, 15);

    char buffer[16] = {};
    size_t read = 99;
    EXPECT_EQ(XLinuxFile::ReadAt(fd, buffer, 10, 12, &read), VE_OK);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::string(buffer, read), "llo");
    EXPECT_EQ(XLinuxFile::ReadAt(fd, buffer, 4, 40, &read), VE_OK);
    EXPECT_EQ(read, 0u);

    EXPECT_EQ(XLinuxFile::SetDescriptorSize(fd, 12), VE_OK);
    EXPECT_EQ(XLinuxFile::Flush(fd), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);
    EXPECT_EQ(ReadFile(P("file")), std::string(10, '\0') + "he");

    EXPECT_EQ(XLinuxFile::Close(fd), Posix(EBADF));
    EXPECT_EQ(XLinuxFile::ReadAt(fd, buffer, 1, 0, &read), Posix(EBADF));
    EXPECT_EQ(XLinuxFile::WriteAt(fd, "x", 1, 0), Posix(EBADF));

    // Writing through a read-only descriptor.
    ASSERT_EQ(XLinuxFile::Open(P("file").c_str(), XLinuxFile::kAccessRead, 0, &fd), VE_OK);
    EXPECT_EQ(XLinuxFile::WriteAt(fd, "x", 1, 0), Posix(EBADF));
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);
}

TEST_F(XLinuxFileTest, PermissionErrorsForAnUnprivilegedUser)
{
    // The folder must be searchable by the unprivileged user for the file's own mode to matter.
    ASSERT_EQ(::chmod(fTemp.Path().c_str(), 0755), 0);
    WriteFile(P("private"), "secret", 0600);
    std::string path = P("private");
    int status = RunUnprivileged(fTemp.Path(), [&] {
        int fd = -1;
        if (XLinuxFile::Open(path.c_str(), XLinuxFile::kAccessRead, 0, &fd) != MakePosixError(EACCES))
            return 1;
        if (XLinuxFile::SetPermissions(path.c_str(), 0777) != MakePosixError(EPERM))
            return 2;
        if (XLinuxFile::CopyFile(path.c_str(), (path + "-copy").c_str(), false) != MakePosixError(EACCES))
            return 3;
        if (XLinuxFile::IsWritable(path.c_str()))
            return 4;
        return 0;
    });
    if (status == 77)
        GTEST_SKIP() << "the unprivileged user cannot reach " << fTemp.Path();
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(XLinuxFile::IsWritable(path.c_str()));
    EXPECT_FALSE(XLinuxFile::IsWritable(P("missing").c_str()));
    EXPECT_EQ(LStat(path).st_mode & 07777, 0600u);
    EXPECT_NE(::access((path + "-copy").c_str(), F_OK), 0);
}

TEST(XLinuxFileErrno, ZeroBecomesEio)
{
    EXPECT_EQ(XLinuxFile::ErrorFromErrno(0), MakePosixError(EIO));
    EXPECT_EQ(XLinuxFile::ErrorFromErrno(ENOSPC), 0x504F5358'0000001CULL);
}

} // namespace
} // namespace nuvo
