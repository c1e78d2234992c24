#pragma once

#include <cstdint>

#include "kernel/base/VObject.h"

namespace nuvo {

// Base of the value family: a flags byte shared with the subclasses. A value can be null.
class VValue : public VObject {
public:
    // Bits of the flags byte.
    static constexpr uint8_t kFlagNull = 1;
    static constexpr uint8_t kFlagChanged = 2;
    static constexpr uint8_t kFlagForeignBuffer = 16;  // VString: buffer owned by someone else
    static constexpr uint8_t kFlagExclusiveBuffer = 64; // VString: buffer not reference counted

    bool IsNull() const { return (fFlags & kFlagNull) != 0; }
    void SetNull(bool null = true) { fFlags = null ? (fFlags | kFlagNull) : (fFlags & ~kFlagNull); }
    bool IsDirty() const { return (fFlags & kFlagChanged) != 0; }
    void SetDirty(bool changed = true) { fFlags = changed ? (fFlags | kFlagChanged) : (fFlags & ~kFlagChanged); }

protected:
    VValue() = default;
    explicit VValue(uint8_t flags) : fFlags(flags) {}

    uint8_t fFlags = 0;
};

} // namespace nuvo
