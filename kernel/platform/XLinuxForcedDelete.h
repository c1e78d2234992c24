#pragma once
// Linux platform layer: removal of a whole folder tree whatever its permissions and
// immutable/append-only flags (glibc fts, physical walk, one file system).

#include <string>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Forced removal of a tree. Stateless; safe to call from any thread (the walk never changes the
// current directory). Failures return a native POSIX error and nothing is pushed on an error
// context; the walk stops at the first failure, leaving what was not removed yet.
class XLinuxForcedDelete {
public:
    // Removes path (a folder, or a link or file, which is simply unlinked) and everything below
    // it. Symbolic links are removed, never followed; mount points below path are not entered
    // and make the removal fail. A trailing '/' in path is ignored.
    [[nodiscard]] static VError Delete(const std::string& path);

    // Clears the immutable and append-only flags of a regular file or folder (links have none).
    // 0 when there was nothing to clear or the file system has no such flags; EPERM when the
    // process lacks the capability to clear them.
    [[nodiscard]] static VError ClearLockFlags(const std::string& path, bool isFolder);
};

} // namespace nuvo
