#include "kernel/platform/XLinuxDataCopier.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char('a' + (i * 31 + i / 4096) % 26);
    return data;
}

// A source holding content, extended with a hole to size. A memfd lives on an internal tmpfs:
// FICLONE and copy_file_range to the temporary folder's file system refuse it (EXDEV), which
// drives the read/write path; a file beside the destination takes the kernel's paths.
int MakeSource(const std::string& folder, bool memory, const std::string& content, off_t size)
{
    int fd = memory ? ::memfd_create("copier-test", MFD_CLOEXEC)
                    : ::open((folder + "/source").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0 && (::pwrite(fd, content.data(), content.size(), 0) != ssize_t(content.size()) || ::ftruncate(fd, size) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(XLinuxDataCopier, CopiesEveryByteByEveryPath)
{
    const size_t buffer = XLinuxDataCopier::kBufferSize;
    // claimed: the size the copier is told; larger than size: the source shrank.
    struct Row { const char* name; bool memory; size_t size; off_t claimed; } rows[] = {
        {"empty", true, 0, 0},
        {"one byte", true, 1, 1},
        {"one byte short of the buffer", true, buffer - 1, off_t(buffer - 1)},
        {"exactly the buffer", true, buffer, off_t(buffer)},
        {"buffer plus one", true, buffer + 1, off_t(buffer + 1)},
        {"several buffers", true, 3 * buffer + 4321, off_t(3 * buffer + 4321)},
        {"shrunk source, read/write", true, 1000, 5000},
        {"same file system", false, 3 * buffer + 4321, off_t(3 * buffer + 4321)},
        {"shrunk source, in-kernel copy", false, 1000, 5000},
    };
    XLinuxDataCopier copier; // one copier for all rows: its buffer and verdicts are reused
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        const std::string content = Pattern(row.size);
        int source = MakeSource(temp.Path(), row.memory, content, off_t(row.size));
        if (source < 0)
            GTEST_SKIP() << "cannot make the source (memfd_create?)";
        int destination = ::open((temp / "copy").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(destination, 0);
        struct stat st;
        ASSERT_EQ(::fstat(source, &st), 0);
        st.st_size = row.claimed;
        st.st_blocks = (row.claimed + 511) / 512; // no holes: the sparse copy is the other test's

        EXPECT_EQ(copier.Copy(source, destination, st, LinkStat(temp.Path()).st_dev), VE_OK);

        ::close(source);
        ::close(destination);
        EXPECT_TRUE(ReadFile(temp / "copy") == content);
    }
}

TEST(XLinuxDataCopier, KeepsHolesAndReportsWriteFailures)
{
    StTempFolder temp;
    const off_t size = 16 * 1024 * 1024;
    int source = MakeSource(temp.Path(), true, "start", size);
    if (source < 0)
        GTEST_SKIP() << "memfd_create is not available";
    ASSERT_EQ(::pwrite(source, "end", 3, size - 3), 3);
    int destination = ::open((temp / "copy").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(destination, 0);
    struct stat st;
    ASSERT_EQ(::fstat(source, &st), 0);
    XLinuxDataCopier copier;

    EXPECT_EQ(copier.Copy(source, destination, st, 0), VE_OK);

    ::close(destination);
    struct stat copy = LinkStat(temp / "copy");
    EXPECT_EQ(copy.st_size, size);
    EXPECT_LE(copy.st_blocks * 512, 2 * 1024 * 1024);
    std::string expected(size_t(size), '\0');
    expected.replace(0, 5, "start");
    expected.replace(size_t(size) - 3, 3, "end");
    EXPECT_TRUE(ReadFile(temp / "copy") == expected);

    int readOnly = ::open((temp / "copy").c_str(), O_RDONLY);
    ASSERT_GE(readOnly, 0);
    EXPECT_EQ(copier.Copy(source, readOnly, st, 0), MakePosixError(EBADF));
    ::close(readOnly);
    ::close(source);
}

} // namespace
} // namespace nuvo::test
