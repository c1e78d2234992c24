#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "kernel/text/VString.h"
#include "kernel/text/VTextConverters.h"

using namespace nuvo;

namespace {

TEST(CharSetNames, NameLookupsIgnoreCaseAndTakeTheFirstRow)
{
    struct Row { const char* name; int set; int mib; } rows[] = {
        {"utf-8", 7, 106}, {"UTF-8", 7, 106}, {"latin1", 1005, 4}, {"LATIN1", 1005, 4},
        {"x-mac-ce", 102, 1250},           // the second name of 102 comes before the row of 114
        {"MacCE", 102, 1250},
        {"x-mac-chinesesimp", 1016, 2025}, // GB2312's third name, before set 116's own row
        {"ucs4be", 3, 1018}, {"UCS-4LE", 4, 1019}, {"utf-32", 4, 1017}, {"UTF-16", 2, 1015},
        {"utf-16le", 2, 1014}, {"UTF-16BE", 1, 1013}, {"unicode-1-1-utf-7", 8, 103},
        {"ISO_646.irv:1991", 9, 3}, {"437", 11, 2011}, {"IBM037", 10, 2028}, {"csmacintosh", 100, 2027},
        {"shift-jis", 1000, 17}, {"csWindows31J", 1019, 2024}, {"Latin-9", 1018, 111},
        {"GB_2312-80", 1017, 57}, {"windows-936", 117, 113},
        {"ISO-8859-10:1992", 0, 0},       // the alias is ISO_8859-10:1992
        {"UTF8", 0, 0}, {"utf-8 ", 0, 0}, {"unknown-set", 0, 0}, {"", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString name(row.name);
        EXPECT_EQ(VTextConverters::GetCharSetFromName(name), CharSet(row.set));
        EXPECT_EQ(VTextConverters::GetMIBEnumFromName(name), row.mib);
    }
}

TEST(CharSetNames, NonASCIINamesGoThroughTheLocalizedComparison)
{
    // "látin1" equals "latin1" when diacritics are ignored.
    EXPECT_EQ(VTextConverters::GetCharSetFromName(VString(u"l\u00E1tin1")), CharSet::ISO8859_1);
    EXPECT_EQ(VTextConverters::GetCharSetFromName(VString(u"\u00FCnknown")), CharSet::Unknown);
}

TEST(CharSetNames, CanonicalNameAndMIBOfEachSet)
{
    struct Row { int set; const char* name; int mib; } rows[] = {
        {4, "UCS4", 1017},      {3, "UCS4BE", 1018},     {2, "UTF-16", 1015},     {1, "UTF-16BE", 1013},
        {7, "UTF-8", 106},      {8, "UTF-7", 1012},      {9, "US-ASCII", 3},      {11, "IBM437", 2011},
        {10, "ebcdic-cp-us", 2028}, {100, "MacRoman", 2027}, {101, "windows-1252", 2252},
        {102, "MacCE", 1250},   {114, "x-mac-ce", 1257}, {115, "windows-1257", 2257},
        {116, "x-mac-chinesesimp", 2025}, {117, "GBK", 113}, {120, "x-mac-japanese", 1258},
        {1000, "Shift_JIS", 17}, {1001, "ISO-2022-JP", 39}, {1005, "ISO-8859-1", 4},
        {1014, "ISO-8859-10", 13}, {1015, "ISO-8859-13", 109}, {1016, "GB2312", 2025},
        {1017, "GB_2312-80", 57}, {1018, "ISO-8859-15", 111}, {1019, "Windows-31J", 2024},
        {0, "", 0}, {-2, "", 0}, {5, "", 0}, {6, "", 0}, {999, "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.set);
        VString name("placeholder");
        EXPECT_EQ(VTextConverters::GetNameFromCharSet(CharSet(row.set), name), row.name[0] != 0);
        EXPECT_EQ(to_string(name), row.name);
        EXPECT_EQ(VTextConverters::GetMIBEnumFromCharSet(CharSet(row.set)), row.mib);
    }
}

TEST(CharSetNames, MIBLookupsTakeTheFirstRow)
{
    struct Row { int mib; int set; const char* name; } rows[] = {
        {106, 7, "UTF-8"},   {4, 1005, "ISO-8859-1"}, {1019, 4, "UCS4LE"}, {1017, 4, "UCS4"},
        {2025, 1016, "GB2312"}, {103, 8, "UNICODE-1-1-UTF-7"}, {3, 9, "US-ASCII"},
        {1257, 114, "x-mac-ce"}, {0, 0, ""}, {-1, 0, ""}, {99999, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mib);
        EXPECT_EQ(VTextConverters::GetCharSetFromMIBEnum(row.mib), CharSet(row.set));
        VString name("placeholder");
        EXPECT_EQ(VTextConverters::GetNameFromMIBEnum(row.mib, name), row.name[0] != 0);
        EXPECT_EQ(to_string(name), row.name);
    }
}

TEST(CharSetNames, EnumerationListsEveryRowInOrder)
{
    std::vector<VString> names{VString("left over")};
    std::vector<CharSet> sets{CharSet::UTF8};
    VTextConverters::EnumCharsets(names, sets);
    ASSERT_EQ(names.size(), 162u);
    ASSERT_EQ(sets.size(), 162u);

    const char* top[] = {"UCS4", "UCS4BE", "UCS4LE", "UCS_4", "UCS_4BE", "UCS_4LE", "UCS-4", "UCS-4BE",
                         "UCS-4LE", "UTF-32", "UTF-32BE", "UTF-32LE", "UTF-16", "UTF-16LE", "UTF-16BE", "UTF-8"};
    const int topSets[] = {4, 3, 4, 4, 3, 4, 4, 3, 4, 4, 3, 4, 2, 2, 1, 7};
    for (size_t i = 0; i < std::size(top); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(to_string(names[i]), top[i]);
        EXPECT_EQ(sets[i], CharSet(topSets[i]));
    }
    EXPECT_EQ(to_string(names[161]), "windows-936");
    EXPECT_EQ(sets[161], CharSet::GBK);

    // Every name is found again, at its own row or at an earlier row with the same spelling.
    std::set<std::string> seen;
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(to_string(names[i]));
        CharSet found = VTextConverters::GetCharSetFromName(names[i]);
        if (seen.insert(to_string(names[i])).second) {
            EXPECT_EQ(found, sets[i]);
        }
    }
    EXPECT_EQ(seen.size(), 160u);  // x-mac-ce and x-mac-chinesesimp are listed twice
}

TEST(CharSetNames, WebEnumerationHoldsThePreferredNames)
{
    std::vector<VString> names;
    std::vector<CharSet> sets;
    VTextConverters::EnumWebCharsets(names, sets);
    const char* expected[] = {"UTF-8", "UTF-7", "UNICODE-1-1-UTF-7", "Shift_JIS", "Big5", "EUC-KR", "KOI8-R",
                              "ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6",
                              "ISO-8859-7", "ISO-8859-8", "ISO-8859-9", "ISO-8859-10", "ISO-8859-13",
                              "ISO-8859-15", "GB2312", "GBK"};
    ASSERT_EQ(names.size(), std::size(expected));
    ASSERT_EQ(sets.size(), std::size(expected));
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(to_string(names[i]), expected[i]);
    EXPECT_EQ(sets[0], CharSet::UTF8);
    EXPECT_EQ(sets[3], CharSet::ShiftJIS);
    EXPECT_EQ(sets[20], CharSet::GBK);
}

TEST(ByteOrderMarks, ParseBOMTestsUTF8ThenUTF32ThenUTF16)
{
    struct Row { const char* label; std::vector<uint8_t> bytes; bool found; size_t size; int set; } rows[] = {
        {"UTF-8 + A", {0xEF, 0xBB, 0xBF, 0x41}, true, 3, 7},
        {"UTF-8 alone", {0xEF, 0xBB, 0xBF}, true, 3, 7},
        {"UTF-8 cut", {0xEF, 0xBB}, false, 0, 0},
        {"UTF-32 LE", {0xFF, 0xFE, 0x00, 0x00}, true, 4, 4},
        {"UTF-32 BE", {0x00, 0x00, 0xFE, 0xFF, 0x00}, true, 4, 3},
        {"UTF-16 LE + A", {0xFF, 0xFE, 0x41, 0x00}, true, 2, 2},
        {"UTF-16 LE, 3 bytes", {0xFF, 0xFE, 0x00}, true, 2, 2},
        {"UTF-16 BE", {0xFE, 0xFF, 0x00, 0x41}, true, 2, 1},
        {"00 without the full UTF-32 mark", {0x00, 0x00, 0xFE, 0xFE}, false, 0, 0},
        {"00 00 FE", {0x00, 0x00, 0xFE}, false, 0, 0},
        {"plain text", {0x41, 0x42}, false, 0, 0},
        {"one byte", {0xFF}, false, 0, 0}, {"empty", {}, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        size_t size = 99;
        CharSet set = CharSet::MacRoman;
        EXPECT_EQ(VTextConverters::ParseBOM(row.bytes.data(), row.bytes.size(), &size, &set), row.found);
        EXPECT_EQ(size, row.size);
        EXPECT_EQ(set, CharSet(row.set));
    }
}

TEST(ByteOrderMarks, MarkOfEachSet)
{
    struct Row { int set; std::vector<uint8_t> bytes; } rows[] = {
        {1, {0xFE, 0xFF}}, {2, {0xFF, 0xFE}}, {3, {0x00, 0x00, 0xFE, 0xFF}}, {4, {0xFF, 0xFE, 0x00, 0x00}},
        {7, {0xEF, 0xBB, 0xBF}}, {0, {}}, {-2, {}}, {5, {}}, {6, {}}, {1005, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.set);
        size_t size = 99;
        const uint8_t* bom = static_cast<const uint8_t*>(VTextConverters::GetBOMForCharSet(CharSet(row.set), &size));
        ASSERT_EQ(size, row.bytes.size());
        EXPECT_EQ(bom == nullptr, row.bytes.empty());
        if (bom != nullptr) {
            EXPECT_EQ(std::vector<uint8_t>(bom, bom + size), row.bytes);
        }
    }
}

} // namespace
