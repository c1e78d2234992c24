#pragma once

#include "kernel/base/VTypes.h"

namespace nuvo {

class VString;

// Root of the toolkit's polymorphic classes. Gives every object a debug dump, which the
// formatter's %V conversion prints. Not reference counted by itself (see IRefCountable).
class VObject {
public:
    VObject() = default;
    VObject(const VObject&) = default;
    VObject& operator=(const VObject&) = default;
    virtual ~VObject() = default;

    // Appends a short human-readable description of the object to out. The default prints the
    // dynamic class name and the address.
    virtual void DebugDump(VString& out) const;
};

} // namespace nuvo
