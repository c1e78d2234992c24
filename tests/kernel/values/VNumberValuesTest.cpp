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

// A wider integer, a real and a text read into an integer value all saturate at its limits; a
// text gives the same through FromString and FromValue (a string attribute read into the kind).
TEST(VNumberValues, NarrowingSaturatesAtTheTargetLimits)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Row {
        ValueKind target;
        int64_t long8;
        double real;
        const char* text;
        int64_t fromLong8;
        int64_t fromReal;
        const char* fromText;
    };
    const Row rows[] = {
        {ValueKind::Byte, 1000, 1000.5, "300", 127, 127, "127"},
        {ValueKind::Byte, -1000, -1000.5, "-300", -128, -128, "-128"},
        {ValueKind::Word, 40000, 32767.9, "40000", 32767, 32767, "32767"},
        {ValueKind::Word, -40000, -32768.5, "-300", -32768, -32768, "-300"},
        {ValueKind::Long, int64_t(INT32_MAX) + 1, 3e9, "3000000000", INT32_MAX, INT32_MAX, "2147483647"},
        {ValueKind::Long, int64_t(INT32_MIN) - 1, -3e9, "-3000000000", INT32_MIN, INT32_MIN, "-2147483648"},
        {ValueKind::Long8, 5, 1e300, "9000000000", 5, INT64_MAX, "9000000000"},
        {ValueKind::Long8, 0, -kInf, "-17", 0, INT64_MIN, "-17"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        auto value = Make(row.target);
        value->FromLong8(row.long8);
        EXPECT_EQ(value->GetLong8(), row.fromLong8);
        value->FromReal(row.real);
        EXPECT_EQ(value->GetLong8(), row.fromReal);
        value->FromReal(std::nan(""));
        EXPECT_EQ(value->GetLong8(), 0);
        value->FromString(VString(row.text));
        EXPECT_EQ(TextOf(*value), row.fromText);
        value->FromLong8(1);
        value->FromValue(VString(row.text));
        EXPECT_EQ(TextOf(*value), row.fromText);
    }
    VReal real;
    real.FromString(VString("2.5"));
    EXPECT_EQ(real.Get(), 2.5);
    VBoolean flag;
    flag.FromString(VString("TRUE"));
    EXPECT_TRUE(flag.Get());
    flag.FromString(VString("yes"));
    EXPECT_FALSE(flag.Get());
}

TEST(VNumberValues, NullTravelsThroughFromValueAndClearEndsIt)
{
    VReal nullReal(7.5);
    nullReal.SetNull(true);
    VString text("untouched");
    text.FromValue(nullReal);
    EXPECT_TRUE(text.IsNull());
    EXPECT_TRUE(text.IsEmpty());
    text.FromValue(VLong8(-12));
    EXPECT_FALSE(text.IsNull());
    text.FromValue(text);  // itself: unchanged
    EXPECT_EQ(to_string(text), "-12");

    for (ValueKind kind : {ValueKind::Boolean, ValueKind::Byte, ValueKind::Word, ValueKind::Long, ValueKind::Long8,
                           ValueKind::Real, ValueKind::String}) {
        SCOPED_TRACE(int(kind));
        auto value = Make(kind);
        value->FromLong(9);
        value->FromValue(nullReal);
        EXPECT_TRUE(value->IsNull());
        EXPECT_EQ(value->GetLong(), 0);
        EXPECT_EQ(TextOf(*value), "");
        value->Clear();
        EXPECT_FALSE(value->IsNull());
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
        {"byte -2", std::make_shared<VByte>(int8_t(-2)), {0xFE}},
        {"word 0x1234", std::make_shared<VWord>(int16_t(0x1234)), {0x34, 0x12}},
        {"long 0x01020304", std::make_shared<VLong>(0x01020304), {0x04, 0x03, 0x02, 0x01}},
        {"long8", std::make_shared<VLong8>(0x0102030405060708), {8, 7, 6, 5, 4, 3, 2, 1}},
        {"real 1.0", std::make_shared<VReal>(1.0), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {"string ab", std::make_shared<VString>("ab"), {2, 0, 0, 0, 'a', 0, 'b', 0}},
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
    VBoolean(false).GetJSONString(text);
    EXPECT_EQ(to_string(text), "false");
    VReal(std::numeric_limits<double>::infinity()).GetXMLString(text);
    EXPECT_EQ(to_string(text), "INF");
    VReal(std::nan("")).GetJSONString(text);
    EXPECT_EQ(to_string(text), "null");

    VBoolean flag(true);
    EXPECT_TRUE(flag.FromXMLString(VString("0")));
    EXPECT_FALSE(flag.Get());
    flag.Set(true);
    EXPECT_FALSE(flag.FromXMLString(VString("yes")));
    EXPECT_TRUE(flag.Get());  // unchanged by a refused text
    VReal real;
    EXPECT_TRUE(real.FromXMLString(VString("2,5")));
    EXPECT_FALSE(real.FromXMLString(VString("2.5abc")));
    EXPECT_EQ(real.Get(), 2.5);
}

} // namespace
} // namespace nuvo
