#pragma once
// Linux platform layer: removal of a whole folder tree, walked relative to open folder
// descriptors; the forced form also repairs permissions and clears immutable/append-only flags.

#include <string>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Tree removal. Every folder is opened with O_NOFOLLOW relative to its parent's descriptor and
// every entry is removed with unlinkat on that descriptor, so a folder swapped for a link during
// the walk is never entered and the depth of the tree is not limited by PATH_MAX. Links are
// removed, never followed; mount points below the root are not entered and fail the removal
// (EBUSY). Stateless; safe from any thread (the current directory is never changed). Failures
// return the first native POSIX error; the walk stops there, leaving what was not removed yet.
// Nothing is pushed on an error context.
class XLinuxForcedDelete {
public:
    enum : unsigned {
        // Folders the process owns get u+rwx before they are read, and lock flags are cleared
        // where the process may (else the removal fails with EPERM).
        kUnlock = 1,
        // Only the entries below the root are removed; the root must be a folder (ENOTDIR).
        kContentsOnly = 2,
    };

    // Removes path (a folder, or a link or file, which is simply unlinked) and everything below
    // it, whatever the permissions and lock flags. A trailing '/' in path is ignored.
    [[nodiscard]] static VError Delete(const std::string& path);
    // The same with options (kUnlock, kContentsOnly). outFailedPath, when given, receives the
    // full path of the entry whose removal failed (empty on success).
    [[nodiscard]] static VError DeleteTree(const std::string& path, unsigned options, std::string* outFailedPath);

    // Clears the immutable and append-only flags of a regular file or folder (links have none).
    // 0 when there was nothing to clear or the file system has no such flags; EPERM when the
    // process lacks the capability to clear them.
    [[nodiscard]] static VError ClearLockFlags(const std::string& path, bool isFolder);
};

} // namespace nuvo
