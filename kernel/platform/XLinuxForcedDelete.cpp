// Linux platform layer: forced tree removal with fts (FTS_PHYSICAL | FTS_XDEV | FTS_NOCHDIR),
// statx mount ids, permission repair and FS_IOC_GETFLAGS/FS_IOC_SETFLAGS for locked entries.

#include "kernel/platform/XLinuxForcedDelete.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <fts.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/platform/XLinuxErrno.h"

namespace nuvo {

namespace {

std::string WithoutTrailingSlash(const std::string& path)
{
    std::string result = path;
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

// Gives a folder the owner permissions a walk needs to list and empty it. Only the owner may
// chmod; root needs nothing (it bypasses the permission bits). A failure is left for the
// following read or unlink to report with its own errno.
void MakeFolderWalkable(const char* path, const struct stat& st)
{
    if (::geteuid() == 0 || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        (void)::chmod(path, (st.st_mode & 07777) | S_IRWXU);
}

// The mount a folder belongs to: 0 when the kernel does not say (before Linux 5.8), and only the
// device is compared then.
uint64_t MountIdOf(const char* path)
{
    struct statx stx;
    if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &stx) != 0 || !(stx.stx_mask & STATX_MNT_ID))
        return 0;
    return stx.stx_mnt_id;
}

int ClearFlags(const char* path, bool isFolder)
{
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | (isFolder ? O_DIRECTORY : 0));
    if (fd < 0) {
        // A link (ELOOP) or an entry we may not open cannot carry flags we could clear.
        return 0;
    }
    int result = 0;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        const int locks = FS_IMMUTABLE_FL | FS_APPEND_FL;
        if (flags & locks) {
            flags &= ~locks;
            if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
                result = errno;
        }
    }
    // GETFLAGS failing means the file system keeps no such flags (ENOTTY, EOPNOTSUPP...).
    ::close(fd);
    return result;
}

// unlinkat, retried once after clearing the entry's lock flags when the kernel refused it.
int RemoveEntry(const char* path, bool isFolder)
{
    const int how = isFolder ? AT_REMOVEDIR : 0;
    if (::unlinkat(AT_FDCWD, path, how) == 0)
        return 0;
    int error = errno;
    if (error != EPERM && error != EACCES)
        return error;
    struct stat st;
    if (::lstat(path, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
        return error;
    if (int clearError = ClearFlags(path, S_ISDIR(st.st_mode)))
        return clearError;
    if (::unlinkat(AT_FDCWD, path, how) == 0)
        return 0;
    return errno;
}

} // namespace

VError XLinuxForcedDelete::ClearLockFlags(const std::string& path, bool isFolder)
{
    int error = ClearFlags(WithoutTrailingSlash(path).c_str(), isFolder);
    return error ? XLinuxErrnoToError(error) : VE_OK;
}

VError XLinuxForcedDelete::Delete(const std::string& path)
{
    std::string root = WithoutTrailingSlash(path);
    struct stat rootStat;
    if (::lstat(root.c_str(), &rootStat) != 0)
        return XLinuxErrnoToError(errno);
    if (!S_ISDIR(rootStat.st_mode)) {
        int error = RemoveEntry(root.c_str(), false);
        return error ? XLinuxErrnoToError(error) : VE_OK;
    }

    // A bind mount of a folder of the same file system has the same device: only the mount id
    // tells it apart. fts would enter it and empty the folder it shows.
    const uint64_t rootMount = MountIdOf(root.c_str());
    char* paths[] = {root.data(), nullptr};
    // FTS_NOCHDIR keeps the process's current directory alone (other threads rely on it).
    FTS* walk = ::fts_open(paths, FTS_PHYSICAL | FTS_XDEV | FTS_NOCHDIR, nullptr);
    if (!walk)
        return XLinuxErrnoToError(errno);

    int failure = 0;
    for (;;) {
        errno = 0;
        FTSENT* entry = ::fts_read(walk);
        if (!entry) {
            failure = errno;
            break;
        }
        const char* entryPath = entry->fts_accpath;
        switch (entry->fts_info) {
        case FTS_D:
            // A mount point below the root is neither entered nor unlocked; its removal fails
            // (EBUSY). FTS_XDEV alone does not see bind mounts of the same file system.
            if (entry->fts_statp->st_dev != rootStat.st_dev)
                break;
            if (rootMount != 0 && entry->fts_level > FTS_ROOTLEVEL) {
                const uint64_t mount = MountIdOf(entryPath);
                if (mount != 0 && mount != rootMount) {
                    (void)::fts_set(walk, entry, FTS_SKIP);
                    break;
                }
            }
            // fts lists a folder's children on the call after this one: unlock it now.
            if (int error = ClearFlags(entryPath, true))
                failure = error;
            else
                MakeFolderWalkable(entryPath, *entry->fts_statp);
            break;
        case FTS_DP:
        case FTS_DC:
            failure = RemoveEntry(entryPath, true);
            break;
        case FTS_F:
        case FTS_SL:
        case FTS_SLNONE:
        case FTS_DEFAULT:
            failure = RemoveEntry(entryPath, false);
            break;
        case FTS_DNR:
        case FTS_ERR:
        case FTS_NS:
            failure = entry->fts_errno != 0 ? entry->fts_errno : EIO;
            break;
        default:
            break;
        }
        if (failure)
            break;
    }
    int closeError = ::fts_close(walk) != 0 ? errno : 0;
    if (failure)
        return XLinuxErrnoToError(failure);
    return closeError ? XLinuxErrnoToError(closeError) : VE_OK;
}

} // namespace nuvo
