#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VHashKeyMap.h"

namespace nuvo {

class VString;

// Keys in insertion order, packed in one byte buffer (a length byte, then the UTF-8 bytes, per
// key), one slot per key, and a lazy open-addressing index built by the first lookup once there
// are 6 keys or more. What a slot holds besides its key offset, and how it is copied and
// disposed of, is PACKED_VALUE's business (VPackedValue_VBagArray, VPackedValue_VValueSingle).
// Slot numbers are 0-based. Keys are not unique: AppendSlot does not look for an existing key,
// and Find returns the first equal one. Lookups are const but build the index: not thread-safe.
template <class PACKED_VALUE>
class VPackedDictionary {
public:
    using Slot = typename PACKED_VALUE::Slot;
    static constexpr size_t kNotFound = SIZE_MAX;
    static constexpr size_t kMinKeysForIndex = 6;

    VPackedDictionary() = default;
    VPackedDictionary(const VPackedDictionary& other);
    VPackedDictionary& operator=(const VPackedDictionary& other);
    ~VPackedDictionary();

    size_t GetCount() const { return fSlots.size(); }
    bool IsEmpty() const { return fSlots.empty(); }

    // The slot number of the first key equal to key, or kNotFound.
    size_t Find(const StPackedDictionaryKey& key) const;

    // The nth key (0-based); the returned key points into the keys buffer and is valid until the
    // dictionary changes.
    StPackedDictionaryKey GetNthKey(size_t n) const;
    void GetNthKeyString(size_t n, VString& out) const;

    // Entries of the index; 0 when there is none. For tests and diagnostics.
    size_t GetIndexSize() const { return fIndex.GetSize(); }

    const Slot& GetNthSlot(size_t n) const { return fSlots[n]; }
    Slot& GetNthSlot(size_t n) { return fSlots[n]; }

    // Adds key and slot (whose key offset is set here); returns the slot number.
    size_t AppendSlot(const StPackedDictionaryKey& key, Slot slot);
    // Disposes of the slot, removes its key bytes and drops the index.
    void RemoveNth(size_t n);
    void RemoveAll();

protected:
    bool _KeyEquals(size_t n, const StPackedDictionaryKey& key) const
    {
        uint64_t offset = fSlots[n].fKeyOffset;
        return key.Equals(reinterpret_cast<const char*>(&fKeys[offset + 1]), fKeys[offset]);
    }
    uint32_t _HashOf(size_t n) const;
    void _BuildIndex() const;

    std::vector<uint8_t> fKeys;
    // Mutable because slots and index are also caches that const lookups may fill.
    mutable std::vector<Slot> fSlots;
    mutable Private::VHashKeyMap fIndex;
};

} // namespace nuvo
