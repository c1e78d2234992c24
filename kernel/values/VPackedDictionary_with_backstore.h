#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernel/values/VPackedDictionary.h"
#include "kernel/values/VPackedValue_VValueSingle.h"
#include "kernel/values/ValueKind.h"

namespace nuvo {

class VValueSingle;

// The attribute dictionary of a bag: a packed dictionary whose values are stored serialised in
// one buffer of 16-bit units (per slot, the kind tag, then the value's pointer form padded to a
// whole unit). Value objects are made only when a value is read into another kind or replaced
// by one of a different size; such a cached object then holds the current value and the buffer
// is stale (dirty) until _Pack rebuilds it. Copies are packed and start without cached objects.
// Lookups fill caches: not thread-safe, even for const access.
template <class PACKED_VALUE>
class VPackedDictionary_with_backstore : protected VPackedDictionary<PACKED_VALUE> {
    using Base = VPackedDictionary<PACKED_VALUE>;

public:
    using Base::kNotFound;
    using Base::GetCount;
    using Base::IsEmpty;
    using Base::Find;
    using Base::GetNthKey;
    using Base::GetNthKeyString;
    using Base::GetIndexSize;

    VPackedDictionary_with_backstore() = default;
    VPackedDictionary_with_backstore(const VPackedDictionary_with_backstore& other);
    VPackedDictionary_with_backstore& operator=(const VPackedDictionary_with_backstore& other);
    ~VPackedDictionary_with_backstore() = default;

    // Replaces the value of the first slot with key; false when the key is absent.
    [[nodiscard]] bool SetExistingValue(const StPackedDictionaryKey& key, const VValueSingle& value);
    // Adds a slot without looking for an existing one.
    void Append(const StPackedDictionaryKey& key, const VValueSingle& value);
    // SetExistingValue, else Append.
    void SetValue(const StPackedDictionaryKey& key, const VValueSingle& value)
    {
        if (!SetExistingValue(key, value))
            Append(key, value);
    }

    // Reads the value converted to out's kind; false (out unchanged) when the key is absent.
    bool GetValue(const StPackedDictionaryKey& key, VValueSingle& out) const;
    // The value as an object owned by the dictionary, valid until the slot changes or goes; null
    // when the key is absent.
    const VValueSingle* GetValuePtr(const StPackedDictionaryKey& key) const;
    const VValueSingle* GetNthValue(size_t n) const;
    ValueKind GetNthKind(size_t n) const;

    // Removes the first slot with key; false when absent.
    bool Clear(const StPackedDictionaryKey& key);
    void RemoveAll();

    bool IsDirty() const { return fDirty; }
    // Rebuilds the values buffer from the current values and clears the dirty flag.
    void _Pack();

private:
    using Slot = typename Base::Slot;

    static size_t _UnitsFor(size_t space) { return (space + 3) / 2; }
    static uint16_t _TagOf(const VValueSingle& value);
    size_t _StoredSpace(size_t n) const;
    VValueSingle* _GetCached(size_t n) const;
    // The packed form of the current values, with each slot's offset in it.
    void _BuildPacked(std::vector<uint16_t>& outValues, std::vector<uint64_t>& outOffsets) const;

    std::vector<uint16_t> fValues;
    bool fDirty = false;
};

extern template class VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;

using VPackedVValueDictionary = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;

} // namespace nuvo
