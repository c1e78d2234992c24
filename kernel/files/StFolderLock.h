#pragma once

#include "kernel/base/VTypes.h"

namespace nuvo {

class VFolder;

// Holds an exclusive advisory lock on a folder for a scope, waiting while another process (or
// another StFolderLock) holds it. The lock goes with the open folder, so it survives renames of
// the folder's entries and ends with the process, even a killed one. Best effort: where the
// folder cannot be opened or the file system has no locks, nothing is held (IsLocked false) and
// no error is pushed, since the lock only keeps cooperating processes apart. Not copyable.
class StFolderLock {
public:
    explicit StFolderLock(const VFolder& folder);
    ~StFolderLock();
    StFolderLock(const StFolderLock&) = delete;
    StFolderLock& operator=(const StFolderLock&) = delete;

    [[nodiscard]] bool IsLocked() const { return fDescriptor >= 0; }

private:
    int fDescriptor = -1;
};

} // namespace nuvo
