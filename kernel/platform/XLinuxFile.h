#pragma once
// Linux platform layer for single files: every OS call behind VFile, VFileDesc and
// VFileStream. Paths are full POSIX paths in UTF-8; results are native codes ('POSX' errno).

#include <cstddef>
#include <cstdint>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Times of a file in milliseconds since 1970-01-01 UTC.
struct XLinuxFileTimes {
    int64_t modified = 0;
    int64_t created = 0;    // the birth time, or the oldest known time where the file system keeps none
    int64_t accessed = 0;
};

// Stateless file operations. Every function returns 0 or a native POSIX error built from the
// errno saved right after the failing call; nothing is pushed on an error context (VFile wraps
// the codes). Thread-safe (the only shared state, the last folder cleared of stale temporary
// copies, is behind a lock).
class XLinuxFile {
public:
    // Access modes and option bits of Open (the values of VFile::Open).
    static constexpr int kAccessRead = 0;
    static constexpr int kAccessReadWrite = 1;      // exclusive lock
    static constexpr int kAccessReadWriteShared = 2;
    static constexpr unsigned kOptionResourceFork = 1;
    static constexpr unsigned kOptionCreate = 2;
    static constexpr unsigned kOptionTruncate = 4;
    static constexpr unsigned kOptionReadAhead = 8;
    static constexpr unsigned kOptionNoCache = 32 | 64;
    static constexpr unsigned kOptionFollowLink = 128;

    XLinuxFile() = delete;

    // A regular file or a symbolic link (dangling or not) is at path; links are not followed.
    static bool Exists(const char* path);
    static VError Delete(const char* path);
    // The nine permission bits of the entry itself (a link is not followed).
    static VError GetPermissions(const char* path, uint16_t* mode);
    // Links have no mode of their own on Linux: on a link this changes nothing and succeeds.
    static VError SetPermissions(const char* path, uint16_t mode);
    // Size and times follow a symbolic link to its target.
    static VError GetSize(const char* path, int64_t* size);
    static VError GetTimes(const char* path, XLinuxFileTimes* times);
    // The calling process may write the file (access W_OK, links followed).
    static bool IsWritable(const char* path);

    // Copies one file: a regular file's data (reflink, in-kernel copy or read/write, holes kept),
    // extended attributes, owner (root only), mode and times; a symbolic link as a link. Fails
    // with EEXIST when destination exists, unless replace is true: the copy is then made under a
    // temporary name beside destination and renamed over it, so that a failed copy leaves the old
    // entry in place. Replacing refuses (EINVAL) a destination that is the source file itself or
    // the file a source link points to, and (EEXIST) a folder. A failed copy removes what it created.
    // Temporary copies left in that folder by a process that is gone are removed first. FIFOs,
    // sockets and device nodes are made anew (devices need privilege).
    static VError CopyFile(const char* source, const char* destination, bool replace);

    // Opens path (close-on-exec) and takes the lock of the access mode without waiting: a file
    // locked elsewhere fails at once with EACCES. Truncation happens only once the lock is held.
    static VError Open(const char* path, int access, unsigned options, int* outDescriptor);
    static VError Close(int descriptor);
    static VError GetDescriptorSize(int descriptor, int64_t* size);
    static VError SetDescriptorSize(int descriptor, int64_t size);
    // Reads up to size bytes at position; *outRead is smaller than size only at the end of file.
    static VError ReadAt(int descriptor, void* buffer, size_t size, int64_t position, size_t* outRead);
    // Writes all size bytes at position.
    static VError WriteAt(int descriptor, const void* data, size_t size, int64_t position);
    static VError Flush(int descriptor);

    // The one conversion of a saved errno into a native code. 0 (a failure that set no errno)
    // becomes EIO so that a failure never reads as success.
    static VError ErrorFromErrno(int savedErrno);
};

} // namespace nuvo
