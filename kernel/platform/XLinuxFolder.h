#pragma once
// Linux platform layer: the folder operations behind VFolder (existence, mkdir, rmdir, modes,
// times, exclusive rename), plus entry points to the tree copy, forced delete and trash.

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <time.h>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Stateless folder calls on POSIX paths (UTF-8; a trailing '/' is accepted and ignored where the
// system call would otherwise follow a final link). Each returns 0 or a native POSIX error and
// pushes nothing on an error context; wrapping into toolkit errors is VFolder's job. Thread-safe.
class XLinuxFolder {
public:
    // stat (following links) reports a directory.
    [[nodiscard]] static bool IsFolder(const std::string& path);
    // The last component of path is a symbolic link (lstat; a trailing '/' is ignored).
    [[nodiscard]] static bool IsLink(const std::string& path);
    // Removes the link at path itself; unlink(2) never removes a folder (EISDIR), so a link
    // replaced by a folder meanwhile is left alone.
    [[nodiscard]] static VError RemoveLink(const std::string& path);
    // path, once the links of its existing part are resolved, is folder or lies below it. A
    // folder that cannot be resolved contains nothing.
    [[nodiscard]] static bool IsSameOrInside(const std::string& path, const std::string& folder);

    [[nodiscard]] static VError Create(const std::string& path, mode_t mode);
    [[nodiscard]] static VError Remove(const std::string& path);
    // The twelve mode bits (permissions, set-id, sticky); links are followed.
    [[nodiscard]] static VError SetMode(const std::string& path, unsigned mode);
    [[nodiscard]] static VError GetMode(const std::string& path, unsigned* outMode);
    // Any pointer may be null. "created" is the birth time where the file system keeps one,
    // else the status-change time.
    [[nodiscard]] static VError GetTimes(const std::string& path, struct timespec* modified,
        struct timespec* created, struct timespec* accessed);
    // The same in milliseconds since 1970-01-01 UTC.
    [[nodiscard]] static VError GetTimesMs(const std::string& path, int64_t* modified, int64_t* created,
        int64_t* accessed);

    // Renames from to to, failing with EEXIST when to exists. renameat2(RENAME_NOREPLACE) where
    // the file system supports it, else RenameWithPlaceholder.
    [[nodiscard]] static VError RenameExclusive(const std::string& from, const std::string& to);
    // Reserves to with mkdir (EEXIST when taken), then renames a folder over that empty
    // placeholder; the placeholder is removed again when the rename fails.
    [[nodiscard]] static VError RenameWithPlaceholder(const std::string& from, const std::string& to);

    // See XLinuxTreeCopy, XLinuxForcedDelete and XLinuxTrash.
    [[nodiscard]] static VError CopyTree(const std::string& source, const std::string& destination);
    [[nodiscard]] static VError DeleteForced(const std::string& path);
    [[nodiscard]] static VError MoveToTrash(const std::string& path);

    // Writes back every dirty buffer of the file system that holds path (syncfs(2)): one call
    // makes a whole freshly copied tree durable.
    [[nodiscard]] static VError SyncFileSystem(const std::string& path);
    // fsync(2) of the folder itself: makes its entries (renames, creations) durable.
    [[nodiscard]] static VError SyncFolder(const std::string& path);

    // getcwd(3), with a final '/'.
    [[nodiscard]] static VError GetCurrent(std::string& outPath);
    // Opens the folder and takes an exclusive flock(2) on it, waiting while another open
    // description holds it; *outDescriptor is -1 on failure. CloseLocked releases it.
    [[nodiscard]] static VError OpenLocked(const std::string& path, int* outDescriptor);
    static void CloseLocked(int descriptor);
    // path without its trailing '/' characters ("/" stays "/").
    static std::string WithoutTrailingSlash(const std::string& path);
};

} // namespace nuvo
