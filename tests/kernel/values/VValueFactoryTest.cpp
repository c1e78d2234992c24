#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "kernel/text/VString.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VValueBag.h"
#include "kernel/values/VValueFactory.h"

namespace nuvo {
namespace {

// A kind that is not built in, as the time values will be, with a serialised size that varies:
// a string under another kind number.
constexpr ValueKind kTagKind = ValueKind(40);

class VTestTag : public VString {
public:
    using VString::VString;
    ValueKind GetValueKind() const override { return kTagKind; }
    [[nodiscard]] VTestTag* Clone() const override { return new VTestTag(*this); }
};

size_t StoredTagSpace(const void* data)
{
    int32_t length;
    std::memcpy(&length, data, sizeof length);
    return sizeof length + size_t(length) * sizeof(UniChar);
}

TEST(VValueFactory, KnowsBuiltInKindsOnly)
{
    EXPECT_FALSE(VValueFactory::IsKnown(ValueKind::Void));
    EXPECT_EQ(VValueFactory::Create(ValueKind::Void), nullptr);
    EXPECT_EQ(VValueFactory::Create(ValueKind(63)), nullptr);
    EXPECT_EQ(VValueFactory::Create(ValueKind(500)), nullptr);
    EXPECT_EQ(VValueFactory::GetStoredSpace(ValueKind(500), nullptr), 0u);
    const uint8_t longBytes[4] = {};
    EXPECT_EQ(VValueFactory::GetStoredSpace(ValueKind::Long, longBytes), 4u);
}

TEST(VValueFactory, RegisteredKindsLiveInBags)
{
    VValueFactory::Register(kTagKind, []() -> VValueSingle* { return new VTestTag; }, 0, &StoredTagSpace);
    ASSERT_TRUE(VValueFactory::IsKnown(kTagKind));

    VValueBag bag;
    bag.SetAttribute("tag", VTestTag("abc"));
    bag.SetLong("after", 9);
    // Same serialised size: replaced in place; the other attribute is untouched.
    bag.SetAttribute("tag", VTestTag("xyz"));
    EXPECT_FALSE(bag.GetAttributes().IsDirty());
    VTestTag tag;
    ASSERT_TRUE(bag.GetAttribute("tag", tag));
    EXPECT_EQ(to_string(tag), "xyz");

    // Another size: kept in a cached object until the bag is copied.
    bag.SetAttribute("tag", VTestTag("12345"));
    EXPECT_TRUE(bag.GetAttributes().IsDirty());
    VValueBag copy(bag);
    ASSERT_TRUE(copy.GetAttribute("tag", tag));
    EXPECT_EQ(to_string(tag), "12345");
    // Read into another kind: converted through an object of the stored kind.
    VLong number;
    ASSERT_TRUE(copy.GetAttribute("tag", number));
    EXPECT_EQ(number.Get(), 12345);
    EXPECT_EQ(copy.GetAttribute("tag")->GetValueKind(), kTagKind);
    int32_t after = 0;
    EXPECT_TRUE(copy.GetLong("after", after) && after == 9);
}

} // namespace
} // namespace nuvo
