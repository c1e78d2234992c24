#include "kernel/platform/XLinuxForcedDelete.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <string>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/kernel/platform/FolderTestSupport.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::test {
namespace {

// Builds a tree with locked-down folders and files and links pointing out of it.
void BuildProtectedTree(const std::string& root, const std::string& outside)
{
    MakeFolder(root);
    MakeFolder(root + "/ro");
    MakeFolder(root + "/ro/deep");
    WriteFile(root + "/ro/deep/file", "x", 0400);
    MakeFolder(root + "/closed");
    WriteFile(root + "/closed/inside", "y", 0000);
    WriteFile(root + "/plain", "z", 0444);
    MakeLink(outside + "/target.txt", root + "/to-outside-file");
    MakeLink(outside, root + "/ro/to-outside-folder");
    MakeLink("nowhere", root + "/dangling");
    ASSERT_EQ(::chmod((root + "/ro/deep").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((root + "/ro").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((root + "/closed").c_str(), 0000), 0);
    ASSERT_EQ(::chmod(root.c_str(), 0500), 0);
}

void BuildOutside(const std::string& outside)
{
    MakeFolder(outside);
    WriteFile(outside + "/target.txt", "survives", 0644);
}

TEST(XLinuxForcedDelete, RemovesProtectedTreeButNotLinkTargets)
{
    StTempFolder temp;
    BuildOutside(temp / "outside");
    BuildProtectedTree(temp / "victim", temp / "outside");

    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "victim/"), VE_OK);

    EXPECT_FALSE(EntryExists(temp / "victim"));
    EXPECT_EQ(NamesIn(temp / "outside"), std::set<std::string>{"target.txt"});
    EXPECT_EQ(ReadFile(temp / "outside/target.txt"), "survives");
}

TEST(XLinuxForcedDelete, OwnerWithoutPermissionsStillRemovesTree)
{
    // Run by a non-root owner, the permission bits really apply: the walk must restore u+rwx.
    StTempFolder temp;
    if (!ShareWithUnprivileged(temp.Path()))
        GTEST_SKIP() << "the temporary folder's parents are not searchable by an unprivileged user";
    MakeFolder(temp / "work", 0777);
    const std::string work = temp / "work";
    int result = RunUnprivileged([&] {
        if (::mkdir((work + "/outside").c_str(), 0755) != 0)
            return 10;
        int fd = ::open((work + "/outside/target.txt").c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0 || ::write(fd, "survives", 8) != 8)
            return 11;
        ::close(fd);
        // The same tree as above, made by the unprivileged owner itself.
        const std::string root = work + "/victim";
        if (::mkdir(root.c_str(), 0700) || ::mkdir((root + "/ro").c_str(), 0700)
            || ::mkdir((root + "/ro/deep").c_str(), 0700) || ::mkdir((root + "/closed").c_str(), 0700))
            return 12;
        fd = ::open((root + "/ro/deep/file").c_str(), O_WRONLY | O_CREAT, 0400);
        if (fd < 0)
            return 13;
        ::close(fd);
        if (::symlink((work + "/outside/target.txt").c_str(), (root + "/to-outside-file").c_str())
            || ::symlink((work + "/outside").c_str(), (root + "/ro/to-outside-folder").c_str()))
            return 14;
        if (::chmod((root + "/ro/deep").c_str(), 0555) || ::chmod((root + "/ro").c_str(), 0555)
            || ::chmod((root + "/closed").c_str(), 0000) || ::chmod(root.c_str(), 0500))
            return 15;
        if (XLinuxForcedDelete::Delete(root) != VE_OK)
            return 1;
        if (EntryExists(root))
            return 2;
        struct stat st;
        if (::stat((work + "/outside/target.txt").c_str(), &st) != 0 || st.st_size != 8)
            return 3;
        return 0;
    });
    if (result == kUnprivilegedUnavailable)
        GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(result, 0) << "1: delete failed, 2: tree left, 3: link target damaged, 1x: set-up";
}

TEST(XLinuxForcedDelete, SingleEntriesAndMissingPaths)
{
    StTempFolder temp;
    WriteFile(temp / "file", "f", 0000);
    MakeFolder(temp / "folder");
    MakeLink(temp / "folder", temp / "link-to-folder");

    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "file"), VE_OK);
    // A link given as the root is removed itself; its target stays.
    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "link-to-folder"), VE_OK);
    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "missing"), MakePosixError(ENOENT));

    EXPECT_EQ(NamesIn(temp.Path()), std::set<std::string>{"folder"});
}

// Sets the immutable flag on path; false when the file system or the process cannot.
bool MakeImmutable(const std::string& path, bool immutable)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

TEST(XLinuxForcedDelete, ClearsImmutableFlagWhenAllowedAndFailsOtherwise)
{
    StTempFolder temp;
    if (!ShareWithUnprivileged(temp.Path()))
        GTEST_SKIP() << "the temporary folder's parents are not searchable by an unprivileged user";
    MakeFolder(temp / "tree", 0777);
    WriteFile(temp / "tree/locked", "l", 0666);
    if (!MakeImmutable(temp / "tree/locked", true))
        GTEST_SKIP() << "cannot set the immutable flag here (needs CAP_LINUX_IMMUTABLE and ext4/xfs/btrfs)";

    // Without the capability the flag cannot be cleared: the platform error, the file stays.
    if (::geteuid() == 0) {
        int result = RunUnprivileged([&] {
            VError error = XLinuxForcedDelete::Delete(temp / "tree");
            return error == MakePosixError(EPERM) ? 0 : 1;
        });
        if (result != kUnprivilegedUnavailable) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(EntryExists(temp / "tree/locked"));
        }
    }

    EXPECT_EQ(XLinuxForcedDelete::Delete(temp / "tree"), VE_OK);

    EXPECT_FALSE(EntryExists(temp / "tree"));
    if (EntryExists(temp / "tree/locked"))
        MakeImmutable(temp / "tree/locked", false); // let the temporary folder go
}

// Runs body in a forked child with its own mount namespace (through a user namespace when the
// test is not root), mounts kept private so that nothing reaches the machine's. Returns the
// body's exit code, kUnprivilegedUnavailable when the namespace cannot be made.
int RunWithPrivateMounts(const std::function<int()>& body)
{
    pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0) {
            const std::string uidMap = std::to_string(::geteuid()) + " " + std::to_string(::geteuid()) + " 1";
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                ::_exit(kUnprivilegedUnavailable);
            int fd = ::open("/proc/self/uid_map", O_WRONLY);
            if (fd < 0 || ::write(fd, uidMap.data(), uidMap.size()) != ssize_t(uidMap.size()))
                ::_exit(kUnprivilegedUnavailable);
            ::close(fd);
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(kUnprivilegedUnavailable);
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(XLinuxForcedDelete, MountsBelowTheFolderAreNeverEntered)
{
    struct Row {
        const char* name;
        bool bindMount; // else a tmpfs: another file system
    } rows[] = {{"bind mount of a folder of the same file system", true}, {"another file system", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        MakeFolder(temp / "outside");
        WriteFile(temp / "outside/keep", "k");
        MakeFolder(temp / "victim");
        MakeFolder(temp / "victim/mounted");
        WriteFile(temp / "victim/file", "f");
        const std::string mounted = temp / "victim/mounted";
        int result = RunWithPrivateMounts([&] {
            int mounting = row.bindMount
                ? ::mount((temp / "outside").c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr)
                : ::mount("none", mounted.c_str(), "tmpfs", 0, nullptr);
            if (mounting != 0)
                return int(kUnprivilegedUnavailable);
            if (!row.bindMount) {
                int fd = ::open((mounted + "/keep").c_str(), O_WRONLY | O_CREAT, 0644);
                if (fd < 0)
                    return 10;
                ::close(fd);
            }
            if (XLinuxForcedDelete::Delete(temp / "victim") != MakePosixError(EBUSY))
                return 1;
            return EntryExists(mounted + "/keep") ? 0 : 2;
        });
        if (result == kUnprivilegedUnavailable)
            GTEST_SKIP() << "cannot make a private mount namespace here";
        EXPECT_EQ(result, 0) << "1: not EBUSY, 2: the mounted folder was emptied";
        EXPECT_EQ(ReadFile(temp / "outside/keep"), "k");
    }
}

} // namespace
} // namespace nuvo::test
