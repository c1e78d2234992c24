#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Switches LC_NUMERIC to a locale whose decimal separator is a comma for one scope and restores
// the previous one. Uses an installed locale when there is one, else compiles de_DE into a
// temporary folder with localedef and points LOCPATH at it.
class StCommaDecimalLocale {
public:
    StCommaDecimalLocale() : fPrevious(std::setlocale(LC_NUMERIC, nullptr))
    {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"}) {
            if (_TrySet(name))
                return;
        }
        fFolder.emplace();
        const std::string target = *fFolder / "de_DE.UTF-8";
        const std::string command = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
        (void)std::system(command.c_str());
        std::error_code error;
        if (!std::filesystem::exists(target, error))
            return;
        fLocPath.emplace("LOCPATH", fFolder->Path());
        _TrySet("de_DE.UTF-8");
    }
    ~StCommaDecimalLocale() { std::setlocale(LC_NUMERIC, fPrevious.c_str()); }
    StCommaDecimalLocale(const StCommaDecimalLocale&) = delete;
    StCommaDecimalLocale& operator=(const StCommaDecimalLocale&) = delete;

    bool IsActive() const { return fActive; }

private:
    bool _TrySet(const char* name)
    {
        if (std::setlocale(LC_NUMERIC, name) != nullptr && std::string(std::localeconv()->decimal_point) == ",")
            fActive = true;
        else
            std::setlocale(LC_NUMERIC, fPrevious.c_str());
        return fActive;
    }

    std::string fPrevious;
    std::optional<test::StTempFolder> fFolder;
    std::optional<test::StEnvVar> fLocPath;
    bool fActive = false;
};

#define SKIP_WITHOUT_COMMA_LOCALE(guard)                                                          \
    if (!(guard).IsActive())                                                                      \
    GTEST_SKIP() << "no locale with a comma decimal separator is installed and localedef could " \
                    "not build one"

struct TextRow {
    const char* name;
    std::function<void(VString&)> run;
    std::u16string expected;
};

void RunRows(const std::vector<TextRow>& rows, const char* initial = "junk")
{
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.name);
        VString text(initial);
        row.run(text);
        EXPECT_EQ(Units(text), row.expected);
    }
}

TEST(VNumberText, DecimalIntegers)
{
    const std::vector<TextRow> rows = {
        {"long zero", [](VString& s) { s.FromLong(0); }, u"0"},
        {"long one digit", [](VString& s) { s.FromLong(7); }, u"7"},
        {"long negative", [](VString& s) { s.FromLong(-7); }, u"-7"},
        {"long ten", [](VString& s) { s.FromLong(10); }, u"10"},
        {"long million", [](VString& s) { s.FromLong(1000000); }, u"1000000"},
        {"long max", [](VString& s) { s.FromLong(INT32_MAX); }, u"2147483647"},
        {"long min", [](VString& s) { s.FromLong(INT32_MIN); }, u"-2147483648"},
        {"long8 min", [](VString& s) { s.FromLong8(INT64_MIN); }, u"-9223372036854775808"},
        {"long8 max", [](VString& s) { s.FromLong8(INT64_MAX); }, u"9223372036854775807"},
        {"long8 minus one", [](VString& s) { s.FromLong8(-1); }, u"-1"},
        {"ulong8 max", [](VString& s) { s.FromULong8(UINT64_MAX); }, u"18446744073709551615"},
        {"ulong8 zero", [](VString& s) { s.FromULong8(0); }, u"0"},
        {"byte min", [](VString& s) { s.FromByte(INT8_MIN); }, u"-128"},
        {"byte max", [](VString& s) { s.FromByte(INT8_MAX); }, u"127"},
        {"word min", [](VString& s) { s.FromWord(INT16_MIN); }, u"-32768"},
        {"word max", [](VString& s) { s.FromWord(INT16_MAX); }, u"32767"},
        {"append long", [](VString& s) { s.AppendLong(-5); }, u"junk-5"},
        {"append long8 min", [](VString& s) { s.AppendLong8(INT64_MIN); }, u"junk-9223372036854775808"},
        {"append ulong8", [](VString& s) { s.AppendULong8(42); }, u"junk42"},
        {"append real", [](VString& s) { s.AppendReal(0.25); }, u"junk0.25"},
        {"boolean true", [](VString& s) { s.FromBoolean(true); }, u"true"},
        {"boolean false", [](VString& s) { s.FromBoolean(false); }, u"false"},
    };
    RunRows(rows);
}

TEST(VNumberText, FreeToStringFunctions)
{
    EXPECT_EQ(Units(ToString(-12)), u"-12");
    EXPECT_EQ(Units(ToString(INT32_MIN)), u"-2147483648");
    EXPECT_EQ(Units(ToString(static_cast<long long>(INT64_MIN))), u"-9223372036854775808");
    EXPECT_EQ(Units(ToString(18446744073709551615ULL)), u"18446744073709551615");
    EXPECT_EQ(Units(ToString(42UL)), u"42");
}

TEST(VNumberText, RealsUseFourteenSignificantDigits)
{
    const std::vector<TextRow> rows = {
        {"one tenth", [](VString& s) { s.FromReal(0.1); }, u"0.1"},
        {"1e20", [](VString& s) { s.FromReal(1e20); }, u"1E+20"},
        {"zero", [](VString& s) { s.FromReal(0.0); }, u"0"},
        {"negative", [](VString& s) { s.FromReal(-2.5); }, u"-2.5"},
        {"one third", [](VString& s) { s.FromReal(1.0 / 3.0); }, u"0.33333333333333"},
        {"two thirds rounds", [](VString& s) { s.FromReal(2.0 / 3.0); }, u"0.66666666666667"},
        {"largest plain", [](VString& s) { s.FromReal(1e13); }, u"10000000000000"},
        {"first exponent", [](VString& s) { s.FromReal(1e14); }, u"1E+14"},
        {"smallest plain", [](VString& s) { s.FromReal(0.0001); }, u"0.0001"},
        {"small exponent", [](VString& s) { s.FromReal(0.00001); }, u"1E-05"},
        {"infinity", [](VString& s) { s.FromReal(kInfinity); }, u"INF"},
        {"minus infinity", [](VString& s) { s.FromReal(-kInfinity); }, u"-INF"},
        {"nan", [](VString& s) { s.FromReal(kNaN); }, u"NAN"},
    };
    RunRows(rows);
}

TEST(VNumberText, Hexadecimal)
{
    const std::vector<TextRow> rows = {
        {"255 padded", [](VString& s) { s.FromHexLong(uint32_t(255), true); }, u"00FF"},
        {"255 plain", [](VString& s) { s.FromHexLong(uint32_t(255), false); }, u"FF"},
        {"five digits padded to eight", [](VString& s) { s.FromHexLong(uint32_t(0x12345), true); }, u"00012345"},
        {"zero padded", [](VString& s) { s.FromHexLong(uint32_t(0), true); }, u"0000"},
        {"zero plain", [](VString& s) { s.FromHexLong(uint32_t(0), false); }, u"0"},
        {"four digits padded", [](VString& s) { s.FromHexLong(uint32_t(0xFFFF), true); }, u"FFFF"},
        {"eight digits padded", [](VString& s) { s.FromHexLong(uint32_t(0xFFFFFFFF), true); }, u"FFFFFFFF"},
        {"nine digits padded to sixteen", [](VString& s) { s.FromHexLong(uint64_t(0x123456789), true); },
         u"0000000123456789"},
        {"nine digits plain", [](VString& s) { s.FromHexLong(uint64_t(0x123456789), false); }, u"123456789"},
        {"lower-case digits come out upper", [](VString& s) { s.FromHexLong(uint64_t(0xabcdef), false); },
         u"ABCDEF"},
        {"signed byte minus one", [](VString& s) { s.FromHexLong(int8_t(-1), false); }, u"FF"},
        {"signed byte padded", [](VString& s) { s.FromHexLong(int8_t(-1), true); }, u"00FF"},
        {"unsigned byte", [](VString& s) { s.FromHexLong(uint8_t(0xAB), false); }, u"AB"},
        {"signed long minus one", [](VString& s) { s.FromHexLong(int32_t(-1), false); }, u"FFFFFFFF"},
        {"signed long8 minus one", [](VString& s) { s.FromHexLong(int64_t(-1), false); }, u"FFFFFFFFFFFFFFFF"},
        {"long8 min padded", [](VString& s) { s.FromHexLong(INT64_MIN, true); }, u"8000000000000000"},
    };
    RunRows(rows);
}

TEST(VNumberText, FourCharacterCodes)
{
    const std::vector<TextRow> rows = {
        {"ascii", [](VString& s) { s.FromOsType(MakeOsType("TEXT")); }, u"TEXT"},
        {"trailing zeros dropped", [](VString& s) { s.FromOsType(0x61620000); }, u"ab"},
        {"zero", [](VString& s) { s.FromOsType(0); }, u""},
        {"space kept", [](VString& s) { s.FromOsType(MakeOsType("str ")); }, u"str "},
        {"utf-8 sequence", [](VString& s) { s.FromOsType(0xC3A94142); }, u"\u00E9AB"},
        {"append", [](VString& s) { s.AppendOsType(MakeOsType("nuvo")); }, u"junknuvo"},
    };
    RunRows(rows);
    EXPECT_EQ(Units(VOsTypeString(MakeOsType("UPQZ"))), u"UPQZ");

    struct Row {
        const char* text;
        OsType expected;
    };
    const Row reads[] = {
        {"TEXT", 0x54455854}, {"ab", 0x61620000}, {"", 0}, {"toolong", 0}, {"\xC3\xA9", 0xC3A90000},
        {"\xC3\xA9" "AB", 0xC3A94142}, {"\xC3\xA9\xC3\xA9\xC3\xA9", 0},
    };
    for (const Row& row : reads) {
        SCOPED_TRACE(row.text);
        VString text;
        text.FromCString(row.text);
        EXPECT_EQ(text.GetOsType(), row.expected);
    }
}

TEST(VNumberText, ReadingIntegers)
{
    struct Row {
        const char16_t* text;
        int64_t long8;
        int32_t long4;
        int16_t word;
    };
    const Row rows[] = {
        {u"", 0, 0, 0},
        {u"12a3", 123, 123, 123},
        {u"-5", -5, -5, -5},
        {u"5-", 5, 5, 5},
        {u"1.9", 1, 1, 1},
        {u"1,9", 19, 19, 19},
        {u"  42 ", 42, 42, 42},
        {u"-", 0, 0, 0},
        {u"a-b7", -7, -7, -7},
        {u"--3", -3, -3, -3},
        {u".5", 0, 0, 0},
        {u"\u0661\u0662", 0, 0, 0},   // Arabic-Indic digits are not read
        {u"32767", 32767, 32767, 32767},
        {u"32768", 32768, 32768, 0},
        {u"-32768", -32768, -32768, -32768},
        {u"-32769", -32769, -32769, 0},
        {u"2147483647", 2147483647, 2147483647, 0},
        {u"2147483648", 2147483648LL, 0, 0},
        {u"3000000000", 3000000000LL, 0, 0},
        {u"-2147483648", -2147483648LL, INT32_MIN, 0},
        {u"-2147483649", -2147483649LL, 0, 0},
        {u"9223372036854775807", INT64_MAX, 0, 0},
        {u"-9223372036854775808", INT64_MIN, 0, 0},
    };
    for (const Row& row : rows) {
        VString text(row.text);
        SCOPED_TRACE(to_string(text));
        EXPECT_EQ(text.GetLong8(), row.long8);
        EXPECT_EQ(text.GetLong(), row.long4);
        EXPECT_EQ(text.GetWord(), row.word);
    }
}

TEST(VNumberText, ReadingHexadecimal)
{
    struct Row {
        const char* text;
        uint64_t expected;
    };
    const Row rows[] = {
        {"FF", 0xFF}, {"ff", 0xFF}, {"0x1F", 0x1F}, {"12 34", 0x1234}, {"", 0}, {"ghij", 0},
        {"FFFFFFFFFFFFFFFF", UINT64_MAX}, {"aBc", 0xABC},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(VString(row.text).GetHexLong(), row.expected);
    }
}

TEST(VNumberText, ReadingBooleans)
{
    struct Row {
        const char16_t* text;
        bool expected;
    };
    const Row rows[] = {
        {u"true", true}, {u"TRUE", true}, {u"True", true}, {u"tr\u00FAe", true},
        {u"false", false}, {u"", false}, {u"1", false}, {u"truex", false}, {u" true", false},
    };
    for (const Row& row : rows) {
        VString text(row.text);
        SCOPED_TRACE(to_string(text));
        EXPECT_EQ(text.GetBoolean(), row.expected);
    }
}

TEST(VNumberText, ReadingReals)
{
    struct Row {
        const char* text;
        double expected;
        bool overflow;
    };
    const Row rows[] = {
        {"1.5", 1.5, false},
        {"  2.5e3", 2500.0, false},
        {"-0.25", -0.25, false},
        {"1,5", 1.0, false},
        {"abc", 0.0, false},
        {"", 0.0, false},
        {"0", 0.0, false},
        {"7 apples", 7.0, false},
        {"1e400", kInfinity, true},
        {"-1e400", -kInfinity, true},
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

TEST(VNumberText, ReadingRealsIgnoresTheProcessDecimalComma)
{
    StCommaDecimalLocale comma;
    SKIP_WITHOUT_COMMA_LOCALE(comma);
    // The guard is real: the C library now reads a comma.
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5);
    EXPECT_EQ(VString("1.5").GetReal(), 1.5);
    EXPECT_EQ(VString("-12.75").GetReal(), -12.75);
    double value = 0;
    EXPECT_TRUE(RealFromXMLString(VString("2.5"), value));
    EXPECT_EQ(value, 2.5);
}

TEST(RealText, XMLAndJSONForms)
{
    struct Row {
        const char* name;
        double value;
        const char16_t* xml;
        const char16_t* json;
    };
    const Row rows[] = {
        {"zero", 0.0, u"0", u"0"},
        {"negative zero", -0.0, u"0", u"0"},
        {"whole", 42.0, u"42", u"42"},
        {"negative whole", -3.0, u"-3", u"-3"},
        {"largest exact whole", 9007199254740991.0, u"9007199254740991", u"9007199254740991"},
        {"2^53 is no longer written whole", 9007199254740992.0, u"9.007199254741E+15", u"9.007199254741E+15"},
        {"-2^53", -9007199254740992.0, u"-9.007199254741E+15", u"-9.007199254741E+15"},
        {"fraction", 0.5, u"0.5", u"0.5"},
        {"negative fraction", -0.1, u"-0.1", u"-0.1"},
        {"big", 1e20, u"1E+20", u"1E+20"},
        {"small", 1.25e-7, u"1.25E-07", u"1.25E-07"},
        {"nan", kNaN, u"NaN", u"null"},
        {"infinity", kInfinity, u"INF", u"null"},
        {"minus infinity", -kInfinity, u"-INF", u"null"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString xml("junk");
        RealToXMLString(row.value, xml);
        EXPECT_EQ(Units(xml), row.xml);
        VString json("junk");
        RealToJSONString(row.value, json);
        EXPECT_EQ(Units(json), row.json);
    }
}

TEST(RealText, WrittenFormsUseAPeriodUnderADecimalComma)
{
    StCommaDecimalLocale comma;
    SKIP_WITHOUT_COMMA_LOCALE(comma);
    VString xml;
    RealToXMLString(1.5, xml);
    EXPECT_EQ(Units(xml), u"1.5");
    VString json;
    RealToJSONString(-0.25, json);
    EXPECT_EQ(Units(json), u"-0.25");
}

TEST(RealText, ReadingTheXMLForm)
{
    struct Row {
        const char* name;
        std::string text;
        bool accepted;
        double expected;
    };
    const Row rows[] = {
        {"period", "1.5", true, 1.5},
        {"comma", "1,5", true, 1.5},
        {"whole", "42", true, 42.0},
        {"exponent", "1E+20", true, 1e20},
        {"negative", "-0.25", true, -0.25},
        {"infinity", "INF", true, kInfinity},
        {"minus infinity", "-INF", true, -kInfinity},
        {"empty", "", false, 0},
        {"letters", "abc", false, 0},
        {"trailing letters", "1.5x", false, 0},
        {"two separators", "1,5,0", false, 0},
        {"longest accepted", std::string(253, '0') + "7", true, 7.0},
        {"one byte too long", std::string(254, '0') + "7", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        double value = -99.0;
        EXPECT_EQ(RealFromXMLString(VString(row.text.c_str()), value), row.accepted);
        EXPECT_EQ(value, row.accepted ? row.expected : -99.0);
    }
    double value = 0;
    ASSERT_TRUE(RealFromXMLString(VString("NaN"), value));
    EXPECT_TRUE(std::isnan(value));
}

TEST(VNumberText, UTF8FormOfStrings)
{
    struct Row {
        const char* name;
        const char16_t* text;
        std::string expected;
    };
    const Row rows[] = {
        {"empty", u"", ""},
        {"ascii", u"abc", "abc"},
        {"two-byte", u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
        {"three-byte", u"\u20AC", "\xE2\x82\xAC"},
        {"surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(to_string(VString(row.text)), row.expected);
    }
}

} // namespace
} // namespace nuvo
