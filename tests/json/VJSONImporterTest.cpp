#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/VJSONObject.h"
#include "tests/json/JSONTestSupport.h"
#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

using Records = std::vector<std::string>;

const std::string kValue = "expected=\" 0-9 null true false { [";

TEST(VJSONImporterTest, FailuresWithTheirRecordsAndPartialResults)
{
    struct Row { const char* name; std::string text; unsigned int options; std::string partial; Records records; };
    const Row rows[] = {
        {"empty text", "", 0, "null", {"554 found=|" + kValue, "550 source=|line=1|position=1"}},
        {"blanks only", "  \t", 0, "null", {"554 found=|" + kValue, "550 source=|line=1|position=4"}},
        {"comma before }", "{\"a\":1,}", 0, "{\"a\":1}", {"553 token=}", "550 source=|line=1|position=8"}},
        {"comma before ]", "[1,\n2,]", 0, "[1,2]", {"553 token=]", "550 source=|line=2|position=3"}},
        {"bare key, strict", "{a:1}", 2, "{}", {"551 found=a|expected=\"", "550 source=|line=1|position=2"}},
        {"bare word, strict", "[hello]", 2, "[]", {"551 found=hello|" + kValue + " ]", "550 source=|line=1|position=2"}},
        {"leading zero", "012", 0, "null", {"551 found=012|expected=+- 0-9 eE", "550 source=|line=1|position=1"}},
        {"dot exponent, strict", "[1.e5]", 2, "[]", {"551 found=1.e5|expected=+- 0-9 eE", "550 source=|line=1|position=2"}},
        {"members without comma", "{\"a\":1 \"b\":2}", 0, "{\"a\":1}",
         {"551 found=\"|expected=} ,", "550 source=|line=1|position=8"}},
        {"missing value", "{\"a\":1,\"b\":}", 0, "{\"a\":1}", {"551 found=}|" + kValue, "550 source=|line=1|position=12"}},
        {"missing value, undefined on error", "{\"a\":1,\"b\":}", 1, "null",
         {"551 found=}|" + kValue, "550 source=|line=1|position=12"}},
        {"no records", "{\"a\":1,\"b\":}", 4, "{\"a\":1}", {}},
        {"no records but extra comma", "[1,]", 4, "[1]", {"553 token=]", "550 source=|line=1|position=4"}},
        {"key without colon at end", "{\"a\"", 0, "{}", {"554 found=|expected=:", "550 source=|line=1|position=5"}},
        {"array element then junk", "[1 2]", 0, "[1]", {"551 found=2|expected=] ,", "550 source=|line=1|position=4"}},
        {"object key expected", "{,}", 0, "{}", {"551 found=,|expected=\" }", "550 source=|line=1|position=2"}},
        {"key expected after comma", "{\"a\":1,]", 0, "{\"a\":1}", {"551 found=]|expected=\"", "550 source=|line=1|position=8"}},
        {"element expected after comma", "[1,:]", 0, "[1]", {"551 found=:|" + kValue, "550 source=|line=1|position=4"}},
        {"third line, LF", "[1,\n2,\n}", 0, "[1,2]", {"551 found=}|" + kValue, "550 source=|line=3|position=1"}},
        // With CR LF the position counts from the character after the last CR, the LF included.
        {"third line, CR LF", "{\r\n\"a\":1,\r\n  \"b\" 2}", 0, "{\"a\":1}",
         {"551 found=2|expected=:", "550 source=|line=3|position=8"}},
        {"old Mac line ends", "[\r\r\r x", 0, "[\"x\"]", {"554 found=|expected=] ,", "550 source=|line=4|position=3"}},
        {"unterminated, strict", "[\"ab", 2, "[]", {"552 token=\"", "550 source=|line=1|position=2"}},
        {"unterminated key, strict", "{\"ab", 2, "{}", {"552 token=\"", "550 source=|line=1|position=2"}},
        {"nested failure keeps outer members", "{\"a\":[1],\"b\":[2,}", 0, "{\"a\":[1]}",
         {"551 found=}|" + kValue, "550 source=|line=1|position=17"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = ParseText(U8(row.text), row.options);
        EXPECT_EQ(outcome.result, Nuvo(550));
        EXPECT_EQ(outcome.records, row.records);
        EXPECT_EQ(outcome.value, row.partial);
    }
}

TEST(VJSONImporterTest, DeepNestingFailsWithoutExhaustingTheStack)
{
    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"k\":";
    // The failing container is the first one past the limit.
    struct Row { const char* name; std::string text; const char* position; };
    const Row rows[] = {
        {"arrays", std::string(100000, '['), "1001"},
        {"objects", objects, "5001"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = ParseText(U8(row.text), 0);
        EXPECT_EQ(outcome.result, Nuvo(550));
        EXPECT_EQ(outcome.records, (Records{"555 limit=1000", std::string("550 source=|line=1|position=") + row.position}));
    }
}

TEST(VJSONImporterTest, EscapesGiveCodeUnits)
{
    VJSONValue value;
    ASSERT_EQ(VJSONImporter::ParseString(VString("\"\\uD83D\\uDE00\\uD800x\\u0000\""), value), VE_OK);
    const VString* text = value.GetStringRef();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text->GetCPointer(), size_t(text->GetLength())),
              (std::u16string{0xD83D, 0xDE00, 0xD800, u'x', 0}));
}

TEST(VJSONImporterTest, Dates)
{
    struct Row { const char* name; const char* text; unsigned int options; const char* result; };
    const Row rows[] = {
        {"marked", "[\"!!2024-02-29!!\", \"2024-02-29\"]", 192, "[\"2024-02-29T00:00:00.000Z\",\"2024-02-29\"]"},
        {"marked with a time", "[\"!!2024-03-05T10:20:30Z!!\"]", 64, "[\"2024-03-05T00:00:00.000Z\"]"},
        {"not a leap year", "[\"!!2023-02-29!!\"]", 192, "[\"!!2023-02-29!!\"]"},
        {"unambiguous", "[\"!!2024-03-05!!\", \"2024-03-05\"]", 576, "[\"!!2024-03-05!!\",\"2024-03-05T00:00:00.000Z\"]"},
        {"ISO", "[\"2024-13-05\", \"2024-12-05T08:00:00Z\"]", 0x80000000u, "[\"2024-13-05\",\"2024-12-05T00:00:00.000Z\"]"},
        {"without the option", "[\"!!2024-03-05!!\"]", 0, "[\"!!2024-03-05!!\"]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = ParseText(VString(row.text), row.options);
        EXPECT_EQ(outcome.result, VE_OK);
        EXPECT_EQ(outcome.value, row.result);
    }
    VJSONValue value;
    ASSERT_EQ(value.ParseFromString(VString("\"!!1999-12-31!!\""), true), VE_OK);
    int year = 0, month = 0, day = 0;
    EXPECT_TRUE(value.GetDate(&year, &month, &day));
    EXPECT_EQ(std::vector<int>({year, month, day}), std::vector<int>({1999, 12, 31}));
}

TEST(VJSONImporterTest, RecordedLinesOfMemberPaths)
{
    VJSONImporter importer(VString("{\"a\": 1,\n  \"b\": [true,\n    {\"c\": null}]}"), kJSONOptionRecordLines);
    VJSONValue value;
    ASSERT_EQ(importer.Parse(value), VE_OK);
    ASSERT_NE(importer.GetPathsLines(), nullptr);
    EXPECT_EQ(Json(VJSONValue(importer.GetPathsLines())),
              "{\"}\":{\"line\":1,\"offset\":0},\"a\":{\"line\":1,\"offset\":1},\"b\":{\"line\":2,\"offset\":2},"
              "\"b[0]\":{\"line\":2,\"offset\":8},\"b[1]\":{\"line\":3,\"offset\":4},"
              "\"b[1].c\":{\"line\":3,\"offset\":5}}");
}

TEST(VJSONImporterTest, TokensWithTheirTexts)
{
    VJSONImporter importer(VString(" {\"k\\n\" :word,[]}"));
    std::string tokens;
    for (;;) {
        VString text;
        bool quoted = false;
        VError error = VE_OK;
        JsonToken token = importer.GetNextJSONToken(text, &quoted, &error);
        EXPECT_EQ(error, VE_OK);
        tokens += std::to_string(int(token)) + (quoted ? "q" : "") + to_string(text) + " ";
        if (token == JsonToken::End)
            break;
    }
    EXPECT_EQ(tokens, "1 7qk\n 6 7word 5 3 4 2 0 ");
}

TEST(VJSONImporterTest, FilesInTheirEncodings)
{
    StTempFolder temp;
    struct Row { const char* name; std::string bytes; const char* result; };
    const Row rows[] = {
        {"UTF-8 without mark", "{\"\xC3\xA9\": 1}", "{\"\xC3\xA9\":1}"},
        {"UTF-8 with mark", "\xEF\xBB\xBF[\"\xC3\xA9\"]", "[\"\xC3\xA9\"]"},
        {"UTF-16 LE with mark", std::string("\xFF\xFE[\0\x31\0]\0", 8), "[1]"},
        {"UTF-16 BE with mark", std::string("\xFE\xFF\0[\0\x32\0]", 8), "[2]"},
        {"line ends kept", "[\"a\r\nb\"]", "[\"a\\r\\nb\"]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFile(temp / "f.json", row.bytes);
        VJSONValue value;
        EXPECT_EQ(VJSONImporter::ParseFile(FileAt(temp / "f.json").Get(), value), VE_OK);
        EXPECT_EQ(Json(value), row.result);
    }
}

} // namespace
} // namespace nuvo::test
