#include "kernel/platform/XLinuxTreeCopy.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "kernel/platform/XLinuxFolder.h"
#include "tests/kernel/platform/FolderTestSupport.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::test {
namespace {

void SetTimes(const std::string& path, timespec accessed, timespec modified)
{
    const timespec times[2] = {accessed, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

VError CopyTree(const std::string& from, const std::string& to)
{
    XLinuxTreeCopy copy;
    return copy.Copy(from, to);
}

TEST(XLinuxTreeCopy, CopiesContentModesAndNanosecondTimes)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src, 0750);
    MakeFolder(src + "/Contents", 0711);
    MakeFolder(src + "/Contents/MacOS");
    WriteFile(src + "/Contents/MacOS/app", "#!/bin/sh\necho hi\n", 0755);
    WriteFile(src + "/Contents/Info.plist", "<plist/>", 0640);
    WriteFile(src + "/empty", "", 0400);
    std::string big(300 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char((i * 7919) >> 3);
    WriteFile(src + "/big.bin", big, 0604);
    SetTimes(src + "/Contents/Info.plist", {1500000000, 111111111}, {1600000000, 123456789});
    SetTimes(src + "/Contents", {1400000000, 5}, {1300000000, 999999999});

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    const std::string dst = temp / "dst";
    EXPECT_EQ(TreeOf(dst), (std::set<std::string>{"Contents/", "Contents/Info.plist", "Contents/MacOS/",
                               "Contents/MacOS/app", "big.bin", "empty"}));
    EXPECT_EQ(ReadFile(dst + "/Contents/MacOS/app"), "#!/bin/sh\necho hi\n");
    EXPECT_EQ(ReadFile(dst + "/big.bin"), big);
    EXPECT_EQ(ReadFile(dst + "/empty"), "");

    struct Row {
        const char* path;
        unsigned mode;
    } rows[] = {{"", 0750}, {"/Contents", 0711}, {"/Contents/MacOS", 0755}, {"/Contents/MacOS/app", 0755},
        {"/Contents/Info.plist", 0640}, {"/empty", 0400}, {"/big.bin", 0604}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(LinkStat(dst + row.path).st_mode & 07777, row.mode);
    }

    struct stat plist = LinkStat(dst + "/Contents/Info.plist");
    EXPECT_EQ(plist.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(plist.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(plist.st_atim.tv_sec, 1500000000);
    EXPECT_EQ(plist.st_atim.tv_nsec, 111111111);
    // A folder's times are set after it was filled, so the copies made inside do not change them.
    struct stat contents = LinkStat(dst + "/Contents");
    EXPECT_EQ(contents.st_mtim.tv_sec, 1300000000);
    EXPECT_EQ(contents.st_mtim.tv_nsec, 999999999);

    // The source is left as it was.
    EXPECT_EQ(LinkStat(src + "/Contents").st_mode & 07777, 0711u);
    EXPECT_EQ(ReadFile(src + "/big.bin"), big);
}

TEST(XLinuxTreeCopy, KeepsSymbolicLinksAsLinksWithTheirTimes)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    MakeFolder(src + "/Versions");
    MakeFolder(src + "/Versions/A");
    WriteFile(src + "/Versions/A/lib", "code");
    MakeLink("A", src + "/Versions/Current");
    MakeLink("Versions/Current/lib", src + "/lib");
    MakeLink("missing/nowhere", src + "/dangling");
    WriteFile(temp / "outside.txt", "outside");
    MakeFolder(temp / "outside-folder");
    WriteFile(temp / "outside-folder/secret", "s");
    MakeLink(temp / "outside.txt", src + "/to-outside-file");
    MakeLink("../outside-folder", src + "/to-outside-folder");
    SetTimes(src + "/lib", {1200000000, 42}, {1234567890, 987654321});

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    const std::string dst = temp / "dst";
    struct Row {
        const char* name;
        std::string target;
    } rows[] = {{"/Versions/Current", "A"}, {"/lib", "Versions/Current/lib"}, {"/dangling", "missing/nowhere"},
        {"/to-outside-file", temp / "outside.txt"}, {"/to-outside-folder", "../outside-folder"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(S_ISLNK(LinkStat(dst + row.name).st_mode));
        EXPECT_EQ(LinkTarget(dst + row.name), row.target);
    }
    struct stat lib = LinkStat(dst + "/lib");
    EXPECT_EQ(lib.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(lib.st_mtim.tv_nsec, 987654321);
    // Nothing behind the links was copied or touched.
    EXPECT_EQ(TreeOf(dst), (std::set<std::string>{"Versions/", "Versions/A/", "Versions/A/lib", "Versions/Current",
                               "dangling", "lib", "to-outside-file", "to-outside-folder"}));
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"dst", "outside-folder", "outside.txt", "src"}));
    EXPECT_EQ(ReadFile(temp / "outside.txt"), "outside");
}

TEST(XLinuxTreeCopy, ReadOnlyFoldersAreFilledThenLocked)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    MakeFolder(src + "/ro");
    MakeFolder(src + "/ro/inner");
    WriteFile(src + "/ro/inner/file", "data", 0444);
    WriteFile(src + "/ro/top", "t", 0644);
    ASSERT_EQ(::chmod((src + "/ro/inner").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((src + "/ro").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(src.c_str(), 0555), 0);

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    const std::string dst = temp / "dst";
    EXPECT_EQ(ReadFile(dst + "/ro/inner/file"), "data");
    EXPECT_EQ(ReadFile(dst + "/ro/top"), "t");
    for (const char* path : {"", "/ro", "/ro/inner"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(LinkStat(dst + path).st_mode & 07777, 0555u);
    }
    EXPECT_EQ(LinkStat(dst + "/ro/inner/file").st_mode & 07777, 0444u);
}

TEST(XLinuxTreeCopy, SparseFileStaysSparse)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    const std::string file = src + "/disk.img";
    const off_t size = 48 * 1024 * 1024;
    {
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, 20 * 1024 * 1024), 6);
        ASSERT_EQ(::ftruncate(fd, size), 0); // trailing hole
        ::close(fd);
    }
    struct stat before = LinkStat(file);
    if (off_t(before.st_blocks) * 512 >= size)
        GTEST_SKIP() << "the temporary file system does not keep holes";

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    const std::string copy = temp / "dst/disk.img";
    struct stat after = LinkStat(copy);
    EXPECT_EQ(after.st_size, size);
    // Two data blocks of a few KiB each, not 48 MiB.
    EXPECT_LE(after.st_blocks * 512, 1024 * 1024) << "blocks: " << after.st_blocks;
    std::string expected(size_t(size), '\0');
    expected.replace(0, 4, "head");
    expected.replace(20 * 1024 * 1024, 6, "middle");
    EXPECT_TRUE(ReadFile(copy) == expected);
}

TEST(XLinuxTreeCopy, HardLinksWithinTheTreeStayLinked)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    MakeFolder(src + "/sub");
    WriteFile(src + "/a", "shared", 0640);
    ASSERT_EQ(::link((src + "/a").c_str(), (src + "/b").c_str()), 0);
    ASSERT_EQ(::link((src + "/a").c_str(), (src + "/sub/c").c_str()), 0);
    WriteFile(temp / "outside", "o");
    ASSERT_EQ(::link((temp / "outside").c_str(), (src + "/d").c_str()), 0);

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    const std::string dst = temp / "dst";
    struct stat a = LinkStat(dst + "/a"), b = LinkStat(dst + "/b"), c = LinkStat(dst + "/sub/c");
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_ino, c.st_ino);
    EXPECT_NE(a.st_ino, LinkStat(src + "/a").st_ino);
    EXPECT_EQ(a.st_nlink, 3u);
    EXPECT_EQ(a.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(dst + "/sub/c"), "shared");
    // A file linked from outside the tree becomes one plain copy.
    struct stat d = LinkStat(dst + "/d");
    EXPECT_EQ(d.st_nlink, 1u);
    EXPECT_NE(d.st_ino, LinkStat(temp / "outside").st_ino);
}

TEST(XLinuxTreeCopy, DeepTreesAndHardLinksAcrossBranches)
{
    // The first copy of a linked file sits deep in one branch; the other names are met after the
    // walk climbed back out of it, so the recorded path must still name the copy.
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    std::string deep = src;
    std::string relative;
    std::vector<std::string> readOnly;
    for (int level = 0; level < 60; ++level) {
        deep += "/d" + std::to_string(level);
        relative += "d" + std::to_string(level) + "/";
        MakeFolder(deep);
        if (level % 7 == 0)
            readOnly.push_back(deep);
    }
    WriteFile(deep + "/first", "linked", 0644);
    for (const std::string& folder : readOnly)
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    MakeFolder(src + "/z");
    ASSERT_EQ(::link((deep + "/first").c_str(), (src + "/z/second").c_str()), 0);
    ASSERT_EQ(::link((deep + "/first").c_str(), (src + "/third").c_str()), 0);
    // Sibling branches, each holding a file linked from the root: whichever name comes first in
    // the listing, some copies are recorded after the walk left another branch.
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        MakeFolder(src + "/s" + n);
        WriteFile(src + "/s" + n + "/f", "sibling " + n);
        ASSERT_EQ(::link((src + "/s" + n + "/f").c_str(), (src + "/l" + n).c_str()), 0);
    }

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        SCOPED_TRACE(n);
        EXPECT_EQ(ReadFile(temp / "dst/l" + n), "sibling " + n);
        EXPECT_EQ(LinkStat(temp / "dst/l" + n).st_ino, LinkStat(temp / "dst/s" + n + "/f").st_ino);
    }

    const std::string copy = temp / "dst/" + relative + "first";
    EXPECT_EQ(ReadFile(copy), "linked");
    EXPECT_EQ(LinkStat(copy).st_nlink, 3u);
    EXPECT_EQ(LinkStat(temp / "dst/z/second").st_ino, LinkStat(copy).st_ino);
    EXPECT_EQ(LinkStat(temp / "dst/third").st_ino, LinkStat(copy).st_ino);
    EXPECT_EQ(LinkStat(temp / "dst/d0").st_mode & 07777, 0555u);
    EXPECT_EQ(LinkStat(temp / "dst/d0/d1").st_mode & 07777, 0755u);
    EXPECT_EQ(TreeOf(temp / "dst").size(), TreeOf(src).size());
}

TEST(XLinuxTreeCopy, CopiesUserExtendedAttributes)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    WriteFile(src + "/f", "x");
    if (::setxattr((src + "/f").c_str(), "user.origin", "net", 3, 0) != 0)
        GTEST_SKIP() << "the temporary file system refuses user extended attributes: " << std::strerror(errno);
    ASSERT_EQ(::setxattr(src.c_str(), "user.kind", "bundle", 6, 0), 0);
    std::string large(3000, 'v'); // ext4 keeps all of a file's attributes in one block
    ASSERT_EQ(::setxattr((src + "/f").c_str(), "user.large", large.data(), large.size(), 0), 0);
    ASSERT_EQ(::chmod((src + "/f").c_str(), 0444), 0);

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    char value[16384];
    ssize_t n = ::getxattr((temp / "dst/f").c_str(), "user.origin", value, sizeof value);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(std::string(value, 3), "net");
    n = ::getxattr((temp / "dst/f").c_str(), "user.large", value, sizeof value);
    ASSERT_EQ(n, ssize_t(large.size()));
    EXPECT_EQ(std::string(value, size_t(n)), large);
    n = ::getxattr((temp / "dst").c_str(), "user.kind", value, sizeof value);
    ASSERT_EQ(n, 6);
    EXPECT_EQ(std::string(value, 6), "bundle");
}

TEST(XLinuxTreeCopy, SpecialFilesAreRecreated)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeFolder(src);
    ASSERT_EQ(::mkfifo((src + "/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::chmod((src + "/pipe").c_str(), 0620), 0);

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    struct stat pipe = LinkStat(temp / "dst/pipe");
    EXPECT_TRUE(S_ISFIFO(pipe.st_mode));
    EXPECT_EQ(pipe.st_mode & 07777, 0620u);
}

TEST(XLinuxTreeCopy, ExistingDestinationIsRefusedAndLeftAlone)
{
    StTempFolder temp;
    MakeFolder(temp / "src");
    WriteFile(temp / "src/new", "n");
    MakeFolder(temp / "dst", 0700);
    WriteFile(temp / "dst/old", "o");

    EXPECT_EQ(CopyTree(temp / "src", temp / "dst/"), MakePosixError(EEXIST));

    EXPECT_EQ(NamesIn(temp / "dst"), std::set<std::string>{"old"});
    EXPECT_EQ(LinkStat(temp / "dst").st_mode & 07777, 0700u);
}

TEST(XLinuxTreeCopy, MissingSourceOrParentFails)
{
    StTempFolder temp;
    MakeFolder(temp / "src");
    struct Row {
        const char* name;
        std::string from;
        std::string to;
        int error;
    } rows[] = {
        {"missing source", temp / "nope", temp / "dst", ENOENT},
        {"source is a file", temp / "file", temp / "dst", ENOTDIR},
        {"missing destination parent", temp / "src", temp / "no/dst", ENOENT},
    };
    WriteFile(temp / "file", "f");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CopyTree(row.from, row.to), MakePosixError(row.error));
        EXPECT_FALSE(EntryExists(temp / "dst"));
    }
}

TEST(XLinuxTreeCopy, FailedCopyRemovesOnlyWhatItCreated)
{
    StTempFolder temp;
    if (!ShareWithUnprivileged(temp.Path()))
        GTEST_SKIP() << "the temporary folder's parents are not searchable by an unprivileged user";
    const std::string src = temp / "src";
    MakeFolder(src, 0755);
    MakeFolder(src + "/a", 0755);
    WriteFile(src + "/a/readable", "r", 0644);
    ASSERT_EQ(::chmod((src + "/a").c_str(), 0555), 0); // its copy is locked before the failure
    MakeFolder(src + "/b", 0755);
    // Owned by the test's user: unreadable for nobody (and for a non-root test user too).
    WriteFile(src + "/b/z-secret", "s", ::geteuid() == 0 ? 0600 : 0000);
    MakeFolder(temp / "parent", 0777);
    WriteFile(temp / "parent/sibling", "keep", 0666);

    int result = RunUnprivileged([&] {
        XLinuxTreeCopy copy;
        VError error = copy.Copy(src, temp / "parent/dst");
        if (error != MakePosixError(EACCES))
            return 1;
        return EntryExists(temp / "parent/dst") ? 2 : 0;
    });
    if (result == kUnprivilegedUnavailable)
        GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(result, 0) << "1: wrong error, 2: partial copy left behind";
    EXPECT_EQ(NamesIn(temp / "parent"), std::set<std::string>{"sibling"});
    EXPECT_EQ(ReadFile(temp / "parent/sibling"), "keep");
}

TEST(XLinuxTreeCopy, SourceRootLinkIsFollowed)
{
    StTempFolder temp;
    MakeFolder(temp / "real");
    WriteFile(temp / "real/f", "x");
    MakeLink("real", temp / "alias");

    ASSERT_EQ(XLinuxFolder::CopyTree(temp / "alias/", temp / "dst/"), VE_OK);

    EXPECT_TRUE(S_ISDIR(LinkStat(temp / "dst").st_mode));
    EXPECT_EQ(ReadFile(temp / "dst/f"), "x");
}

TEST(XLinuxTreeCopy, DestinationInsideTheSourceIsRefused)
{
    StTempFolder temp;
    MakeFolder(temp / "src");
    MakeFolder(temp / "src/inner");
    WriteFile(temp / "src/inner/f", "x");
    MakeLink("src/inner", temp / "door"); // the destination's text does not show it is inside

    EXPECT_EQ(CopyTree(temp / "src", temp / "door/copy"), MakePosixError(EINVAL));

    EXPECT_EQ(TreeOf(temp / "src"), (std::set<std::string>{"inner/", "inner/f"}));
}

} // namespace
} // namespace nuvo::test
