// Linux platform layer: descriptor-relative tree removal (openat O_NOFOLLOW, fdopendir,
// unlinkat), statx mount ids, permission repair and FS_IOC_GETFLAGS/FS_IOC_SETFLAGS.

#include "kernel/platform/XLinuxForcedDelete.h"

#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// 0 when the kernel does not say (before Linux 5.8); only the device is compared then.
uint64_t MountIdOf(int fd)
{
    struct statx stx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &stx) != 0 || !(stx.stx_mask & STATX_MNT_ID))
        return 0;
    return stx.stx_mnt_id;
}

int ClearFlagsOf(int fd)
{
    int flags = 0;
    // GETFLAGS failing means the file system keeps no such flags (ENOTTY, EOPNOTSUPP...).
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return 0;
    const int locks = FS_IMMUTABLE_FL | FS_APPEND_FL;
    if (!(flags & locks))
        return 0;
    flags &= ~locks;
    return ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0 ? 0 : errno;
}

int ClearFlagsAt(int folder, const char* name, bool isFolder)
{
    int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | (isFolder ? O_DIRECTORY : 0));
    if (fd < 0)
        return 0; // a link (ELOOP) or an entry we may not open cannot carry flags we could clear
    int result = ClearFlagsOf(fd);
    ::close(fd);
    return result;
}

class TreeRemover {
public:
    TreeRemover(unsigned options, std::string root) : fOptions(options), fRoot(std::move(root)) {}
    ~TreeRemover()
    {
        for (Level& level : fLevels)
            ::closedir(level.dir);
    }

    int Run(std::string* outFailedPath);

private:
    struct Level {
        DIR* dir = nullptr;
        size_t relativeLength = 0; // fRelative's length before this folder's name was added
        bool sawEntries = false;
        int passes = 0;
    };
    static constexpr int kDescended = -1;
    // Entries that change kind under the walk are examined again, a few times at most.
    static constexpr int kAttempts = 4;
    // A folder is listed again after its last entry until a pass finds nothing, at most so often.
    static constexpr int kPasses = 4;

    int RemoveEntry(int folder, const char* name, unsigned char type);
    int Unlink(int folder, const char* name);
    int OpenFolder(int parent, const char* name, int* outFd);
    int Enter(int fd, const char* name);
    bool Unlocks() const { return (fOptions & XLinuxForcedDelete::kUnlock) != 0; }
    void NoteFailure(const char* name)
    {
        fFailed = fRoot + "/" + fRelative + name;
    }

    unsigned fOptions;
    std::string fRoot;
    std::string fRelative; // the current folder below the root, ending with '/' (or empty)
    std::string fFailed;
    std::vector<Level> fLevels;
    dev_t fRootDevice = 0;
    uint64_t fRootMount = 0;
    const uid_t fUser = ::geteuid();
};

int TreeRemover::OpenFolder(int parent, const char* name, int* outFd)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name, flags);
    if (fd < 0 && errno == EACCES && Unlocks() && fUser != 0) {
        // An owned folder without read permission: give it u+rwx through an O_PATH descriptor,
        // never through the name, which a link could replace meanwhile (chmod follows links).
        int pathFd = ::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (pathFd < 0)
            return errno;
        struct stat st;
        if (::fstat(pathFd, &st) == 0 && st.st_uid == fUser) {
            const std::string viaProc = "/proc/self/fd/" + std::to_string(pathFd);
            (void)::chmod(viaProc.c_str(), (st.st_mode & 07777) | S_IRWXU);
        }
        fd = ::openat(pathFd, ".", flags);
        int error = errno;
        ::close(pathFd);
        if (fd < 0)
            return error;
    }
    if (fd < 0)
        return errno;
    *outFd = fd;
    return 0;
}

// Takes fd (an open folder) as the next level.
int TreeRemover::Enter(int fd, const char* name)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    const bool isRoot = fLevels.empty();
    if (isRoot) {
        fRootDevice = st.st_dev;
        fRootMount = MountIdOf(fd);
    } else if (st.st_dev != fRootDevice || (fRootMount != 0 && MountIdOf(fd) != fRootMount)) {
        // A mount point, possibly a bind mount of a folder of the same file system: never
        // entered, so that what it shows stays; its removal could only fail.
        ::close(fd);
        return EBUSY;
    }
    if (Unlocks()) {
        if (int error = ClearFlagsOf(fd)) {
            ::close(fd);
            return error;
        }
        // Root bypasses the permission bits; only the owner may change them.
        if (fUser != 0 && st.st_uid == fUser && (st.st_mode & S_IRWXU) != S_IRWXU)
            (void)::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        int error = errno;
        ::close(fd);
        return error;
    }
    Level level;
    level.dir = dir;
    level.relativeLength = fRelative.size();
    if (!isRoot)
        fRelative.append(name).push_back('/');
    fLevels.push_back(level);
    return 0;
}

// unlinkat, retried once after clearing a regular file's lock flags when the kernel refused it.
int TreeRemover::Unlink(int folder, const char* name)
{
    if (::unlinkat(folder, name, 0) == 0)
        return 0;
    int error = errno;
    if ((error != EPERM && error != EACCES) || !Unlocks())
        return error;
    struct stat st;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return error;
    if (int clearError = ClearFlagsAt(folder, name, false))
        return clearError;
    return ::unlinkat(folder, name, 0) == 0 ? 0 : errno;
}

// 0 when the entry is gone, kDescended when it is a folder that became the current level, or
// an errno value.
int TreeRemover::RemoveEntry(int folder, const char* name, unsigned char type)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (type != DT_DIR && type != DT_UNKNOWN) {
            int error = Unlink(folder, name);
            if (error == 0 || error == ENOENT)
                return 0;
            if (error != EISDIR)
                return error;
            type = DT_DIR; // replaced by a folder since it was listed
            continue;
        }
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return errno == ENOENT ? 0 : errno;
            type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
            continue;
        }
        int fd = -1;
        int error = OpenFolder(folder, name, &fd);
        if (error == ENOENT)
            return 0;
        if (error == ELOOP || error == ENOTDIR) {
            type = DT_UNKNOWN; // replaced by a link or a file since it was listed: never followed
            continue;
        }
        if (error)
            return error;
        error = Enter(fd, name);
        return error ? error : kDescended;
    }
    return EAGAIN; // the entry keeps changing kind under the walk
}

int TreeRemover::Run(std::string* outFailedPath)
{
    if (fRoot.empty() || fRoot == "/")
        return EBUSY;
    const size_t slash = fRoot.rfind('/');
    const std::string parentPath = slash == std::string::npos ? "." : slash == 0 ? "/" : fRoot.substr(0, slash);
    const std::string rootName = slash == std::string::npos ? fRoot : fRoot.substr(slash + 1);
    // O_PATH: the parent needs search permission only, as for rmdir by path.
    int parent = ::open(parentPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return errno;
    const bool contentsOnly = (fOptions & XLinuxForcedDelete::kContentsOnly) != 0;
    int result = 0;
    struct stat rootStat;
    if (::fstatat(parent, rootName.c_str(), &rootStat, AT_SYMLINK_NOFOLLOW) != 0) {
        result = errno;
    } else if (!S_ISDIR(rootStat.st_mode)) {
        result = contentsOnly ? ENOTDIR : Unlink(parent, rootName.c_str());
    } else {
        int fd = -1;
        result = OpenFolder(parent, rootName.c_str(), &fd);
        if (result == 0)
            result = Enter(fd, rootName.c_str());
    }
    if (result)
        fFailed = fRoot;

    while (result == 0 && !fLevels.empty()) {
        Level& level = fLevels.back();
        const int folder = ::dirfd(level.dir);
        errno = 0;
        if (struct dirent* entry = ::readdir(level.dir)) {
            if (IsDotOrDotDot(entry->d_name))
                continue;
            level.sawEntries = true;
            int error = RemoveEntry(folder, entry->d_name, entry->d_type);
            if (error > 0) {
                NoteFailure(entry->d_name);
                result = error;
            }
            continue; // kDescended: the new level is listed next
        }
        if (errno != 0) {
            result = errno;
            fFailed = fRoot + "/" + fRelative;
            break;
        }
        // Entries renamed into the folder during the pass may have been missed: list it again
        // until a pass finds nothing.
        if (level.sawEntries && ++level.passes < kPasses) {
            level.sawEntries = false;
            ::rewinddir(level.dir);
            continue;
        }
        ::closedir(level.dir);
        const size_t relativeLength = level.relativeLength;
        fLevels.pop_back();
        if (fLevels.empty()) {
            if (!contentsOnly && ::unlinkat(parent, rootName.c_str(), AT_REMOVEDIR) != 0) {
                result = errno;
                fFailed = fRoot;
            }
            break;
        }
        const std::string name = fRelative.substr(relativeLength, fRelative.size() - relativeLength - 1);
        fRelative.resize(relativeLength);
        if (::unlinkat(::dirfd(fLevels.back().dir), name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
            result = errno;
            NoteFailure(name.c_str());
        }
    }
    ::close(parent);
    if (outFailedPath)
        *outFailedPath = result ? fFailed : std::string();
    return result;
}

} // namespace

VError XLinuxForcedDelete::ClearLockFlags(const std::string& path, bool isFolder)
{
    int error = ClearFlagsAt(AT_FDCWD, WithoutTrailingSlash(path).c_str(), isFolder);
    return error ? XLinuxErrnoToError(error) : VE_OK;
}

VError XLinuxForcedDelete::Delete(const std::string& path)
{
    return DeleteTree(path, kUnlock, nullptr);
}

VError XLinuxForcedDelete::DeleteTree(const std::string& path, unsigned options, std::string* outFailedPath)
{
    TreeRemover remover(options, WithoutTrailingSlash(path));
    int error = remover.Run(outFailedPath);
    return error ? XLinuxErrnoToError(error) : VE_OK;
}

} // namespace nuvo
