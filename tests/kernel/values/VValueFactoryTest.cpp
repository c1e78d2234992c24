#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "kernel/text/VString.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VValueBag.h"
#include "kernel/values/VValueFactory.h"

namespace nuvo {
namespace {

// A kind that is not built in, as the time values will be: a short text stored as one length
// byte and its ASCII bytes, so that its serialised size varies.
constexpr ValueKind kTagKind = ValueKind(40);

class VTestTag : public VValueSingle {
public:
    VTestTag() = default;
    explicit VTestTag(std::string text) : fText(std::move(text)) {}

    ValueKind GetValueKind() const override { return kTagKind; }
    [[nodiscard]] VTestTag* Clone() const override { return new VTestTag(*this); }
    void Clear() override { fText.clear(); SetNull(false); }
    void GetString(VString& out) const override { out = fText.c_str(); }
    void FromString(const VString& text) override { fText = to_string(text); SetNull(false); }
    bool GetBoolean() const override { return !fText.empty(); }
    int32_t GetLong() const override { return int32_t(fText.size()); }
    int64_t GetLong8() const override { return int64_t(fText.size()); }
    double GetReal() const override { return double(fText.size()); }
    void FromBoolean(bool value) override { fText = value ? "yes" : ""; }
    void FromLong(int32_t value) override { fText.assign(size_t(value), '*'); }
    void FromLong8(int64_t value) override { fText.assign(size_t(value), '*'); }
    void FromReal(double value) override { fText.assign(size_t(value), '*'); }
    void FromValue(const VValueSingle& other) override
    {
        VString text;
        other.GetString(text);
        FromString(text);
    }
    size_t GetSpace() const override { return 1 + fText.size(); }
    void* WriteToPtr(void* data) const override
    {
        auto* p = static_cast<uint8_t*>(data);
        *p = uint8_t(fText.size());
        std::memcpy(p + 1, fText.data(), fText.size());
        return p + 1 + fText.size();
    }
    const void* LoadFromPtr(const void* data) override
    {
        const auto* p = static_cast<const uint8_t*>(data);
        fText.assign(reinterpret_cast<const char*>(p + 1), *p);
        SetNull(false);
        return p + 1 + *p;
    }

    const std::string& Get() const { return fText; }

private:
    std::string fText;
};

void RegisterTagKind()
{
    VValueFactory::Register(
        kTagKind, []() -> VValueSingle* { return new VTestTag; }, 0,
        [](const void* data) -> size_t { return 1 + *static_cast<const uint8_t*>(data); });
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
    RegisterTagKind();
    ASSERT_TRUE(VValueFactory::IsKnown(kTagKind));
    const uint8_t stored[] = {3, 'a', 'b', 'c'};
    EXPECT_EQ(VValueFactory::GetStoredSpace(kTagKind, stored), 4u);

    VValueBag bag;
    bag.SetAttribute("tag", VTestTag("abc"));
    bag.SetLong("after", 9);

    // Same serialised size: replaced in place; the other attribute is untouched.
    bag.SetAttribute("tag", VTestTag("xyz"));
    EXPECT_FALSE(bag.GetAttributes().IsDirty());
    VTestTag tag;
    ASSERT_TRUE(bag.GetAttribute("tag", tag));
    EXPECT_EQ(tag.Get(), "xyz");

    // Another size: kept in a cached object until the bag is copied.
    bag.SetAttribute("tag", VTestTag("longer text"));
    EXPECT_TRUE(bag.GetAttributes().IsDirty());
    VValueBag copy(bag);
    ASSERT_TRUE(copy.GetAttribute("tag", tag));
    EXPECT_EQ(tag.Get(), "longer text");

    // Read into another kind: converted through an object of the stored kind.
    VLong length;
    ASSERT_TRUE(copy.GetAttribute("tag", length));
    EXPECT_EQ(length.Get(), 11);
    const VValueSingle* object = copy.GetAttribute("tag");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetValueKind(), kTagKind);
    int32_t after = 0;
    EXPECT_TRUE(copy.GetLong("after", after));
    EXPECT_EQ(after, 9);
}

} // namespace
} // namespace nuvo
