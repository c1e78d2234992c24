#include "kernel/platform/XLinuxDataCopier.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/StTempFolder.h"

namespace nuvo::test {
namespace {

// A memfd lives on an internal tmpfs: copy_file_range and FICLONE to the temporary folder's file
// system refuse it (EXDEV), which drives the read/write path.
int MakeMemoryFile(const std::string& content, off_t size)
{
    int fd = ::memfd_create("copier-test", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::pwrite(fd, content.data(), content.size(), 0) != ssize_t(content.size()) || ::ftruncate(fd, size) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char('a' + (i * 31 + i / 4096) % 26);
    return data;
}

TEST(XLinuxDataCopier, CopiesAcrossFileSystemsByReadAndWrite)
{
    StTempFolder temp;
    struct Row {
        const char* name;
        size_t size;
    } rows[] = {
        {"empty", 0},
        {"one byte", 1},
        {"one byte short of the buffer", XLinuxDataCopier::kBufferSize - 1},
        {"exactly the buffer", XLinuxDataCopier::kBufferSize},
        {"buffer plus one", XLinuxDataCopier::kBufferSize + 1},
        {"several buffers", 3 * XLinuxDataCopier::kBufferSize + 4321},
    };
    XLinuxDataCopier copier; // one copier for all rows: its buffer and verdicts are reused
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string content = Pattern(row.size);
        int source = MakeMemoryFile(content, off_t(row.size));
        if (source < 0)
            GTEST_SKIP() << "memfd_create is not available";
        const std::string path = temp / row.name;
        int destination = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(destination, 0);
        struct stat st;
        ASSERT_EQ(::fstat(source, &st), 0);
        struct stat dstStat;
        ASSERT_EQ(::fstat(destination, &dstStat), 0);

        EXPECT_EQ(copier.Copy(source, destination, st, dstStat.st_dev), VE_OK);

        ::close(source);
        ::close(destination);
        EXPECT_TRUE(ReadFile(path) == content);
    }
}

TEST(XLinuxDataCopier, KeepsHolesOfAMemoryFile)
{
    StTempFolder temp;
    const off_t size = 16 * 1024 * 1024;
    int source = MakeMemoryFile("start", size);
    if (source < 0)
        GTEST_SKIP() << "memfd_create is not available";
    ASSERT_EQ(::pwrite(source, "end", 3, size - 3), 3);
    const std::string path = temp / "copy";
    int destination = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(destination, 0);
    struct stat st;
    ASSERT_EQ(::fstat(source, &st), 0);
    XLinuxDataCopier copier;

    EXPECT_EQ(copier.Copy(source, destination, st, 0), VE_OK);

    ::close(source);
    ::close(destination);
    struct stat copy;
    ASSERT_EQ(::stat(path.c_str(), &copy), 0);
    EXPECT_EQ(copy.st_size, size);
    EXPECT_LE(copy.st_blocks * 512, 2 * 1024 * 1024);
    std::string expected(size_t(size), '\0');
    expected.replace(0, 5, "start");
    expected.replace(size_t(size) - 3, 3, "end");
    EXPECT_TRUE(ReadFile(path) == expected);
}

TEST(XLinuxDataCopier, ReportsAWriteFailure)
{
    StTempFolder temp;
    const std::string content = Pattern(1000);
    int source = MakeMemoryFile(content, 1000);
    if (source < 0)
        GTEST_SKIP() << "memfd_create is not available";
    WriteFile(temp / "ro", "");
    int destination = ::open((temp / "ro").c_str(), O_RDONLY); // not writable
    ASSERT_GE(destination, 0);
    struct stat st;
    ASSERT_EQ(::fstat(source, &st), 0);
    XLinuxDataCopier copier;

    EXPECT_EQ(copier.Copy(source, destination, st, 0), MakePosixError(EBADF));

    ::close(source);
    ::close(destination);
}

} // namespace
} // namespace nuvo::test
