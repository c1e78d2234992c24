#pragma once

#include <cstdint>

#include "kernel/values/VPackedDictionary.h"
#include "kernel/values/VValueSingle.h"

namespace nuvo {

// Slot policy of the attribute dictionary: the value lives serialised in the dictionary's
// values buffer; the slot may own a cached object holding the same value (or a newer one, when
// the dictionary is dirty). Copies start without a cached object.
struct VPackedValue_VValueSingle {
    struct Slot {
        uint64_t fKeyOffset = 0;    // of the key's length byte in the keys buffer
        uint64_t fValueOffset = 0;  // in 16-bit units in the values buffer
        VValueSingle* fCached = nullptr;
    };

    static Slot CopySlot(const Slot& slot) { return {slot.fKeyOffset, slot.fValueOffset, nullptr}; }
    static void DisposeSlot(Slot& slot)
    {
        delete slot.fCached;
        slot.fCached = nullptr;
    }
};

// Instantiated once, in VPackedDictionary.cpp.
extern template class VPackedDictionary<VPackedValue_VValueSingle>;

} // namespace nuvo
