#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "kernel/platform/XLinuxFile.h"
#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

constexpr VError Posix(int error) { return MakePosixError(error); }

class XLinuxFileTest : public ::testing::Test {
protected:
    StTempFolder fTemp;
    std::string P(const std::string& relative) const { return fTemp / relative; }
    VError Copy(const char* source, const char* dest, bool replace) const
    {
        return XLinuxFile::CopyFile(P(source).c_str(), P(dest).c_str(), replace);
    }
};

TEST_F(XLinuxFileTest, EntriesAndTheirAttributes)
{
    MakeTree(fTemp.Path(), {"file=0123456789", "folder/", "dangling->missing-target", "folder-link->folder",
                            "link->file", "fifo|"});
    SetTimes(P("file"), {1500000000, 250000000}, {1000000000, 999999999});

    // Files and links count, whatever the link points to.
    for (const char* name : {"file", "dangling", "folder-link"})
        EXPECT_TRUE(XLinuxFile::Exists(P(name).c_str())) << name;
    for (const char* name : {"folder", "fifo", "missing", "file/below"})
        EXPECT_FALSE(XLinuxFile::Exists(P(name).c_str())) << name;

    // Permissions are the entry's own nine bits; on a link, setting them changes nothing.
    uint16_t mode = 1;
    EXPECT_EQ(XLinuxFile::GetPermissions(P("link").c_str(), &mode), VE_OK);
    EXPECT_EQ(mode, 0777);
    EXPECT_EQ(XLinuxFile::SetPermissions(P("file").c_str(), 04755), VE_OK);
    EXPECT_EQ(Mode(P("file")), 0755u);
    EXPECT_EQ(XLinuxFile::SetPermissions(P("link").c_str(), 0700), VE_OK);
    EXPECT_EQ(Mode(P("file")), 0755u);

    // Size and times follow links.
    int64_t size = -1;
    EXPECT_EQ(XLinuxFile::GetSize(P("link").c_str(), &size), VE_OK);
    EXPECT_EQ(size, 10);
    XLinuxFileTimes got;
    EXPECT_EQ(XLinuxFile::GetTimes(P("link").c_str(), &got), VE_OK);
    EXPECT_EQ(got.modified, 1000000000999);
    EXPECT_EQ(got.accessed, 1500000000250);
    EXPECT_GT(got.created, 0);

    // Deleting a link leaves its target; errors are the saved errno.
    EXPECT_EQ(XLinuxFile::Delete(P("link").c_str()), VE_OK);
    EXPECT_EQ(ReadFile(P("file")), "0123456789");
    EXPECT_EQ(XLinuxFile::Delete(P("link").c_str()), Posix(ENOENT));
    EXPECT_EQ(XLinuxFile::Delete(P("folder").c_str()), Posix(EISDIR));
    EXPECT_EQ(XLinuxFile::GetPermissions(P("missing").c_str(), &mode), Posix(ENOENT));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(XLinuxFile::GetTimes(P("missing").c_str(), &got), Posix(ENOENT));
    EXPECT_EQ(XLinuxFile::ErrorFromErrno(0), Posix(EIO));
}

TEST_F(XLinuxFileTest, CopyKeepsDataHolesModeTimesAndAttributes)
{
    // 16 MiB with two written bytes: one at 8 MiB, one at the end.
    const off_t size = 16 << 20;
    int fd = ::open(P("source").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0751);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "A", 1, 8 << 20), 1);
    ASSERT_EQ(::pwrite(fd, "Z", 1, size - 1), 1);
    ::close(fd);
    SetMode(P("source"), 0751);
    bool haveXattr = ::setxattr(P("source").c_str(), "user.origin", "qz", 2, 0) == 0;
    SetTimes(P("source"), {1300000000, 0}, {1200000000, 123000000});

    ASSERT_EQ(Copy("source", "copy", false), VE_OK);
    struct stat st = LinkStat(P("copy"));   // before reading it: reading moves the access time
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123000000);
    EXPECT_EQ(st.st_atim.tv_sec, 1300000000);
    EXPECT_EQ(st.st_size, size);
    if (LinkStat(P("source")).st_blocks * 512 < size) {
        EXPECT_LE(st.st_blocks, 1024) << "holes were filled";
    }
    std::string content = ReadFile(P("copy"));
    EXPECT_EQ(content.find_first_not_of('\0'), size_t(8 << 20));
    EXPECT_EQ(content.substr(8 << 20, 1) + content.substr(size - 1), "AZ");
    if (haveXattr) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(P("copy").c_str(), "user.origin", value, sizeof value), 2);
        EXPECT_STREQ(value, "qz");
    }

    // An empty file, and a link copied as a link.
    MakeTree(fTemp.Path(), {"empty=", "link->../elsewhere/target"});
    ASSERT_EQ(Copy("empty", "empty-copy", false), VE_OK);
    EXPECT_EQ(LinkStat(P("empty-copy")).st_size, 0);
    ASSERT_EQ(Copy("link", "link-copy", false), VE_OK);
    EXPECT_EQ(LinkTarget(P("link-copy")), "../elsewhere/target");
}

TEST_F(XLinuxFileTest, ReplacingCopiesReplaceTheEntryItself)
{
    WriteFile(P("source"), "new", 0640);
    MakeTree(fTemp.Path(), {"target=target", "link-dest->target"});
    EXPECT_EQ(Copy("source", "link-dest", false), Posix(EEXIST));
    // A link at the destination is replaced, its target left alone.
    EXPECT_EQ(Copy("source", "link-dest", true), VE_OK);
    EXPECT_EQ(LinkStat(P("link-dest")).st_mode & 0170777, unsigned(S_IFREG | 0640));
    EXPECT_EQ(ReadFile(P("link-dest")) + ReadFile(P("target")), "newtarget");
    // Nothing temporary is left beside the destination.
    EXPECT_EQ(NamesIn(fTemp.Path()), (std::set<std::string>{"link-dest", "source", "target"}));
}

TEST_F(XLinuxFileTest, FailedReplacingCopyKeepsTheDestination)
{
    MakeTree(fTemp.Path(), {"folder/", "fifo|", "source=only copy", "here->" + fTemp.Path(), "link->source",
                            "dest=old"});
    HardLink(P("source"), P("hard"));
    struct Row { const char* source; const char* dest; VError expected; };
    const Row rows[] = {
        {"folder", "dest", Posix(EISDIR)},
        {"missing", "dest", Posix(ENOENT)},
        // The source itself under another spelling, or the file a source link points to.
        {"source", "source", Posix(EINVAL)},
        {"source", "hard", Posix(EINVAL)},
        {"source", "here/source", Posix(EINVAL)},
        {"link", "source", Posix(EINVAL)},
        // A file never replaces a folder.
        {"source", "folder", Posix(EEXIST)},
        {"source", "no/such/copy", Posix(ENOENT)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.source) + " -> " + row.dest);
        EXPECT_EQ(Copy(row.source, row.dest, true), row.expected);
    }
    EXPECT_EQ(ReadFile(P("dest")), "old");
    EXPECT_EQ(ReadFile(P("source")), "only copy");
    EXPECT_TRUE(S_ISDIR(LinkStat(P("folder")).st_mode));
    // A FIFO is made anew, as `cp -a` does, never dropped.
    EXPECT_EQ(Copy("fifo", "fifo-copy", false), VE_OK);
    EXPECT_TRUE(S_ISFIFO(LinkStat(P("fifo-copy")).st_mode));
    EXPECT_EQ(NamesIn(fTemp.Path()), (std::set<std::string>{"dest", "fifo", "fifo-copy", "folder", "hard", "here", "link", "source"}));
}

TEST_F(XLinuxFileTest, OpenLocksWithoutWaiting)
{
    WriteFile(P("file"), "content");
    const std::string path = P("file");
    auto open = [&path](int access, unsigned options, int* fd) { return XLinuxFile::Open(path.c_str(), access, options, fd); };
    constexpr int kExclusive = XLinuxFile::kAccessReadWrite;
    constexpr int kShared = XLinuxFile::kAccessReadWriteShared;

    int first = -1, second = -1, third = -1;
    ASSERT_EQ(open(kExclusive, 0, &first), VE_OK);
    // flock belongs to the open file description: a second open in the same process conflicts.
    EXPECT_EQ(open(kExclusive, 0, &second), Posix(EACCES));
    EXPECT_EQ(second, -1);
    EXPECT_EQ(open(kShared, 0, &second), Posix(EACCES));
    // A locked file keeps its content when a truncating open is refused.
    EXPECT_EQ(open(kExclusive, XLinuxFile::kOptionTruncate, &second), Posix(EACCES));
    EXPECT_EQ(ReadFile(path), "content");
    ASSERT_EQ(open(XLinuxFile::kAccessRead, 0, &third), VE_OK) << "reading takes no lock";
    EXPECT_EQ(XLinuxFile::Close(third), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(first), VE_OK);

    // Shared locks live together and keep an exclusive one out.
    ASSERT_EQ(open(kShared, 0, &first), VE_OK);
    ASSERT_EQ(open(kShared, 0, &second), VE_OK);
    EXPECT_EQ(open(kExclusive, 0, &third), Posix(EACCES));
    EXPECT_EQ(XLinuxFile::Close(first), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(second), VE_OK);
}

TEST_F(XLinuxFileTest, OpenOptions)
{
    MakeTree(fTemp.Path(), {"file=content", "link->file", "folder/"});
    int fd = -1;

    EXPECT_EQ(XLinuxFile::Open(P("link").c_str(), XLinuxFile::kAccessRead, 0, &fd), Posix(ELOOP));
    ASSERT_EQ(XLinuxFile::Open(P("link").c_str(), XLinuxFile::kAccessRead, XLinuxFile::kOptionFollowLink, &fd), VE_OK);
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);

    EXPECT_EQ(XLinuxFile::Open(P("new").c_str(), XLinuxFile::kAccessReadWrite, 0, &fd), Posix(ENOENT));
    ASSERT_EQ(XLinuxFile::Open(P("new").c_str(), XLinuxFile::kAccessReadWrite, XLinuxFile::kOptionCreate, &fd), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);
    EXPECT_EQ(Mode(P("new")) & 0700, 0600u);

    ASSERT_EQ(XLinuxFile::Open(P("file").c_str(), XLinuxFile::kAccessReadWrite, XLinuxFile::kOptionTruncate, &fd), VE_OK);
    EXPECT_EQ(XLinuxFile::Close(fd), VE_OK);
    EXPECT_EQ(LinkStat(P("file")).st_size, 0);

    EXPECT_EQ(XLinuxFile::Open(P("folder").c_str(), XLinuxFile::kAccessRead, 0, &fd), Posix(EISDIR));
    EXPECT_EQ(XLinuxFile::Open(P("folder").c_str(), XLinuxFile::kAccessReadWrite, 0, &fd), Posix(EISDIR));
    EXPECT_EQ(XLinuxFile::Open(P("file").c_str(), XLinuxFile::kAccessRead, XLinuxFile::kOptionResourceFork, &fd),
              Posix(EOPNOTSUPP));
    EXPECT_EQ(XLinuxFile::Open(P("file").c_str(), 3, 0, &fd), Posix(EINVAL));
    EXPECT_EQ(fd, -1);
}

} // namespace
} // namespace nuvo::test
