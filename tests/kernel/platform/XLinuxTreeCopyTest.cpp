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
#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

VError CopyTree(const std::string& from, const std::string& to)
{
    XLinuxTreeCopy copy;
    return copy.Copy(from, to);
}

std::pair<time_t, long> Modified(const std::string& path)
{
    const struct stat st = LinkStat(path);
    return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

TEST(XLinuxTreeCopy, CopiesDataHolesModesTimesLinksHardLinksAndSpecialFiles)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    const std::string dst = temp / "dst";
    std::string big(300 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char((i * 7919) >> 3);
    MakeTree(temp.Path(), {"outside.txt=outside", "outside-folder/", "outside-folder/secret=s"});
    MakeTree(src, {"Contents/", "Contents/MacOS/", "Contents/MacOS/app=#!/bin/sh\necho hi\n",
                      "Contents/Info.plist=<plist/>", "empty=", "ro/", "ro/inner/", "ro/inner/file=data", "Versions/",
                      "Versions/A/", "Versions/A/lib=code", "Versions/Current->A", "lib->Versions/Current/lib",
                      "dangling->missing/nowhere", "to-outside-file->" + temp / "outside.txt",
                      "to-outside-folder->../outside-folder", "a=shared", "sub/", "pipe|"});
    WriteFile(src + "/big.bin", big, 0604);
    // 48 MiB of holes but for "head" and "middle" at 20 MiB.
    const off_t sparseSize = 48 << 20;
    int fd = ::open((src + "/disk.img").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, "head", 4, 0), 4);
    EXPECT_EQ(::pwrite(fd, "middle", 6, 20 << 20), 6);
    EXPECT_EQ(::ftruncate(fd, sparseSize), 0);
    ::close(fd);
    HardLink(src + "/a", src + "/b");
    HardLink(src + "/a", src + "/sub/c");
    HardLink(temp / "outside.txt", src + "/d"); // linked from outside the tree
    struct Row { const char* path; unsigned mode; };
    const Row modes[] = {{"/Contents/MacOS/app", 0755}, {"/Contents/Info.plist", 0640}, {"/empty", 0400},
        {"/a", 0640}, {"/pipe", 0620}, {"/ro/inner/file", 0444}, {"/ro/inner", 0555}, {"/ro", 0555},
        {"/Contents/MacOS", 0755}, {"/Contents", 0711}, {"/big.bin", 0604}, {"", 0750}};
    for (const Row& row : modes)
        SetMode(src + row.path, row.mode);
    SetTimes(src + "/Contents/Info.plist", {1500000000, 111111111}, {1600000000, 123456789});
    SetTimes(src + "/lib", {1200000000, 42}, {1234567890, 987654321});
    SetTimes(src + "/Contents", {1400000000, 5}, {1300000000, 999999999});
    const std::set<std::string> tree = TreeOf(src);

    ASSERT_EQ(CopyTree(src, dst), VE_OK);

    EXPECT_EQ(TreeOf(dst), tree);
    EXPECT_EQ(ReadFile(dst + "/Contents/MacOS/app"), "#!/bin/sh\necho hi\n");
    EXPECT_TRUE(ReadFile(dst + "/big.bin") == big);
    std::string image(size_t(sparseSize), '\0');
    image.replace(0, 4, "head");
    image.replace(20 << 20, 6, "middle");
    EXPECT_TRUE(ReadFile(dst + "/disk.img") == image);
    if (off_t(LinkStat(src + "/disk.img").st_blocks) * 512 < sparseSize) {
        EXPECT_LE(LinkStat(dst + "/disk.img").st_blocks * 512, 1 << 20) << "the holes were filled";
    }
    EXPECT_EQ(ReadFile(dst + "/empty"), "");
    EXPECT_EQ(ReadFile(dst + "/ro/inner/file"), "data"); // read-only folders are filled, then locked
    for (const Row& row : modes) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(Mode(dst + row.path), row.mode);
    }
    EXPECT_TRUE(S_ISFIFO(LinkStat(dst + "/pipe").st_mode));
    // Nanosecond times; a folder's are set after it was filled, a link's on the link itself.
    EXPECT_EQ(Modified(dst + "/Contents/Info.plist"), std::make_pair(time_t(1600000000), 123456789L));
    const struct timespec accessed = LinkStat(dst + "/Contents/Info.plist").st_atim;
    EXPECT_EQ(std::make_pair(accessed.tv_sec, accessed.tv_nsec), std::make_pair(time_t(1500000000), 111111111L));
    EXPECT_EQ(Modified(dst + "/Contents"), std::make_pair(time_t(1300000000), 999999999L));
    EXPECT_EQ(Modified(dst + "/lib"), std::make_pair(time_t(1234567890), 987654321L));

    // Links are copied as links, never followed.
    struct LinkRow { const char* name; std::string target; };
    const LinkRow links[] = {{"/Versions/Current", "A"}, {"/lib", "Versions/Current/lib"},
        {"/dangling", "missing/nowhere"}, {"/to-outside-file", temp / "outside.txt"},
        {"/to-outside-folder", "../outside-folder"}};
    for (const LinkRow& row : links) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(S_ISLNK(LinkStat(dst + row.name).st_mode));
        EXPECT_EQ(LinkTarget(dst + row.name), row.target);
    }
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"dst", "outside-folder", "outside.txt", "src"}));
    EXPECT_EQ(NamesIn(temp / "outside-folder"), std::set<std::string>{"secret"});

    // Hard links within the tree stay linked; a file linked from outside becomes one plain copy.
    struct stat a = LinkStat(dst + "/a");
    EXPECT_EQ(LinkStat(dst + "/b").st_ino, a.st_ino);
    EXPECT_EQ(LinkStat(dst + "/sub/c").st_ino, a.st_ino);
    EXPECT_NE(a.st_ino, LinkStat(src + "/a").st_ino);
    EXPECT_EQ(a.st_nlink, 3u);
    EXPECT_EQ(ReadFile(dst + "/sub/c"), "shared");
    EXPECT_EQ(LinkStat(dst + "/d").st_nlink, 1u);
    EXPECT_EQ(ReadFile(dst + "/d"), "outside");

    // The source is left as it was.
    EXPECT_EQ(TreeOf(src), tree);
    EXPECT_EQ(Modified(src + "/Contents"), std::make_pair(time_t(1300000000), 999999999L));
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
        // Appended: "d" + std::to_string(...) draws a false -Wrestrict from g++ 12 at -O3.
        deep.append("/d").append(std::to_string(level));
        relative.append("d").append(std::to_string(level)).append("/");
        MakeFolder(deep);
        if (level % 7 == 0)
            readOnly.push_back(deep);
    }
    WriteFile(deep + "/first", "linked", 0644);
    for (const std::string& folder : readOnly)
        SetMode(folder, 0555);
    MakeFolder(src + "/z");
    HardLink(deep + "/first", src + "/z/second");
    HardLink(deep + "/first", src + "/third");
    // Sibling branches, each holding a file linked from the root: whichever name comes first in
    // the listing, some copies are recorded after the walk left another branch.
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        MakeTree(src + "/s" + n, {"f=sibling " + n});
        HardLink(src + "/s" + n + "/f", src + "/l" + n);
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
    EXPECT_EQ(Mode(temp / "dst/d0"), 0555u);
    EXPECT_EQ(Mode(temp / "dst/d0/d1"), 0755u);
    EXPECT_EQ(TreeOf(temp / "dst"), TreeOf(src));
}

TEST(XLinuxTreeCopy, CopiesUserExtendedAttributes)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeTree(src, {"f=x"});
    if (::setxattr((src + "/f").c_str(), "user.origin", "net", 3, 0) != 0)
        GTEST_SKIP() << "the temporary file system refuses user extended attributes: " << std::strerror(errno);
    ASSERT_EQ(::setxattr(src.c_str(), "user.kind", "bundle", 6, 0), 0);
    const std::string large(3000, 'v'); // beyond the first 4096-byte guess with the other names
    ASSERT_EQ(::setxattr((src + "/f").c_str(), "user.large", large.data(), large.size(), 0), 0);
    SetMode(src + "/f", 0444);

    ASSERT_EQ(CopyTree(src, temp / "dst"), VE_OK);

    auto attribute = [](const std::string& path, const char* name) {
        char value[16384];
        ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
        return n < 0 ? std::string("(missing)") : std::string(value, size_t(n));
    };
    EXPECT_EQ(attribute(temp / "dst/f", "user.origin"), "net");
    EXPECT_EQ(attribute(temp / "dst/f", "user.large"), large);
    EXPECT_EQ(attribute(temp / "dst", "user.kind"), "bundle");
}

TEST(XLinuxTreeCopy, RefusedCopiesTouchNothing)
{
    StTempFolder temp;
    MakeTree(temp.Path(), {"src/", "src/inner/", "src/inner/f=x", "file=f", "taken/", "taken/old=o",
                              "door->src/inner"});
    SetMode(temp / "taken", 0700);
    const std::set<std::string> before = TreeOf(temp.Path());
    struct Row { const char* name; std::string from; std::string to; int error; };
    const Row rows[] = {
        {"existing destination", temp / "src", temp / "taken/", EEXIST},
        {"missing source", temp / "nope", temp / "dst", ENOENT},
        {"source is a file", temp / "file", temp / "dst", ENOTDIR},
        {"missing destination parent", temp / "src", temp / "no/dst", ENOENT},
        // The destination's text does not show that it is inside the source.
        {"destination inside the source", temp / "src", temp / "door/copy", EINVAL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CopyTree(row.from, row.to), MakePosixError(row.error));
        EXPECT_EQ(TreeOf(temp.Path()), before);
        EXPECT_EQ(Mode(temp / "taken"), 0700u);
    }

    // The source root itself is followed when it is a link: the caller names the folder.
    ASSERT_EQ(XLinuxFolder::CopyTree(temp / "door/", temp / "dst/"), VE_OK);
    EXPECT_EQ(TreeOf(temp / "dst"), std::set<std::string>{"f"});
}

TEST(XLinuxTreeCopy, FailedCopyRemovesOnlyWhatItCreated)
{
    StTempFolder temp;
    const std::string src = temp / "src";
    MakeTree(src, {"a/", "a/readable=r", "b/", "b/z-secret=s"});
    SetMode(src + "/a", 0555); // its copy is locked before the failure
    // Owned by the test's user: unreadable for nobody (and for a non-root test user too).
    SetMode(src + "/b/z-secret", ::geteuid() == 0 ? 0600 : 0000);
    MakeFolder(temp / "parent", 0777);
    WriteFile(temp / "parent/sibling", "keep", 0666);

    int result = RunUnprivileged(temp.Path(), [&] {
        if (CopyTree(src, temp / "parent/dst") != MakePosixError(EACCES))
            return 1;
        return EntryExists(temp / "parent/dst") ? 2 : 0;
    });
    if (result == kUnprivilegedUnavailable)
        GTEST_SKIP() << "no unprivileged user can reach " << temp.Path();
    EXPECT_EQ(result, 0) << "1: wrong error, 2: partial copy left behind";
    EXPECT_EQ(TreeOf(temp / "parent"), std::set<std::string>{"sibling"});
    EXPECT_EQ(ReadFile(temp / "parent/sibling"), "keep");
}

} // namespace
} // namespace nuvo::test
