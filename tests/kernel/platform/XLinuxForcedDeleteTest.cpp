#include "kernel/platform/XLinuxForcedDelete.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

TEST(XLinuxForcedDelete, RemovesAProtectedTreeButNoLinkTarget)
{
    // Run by a non-root owner, the permission bits really apply: the walk must restore u+rwx.
    for (bool unprivileged : {false, true}) {
        SCOPED_TRACE(unprivileged ? "unprivileged owner" : "test user");
        StTempFolder temp;
        const std::string work = temp / "work", victim = work + "/victim";
        MakeFolder(work, 0777);
        auto body = [&] {
            // Locked-down folders and files, links pointing out of the tree.
            MakeTree(work, {"outside/", "outside/target.txt=x", "victim/", "victim/ro/", "victim/ro/deep/",
                               "victim/closed/", "victim/ro/deep/file=x", "victim/closed/inside=x",
                               "victim/plain=x", "victim/to-outside-file->" + work + "/outside/target.txt",
                               "victim/ro/to-outside-folder->" + work + "/outside",
                               "victim/dangling->nowhere"});
            for (auto [path, mode] : {std::pair{"/ro/deep/file", 0400}, {"/closed/inside", 0000},
                                      {"/plain", 0444}, {"/ro/deep", 0555}, {"/ro", 0555}, {"/closed", 0000},
                                      {"", 0500}})
                SetMode(victim + path, mode);
            if (XLinuxForcedDelete::Delete(victim + "/") != VE_OK)
                return 1;
            return EntryExists(victim) ? 2 : 0;
        };
        int result = unprivileged ? RunUnprivileged(temp.Path(), body) : body();
        if (result == kUnprivilegedUnavailable)
            GTEST_SKIP() << "no unprivileged user can reach " << temp.Path();
        EXPECT_EQ(result, 0) << "1: delete failed, 2: tree left, " << kCheckFailedInChild << ": set-up";
        EXPECT_EQ(TreeOf(work), (std::set<std::string>{"outside/", "outside/target.txt"}));
        EXPECT_EQ(ReadFile(work + "/outside/target.txt"), "x");
    }
}

TEST(XLinuxForcedDelete, SingleEntriesAndMissingPaths)
{
    StTempFolder temp;
    MakeTree(temp.Path(), {"file=f", "folder/", "link-to-folder->" + temp / "folder"});
    SetMode(temp / "file", 0000);

    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "file"), VE_OK);
    // A link given as the root is removed itself; its target stays.
    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "link-to-folder/"), VE_OK);
    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "missing"), MakePosixError(ENOENT));

    EXPECT_EQ(NamesIn(temp.Path()), std::set<std::string>{"folder"});
}

// Sets or clears the immutable flag on path; false when the file system or the process cannot.
bool SetImmutable(const std::string& path, bool immutable)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

TEST(XLinuxForcedDelete, ClearsImmutableFlagWhenAllowedAndFailsOtherwise)
{
    StTempFolder temp;
    MakeFolder(temp / "tree", 0777);
    WriteFile(temp / "tree/locked", "l", 0666);
    if (!SetImmutable(temp / "tree/locked", true))
        GTEST_SKIP() << "cannot set the immutable flag here (needs CAP_LINUX_IMMUTABLE and ext4/xfs/btrfs)";

    // Without the capability the flag cannot be cleared: the platform error, the file stays.
    if (::geteuid() == 0) {
        int result = RunUnprivileged(temp.Path(), [&] {
            return XLinuxForcedDelete::Delete(temp / "tree") == MakePosixError(EPERM) ? 0 : 1;
        });
        if (result != kUnprivilegedUnavailable) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(EntryExists(temp / "tree/locked"));
        }
    }

    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "tree"), VE_OK);

    EXPECT_FALSE(EntryExists(temp / "tree"));
    if (EntryExists(temp / "tree/locked"))
        SetImmutable(temp / "tree/locked", false); // let the temporary folder go
}

TEST(XLinuxForcedDelete, MountsBelowTheFolderAreNeverEntered)
{
    for (bool bindMount : {true, false}) {
        SCOPED_TRACE(bindMount ? "bind mount of a folder of the same file system" : "another file system");
        StTempFolder temp;
        MakeTree(temp.Path(), {"outside/", "outside/keep=k", "victim/", "victim/mounted/", "victim/file=f"});
        const std::string mounted = temp / "victim/mounted";
        int result = RunWithPrivateMounts([&] {
            if (bindMount ? ::mount((temp / "outside").c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr)
                          : ::mount("none", mounted.c_str(), "tmpfs", 0, nullptr))
                return int(kUnprivilegedUnavailable);
            if (!bindMount)
                WriteFile(mounted + "/keep", "");
            if (XLinuxForcedDelete::Delete(temp / "victim") != MakePosixError(EBUSY))
                return 1;
            return EntryExists(mounted + "/keep") ? 0 : 2;
        });
        if (result == kUnprivilegedUnavailable)
            GTEST_SKIP() << "cannot make a private mount namespace here";
        EXPECT_EQ(result, 0) << "1: not EBUSY, 2: the mounted folder was emptied, " << kCheckFailedInChild
                             << ": set-up";
        EXPECT_EQ(ReadFile(temp / "outside/keep"), "k");
    }
}

} // namespace
} // namespace nuvo::test
