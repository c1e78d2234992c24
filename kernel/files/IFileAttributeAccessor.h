#pragma once

#include <cstdint>

#include "kernel/base/VTypes.h"

namespace nuvo {

class IFile;
class IFolder;
class VTime;

// What VFolder::Iterate's function sees of the current entry: its times and the file or folder
// object made for it. The objects are borrowed: valid during the call only (retain to keep).
class IFileAttributeAccessor {
public:
    // Links followed; any pointer may be null.
    virtual VError GetTime(VTime* outModified, VTime* outCreated, VTime* outAccessed) const = 0;
    // The current entry as a file (null when it is a folder) or as a folder (null when a file).
    virtual IFile* GetFile() const = 0;
    virtual IFolder* GetFolder() const = 0;

protected:
    ~IFileAttributeAccessor() = default;
};

} // namespace nuvo
