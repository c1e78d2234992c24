#include "kernel/values/VPackedDictionary.h"

#include <cassert>
#include <utility>

#include "kernel/text/VString.h"
#include "kernel/values/VPackedValue_VBagArray.h"
#include "kernel/values/VPackedValue_VValueSingle.h"

namespace nuvo {

template <class P>
VPackedDictionary<P>::VPackedDictionary(const VPackedDictionary& other)
    : fKeys(other.fKeys), fIndex(other.fIndex)
{
    fSlots.reserve(other.fSlots.size());
    for (const Slot& slot : other.fSlots)
        fSlots.push_back(P::CopySlot(slot));
}

template <class P>
VPackedDictionary<P>& VPackedDictionary<P>::operator=(const VPackedDictionary& other)
{
    if (this != &other) {
        VPackedDictionary copy(other);
        RemoveAll();
        fKeys.swap(copy.fKeys);
        fSlots.swap(copy.fSlots);
        std::swap(fIndex, copy.fIndex);
    }
    return *this;
}

template <class P>
VPackedDictionary<P>::~VPackedDictionary()
{
    for (Slot& slot : fSlots)
        P::DisposeSlot(slot);
}

template <class P>
uint32_t VPackedDictionary<P>::_HashOf(size_t n) const
{
    uint64_t offset = fSlots[n].fKeyOffset;
    return StPackedDictionaryKey::GetHashCode(reinterpret_cast<const char*>(&fKeys[offset + 1]), fKeys[offset]);
}

template <class P>
void VPackedDictionary<P>::_BuildIndex() const
{
    fIndex.Reset(fSlots.size());
    for (size_t n = 0; n < fSlots.size(); ++n) {
        [[maybe_unused]] bool put = fIndex.Put(_HashOf(n), uint32_t(n));
        assert(put);  // the size table always leaves room for the slots it is sized for
    }
}

// The index only tells where to start: the home entry holds the first slot put there, which is
// never after the first slot with this key, so a forward scan from it still finds the first
// equal key before any later duplicate.
template <class P>
size_t VPackedDictionary<P>::Find(const StPackedDictionaryKey& key) const
{
    size_t count = fSlots.size();
    if (fIndex.IsEmpty() && count >= kMinKeysForIndex)
        _BuildIndex();
    if (fIndex.IsEmpty()) {
        for (size_t n = 0; n < count; ++n) {
            if (_KeyEquals(n, key))
                return n;
        }
        return kNotFound;
    }
    uint32_t start = fIndex.GetHome(key.GetHash());
    if (start == Private::VHashKeyMap::kEmpty || start >= count)
        return kNotFound;
    for (size_t n = start; n < count; ++n) {
        if (_KeyEquals(n, key))
            return n;
    }
    for (size_t n = 0; n < start; ++n) {
        if (_KeyEquals(n, key))
            return n;
    }
    return kNotFound;
}

template <class P>
StPackedDictionaryKey VPackedDictionary<P>::GetNthKey(size_t n) const
{
    assert(n < fSlots.size());
    uint64_t offset = fSlots[n].fKeyOffset;
    return StPackedDictionaryKey::MakeView(reinterpret_cast<const char*>(&fKeys[offset + 1]), fKeys[offset]);
}

template <class P>
void VPackedDictionary<P>::GetNthKeyString(size_t n, VString& out) const
{
    assert(n < fSlots.size());
    uint64_t offset = fSlots[n].fKeyOffset;
    StPackedDictionaryKey::BytesToString(reinterpret_cast<const char*>(&fKeys[offset + 1]), fKeys[offset], out);
}

template <class P>
size_t VPackedDictionary<P>::AppendSlot(const StPackedDictionaryKey& key, Slot slot)
{
    size_t length = key.GetKeyLength();
    if (fSlots.empty()) {
        // Typical bags (error parameters, log lines) hold a handful of short names: one
        // allocation each instead of a chain of small regrowths.
        fSlots.reserve(4);
        fKeys.reserve(64);
    }
    slot.fKeyOffset = fKeys.size();
    fKeys.push_back(uint8_t(length));
    fKeys.insert(fKeys.end(), key.GetKey(), key.GetKey() + length);
    size_t n = fSlots.size();
    fSlots.push_back(slot);
    if (!fIndex.IsEmpty() && !fIndex.Put(key.GetHash(), uint32_t(n)))
        _BuildIndex();
    return n;
}

template <class P>
void VPackedDictionary<P>::RemoveNth(size_t n)
{
    assert(n < fSlots.size());
    P::DisposeSlot(fSlots[n]);
    uint64_t offset = fSlots[n].fKeyOffset;
    size_t removed = size_t(fKeys[offset]) + 1;
    fKeys.erase(fKeys.begin() + offset, fKeys.begin() + offset + removed);
    for (size_t i = n + 1; i < fSlots.size(); ++i)
        fSlots[i].fKeyOffset -= removed;
    fSlots.erase(fSlots.begin() + n);
    fIndex.Clear();
}

template <class P>
void VPackedDictionary<P>::RemoveAll()
{
    for (Slot& slot : fSlots)
        P::DisposeSlot(slot);
    fSlots.clear();
    fKeys.clear();
    fIndex.Clear();
}

template class VPackedDictionary<VPackedValue_VBagArray>;
template class VPackedDictionary<VPackedValue_VValueSingle>;

} // namespace nuvo
