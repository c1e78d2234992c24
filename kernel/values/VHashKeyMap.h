#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nuvo::Private {

// The open-addressing index of a packed dictionary: entries hold slot numbers, placed by linear
// probing from hash mod size. It is a cache owned by its dictionary; Put fails when every entry
// is taken, and the owner then rebuilds it for its current slot count. Not thread-safe.
class VHashKeyMap {
public:
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;

    // The index size for count keys: the first prime of the size table whose threshold exceeds
    // count (5 for fewer than 5, 11 for fewer than 9, 23 for fewer than 18...).
    static size_t SizeFor(size_t count);

    bool IsEmpty() const { return fEntries.empty(); }
    size_t GetSize() const { return fEntries.size(); }
    void Clear() { fEntries.clear(); fEntries.shrink_to_fit(); }
    // Empties the index and sizes it for count keys.
    void Reset(size_t count) { fEntries.assign(SizeFor(count), kEmpty); }

    [[nodiscard]] bool Put(uint32_t hash, uint32_t slot)
    {
        size_t size = fEntries.size();
        size_t start = hash % size;
        for (size_t i = start; i < size; ++i) {
            if (fEntries[i] == kEmpty) {
                fEntries[i] = slot;
                return true;
            }
        }
        for (size_t i = 0; i < start; ++i) {
            if (fEntries[i] == kEmpty) {
                fEntries[i] = slot;
                return true;
            }
        }
        return false;
    }

    // The entry at the hash's home position (kEmpty when none). Only meaningful when not empty.
    uint32_t GetHome(uint32_t hash) const { return fEntries[hash % fEntries.size()]; }

private:
    std::vector<uint32_t> fEntries;
};

} // namespace nuvo::Private
