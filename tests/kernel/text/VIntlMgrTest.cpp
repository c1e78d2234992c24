#include <gtest/gtest.h>

#include <string>

#include "kernel/text/VIntlMgr.h"

namespace nuvo::test {
namespace {

TEST(VIntlMgr, LanguageTableKeepsTheReferenceRows)
{
    struct Row { DialectCode dialect; const char* text; };
    const Row rows[] = {
        {1033, "en eng english US "},     {2057, "en eng english GB gb"}, {1036, "fr fre french FR "},
        {1028, "zh chi chinese TW Hant"}, {1078, "af afr afrikaans ZA "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialect);
        const VLanguageRow* found = VIntlMgr::FindRow(row.dialect);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(std::string(found->iso6391) + " " + found->iso6392 + " " + found->name + " " + found->region + " "
                      + found->extra,
                  row.text);
    }
    EXPECT_EQ(VIntlMgr::FindRow(-2), nullptr);
}

TEST(VIntlMgr, NamesAndCodesToDialects)
{
    struct Row { const char* text; DialectCode byName; DialectCode byRFC; };  // 0: not recognised
    const Row rows[] = {
        {"fr", 1036, 1036},       {"FRE", 1036, 0},       {"French", 1036, 0},   {"en-GB", 0, 2057},
        {"en_gb", 0, 2057},       {"EN-us", 0, 1033},     {"zh", 1028, 1028},    {"zh-Hans", 0, 2052},
        {"zh-Hant-TW", 0, 1028},  {"zh-Hant-CN", 0, 0},   {"en-XX", 0, 0},       {"xx", 0, 0},
        {"", 0, 0},               {"en-US-x-y", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        DialectCode byName = 0;
        DialectCode byRFC = 0;
        EXPECT_EQ(VIntlMgr::GetDialectCodeWithISOLanguageName(VString(row.text), byName), row.byName != 0);
        EXPECT_EQ(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString(row.text), byRFC), row.byRFC != 0);
        EXPECT_EQ(byName, row.byName);
        EXPECT_EQ(byRFC, row.byRFC);
    }
    VString code;
    EXPECT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(1033, code));
    EXPECT_EQ(to_string(code), "en-US");
    EXPECT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(2052, code, u'_'));
    EXPECT_EQ(to_string(code), "zh_CN");
    EXPECT_FALSE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(9999, code));
}

TEST(VIntlMgr, CompareRFC3066Codes)
{
    struct Row { const char* manager; const char* file; int expected; };
    const Row rows[] = {
        {"en-US", "en-US", 4}, {"EN-us", "en-US", 4}, {"fr", "FR", 4},     {"en-US", "en", 3},
        {"en", "en-GB", 2},    {"en-US", "en-GB", 1}, {"en-US", "fr", 0},  {"en-US", "fr-FR", 0},
        {"en", "fr", 0},       {"zh-Hant-TW", "zh", 0}, {"en-US", "xx", -1}, {"qq", "en", -1},
        {"en-US", "", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.manager) + " / " + row.file);
        EXPECT_EQ(VIntlMgr::Compare2RFC3066LanguageCodes(VString(row.manager), VString(row.file)), row.expected);
    }
}

} // namespace
} // namespace nuvo::test
