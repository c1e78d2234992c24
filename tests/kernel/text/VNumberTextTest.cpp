#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

#include "kernel/text/RealText.h"
#include "kernel/text/VOsTypeString.h"
#include "kernel/text/VString.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

std::u16string Units(const VString& text)
{
    return std::u16string(text.GetCPointer(), size_t(text.GetLength()));
}

// The text of a string that held "junk" after edit.
template <class Edit> std::u16string Edited(Edit edit)
{
    VString text("junk");
    edit(text);
    return Units(text);
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Switches LC_NUMERIC to a locale whose decimal separator is a comma for one scope and restores
// the previous one. Uses an installed locale when there is one, else compiles de_DE into a
// temporary folder with localedef and points LOCPATH at it.
class StCommaDecimalLocale {
public:
    StCommaDecimalLocale() : fPrevious(std::setlocale(LC_NUMERIC, nullptr))
    {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
            if (_TrySet(name))
                return;
        }
        fFolder.emplace();
        const std::string target = *fFolder / "de_DE.UTF-8";
        (void)std::system(("localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1").c_str());
        std::error_code error;
        if (!std::filesystem::exists(target, error))
            return;
        fLocPath.emplace("LOCPATH", fFolder->Path());
        _TrySet("de_DE.UTF-8");
    }
    ~StCommaDecimalLocale() { std::setlocale(LC_NUMERIC, fPrevious.c_str()); }
    bool IsActive() const { return fActive; }

private:
    bool _TrySet(const char* name)
    {
        fActive = std::setlocale(LC_NUMERIC, name) != nullptr && std::string(std::localeconv()->decimal_point) == ",";
        if (!fActive)
            std::setlocale(LC_NUMERIC, fPrevious.c_str());
        return fActive;
    }

    std::string fPrevious;
    std::optional<test::StTempFolder> fFolder;
    std::optional<test::StEnvVar> fLocPath;
    bool fActive = false;
};

TEST(VNumberText, DecimalIntegers)
{
    struct Row { int64_t value; const char16_t* text; };
    const Row rows[] = {
        {0, u"0"}, {7, u"7"}, {-7, u"-7"}, {10, u"10"}, {INT32_MAX, u"2147483647"}, {INT32_MIN, u"-2147483648"},
        {INT64_MAX, u"9223372036854775807"}, {INT64_MIN, u"-9223372036854775808"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        const std::u16string expected(row.text);
        const int64_t v = row.value;
        EXPECT_EQ(Edited([v](VString& s) { s.AppendLong8(v); }), u"junk" + expected);
        EXPECT_EQ(Edited([v](VString& s) { s.FromLong8(v); }), expected);
        EXPECT_EQ(Units(ToString(static_cast<long long>(v))), expected);
        if (v == int32_t(v)) {
            EXPECT_EQ(Edited([v](VString& s) { s.FromLong(int32_t(v)); }), expected);
            EXPECT_EQ(Edited([v](VString& s) { s.AppendLong(int32_t(v)); }), u"junk" + expected);
            EXPECT_EQ(Units(ToString(int(v))), expected);
        }
    }
    EXPECT_EQ(Edited([](VString& s) { s.FromWord(INT16_MIN); }), u"-32768");
    EXPECT_EQ(Edited([](VString& s) { s.FromByte(INT8_MIN); }), u"-128");
    EXPECT_EQ(Edited([](VString& s) { s.AppendULong8(UINT64_MAX); }), u"junk18446744073709551615");
    EXPECT_EQ(Edited([](VString& s) { s.FromULong8(UINT64_MAX); }), u"18446744073709551615");
    EXPECT_EQ(Edited([](VString& s) { s.FromBoolean(false); }), u"false");
    EXPECT_EQ(Units(ToString(42UL)), u"42");
}

TEST(VNumberText, RealsUseFourteenSignificantDigits)
{
    struct Row { double value; const char16_t* text; };
    const Row rows[] = {
        {0.1, u"0.1"}, {1e20, u"1E+20"}, {0.0, u"0"}, {-2.5, u"-2.5"}, {2.0 / 3.0, u"0.66666666666667"},
        {1e13, u"10000000000000"}, {1e14, u"1E+14"}, {0.0001, u"0.0001"}, {0.00001, u"1E-05"},
        {-kInfinity, u"-INF"}, {kNaN, u"NAN"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(Edited([&row](VString& s) { s.FromReal(row.value); }), row.text);
    }
    EXPECT_EQ(Edited([](VString& s) { s.AppendReal(-0.25); }), u"junk-0.25");
}

TEST(VNumberText, Hexadecimal)
{
    struct Row { uint64_t value; bool pad; const char16_t* text; };
    const Row rows[] = {
        {255, true, u"00FF"}, {255, false, u"FF"}, {0x12345, true, u"00012345"}, {0, true, u"0000"},
        {0, false, u"0"}, {0xFFFF, true, u"FFFF"}, {0xFFFFFFFF, true, u"FFFFFFFF"},
        {0x123456789, true, u"0000000123456789"}, {0x123456789, false, u"123456789"},
        {0xabcdef, false, u"ABCDEF"}, {0x8000000000000000, true, u"8000000000000000"},
    };
    auto hex = [](auto value, bool pad) { return Edited([&](VString& s) { s.FromHexLong(value, pad); }); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(hex(row.value, row.pad), row.text);
        if (row.value <= UINT32_MAX) {
            EXPECT_EQ(hex(uint32_t(row.value), row.pad), row.text);
        }
    }
    // Signed values are written as their unsigned bit pattern of their own width.
    EXPECT_EQ(hex(int8_t(-1), true), u"00FF");
    EXPECT_EQ(hex(uint8_t(0xAB), false), u"AB");
    EXPECT_EQ(hex(int32_t(-1), false), u"FFFFFFFF");
    EXPECT_EQ(hex(int64_t(-1), false), u"FFFFFFFFFFFFFFFF");
}

TEST(VNumberText, FourCharacterCodes)
{
    struct Row { OsType code; const char16_t* text; };
    const Row writes[] = {
        {MakeOsType("TEXT"), u"TEXT"}, {0x61620000, u"ab"}, {0, u""}, {MakeOsType("str "), u"str "},
        {0xC3A94142, u"\u00E9AB"},
    };
    for (const Row& row : writes) {
        SCOPED_TRACE(row.code);
        VString text("junk");
        text.FromOsType(row.code);
        EXPECT_EQ(Units(text), row.text);
        EXPECT_EQ(text.GetOsType(), row.code);
    }
    EXPECT_EQ(Edited([](VString& s) { s.AppendOsType(0xC3A94100); }), u"junk\u00E9A");
    EXPECT_EQ(Units(VOsTypeString(MakeOsType("UPQZ"))), u"UPQZ");
    for (const char* tooLong : {"toolong", "\xC3\xA9\xC3\xA9\xC3\xA9"})
        EXPECT_EQ(VString(tooLong).GetOsType(), 0u) << tooLong;
}

TEST(VNumberText, ReadingIntegers)
{
    struct Row { const char16_t* text; int64_t long8; int32_t long4; int16_t word; };
    const Row rows[] = {
        {u"", 0, 0, 0}, {u"12a3", 123, 123, 123}, {u"-5", -5, -5, -5}, {u"5-", 5, 5, 5}, {u"1.9", 1, 1, 1},
        {u"1,9", 19, 19, 19}, {u"a-b7", -7, -7, -7}, {u".5", 0, 0, 0},
        {u"\u0661\u0662", 0, 0, 0},  // Arabic-Indic digits are not read
        {u"32767", 32767, 32767, 32767}, {u"32768", 32768, 32768, 0}, {u"-32768", -32768, -32768, -32768},
        {u"-32769", -32769, -32769, 0}, {u"2147483647", 2147483647, 2147483647, 0}, {u"3000000000", 3000000000LL, 0, 0},
        {u"-2147483648", -2147483648LL, INT32_MIN, 0}, {u"-2147483649", -2147483649LL, 0, 0},
        {u"9223372036854775807", INT64_MAX, 0, 0}, {u"-9223372036854775808", INT64_MIN, 0, 0},
    };
    for (const Row& row : rows) {
        VString text(row.text);
        SCOPED_TRACE(to_string(text));
        EXPECT_EQ(text.GetLong8(), row.long8);
        EXPECT_EQ(text.GetLong(), row.long4);
        EXPECT_EQ(text.GetWord(), row.word);
    }
}

TEST(VNumberText, ReadingHexadecimalAndBooleans)
{
    struct HexRow { const char* text; uint64_t expected; };
    for (const HexRow& row : {HexRow{"ff", 0xFF}, HexRow{"0x1F", 0x1F}, HexRow{"12 34", 0x1234}, HexRow{"ghij", 0},
                              HexRow{"FFFFFFFFFFFFFFFF", UINT64_MAX}, HexRow{"aBc", 0xABC}})
        EXPECT_EQ(VString(row.text).GetHexLong(), row.expected) << row.text;

    for (const char16_t* text : {u"true", u"TRUE", u"tr\u00FAe"})
        EXPECT_TRUE(VString(text).GetBoolean()) << to_string(VString(text));
    for (const char16_t* text : {u"false", u"", u"1", u"truex", u" true"})
        EXPECT_FALSE(VString(text).GetBoolean()) << to_string(VString(text));
}

TEST(VNumberText, ReadingReals)
{
    struct Row { const char* text; double expected; bool overflow; };
    const Row rows[] = {
        {"1.5", 1.5, false}, {"  2.5e3", 2500.0, false}, {"1,5", 1.0, false}, {"abc", 0.0, false},
        {"0", 0.0, false}, {"7 apples", 7.0, false}, {"1e400", kInfinity, true}, {"-1e400", -kInfinity, true},
        {"1e-400", 0.0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        VString text(row.text);
        bool overflow = !row.overflow;
        EXPECT_EQ(text.GetRealCheckOverflow(&overflow), row.expected);
        EXPECT_EQ(overflow, row.overflow);
        EXPECT_EQ(text.GetReal(), row.expected);
    }
}

TEST(RealText, XMLAndJSONForms)
{
    struct Row { double value; const char16_t* xml; const char16_t* json; };
    const Row rows[] = {
        {0.0, u"0", u"0"}, {-0.0, u"0", u"0"}, {-3.0, u"-3", u"-3"}, {-0.1, u"-0.1", u"-0.1"},
        {9007199254740991.0, u"9007199254740991", u"9007199254740991"},  // 2^53 - 1
        {9007199254740992.0, u"9.007199254741E+15", u"9.007199254741E+15"},
        {-9007199254740992.0, u"-9.007199254741E+15", u"-9.007199254741E+15"},
        {1.25e-7, u"1.25E-07", u"1.25E-07"}, {kNaN, u"NaN", u"null"}, {kInfinity, u"INF", u"null"},
        {-kInfinity, u"-INF", u"null"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        VString xml("junk"), json("junk");
        RealToXMLString(row.value, xml);
        EXPECT_EQ(Units(xml), row.xml);
        RealToJSONString(row.value, json);
        EXPECT_EQ(Units(json), row.json);
    }
}

TEST(RealText, ReadingTheXMLForm)
{
    struct Row { std::string text; bool accepted; double expected; };
    const Row rows[] = {
        {"1.5", true, 1.5}, {"1,5", true, 1.5}, {"1E+20", true, 1e20}, {"-INF", true, -kInfinity},
        {"", false, 0}, {"1.5x", false, 0}, {"1,5,0", false, 0},
        {std::string(253, '0') + "7", true, 7.0}, {std::string(254, '0') + "7", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        double value = -99.0;
        EXPECT_EQ(RealFromXMLString(VString(row.text.c_str()), value), row.accepted);
        EXPECT_EQ(value, row.accepted ? row.expected : -99.0);
    }
    double value = 0;
    ASSERT_TRUE(RealFromXMLString(VString("NaN"), value));
    EXPECT_TRUE(std::isnan(value));
}

// Reading always takes a period; the XML and JSON forms always write one.
TEST(RealText, ThePeriodHoldsUnderAProcessDecimalComma)
{
    StCommaDecimalLocale comma;
    if (!comma.IsActive())
        GTEST_SKIP() << "no locale with a comma decimal separator is installed and localedef could not build one";
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5);  // the guard is real
    EXPECT_EQ(VString("1.5").GetReal(), 1.5);
    EXPECT_EQ(VString("-12.75").GetReal(), -12.75);
    double value = 0;
    EXPECT_TRUE(RealFromXMLString(VString("2.5"), value));
    EXPECT_EQ(value, 2.5);
    VString text;
    RealToXMLString(1.5, text);
    EXPECT_EQ(Units(text), u"1.5");
    RealToJSONString(-0.25, text);
    EXPECT_EQ(Units(text), u"-0.25");
}

TEST(VNumberText, UTF8FormOfStrings)
{
    EXPECT_EQ(to_string(VString(u"")), "");
    EXPECT_EQ(to_string(VString(u"\u00E9t\u20AC\U0001F600")), "\xC3\xA9t\xE2\x82\xAC\xF0\x9F\x98\x80");
}

} // namespace
} // namespace nuvo
