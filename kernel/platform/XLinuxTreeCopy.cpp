// Linux platform layer: the folder tree copy (openat/mkdirat/linkat/symlinkat/mknodat, xattrs,
// futimens/utimensat, fchown, fchmod).

#include "kernel/platform/XLinuxTreeCopy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "kernel/platform/XLinuxErrno.h"
#include "kernel/platform/XLinuxForcedDelete.h"

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

// Root in a user namespace may not give away files to ids outside it (EPERM, EINVAL). The
// owner is then left as the copying user's, as for an unprivileged copy, rather than failing a
// whole install over it.
bool IsOwnerRefused(int error)
{
    return error == EPERM || error == EINVAL;
}

} // namespace

XLinuxTreeCopy::XLinuxTreeCopy() = default;

XLinuxTreeCopy::~XLinuxTreeCopy()
{
    CloseLevels();
}

void XLinuxTreeCopy::CloseLevels()
{
    for (Level& level : fLevels) {
        if (level.source)
            ::closedir(level.source);
        if (level.destination >= 0)
            ::close(level.destination);
    }
    fLevels.clear();
    if (fDstRoot >= 0) {
        ::close(fDstRoot);
        fDstRoot = -1;
    }
}

bool XLinuxTreeCopy::IsUnsupported(VError error)
{
    return error == MakePosixError(ENOSYS) || error == MakePosixError(EOPNOTSUPP);
}

void XLinuxTreeCopy::NoteFailure(const char* name, bool isFolder)
{
    fFailed = fSource;
    if (name) {
        fFailed.push_back('/');
        fFailed.append(fRelative).append(name);
    } else if (!fRelative.empty()) {
        fFailed.push_back('/');
        fFailed.append(fRelative, 0, fRelative.size() - 1);
    }
    fFailedOnFolder = isFolder;
}

VError XLinuxTreeCopy::Copy(const std::string& source, const std::string& destination)
{
    CloseLevels();
    fHardLinks.clear();
    fRelative.clear();
    fFailed.clear();
    fFailedOnFolder = true;
    fIsRoot = ::geteuid() == 0;

    const std::string src = WithoutTrailingSlash(source);
    const std::string dst = WithoutTrailingSlash(destination);
    fSource = src;
    fFailed = src; // until the walk knows better

    // The source root is followed when it is a link: the caller names the folder to copy.
    int srcRoot = ::open(src.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (srcRoot < 0)
        return XLinuxErrnoToError(errno);
    Level root;
    if (::fstat(srcRoot, &root.sourceStat) != 0) {
        int error = errno;
        ::close(srcRoot);
        return XLinuxErrnoToError(error);
    }
    if (::mkdir(dst.c_str(), S_IRWXU) != 0) {
        int error = errno;
        ::close(srcRoot);
        return XLinuxErrnoToError(error); // EEXIST: someone else's folder, left alone
    }

    VError result = VE_OK;
    root.destination = ::open(dst.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (root.destination < 0) {
        result = XLinuxErrnoToError(errno);
        ::close(srcRoot);
    } else if ((fDstRoot = ::dup(root.destination)) < 0) {
        result = XLinuxErrnoToError(errno);
        ::close(srcRoot);
        ::close(root.destination);
    } else if (!(root.source = ::fdopendir(srcRoot))) {
        result = XLinuxErrnoToError(errno);
        ::close(srcRoot);
        ::close(root.destination);
    } else {
        struct stat dstStat;
        if (::fstat(fDstRoot, &dstStat) == 0) {
            fDstDevice = dstStat.st_dev;
            fDstRootInode = dstStat.st_ino;
        }
        fLevels.push_back(root);
        fFailed.clear();
        result = Walk();
    }
    CloseLevels();
    fHardLinks.clear();

    if (result != VE_OK) {
        // Only the new root and what is under it were created by this copy.
        (void)XLinuxForcedDelete::Delete(dst);
    }
    return result;
}

VError XLinuxTreeCopy::Walk()
{
    while (!fLevels.empty()) {
        Level& level = fLevels.back();
        errno = 0;
        struct dirent* entry = ::readdir(level.source);
        if (entry) {
            if (IsDotOrDotDot(entry->d_name))
                continue;
            fEntryIsFolder = false;
            if (VError error = CopyEntry(entry->d_name)) {
                NoteFailure(entry->d_name, fEntryIsFolder);
                return error;
            }
            continue;
        }
        if (errno != 0) {
            VError error = XLinuxErrnoToError(errno);
            NoteFailure(nullptr, true);
            return error;
        }
        // Listing done: the folder is complete and gets its attributes, mode last.
        VError error = FinishFolder(level);
        if (error)
            NoteFailure(nullptr, true);
        ::closedir(level.source);
        ::close(level.destination);
        fRelative.resize(level.relativeLength);
        fLevels.pop_back();
        if (error)
            return error;
    }
    return VE_OK;
}

VError XLinuxTreeCopy::CopyEntry(const char* name)
{
    Level& level = fLevels.back();
    const int srcFolder = ::dirfd(level.source);
    const int dstFolder = level.destination;
    struct stat st;
    if (::fstatat(srcFolder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return XLinuxErrnoToError(errno);

    fEntryIsFolder = S_ISDIR(st.st_mode);
    switch (st.st_mode & S_IFMT) {
    case S_IFDIR: {
        // The destination inside the source (reached through a link in its path, say) would be
        // copied into itself without end.
        if (st.st_dev == fDstDevice && st.st_ino == fDstRootInode)
            return XLinuxErrnoToError(EINVAL);
        if (::mkdirat(dstFolder, name, S_IRWXU) != 0)
            return XLinuxErrnoToError(errno);
        Level child;
        child.sourceStat = st;
        child.relativeLength = fRelative.size();
        int srcChild = ::openat(srcFolder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (srcChild < 0)
            return XLinuxErrnoToError(errno);
        child.destination = ::openat(dstFolder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child.destination < 0) {
            int error = errno;
            ::close(srcChild);
            return XLinuxErrnoToError(error);
        }
        child.source = ::fdopendir(srcChild);
        if (!child.source) {
            int error = errno;
            ::close(srcChild);
            ::close(child.destination);
            return XLinuxErrnoToError(error);
        }
        fRelative.append(name).push_back('/');
        fLevels.push_back(child); // invalidates level
        return VE_OK;
    }
    case S_IFREG:
        return CopyFile(srcFolder, dstFolder, name, st);
    case S_IFLNK:
        return CopyLink(srcFolder, dstFolder, name, st);
    default:
        return CopySpecial(dstFolder, name, st);
    }
}

VError XLinuxTreeCopy::CopyFile(int srcFolder, int dstFolder, const char* name, const struct stat& st)
{
    const bool multiplyLinked = st.st_nlink > 1;
    if (multiplyLinked) {
        auto found = fHardLinks.find(InodeKey{st.st_dev, st.st_ino});
        if (found != fHardLinks.end()) {
            if (::linkat(fDstRoot, found->second.c_str(), dstFolder, name, 0) != 0)
                return XLinuxErrnoToError(errno);
            return VE_OK;
        }
    }

    // O_NONBLOCK: if the entry was swapped for a FIFO since fstatat, open must not hang.
    int in = ::openat(srcFolder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0)
        return XLinuxErrnoToError(errno);
    struct stat current;
    if (::fstat(in, &current) != 0) {
        int error = errno;
        ::close(in);
        return XLinuxErrnoToError(error);
    }
    if (!S_ISREG(current.st_mode) || current.st_ino != st.st_ino) {
        ::close(in);
        return XLinuxErrnoToError(EAGAIN); // the tree changed under the copy
    }
    int out = ::openat(dstFolder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (out < 0) {
        int error = errno;
        ::close(in);
        return XLinuxErrnoToError(error);
    }

    VError result = fData.Copy(in, out, current, fDstDevice);
    // Owner, then extended attributes, then mode: chown clears the file capability and the
    // set-id bits, which the attributes and fchmod then put back.
    if (!result && fIsRoot && ::fchown(out, current.st_uid, current.st_gid) != 0 && !IsOwnerRefused(errno))
        result = XLinuxErrnoToError(errno);
    if (!result)
        result = fAttributes.Copy(in, out);
    if (!result && ::fchmod(out, current.st_mode & 07777) != 0)
        result = XLinuxErrnoToError(errno);
    if (!result) {
        const struct timespec times[2] = {current.st_atim, current.st_mtim};
        if (::futimens(out, times) != 0)
            result = XLinuxErrnoToError(errno);
    }
    ::close(in);
    if (::close(out) != 0 && !result)
        result = XLinuxErrnoToError(errno); // delayed write errors (network file systems)
    if (result)
        return result;

    if (multiplyLinked)
        fHardLinks.emplace(InodeKey{st.st_dev, st.st_ino}, fRelative + name);
    return VE_OK;
}

VError XLinuxTreeCopy::CopyLink(int srcFolder, int dstFolder, const char* name, const struct stat& st)
{
    // st_size is the target's length on most file systems, 0 on some: grow until it fits.
    std::string target(st.st_size > 0 ? size_t(st.st_size) + 1 : 256, '\0');
    for (;;) {
        ssize_t length = ::readlinkat(srcFolder, name, target.data(), target.size());
        if (length < 0)
            return XLinuxErrnoToError(errno);
        if (size_t(length) < target.size()) {
            target.resize(size_t(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    if (::symlinkat(target.c_str(), dstFolder, name) != 0)
        return XLinuxErrnoToError(errno);
    if (fIsRoot && ::fchownat(dstFolder, name, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 && !IsOwnerRefused(errno))
        return XLinuxErrnoToError(errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::utimensat(dstFolder, name, times, AT_SYMLINK_NOFOLLOW) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

VError XLinuxTreeCopy::CopySpecial(int dstFolder, const char* name, const struct stat& st)
{
    // FIFOs and sockets need no privilege; device nodes fail with EPERM unless root.
    if (::mknodat(dstFolder, name, (st.st_mode & S_IFMT) | S_IRUSR | S_IWUSR, st.st_rdev) != 0)
        return XLinuxErrnoToError(errno);
    if (fIsRoot && ::fchownat(dstFolder, name, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 && !IsOwnerRefused(errno))
        return XLinuxErrnoToError(errno);
    if (::fchmodat(dstFolder, name, st.st_mode & 07777, 0) != 0)
        return XLinuxErrnoToError(errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::utimensat(dstFolder, name, times, AT_SYMLINK_NOFOLLOW) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

VError XLinuxTreeCopy::FinishFolder(Level& level)
{
    const struct stat& st = level.sourceStat;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(level.destination, times) != 0)
        return XLinuxErrnoToError(errno);
    if (fIsRoot && ::fchown(level.destination, st.st_uid, st.st_gid) != 0 && !IsOwnerRefused(errno))
        return XLinuxErrnoToError(errno);
    if (VError error = fAttributes.Copy(::dirfd(level.source), level.destination))
        return error;
    if (::fchmod(level.destination, st.st_mode & 07777) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

} // namespace nuvo
