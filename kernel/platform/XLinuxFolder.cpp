// Linux platform layer: mkdir, rmdir, chmod, stat/statx and renameat2 for folders.

#include "kernel/platform/XLinuxFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/platform/XLinuxErrno.h"
#include "kernel/platform/XLinuxForcedDelete.h"
#include "kernel/platform/XLinuxTrash.h"
#include "kernel/platform/XLinuxTreeCopy.h"

namespace nuvo {

std::string XLinuxFolder::WithoutTrailingSlash(const std::string& path)
{
    std::string result = path;
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

bool XLinuxFolder::IsFolder(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool XLinuxFolder::IsLink(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::lstat(WithoutTrailingSlash(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

VError XLinuxFolder::RemoveLink(const std::string& path)
{
    if (::unlink(WithoutTrailingSlash(path).c_str()) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

bool XLinuxFolder::IsSameOrInside(const std::string& path, const std::string& folder)
{
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved))
        return false;
    const std::string base = resolved;
    // The missing tail of path holds no links (it does not exist yet): resolve the longest
    // existing head and append the rest as it is written.
    std::string head = WithoutTrailingSlash(path);
    std::string tail;
    while (!::realpath(head.c_str(), resolved)) {
        const size_t slash = head.rfind('/');
        if (errno != ENOENT || slash == std::string::npos)
            return false;
        tail.insert(0, head, slash, std::string::npos);
        head.resize(slash == 0 ? 1 : slash);
    }
    const std::string real = std::string(resolved) == "/" ? (tail.empty() ? "/" : tail) : resolved + tail;
    if (base == "/")
        return true;
    return real.compare(0, base.size(), base) == 0 && (real.size() == base.size() || real[base.size()] == '/');
}

VError XLinuxFolder::Create(const std::string& path, mode_t mode)
{
    if (::mkdir(WithoutTrailingSlash(path).c_str(), mode) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

VError XLinuxFolder::Remove(const std::string& path)
{
    if (::rmdir(WithoutTrailingSlash(path).c_str()) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

VError XLinuxFolder::SetMode(const std::string& path, unsigned mode)
{
    if (::chmod(path.c_str(), mode_t(mode & 07777)) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

VError XLinuxFolder::GetMode(const std::string& path, unsigned* outMode)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return XLinuxErrnoToError(errno);
    *outMode = st.st_mode & 07777;
    return VE_OK;
}

VError XLinuxFolder::GetTimes(const std::string& path, struct timespec* modified, struct timespec* created,
    struct timespec* accessed)
{
    struct statx stx;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
        return XLinuxErrnoToError(errno);
    auto toTimespec = [](const struct statx_timestamp& t) { return timespec{t.tv_sec, t.tv_nsec}; };
    if (modified)
        *modified = toTimespec(stx.stx_mtime);
    if (accessed)
        *accessed = toTimespec(stx.stx_atime);
    if (created)
        *created = toTimespec((stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_ctime);
    return VE_OK;
}

VError XLinuxFolder::GetTimesMs(const std::string& path, int64_t* modified, int64_t* created, int64_t* accessed)
{
    struct timespec m {}, c {}, a {};
    if (VError error = GetTimes(path, &m, &c, &a))
        return error;
    auto toMs = [](const timespec& t) { return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000; };
    if (modified)
        *modified = toMs(m);
    if (created)
        *created = toMs(c);
    if (accessed)
        *accessed = toMs(a);
    return VE_OK;
}

VError XLinuxFolder::RenameExclusive(const std::string& from, const std::string& to)
{
    const std::string source = WithoutTrailingSlash(from);
    const std::string target = WithoutTrailingSlash(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return VE_OK;
    int error = errno;
    // Some file systems (older network and FUSE ones) do not know the flag.
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
        return RenameWithPlaceholder(source, target);
    return XLinuxErrnoToError(error);
}

VError XLinuxFolder::RenameWithPlaceholder(const std::string& from, const std::string& to)
{
    const std::string source = WithoutTrailingSlash(from);
    const std::string target = WithoutTrailingSlash(to);
    // mkdir is atomic: once it succeeds the name is ours, and rename(2) may replace an empty
    // folder by a folder.
    if (::mkdir(target.c_str(), S_IRWXU) != 0)
        return XLinuxErrnoToError(errno);
    if (::rename(source.c_str(), target.c_str()) == 0)
        return VE_OK;
    int error = errno;
    (void)::rmdir(target.c_str());
    return XLinuxErrnoToError(error);
}

VError XLinuxFolder::CopyTree(const std::string& source, const std::string& destination)
{
    XLinuxTreeCopy copy;
    return copy.Copy(source, destination);
}

VError XLinuxFolder::DeleteForced(const std::string& path)
{
    return XLinuxForcedDelete::Delete(path);
}

VError XLinuxFolder::MoveToTrash(const std::string& path)
{
    return XLinuxTrash::MoveToTrash(path);
}

namespace {

// Opens the folder read-only for a sync call, runs it and closes it; the call's errno wins over
// a failing close.
template <class Call>
VError SyncOpenFolder(const std::string& path, Call call)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return XLinuxErrnoToError(errno);
    VError result = VE_OK;
    if (call(fd) != 0)
        result = XLinuxErrnoToError(errno);
    ::close(fd);
    return result;
}

} // namespace

VError XLinuxFolder::SyncFileSystem(const std::string& path)
{
    return SyncOpenFolder(path, [](int fd) { return ::syncfs(fd); });
}

VError XLinuxFolder::SyncFolder(const std::string& path)
{
    return SyncOpenFolder(path, [](int fd) { return ::fsync(fd); });
}

VError XLinuxFolder::GetCurrent(std::string& outPath)
{
    char* path = ::getcwd(nullptr, 0);
    if (path == nullptr)
        return XLinuxErrnoToError(errno);
    outPath = path;
    std::free(path);
    if (outPath.empty() || outPath.back() != '/')
        outPath += '/';
    return VE_OK;
}

VError XLinuxFolder::OpenLocked(const std::string& path, int* outDescriptor)
{
    *outDescriptor = -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return XLinuxErrnoToError(errno);
    int result;
    do
        result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int saved = errno;
        ::close(fd);
        return XLinuxErrnoToError(saved);
    }
    *outDescriptor = fd;
    return VE_OK;
}

void XLinuxFolder::CloseLocked(int descriptor)
{
    ::close(descriptor);  // closing the last descriptor of the description drops the lock
}

} // namespace nuvo
