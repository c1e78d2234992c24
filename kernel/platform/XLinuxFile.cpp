// Linux platform layer: the POSIX calls behind VFile and VFileDesc (stat family, open with
// flock, read/write at a position, single-file copy). No toolkit error records here.

#include "kernel/platform/XLinuxFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "kernel/platform/XLinuxAttributeCopier.h"
#include "kernel/platform/XLinuxDataCopier.h"
#include "kernel/platform/XLinuxErrno.h"

namespace nuvo {

namespace {

int64_t Milliseconds(const struct statx_timestamp& time)
{
    return int64_t(time.tv_sec) * 1000 + int64_t(time.tv_nsec) / 1000000;
}

VError CopyLink(const char* source, const char* destination, const struct stat& st)
{
    // st_size is the target's length on most file systems, 0 on some: grow until it fits.
    std::string target(st.st_size > 0 ? size_t(st.st_size) + 1 : 256, '\0');
    for (;;) {
        ssize_t length = ::readlink(source, target.data(), target.size());
        if (length < 0)
            return XLinuxFile::ErrorFromErrno(errno);
        if (size_t(length) < target.size()) {
            target.resize(size_t(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    if (::symlink(target.c_str(), destination) != 0)
        return XLinuxFile::ErrorFromErrno(errno);
    VError result = VE_OK;
    if (::geteuid() == 0 && ::lchown(destination, st.st_uid, st.st_gid) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (!result && ::utimensat(AT_FDCWD, destination, times, AT_SYMLINK_NOFOLLOW) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    if (result)
        ::unlink(destination);
    return result;
}

VError CopyRegularFile(const char* source, const char* destination, const struct stat& st)
{
    // O_NONBLOCK: if the entry was swapped for a FIFO since lstat, open must not hang.
    int in = ::open(source, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0)
        return XLinuxFile::ErrorFromErrno(errno);
    struct stat current;
    if (::fstat(in, &current) != 0) {
        int error = errno;
        ::close(in);
        return XLinuxFile::ErrorFromErrno(error);
    }
    if (!S_ISREG(current.st_mode) || current.st_ino != st.st_ino || current.st_dev != st.st_dev) {
        ::close(in);
        return XLinuxFile::ErrorFromErrno(EAGAIN); // the entry changed under the copy
    }
    // Owner-only until the copy is complete; the final mode comes last.
    int out = ::open(destination, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, S_IRUSR | S_IWUSR);
    if (out < 0) {
        int error = errno;
        ::close(in);
        return XLinuxFile::ErrorFromErrno(error);
    }

    VError result = VE_OK;
    struct stat outStat;
    if (::fstat(out, &outStat) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    if (!result) {
        XLinuxDataCopier copier;
        result = copier.Copy(in, out, current, outStat.st_dev);
    }
    // Owner, then extended attributes, then mode: chown clears the file capability and the
    // set-id bits, which the attributes and fchmod then put back.
    if (!result && ::geteuid() == 0 && ::fchown(out, current.st_uid, current.st_gid) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    if (!result)
        result = XLinuxAttributeCopier().Copy(in, out);
    if (!result && ::fchmod(out, current.st_mode & 07777) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    if (!result) {
        // Last: every write above changes the modification time.
        const struct timespec times[2] = {current.st_atim, current.st_mtim};
        if (::futimens(out, times) != 0)
            result = XLinuxFile::ErrorFromErrno(errno);
    }
    ::close(in);
    if (::close(out) != 0 && !result)
        result = XLinuxFile::ErrorFromErrno(errno); // delayed write errors (network file systems)
    if (result)
        ::unlink(destination);
    return result;
}

} // namespace

VError XLinuxFile::ErrorFromErrno(int savedErrno)
{
    return XLinuxErrnoToError(savedErrno);
}

bool XLinuxFile::Exists(const char* path)
{
    struct stat st;
    if (::lstat(path, &st) != 0)
        return false;
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
}

VError XLinuxFile::Delete(const char* path)
{
    if (::unlink(path) != 0)
        return ErrorFromErrno(errno);
    return VE_OK;
}

VError XLinuxFile::GetPermissions(const char* path, uint16_t* mode)
{
    struct stat st;
    if (::lstat(path, &st) != 0) {
        *mode = 0;
        return ErrorFromErrno(errno);
    }
    *mode = uint16_t(st.st_mode & 0777);
    return VE_OK;
}

VError XLinuxFile::SetPermissions(const char* path, uint16_t mode)
{
    struct stat st;
    if (::lstat(path, &st) != 0)
        return ErrorFromErrno(errno);
    if (S_ISLNK(st.st_mode))
        return VE_OK;
    if (::chmod(path, mode & 0777) != 0)
        return ErrorFromErrno(errno);
    return VE_OK;
}

VError XLinuxFile::GetSize(const char* path, int64_t* size)
{
    struct stat st;
    if (::stat(path, &st) != 0) {
        *size = 0;
        return ErrorFromErrno(errno);
    }
    *size = int64_t(st.st_size);
    return VE_OK;
}

VError XLinuxFile::GetTimes(const char* path, XLinuxFileTimes* times)
{
    struct statx stx;
    if (::statx(AT_FDCWD, path, 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
        *times = XLinuxFileTimes();
        return ErrorFromErrno(errno);
    }
    times->modified = Milliseconds(stx.stx_mtime);
    times->accessed = Milliseconds(stx.stx_atime);
    if (stx.stx_mask & STATX_BTIME) {
        times->created = Milliseconds(stx.stx_btime);
    } else {
        int64_t changed = Milliseconds(stx.stx_ctime);
        times->created = changed < times->modified ? changed : times->modified;
    }
    return VE_OK;
}

bool XLinuxFile::IsWritable(const char* path)
{
    return ::access(path, W_OK) == 0;
}

namespace {

// FIFOs, sockets and device nodes, as `cp -a` copies them (devices need privilege: EPERM).
VError CopySpecial(const char* destination, const struct stat& st)
{
    if (::mknod(destination, (st.st_mode & S_IFMT) | S_IRUSR | S_IWUSR, st.st_rdev) != 0)
        return XLinuxFile::ErrorFromErrno(errno);
    VError result = VE_OK;
    if (::geteuid() == 0 && ::lchown(destination, st.st_uid, st.st_gid) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    if (!result && ::chmod(destination, st.st_mode & 07777) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (!result && ::utimensat(AT_FDCWD, destination, times, AT_SYMLINK_NOFOLLOW) != 0)
        result = XLinuxFile::ErrorFromErrno(errno);
    if (result)
        ::unlink(destination);
    return result;
}

VError CopyEntry(const char* source, const char* destination, const struct stat& st)
{
    if (S_ISLNK(st.st_mode))
        return CopyLink(source, destination, st);
    if (S_ISDIR(st.st_mode))
        return XLinuxFile::ErrorFromErrno(EISDIR);
    if (!S_ISREG(st.st_mode))
        return CopySpecial(destination, st);
    return CopyRegularFile(source, destination, st);
}

// Temporary copies are named ".~qzcopy-PID-START-N": the copying process's id, its start time
// (clock ticks since boot, which tells a reused id apart) and a counter.
constexpr char kTemporaryPrefix[] = ".~qzcopy-";

// 0 when unknown (no /proc, or the process is gone).
unsigned long long ProcessStartTime(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[1024];
    ssize_t length = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (length <= 0)
        return 0;
    buffer[length] = '\0';
    // The command name (field 2) may hold spaces and parentheses: count from the last ')'.
    const char* field = std::strrchr(buffer, ')');
    if (!field)
        return 0;
    for (int index = 2; index < 22 && field; ++index)
        field = std::strchr(field + 1, ' ');
    return field ? std::strtoull(field + 1, nullptr, 10) : 0;
}

// A temporary copy whose process is gone (or whose id now belongs to a later process).
bool IsStaleCopy(const char* name)
{
    const char* cursor = name + sizeof kTemporaryPrefix - 1;
    char* end = nullptr;
    const unsigned long pid = std::strtoul(cursor, &end, 10);
    if (end == cursor || *end != '-' || pid == 0 || pid > 0x3FFFFFFF)
        return false;
    cursor = end + 1;
    const unsigned long long start = std::strtoull(cursor, &end, 10);
    const bool hasStart = end != cursor && *end == '-'; // older names carry no start time
    if (pid_t(pid) == ::getpid())
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    const unsigned long long current = ProcessStartTime(pid_t(pid));
    return hasStart && current != 0 && current != start;
}

// Removes the stale temporary copies of the calling user in folder. Each folder is looked at
// once in a row, so a copy of many files into one folder reads it only once.
void RemoveStaleCopies(const std::string& folder)
{
    static std::mutex sLock;
    static std::string sLastFolder;
    {
        std::lock_guard<std::mutex> guard(sLock);
        if (sLastFolder == folder)
            return;
        sLastFolder = folder;
    }
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const uid_t user = ::geteuid();
    while (struct dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1) != 0)
            continue;
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode) || st.st_uid != user)
            continue;
        if (IsStaleCopy(entry->d_name))
            (void)::unlinkat(fd, entry->d_name, 0); // a failure leaves it for the next copy
    }
    ::closedir(dir);
}

// "PID-START-" of the calling process; computed again after a fork.
std::string TemporaryIdentity()
{
    static std::mutex sLock;
    static pid_t sPid = 0;
    static std::string sIdentity;
    const pid_t pid = ::getpid();
    std::lock_guard<std::mutex> guard(sLock);
    if (sPid != pid) {
        sIdentity = std::to_string(pid);
        sIdentity.append("-").append(std::to_string(ProcessStartTime(pid))).append("-");
        sPid = pid;
    }
    return sIdentity;
}

// The copy is made under a free name in the destination's folder and renamed over the old entry
// only once complete: a copy that fails half-way (unreadable source, full disk) loses nothing.
VError ReplaceWithCopy(const char* source, const char* destination, const struct stat& st)
{
    std::string dest(destination);
    size_t slash = dest.rfind('/');
    const std::string folder = dest.substr(0, slash == std::string::npos ? 0 : slash + 1);
    RemoveStaleCopies(folder);
    std::string prefix = folder;
    prefix.append(kTemporaryPrefix).append(TemporaryIdentity());
    static std::atomic<unsigned> sCounter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = prefix + std::to_string(sCounter.fetch_add(1, std::memory_order_relaxed));
        VError result = CopyEntry(source, temporary.c_str(), st);
        if (result == MakePosixError(EEXIST))
            continue; // a leftover of that name: try the next one
        if (result)
            return result;
        if (::rename(temporary.c_str(), destination) != 0) {
            int error = errno;
            ::unlink(temporary.c_str());
            return XLinuxFile::ErrorFromErrno(error);
        }
        return VE_OK;
    }
    return XLinuxFile::ErrorFromErrno(EEXIST);
}

} // namespace

VError XLinuxFile::CopyFile(const char* source, const char* destination, bool replace)
{
    struct stat st;
    if (::lstat(source, &st) != 0)
        return ErrorFromErrno(errno);
    struct stat existing;
    if (!replace || ::lstat(destination, &existing) != 0)
        return CopyEntry(source, destination, st); // exclusive creation: EEXIST when it exists
    // Another spelling of the source, or the file a source link points to, would be gone before
    // the copy could read it: refuse.
    if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino)
        return ErrorFromErrno(EINVAL);
    struct stat followed;
    if (S_ISLNK(st.st_mode) && ::stat(source, &followed) == 0 && existing.st_dev == followed.st_dev
        && existing.st_ino == followed.st_ino)
        return ErrorFromErrno(EINVAL);
    if (S_ISDIR(existing.st_mode))
        return ErrorFromErrno(EEXIST); // a file never replaces a folder
    return ReplaceWithCopy(source, destination, st);
}

VError XLinuxFile::Open(const char* path, int access, unsigned options, int* outDescriptor)
{
    *outDescriptor = -1;
    if (options & kOptionResourceFork)
        return ErrorFromErrno(EOPNOTSUPP); // Linux files have a single fork

    int flags = O_CLOEXEC | O_NOCTTY;
    switch (access) {
    case kAccessRead: flags |= O_RDONLY; break;
    case kAccessReadWrite:
    case kAccessReadWriteShared: flags |= O_RDWR; break;
    default: return ErrorFromErrno(EINVAL);
    }
    if (!(options & kOptionFollowLink))
        flags |= O_NOFOLLOW;
    if (options & kOptionCreate)
        flags |= O_CREAT;
    // No O_TRUNC: a file locked by someone else must not lose its content before the lock
    // attempt fails.

    int fd = ::open(path, flags, 0644);
    if (fd < 0)
        return ErrorFromErrno(errno);

    int error = 0;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = EISDIR; // a read-only open of a folder succeeds on Linux
    if (!error && access != kAccessRead) {
        int operation = (access == kAccessReadWrite ? LOCK_EX : LOCK_SH) | LOCK_NB;
        if (::flock(fd, operation) != 0) {
            error = errno;
            if (error == EWOULDBLOCK)
                error = EACCES; // held elsewhere: a permission failure, reported at once
        }
    }
    if (!error && access != kAccessRead && (options & kOptionTruncate) && ::ftruncate(fd, 0) != 0)
        error = errno;
    if (error) {
        ::close(fd);
        return ErrorFromErrno(error);
    }
    if (options & kOptionReadAhead)
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); // a hint: its failure changes nothing
    // kOptionNoCache: Linux has no per-descriptor switch short of O_DIRECT, whose alignment rules
    // the callers do not follow; the page cache stays on.
    *outDescriptor = fd;
    return VE_OK;
}

VError XLinuxFile::Close(int descriptor)
{
    // Linux releases the descriptor even when close reports an error: never retry.
    if (::close(descriptor) != 0)
        return ErrorFromErrno(errno);
    return VE_OK;
}

VError XLinuxFile::GetDescriptorSize(int descriptor, int64_t* size)
{
    struct stat st;
    if (::fstat(descriptor, &st) != 0) {
        *size = 0;
        return ErrorFromErrno(errno);
    }
    *size = int64_t(st.st_size);
    return VE_OK;
}

VError XLinuxFile::SetDescriptorSize(int descriptor, int64_t size)
{
    if (::ftruncate(descriptor, off_t(size)) != 0)
        return ErrorFromErrno(errno);
    return VE_OK;
}

VError XLinuxFile::ReadAt(int descriptor, void* buffer, size_t size, int64_t position, size_t* outRead)
{
    size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(descriptor, static_cast<char*>(buffer) + done, size - done, off_t(position) + off_t(done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *outRead = done;
            return ErrorFromErrno(errno);
        }
        if (got == 0)
            break;
        done += size_t(got);
    }
    *outRead = done;
    return VE_OK;
}

VError XLinuxFile::WriteAt(int descriptor, const void* data, size_t size, int64_t position)
{
    size_t done = 0;
    while (done < size) {
        ssize_t put = ::pwrite(descriptor, static_cast<const char*>(data) + done, size - done,
                               off_t(position) + off_t(done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return ErrorFromErrno(errno);
        }
        if (put == 0)
            return ErrorFromErrno(EIO); // no progress and no reason: never loop on it
        done += size_t(put);
    }
    return VE_OK;
}

VError XLinuxFile::Flush(int descriptor)
{
    if (::fsync(descriptor) != 0)
        return ErrorFromErrno(errno);
    return VE_OK;
}

} // namespace nuvo
