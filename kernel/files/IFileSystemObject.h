#pragma once

#include "kernel/base/IRefCountable.h"
#include "kernel/files/VFilePath.h"
#include "kernel/text/VString.h"

namespace nuvo {

// What files and folders have in common: a reference-counted object named by one path. The name
// helpers answer from the path alone and never touch the disk. Thread-safety is the
// implementing class's.
class IFileSystemObject : public IRefCountable {
public:
    // A copy of the object's path.
    virtual VFilePath GetPath() const = 0;

    // The VFilePath answers on GetPath().
    void GetName(VString& out) const { GetPath().GetName(out); }
    void GetExtension(VString& out) const { GetPath().GetExtension(out); }
    // Without case or diacritic sensitivity; a leading '.' in extension is allowed.
    bool MatchExtension(const VString& extension) const { return GetPath().MatchExtension(extension, false); }

protected:
    ~IFileSystemObject() override = default;
};

} // namespace nuvo
