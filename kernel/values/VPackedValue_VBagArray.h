#pragma once

#include <cstdint>

#include "kernel/values/VPackedDictionary.h"
#include "kernel/values/VBagArray.h"

namespace nuvo {

// Slot policy of the element dictionary: each slot retains one bag array. Copying a slot
// retains the same array (the bag's deep copy clones arrays itself).
struct VPackedValue_VBagArray {
    struct Slot {
        uint64_t fKeyOffset = 0;
        VBagArray* fArray = nullptr;
    };

    static Slot CopySlot(const Slot& slot) { return {slot.fKeyOffset, RetainRefCountable(slot.fArray)}; }
    static void DisposeSlot(Slot& slot) { ReleaseRefCountable(&slot.fArray); }
};

// Instantiated once, in VPackedDictionary.cpp.
extern template class VPackedDictionary<VPackedValue_VBagArray>;

} // namespace nuvo
