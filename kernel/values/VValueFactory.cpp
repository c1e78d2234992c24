#include "kernel/values/VValueFactory.h"

#include <cassert>
#include <cstdint>
#include <cstring>

#include "kernel/text/VString.h"
#include "kernel/values/VBoolean.h"
#include "kernel/values/VByte.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VLong8.h"
#include "kernel/values/VReal.h"
#include "kernel/values/VWord.h"

namespace nuvo {

namespace {

struct KindEntry {
    VValueFactory::Creator fCreator = nullptr;
    size_t fFixedSpace = 0;
    VValueFactory::StoredSpace fStoredSpace = nullptr;
};

constexpr size_t kMaxKinds = 64;

size_t StoredStringSpace(const void* data)
{
    int32_t length;
    std::memcpy(&length, data, sizeof length);
    return sizeof length + (length > 0 ? size_t(length) * sizeof(UniChar) : 0);
}

template <class T> VValueSingle* CreateValue() { return new T; }

KindEntry* Table()
{
    static KindEntry sTable[kMaxKinds] = {
        {},                                                    // Void
        {&CreateValue<VBoolean>, 1, nullptr},
        {&CreateValue<VByte>, 1, nullptr},
        {&CreateValue<VWord>, 2, nullptr},
        {&CreateValue<VLong>, 4, nullptr},
        {&CreateValue<VLong8>, 8, nullptr},
        {&CreateValue<VReal>, 8, nullptr},
        {&CreateValue<VString>, 0, &StoredStringSpace},
    };
    return sTable;
}

const KindEntry* Find(ValueKind kind)
{
    size_t index = size_t(kind);
    if (index >= kMaxKinds || Table()[index].fCreator == nullptr)
        return nullptr;
    return &Table()[index];
}

} // namespace

VValueSingle* VValueFactory::Create(ValueKind kind)
{
    const KindEntry* entry = Find(kind);
    return entry ? entry->fCreator() : nullptr;
}

size_t VValueFactory::GetStoredSpace(ValueKind kind, const void* data)
{
    const KindEntry* entry = Find(kind);
    if (!entry)
        return 0;
    return entry->fFixedSpace > 0 ? entry->fFixedSpace : entry->fStoredSpace(data);
}

bool VValueFactory::IsKnown(ValueKind kind)
{
    return Find(kind) != nullptr;
}

void VValueFactory::Register(ValueKind kind, Creator creator, size_t fixedSpace, StoredSpace storedSpace)
{
    assert(size_t(kind) < kMaxKinds && creator && (fixedSpace > 0 || storedSpace));
    if (size_t(kind) >= kMaxKinds)
        return;
    Table()[size_t(kind)] = {creator, fixedSpace, storedSpace};
}

} // namespace nuvo
