#include "kernel/values/VBagArray.h"

#include "kernel/text/VString.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

VBagArray::VBagArray(const VBagArray& other) : VObject(other), IRefCountable(other)
{
    fBags.reserve(other.fBags.size());
    for (const VValueBag* bag : other.fBags)
        fBags.push_back(bag->Clone());
}

VBagArray::~VBagArray()
{
    Destroy();
}

VValueBag* VBagArray::GetNth(int32_t pos) const
{
    if (pos < 1 || pos > GetCount())
        return nullptr;
    return fBags[size_t(pos - 1)];
}

VValueBag* VBagArray::RetainNth(int32_t pos) const
{
    VValueBag* bag = GetNth(pos);
    if (!bag)
        return new VValueBag;
    bag->Retain();
    return bag;
}

int32_t VBagArray::Find(const VValueBag* bag) const
{
    for (size_t i = 0; i < fBags.size(); ++i) {
        if (fBags[i] == bag)
            return int32_t(i + 1);
    }
    return 0;
}

bool VBagArray::AddTail(VValueBag* bag)
{
    if (!bag)
        return false;
    bag->Retain();
    fBags.push_back(bag);
    return true;
}

bool VBagArray::AddNth(VValueBag* bag, int32_t pos)
{
    if (!bag)
        return false;
    if (pos > GetCount())
        return AddTail(bag);
    if (pos < 1)
        pos = 1;
    bag->Retain();
    fBags.insert(fBags.begin() + (pos - 1), bag);
    return true;
}

bool VBagArray::SetNth(VValueBag* bag, int32_t pos)
{
    if (!bag || pos < 1 || pos > GetCount())
        return false;
    bag->Retain();
    VValueBag*& slot = fBags[size_t(pos - 1)];
    slot->Release();
    slot = bag;
    return true;
}

void VBagArray::DeleteNth(int32_t pos)
{
    if (pos < 1 || pos > GetCount())
        return;
    VValueBag* bag = fBags[size_t(pos - 1)];
    fBags.erase(fBags.begin() + (pos - 1));
    bag->Release();
}

void VBagArray::Destroy()
{
    std::vector<VValueBag*> bags;
    bags.swap(fBags);
    for (VValueBag* bag : bags)
        bag->Release();
}

void VBagArray::DebugDump(VString& out) const
{
    out.AppendPrintf("VBagArray(%d bags)", GetCount());
}

} // namespace nuvo
