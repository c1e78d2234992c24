#include <bit>
#include <cmath>
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

// Every kind read as every other, and its pointer form, written and read back from an odd
// address (the form carries no alignment).
TEST(VNumberValues, ConversionsAndPointerForms)
{
    struct Row {
        const char* name; std::shared_ptr<VValueSingle> source; bool asBool; int32_t asLong; int64_t asLong8;
        double asReal; const char* asText; std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        {"byte", std::make_shared<VByte>(int8_t(-2)), true, -2, -2, -2.0, "-2", {0xFE}},
        {"word", std::make_shared<VWord>(int16_t(0x1234)), true, 4660, 4660, 4660.0, "4660", {0x34, 0x12}},
        {"long", std::make_shared<VLong>(INT32_MIN), true, INT32_MIN, INT32_MIN, -2147483648.0, "-2147483648",
         {0x00, 0x00, 0x00, 0x80}},
        {"long8 saturates high", std::make_shared<VLong8>(0x0102030405060708), true, INT32_MAX, 0x0102030405060708,
         72623859790382856.0, "72623859790382856", {8, 7, 6, 5, 4, 3, 2, 1}},
        {"long8 saturates low", std::make_shared<VLong8>(-(int64_t(1) << 40)), true, INT32_MIN, -1099511627776,
         -1099511627776.0, "-1099511627776", {0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF}},
        {"real truncates", std::make_shared<VReal>(-3.75), true, -3, -3, -3.75, "-3.75",
         {0, 0, 0, 0, 0, 0, 0x0E, 0xC0}},
        {"real 2^70 saturates", std::make_shared<VReal>(0x1p70), true, INT32_MAX, INT64_MAX, 0x1p70,
         "1.1805916207174E+21", {0, 0, 0, 0, 0, 0, 0x50, 0x44}},
        {"real NaN gives 0", std::make_shared<VReal>(std::nan("")), true, 0, 0, std::nan(""), "NAN",
         {0, 0, 0, 0, 0, 0, 0xF8, 0x7F}},
        {"bool", std::make_shared<VBoolean>(true), true, 1, 1, 1.0, "true", {0x01}},
        {"text 42", std::make_shared<VString>("42"), false, 42, 42, 42.0, "42", {2, 0, 0, 0, '4', 0, '2', 0}},
        {"text true", std::make_shared<VString>(u"tr\u00FAe"), true, 0, 0, 0.0, "tr\xC3\xBA" "e",
         {4, 0, 0, 0, 't', 0, 'r', 0, 0xFA, 0x00, 'e', 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.source->GetBoolean(), row.asBool);
        EXPECT_EQ(row.source->GetLong(), row.asLong);
        EXPECT_EQ(row.source->GetLong8(), row.asLong8);
        EXPECT_EQ(std::bit_cast<uint64_t>(row.source->GetReal()), std::bit_cast<uint64_t>(row.asReal));
        EXPECT_EQ(TextOf(*row.source), row.asText);

        std::vector<uint8_t> bytes(row.source->GetSpace() + 1, 0xEE);
        void* end = row.source->WriteToPtr(bytes.data() + 1);
        EXPECT_EQ(static_cast<uint8_t*>(end), bytes.data() + bytes.size());
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 1, bytes.end()), row.bytes);
        EXPECT_EQ(VValueFactory::GetStoredSpace(row.source->GetValueKind(), bytes.data() + 1), row.bytes.size());
        auto loaded = Make(row.source->GetValueKind());
        EXPECT_EQ(loaded->LoadFromPtr(bytes.data() + 1), bytes.data() + bytes.size());
        EXPECT_EQ(TextOf(*loaded), row.asText);
    }
}

// A wider integer, a real and a text read into an integer value all saturate at its limits; a
// text gives the same through FromString and FromValue (a string attribute read into the kind).
TEST(VNumberValues, NarrowingSaturatesAtTheTargetLimits)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Row {
        ValueKind target; int64_t long8; double real; const char* text;
        int64_t fromLong8; int64_t fromReal; const char* fromText;
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
    for (ValueKind kind : {ValueKind::Boolean, ValueKind::Byte, ValueKind::Word, ValueKind::Long, ValueKind::Long8,
                           ValueKind::Real, ValueKind::String}) {
        SCOPED_TRACE(int(kind));
        auto value = Make(kind);
        value->FromLong(9);
        value->FromValue(nullReal);
        EXPECT_TRUE(value->IsNull());
        EXPECT_EQ(value->GetLong(), 0);
        EXPECT_EQ(TextOf(*value), "");
        value->FromValue(VLong8(1));
        EXPECT_FALSE(value->IsNull()) << "a value that is not null ends it";
        EXPECT_EQ(value->GetLong(), 1);
        value->FromValue(nullReal);
        value->Clear();
        EXPECT_FALSE(value->IsNull());
        std::unique_ptr<VValueSingle> clone(value->Clone());
        EXPECT_EQ(clone->GetValueKind(), kind);
    }
    VString text("-12");
    text.FromValue(text); // itself: unchanged
    EXPECT_EQ(to_string(text), "-12");
}

TEST(VNumberValues, TextFormsForXmlAndJson)
{
    VString json, xml, nan;
    VBoolean(false).GetJSONString(json);
    VReal(std::numeric_limits<double>::infinity()).GetXMLString(xml);
    VReal(std::nan("")).GetJSONString(nan);
    EXPECT_EQ(to_string(json) + "|" + to_string(xml) + "|" + to_string(nan), "false|INF|null");

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
