#pragma once

#include <cstdint>
#include <vector>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"

namespace nuvo {

class VValueBag;

// An ordered list of bags, each retained by the array; positions are 1-based. Reference
// counted (count 1 for the creator). Not thread-safe apart from the count.
class VBagArray : public VObject, public IRefCountable {
public:
    VBagArray() = default;
    // Deep copy: every bag is cloned.
    VBagArray(const VBagArray& other);
    VBagArray& operator=(const VBagArray&) = delete;
    ~VBagArray() override;

    [[nodiscard]] VBagArray* Clone() const { return new VBagArray(*this); }

    int32_t GetCount() const { return int32_t(fBags.size()); }
    bool IsEmpty() const { return fBags.empty(); }

    // Borrowed; null outside 1..count.
    VValueBag* GetNth(int32_t pos) const;
    // Retained for the caller; outside 1..count a new empty bag, never null.
    [[nodiscard]] VValueBag* RetainNth(int32_t pos) const;
    // Position of bag (the same object), 0 when absent.
    int32_t Find(const VValueBag* bag) const;

    // The array retains the bag. A null bag is refused (false).
    bool AddTail(VValueBag* bag);
    // Inserts before pos; a pos beyond the count appends, below 1 inserts first.
    bool AddNth(VValueBag* bag, int32_t pos);
    // Replaces the bag at pos (1..count); false otherwise.
    bool SetNth(VValueBag* bag, int32_t pos);
    void DeleteNth(int32_t pos);
    void Destroy();

    void DebugDump(VString& out) const override;

private:
    std::vector<VValueBag*> fBags;
};

} // namespace nuvo
