#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/text/VString.h"
#include "kernel/values/VBoolean.h"
#include "kernel/values/VByte.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VLong8.h"
#include "kernel/values/VReal.h"
#include "kernel/values/VValueFactory.h"
#include "kernel/values/VWord.h"

namespace nuvo {
namespace {

static_assert(std::endian::native == std::endian::little, "the byte tables below are little-endian");

std::string TextOf(const VValueSingle& value)
{
    VString text;
    value.GetString(text);
    return to_string(text);
}

std::unique_ptr<VValueSingle> Make(ValueKind kind)
{
    return std::unique_ptr<VValueSingle>(VValueFactory::Create(kind));
}

std::vector<uint8_t> PointerForm(const VValueSingle& value)
{
    std::vector<uint8_t> bytes(value.GetSpace() + 4, 0xEE);
    void* end = value.WriteToPtr(bytes.data());
    EXPECT_EQ(static_cast<uint8_t*>(end) - bytes.data(), ptrdiff_t(value.GetSpace()));
    bytes.resize(value.GetSpace());
    return bytes;
}

TEST(VNumberValues, ConvertToEveryKind)
{
    struct Row {
        const char* name;
        std::shared_ptr<VValueSingle> source;
        bool asBool;
        int32_t asLong;
        int64_t asLong8;
        double asReal;
        const char* asText;
    };
    const Row rows[] = {
        {"byte -7", std::make_shared<VByte>(int8_t(-7)), true, -7, -7, -7.0, "-7"},
        {"word 300", std::make_shared<VWord>(int16_t(300)), true, 300, 300, 300.0, "300"},
        {"long 0", std::make_shared<VLong>(0), false, 0, 0, 0.0, "0"},
        {"long min", std::make_shared<VLong>(INT32_MIN), true, INT32_MIN, INT32_MIN, -2147483648.0, "-2147483648"},
        {"long8 2^40", std::make_shared<VLong8>(int64_t(1) << 40), true, INT32_MAX, 1099511627776, 1099511627776.0,
         "1099511627776"},
        {"long8 -2^40 saturates low", std::make_shared<VLong8>(-(int64_t(1) << 40)), true, INT32_MIN,
         -1099511627776, -1099511627776.0, "-1099511627776"},
        {"real 3.75 truncates", std::make_shared<VReal>(3.75), true, 3, 3, 3.75, "3.75"},
        {"real -3.75 truncates toward zero", std::make_shared<VReal>(-3.75), true, -3, -3, -3.75, "-3.75"},
        {"real 1e20 saturates", std::make_shared<VReal>(1e20), true, INT32_MAX, INT64_MAX, 1e20, "1E+20"},
        {"real NaN gives 0", std::make_shared<VReal>(std::nan("")), true, 0, 0, std::nan(""), nullptr},
        {"bool true", std::make_shared<VBoolean>(true), true, 1, 1, 1.0, "true"},
        {"bool false", std::make_shared<VBoolean>(false), false, 0, 0, 0.0, "false"},
        {"text 42", std::make_shared<VString>("42"), false, 42, 42, 42.0, "42"},
        {"text true", std::make_shared<VString>("true"), true, 0, 0, 0.0, "true"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.source->GetBoolean(), row.asBool);
        EXPECT_EQ(row.source->GetLong(), row.asLong);
        EXPECT_EQ(row.source->GetLong8(), row.asLong8);
        if (std::isnan(row.asReal)) {
            EXPECT_TRUE(std::isnan(row.source->GetReal()));
        } else {
            EXPECT_EQ(row.source->GetReal(), row.asReal);
        }
        if (row.asText) {
            EXPECT_EQ(TextOf(*row.source), row.asText);
        }
    }
}

TEST(VNumberValues, NarrowingSaturatesAtTheTargetLimits)
{
    struct Row {
        const char* name;
        ValueKind target;
        int64_t fromLong8;
        double fromReal;
        int64_t expectedFromLong8;
        int64_t expectedFromReal;
    };
    const Row rows[] = {
        {"byte high", ValueKind::Byte, 1000, 1000.5, 127, 127},
        {"byte low", ValueKind::Byte, -1000, -1000.5, -128, -128},
        {"byte inside", ValueKind::Byte, -128, 126.9, -128, 126},
        {"word high", ValueKind::Word, 40000, 32767.9, 32767, 32767},
        {"word low", ValueKind::Word, -40000, -32768.5, -32768, -32768},
        {"long high", ValueKind::Long, int64_t(INT32_MAX) + 1, 3e9, INT32_MAX, INT32_MAX},
        {"long low", ValueKind::Long, int64_t(INT32_MIN) - 1, -3e9, INT32_MIN, INT32_MIN},
        {"long8 from huge real", ValueKind::Long8, 5, 1e300, 5, INT64_MAX},
        {"long8 from -huge real", ValueKind::Long8, 5, -1e300, 5, INT64_MIN},
        {"long8 from -inf", ValueKind::Long8, 0, -std::numeric_limits<double>::infinity(), 0, INT64_MIN},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto value = Make(row.target);
        ASSERT_TRUE(value);
        value->FromLong8(row.fromLong8);
        EXPECT_EQ(value->GetLong8(), row.expectedFromLong8);
        value->FromReal(row.fromReal);
        EXPECT_EQ(value->GetLong8(), row.expectedFromReal);
        value->FromReal(std::nan(""));
        EXPECT_EQ(value->GetLong8(), 0);
    }
}

TEST(VNumberValues, FromStringReadsTheText)
{
    struct Row {
        ValueKind kind;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {ValueKind::Long, "42", "42"},
        {ValueKind::Long, "-17", "-17"},
        {ValueKind::Long8, "9000000000", "9000000000"},
        {ValueKind::Word, "-300", "-300"},
        {ValueKind::Byte, "300", "127"},
        {ValueKind::Word, "40000", "32767"},
        {ValueKind::Long, "3000000000", "2147483647"},
        {ValueKind::Long, "-3000000000", "-2147483648"},
        {ValueKind::Real, "2.5", "2.5"},
        {ValueKind::Boolean, "true", "true"},
        {ValueKind::Boolean, "TRUE", "true"},
        {ValueKind::Boolean, "yes", "false"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        auto value = Make(row.kind);
        value->FromString(VString(row.text));
        EXPECT_EQ(TextOf(*value), row.expected);
        auto converted = Make(row.kind);  // a text attribute read into this kind
        converted->FromValue(VString(row.text));
        EXPECT_EQ(TextOf(*converted), row.expected);
    }
}

TEST(VNumberValues, FromValueConvertsAndCarriesNull)
{
    VLong target(5);
    target.FromValue(VString("42"));
    EXPECT_EQ(target.Get(), 42);
    EXPECT_FALSE(target.IsNull());

    VReal nullReal(7.5);
    nullReal.SetNull(true);
    target.FromValue(nullReal);
    EXPECT_TRUE(target.IsNull());
    EXPECT_EQ(target.Get(), 0);
    EXPECT_EQ(TextOf(target), "");

    target.Set(3);
    EXPECT_FALSE(target.IsNull());

    VString text("untouched");
    text.FromValue(nullReal);
    EXPECT_TRUE(text.IsNull());
    EXPECT_TRUE(text.IsEmpty());
    text.FromValue(VLong8(-12));
    EXPECT_FALSE(text.IsNull());
    EXPECT_EQ(to_string(text), "-12");
    text.FromValue(text);  // itself: unchanged
    EXPECT_EQ(to_string(text), "-12");

    VBoolean flag;
    flag.FromValue(VReal(0.25));
    EXPECT_TRUE(flag.Get());
}

TEST(VNumberValues, ClearGivesZeroNotNull)
{
    for (ValueKind kind : {ValueKind::Boolean, ValueKind::Byte, ValueKind::Word, ValueKind::Long, ValueKind::Long8,
                           ValueKind::Real, ValueKind::String}) {
        SCOPED_TRACE(int(kind));
        auto value = Make(kind);
        ASSERT_EQ(value->GetValueKind(), kind);
        value->FromLong(9);
        value->SetNull(true);
        value->Clear();
        EXPECT_FALSE(value->IsNull());
        EXPECT_EQ(value->GetLong(), 0);
        std::unique_ptr<VValueSingle> clone(value->Clone());
        EXPECT_EQ(clone->GetValueKind(), kind);
    }
}

TEST(VNumberValues, PointerFormBytes)
{
    struct Row {
        const char* name;
        std::shared_ptr<VValueSingle> value;
        std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        {"bool true", std::make_shared<VBoolean>(true), {0x01}},
        {"bool false", std::make_shared<VBoolean>(false), {0x00}},
        {"byte -2", std::make_shared<VByte>(int8_t(-2)), {0xFE}},
        {"word 0x1234", std::make_shared<VWord>(int16_t(0x1234)), {0x34, 0x12}},
        {"long 0x01020304", std::make_shared<VLong>(0x01020304), {0x04, 0x03, 0x02, 0x01}},
        {"long -1", std::make_shared<VLong>(-1), {0xFF, 0xFF, 0xFF, 0xFF}},
        {"long8", std::make_shared<VLong8>(0x0102030405060708), {8, 7, 6, 5, 4, 3, 2, 1}},
        {"real 1.0", std::make_shared<VReal>(1.0), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {"string ab", std::make_shared<VString>("ab"), {2, 0, 0, 0, 'a', 0, 'b', 0}},
        {"string empty", std::make_shared<VString>(""), {0, 0, 0, 0}},
        {"string e-acute", std::make_shared<VString>(u"\u00E9"), {1, 0, 0, 0, 0xE9, 0x00}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = PointerForm(*row.value);
        EXPECT_EQ(bytes, row.bytes);
        EXPECT_EQ(VValueFactory::GetStoredSpace(row.value->GetValueKind(), bytes.data()), bytes.size());

        // Read back from an odd address: the form carries no alignment.
        std::vector<uint8_t> shifted(bytes.size() + 1);
        std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
        auto loaded = Make(row.value->GetValueKind());
        const void* end = loaded->LoadFromPtr(shifted.data() + 1);
        EXPECT_EQ(static_cast<const uint8_t*>(end), shifted.data() + shifted.size());
        EXPECT_EQ(TextOf(*loaded), TextOf(*row.value));
    }
}

TEST(VNumberValues, TextFormsForXmlAndJson)
{
    VString text;
    VBoolean(true).GetXMLString(text);
    EXPECT_EQ(to_string(text), "true");
    VBoolean(false).GetJSONString(text);
    EXPECT_EQ(to_string(text), "false");
    VReal(std::numeric_limits<double>::infinity()).GetXMLString(text);
    EXPECT_EQ(to_string(text), "INF");
    VReal(std::nan("")).GetJSONString(text);
    EXPECT_EQ(to_string(text), "null");
    VReal(12.0).GetXMLString(text);
    EXPECT_EQ(to_string(text), "12");
    VLong(-5).GetXMLString(text);
    EXPECT_EQ(to_string(text), "-5");

    VBoolean flag(true);
    EXPECT_TRUE(flag.FromXMLString(VString("0")));
    EXPECT_FALSE(flag.Get());
    EXPECT_FALSE(flag.FromXMLString(VString("yes")));
    EXPECT_FALSE(flag.Get());  // unchanged by a refused text

    VReal real;
    EXPECT_TRUE(real.FromXMLString(VString("2,5")));
    EXPECT_EQ(real.Get(), 2.5);
    EXPECT_FALSE(real.FromXMLString(VString("2.5abc")));
    EXPECT_EQ(real.Get(), 2.5);
}

} // namespace
} // namespace nuvo
