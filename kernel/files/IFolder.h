#pragma once

#include <functional>

#include "kernel/base/VTypes.h"
#include "kernel/files/IFileSystemObject.h"

namespace nuvo {

class IFileAttributeAccessor;

// A folder as code that only knows the interface sees it. Implementations are immutable handles
// that may be used from any task; failures push records on the current error context.
class IFolder : public IFileSystemObject {
public:
    virtual bool Exists() const = 0;
    // A new folder object for the parent (the caller releases it); null when there is none.
    virtual IFolder* RetainParentFolder(bool sandboxed = false) const = 0;
    // Calls function for each entry chosen by options (FileIteratorOptions) until it returns
    // false. The accessor is valid during the call only.
    virtual VError Iterate(std::function<bool(IFileAttributeAccessor*)>&& function, unsigned options) const = 0;

    // The two paths name the same folder, compared without case or diacritic sensitivity (the
    // text of the paths only; the disk is not asked). False for null.
    bool IsSameFolder(const IFolder* other) const
    {
        return other != nullptr && GetPath().GetPath().EqualToString(other->GetPath().GetPath(), false);
    }

protected:
    ~IFolder() override = default;
};

} // namespace nuvo
