#pragma once

#include <cstdint>

#include "kernel/base/VTypes.h"

namespace nuvo {

class IFile;
class IFolder;

// What VFolder::Iterate's function sees of the current entry: its times and the file or folder
// object made for it. The objects are borrowed: valid during the call only (retain to keep).
class IFileAttributeAccessor {
public:
    // Milliseconds since 1970-01-01 UTC, links followed; any pointer may be null.
    virtual VError GetTime(int64_t* outModified, int64_t* outCreated, int64_t* outAccessed) const = 0;
    // The current entry as a file (null when it is a folder) or as a folder (null when a file).
    virtual IFile* GetFile() const = 0;
    virtual IFolder* GetFolder() const = 0;

protected:
    ~IFileAttributeAccessor() = default;
};

} // namespace nuvo
