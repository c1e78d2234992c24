#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VString.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {
namespace {

using BagRef = VRefPtr<VValueBag>;

BagRef NewBag()
{
    return BagRef::Adopt(new VValueBag);
}

TEST(VBagArray, RetainNthOutOfRangeGivesANewEmptyBag)
{
    VRefPtr<VBagArray> array = VRefPtr<VBagArray>::Adopt(new VBagArray);
    BagRef stored = NewBag();
    stored->SetString("k", VString("v"));
    ASSERT_TRUE(array->AddTail(stored.Get()));
    for (int32_t pos : {0, -1, 2}) {
        SCOPED_TRACE(pos);
        BagRef bag = BagRef::Adopt(array->RetainNth(pos));
        ASSERT_TRUE(bag);
        EXPECT_NE(bag.Get(), stored.Get());
        EXPECT_TRUE(bag->IsEmpty());
        EXPECT_EQ(bag->GetRefCount(), 1);
        EXPECT_EQ(array->GetNth(pos), nullptr);
    }
    BagRef first = BagRef::Adopt(array->RetainNth(1));
    EXPECT_EQ(first.Get(), stored.Get());
    EXPECT_EQ(stored->GetRefCount(), 3);
}

TEST(VBagArray, PositionsAreOneBasedAndEveryBagIsRetained)
{
    VRefPtr<VBagArray> array = VRefPtr<VBagArray>::Adopt(new VBagArray);
    BagRef a = NewBag(), b = NewBag(), c = NewBag(), d = NewBag();
    EXPECT_FALSE(array->AddTail(nullptr));
    array->AddTail(a.Get());
    array->AddTail(c.Get());
    array->AddNth(b.Get(), 2);   // a b c
    array->AddNth(d.Get(), 99);  // a b c d
    const VValueBag* order[] = {a.Get(), b.Get(), c.Get(), d.Get()};
    for (int32_t pos = 1; pos <= 4; ++pos)
        EXPECT_EQ(array->Find(order[pos - 1]), pos);
    EXPECT_EQ(array->Find(nullptr), 0);

    EXPECT_TRUE(array->SetNth(d.Get(), 1));  // d b c d
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(d->GetRefCount(), 3);
    EXPECT_FALSE(array->SetNth(a.Get(), 5));
    array->DeleteNth(4);  // d b c
    array->DeleteNth(0);  // ignored
    EXPECT_EQ(d->GetRefCount(), 2);
    EXPECT_EQ(array->GetNth(3), c.Get());

    VRefPtr<VBagArray> clone = VRefPtr<VBagArray>::Adopt(array->Clone());
    ASSERT_EQ(clone->GetCount(), 3);
    for (int32_t pos = 1; pos <= 3; ++pos)
        EXPECT_NE(clone->GetNth(pos), array->GetNth(pos));
    EXPECT_EQ(b->GetRefCount(), 2);  // the clone holds copies, not b
    array->Destroy();
    EXPECT_EQ(array->GetCount(), 0);
    EXPECT_EQ(b->GetRefCount(), 1);
}

} // namespace
} // namespace nuvo
