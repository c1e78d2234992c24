#include "kernel/values/VPackedDictionary_with_backstore.h"

#include <cassert>

#include "kernel/values/VValueFactory.h"
#include "kernel/values/VValueSingle.h"

namespace nuvo {

namespace {

// The tag unit keeps the value's null state in its top bit, which no kind number uses.
constexpr uint16_t kNullTag = 0x8000;

ValueKind KindOfTag(uint16_t tag)
{
    return ValueKind(tag & ~kNullTag);
}

} // namespace

template <class P>
VPackedDictionary_with_backstore<P>::VPackedDictionary_with_backstore(const VPackedDictionary_with_backstore& other)
    : Base(other)
{
    if (other.fDirty) {
        std::vector<uint64_t> offsets;
        other._BuildPacked(fValues, offsets);
        for (size_t n = 0; n < offsets.size(); ++n)
            this->fSlots[n].fValueOffset = offsets[n];
    } else {
        fValues = other.fValues;
    }
}

template <class P>
VPackedDictionary_with_backstore<P>& VPackedDictionary_with_backstore<P>::operator=(
    const VPackedDictionary_with_backstore& other)
{
    if (this != &other) {
        VPackedDictionary_with_backstore copy(other);
        Base::operator=(copy);
        fValues.swap(copy.fValues);
        fDirty = false;
    }
    return *this;
}

template <class P>
uint16_t VPackedDictionary_with_backstore<P>::_TagOf(const VValueSingle& value)
{
    return uint16_t(value.GetValueKind()) | (value.IsNull() ? kNullTag : 0);
}

template <class P>
size_t VPackedDictionary_with_backstore<P>::_StoredSpace(size_t n) const
{
    uint64_t offset = this->fSlots[n].fValueOffset;
    return VValueFactory::GetStoredSpace(KindOfTag(fValues[offset]), fValues.data() + offset + 1);
}

template <class P>
VValueSingle* VPackedDictionary_with_backstore<P>::_GetCached(size_t n) const
{
    Slot& slot = this->fSlots[n];
    if (!slot.fCached) {
        uint16_t tag = fValues[slot.fValueOffset];
        VValueSingle* value = VValueFactory::Create(KindOfTag(tag));
        assert(value);  // only registered kinds are ever stored
        if (!value)
            return nullptr;
        value->LoadFromPtr(fValues.data() + slot.fValueOffset + 1);
        if (tag & kNullTag)
            value->SetNull(true);
        slot.fCached = value;
    }
    return slot.fCached;
}

template <class P>
bool VPackedDictionary_with_backstore<P>::SetExistingValue(const StPackedDictionaryKey& key, const VValueSingle& value)
{
    size_t n = Find(key);
    if (n == kNotFound)
        return false;
    Slot& slot = this->fSlots[n];
    if (!slot.fCached) {
        size_t space = value.GetSpace();
        if (_StoredSpace(n) == space) {
            fValues[slot.fValueOffset] = _TagOf(value);
            value.WriteToPtr(fValues.data() + slot.fValueOffset + 1);
            return true;
        }
    } else if (slot.fCached->GetValueKind() == value.GetValueKind()) {
        slot.fCached->FromValue(value);
        fDirty = true;
        return true;
    }
    VValueSingle* clone = value.Clone();
    delete slot.fCached;
    slot.fCached = clone;
    fDirty = true;
    return true;
}

template <class P>
void VPackedDictionary_with_backstore<P>::Append(const StPackedDictionaryKey& key, const VValueSingle& value)
{
    size_t offset = fValues.size();
    size_t units = _UnitsFor(value.GetSpace());
    if (fValues.capacity() == 0)
        fValues.reserve(units + 32);
    fValues.resize(offset + units);
    fValues[offset] = _TagOf(value);
    value.WriteToPtr(fValues.data() + offset + 1);
    Slot slot;
    slot.fValueOffset = offset;
    this->AppendSlot(key, slot);
}

template <class P>
bool VPackedDictionary_with_backstore<P>::GetValue(const StPackedDictionaryKey& key, VValueSingle& out) const
{
    size_t n = Find(key);
    if (n == kNotFound)
        return false;
    const Slot& slot = this->fSlots[n];
    if (!slot.fCached) {
        uint16_t tag = fValues[slot.fValueOffset];
        if (KindOfTag(tag) == out.GetValueKind()) {
            out.LoadFromPtr(fValues.data() + slot.fValueOffset + 1);
            if (tag & kNullTag)
                out.SetNull(true);
            return true;
        }
    }
    const VValueSingle* value = _GetCached(n);
    if (!value)
        return false;
    out.FromValue(*value);
    return true;
}

template <class P>
const VValueSingle* VPackedDictionary_with_backstore<P>::GetValuePtr(const StPackedDictionaryKey& key) const
{
    size_t n = Find(key);
    return n == kNotFound ? nullptr : _GetCached(n);
}

template <class P>
const VValueSingle* VPackedDictionary_with_backstore<P>::GetNthValue(size_t n) const
{
    assert(n < GetCount());
    return _GetCached(n);
}

template <class P>
ValueKind VPackedDictionary_with_backstore<P>::GetNthKind(size_t n) const
{
    assert(n < GetCount());
    const Slot& slot = this->fSlots[n];
    return slot.fCached ? slot.fCached->GetValueKind() : KindOfTag(fValues[slot.fValueOffset]);
}

template <class P>
bool VPackedDictionary_with_backstore<P>::Clear(const StPackedDictionaryKey& key)
{
    size_t n = Find(key);
    if (n == kNotFound)
        return false;
    size_t count = GetCount();
    uint64_t begin = this->fSlots[n].fValueOffset;
    uint64_t end = n + 1 < count ? this->fSlots[n + 1].fValueOffset : fValues.size();
    fValues.erase(fValues.begin() + begin, fValues.begin() + end);
    for (size_t i = n + 1; i < count; ++i)
        this->fSlots[i].fValueOffset -= end - begin;
    this->RemoveNth(n);
    return true;
}

template <class P>
void VPackedDictionary_with_backstore<P>::RemoveAll()
{
    Base::RemoveAll();
    fValues.clear();
    fDirty = false;
}

template <class P>
void VPackedDictionary_with_backstore<P>::_BuildPacked(std::vector<uint16_t>& outValues,
                                                       std::vector<uint64_t>& outOffsets) const
{
    size_t count = GetCount();
    outValues.clear();
    outOffsets.resize(count);
    for (size_t n = 0; n < count; ++n) {
        const Slot& slot = this->fSlots[n];
        size_t offset = outValues.size();
        outOffsets[n] = offset;
        if (slot.fCached) {
            outValues.resize(offset + _UnitsFor(slot.fCached->GetSpace()));
            outValues[offset] = _TagOf(*slot.fCached);
            slot.fCached->WriteToPtr(outValues.data() + offset + 1);
        } else {
            size_t units = _UnitsFor(_StoredSpace(n));
            const uint16_t* stored = fValues.data() + slot.fValueOffset;
            outValues.insert(outValues.end(), stored, stored + units);
        }
    }
}

template <class P>
void VPackedDictionary_with_backstore<P>::_Pack()
{
    if (!fDirty)
        return;
    std::vector<uint16_t> values;
    std::vector<uint64_t> offsets;
    _BuildPacked(values, offsets);
    fValues.swap(values);
    for (size_t n = 0; n < offsets.size(); ++n)
        this->fSlots[n].fValueOffset = offsets[n];
    fDirty = false;
}

template class VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;

} // namespace nuvo
