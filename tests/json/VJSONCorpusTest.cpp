#include <gtest/gtest.h>

#include <string>

#include "tests/json/JSONTestSupport.h"

// A conformance corpus in the y_ (accepted), n_ (rejected by the strict mode) and i_ (either;
// what this parser does is pinned) style. Each accepted text is written, read back and written
// again to the same text.
namespace nuvo::test {
namespace {

constexpr const char* kReject = nullptr;

struct CorpusRow {
    const char* name;
    std::string text;
    const char* lenient;   // compact quoted text of the result, or kReject
    const char* strict;
};

const std::string kDeepest = std::string(kJSONMaxDepth, '[') + std::string(kJSONMaxDepth, ']');
const std::string kTooDeep = "[" + kDeepest + "]";

const CorpusRow kCorpus[] = {
    // Numbers.
    {"y_number_int", "[123]", "[123]", "[123]"},
    {"y_number_negative_zero", "[-0]", "[0]", "[0]"},
    {"y_number_real_exponent", "[1.5e3]", "[1500]", "[1500]"},
    {"y_number_capital_E_plus", "[1E+2]", "[100]", "[100]"},
    {"y_number_negative_exponent", "[-0.5e-3]", "[-0.0005]", "[-0.0005]"},
    {"y_number_minus_sign_exponent", "[1e\xE2\x88\x92" "2]", "[0.01]", "[0.01]"},
    {"y_number_big_int", "[12345678901234567890]", "[1.2345678901235E+19]", "[1.2345678901235E+19]"},
    {"i_number_huge_exponent", "[1e400, -1e400]", "[null,null]", "[null,null]"},
    {"i_number_tiny_exponent", "[1e-400]", "[0]", "[0]"},
    {"i_number_minus_alone", "[-]", "[0]", "[0]"},
    {"i_number_minus_fraction", "[-.5]", "[-0.5]", "[-0.5]"},
    {"n_number_leading_zero", "[012]", kReject, kReject},
    {"n_number_dot_exponent", "[1.e5]", kReject, kReject},
    {"n_number_trailing_dot", "[1.]", kReject, kReject},
    {"n_number_exponent_without_digits", "[1e]", kReject, kReject},
    {"n_number_double_minus", "[--1]", kReject, kReject},
    {"n_number_hex", "[0x10]", kReject, kReject},
    {"n_number_plus", "[+1]", "[\"+1\"]", kReject},
    {"n_number_leading_dot", "[.5]", "[\".5\"]", kReject},
    {"n_number_infinity", "[Infinity, NaN]", "[\"Infinity\",\"NaN\"]", kReject},
    // Strings and escapes.
    {"y_string_escapes", "[\"\\b\\f\\n\\r\\t\\\"\\\\\\/\"]", "[\"\\b\\f\\n\\r\\t\\\"\\\\/\"]", "[\"\\b\\f\\n\\r\\t\\\"\\\\/\"]"},
    {"y_string_u_escape", "[\"\\u0041\\u00e9\"]", "[\"A\xC3\xA9\"]", "[\"A\xC3\xA9\"]"},
    {"y_string_surrogate_pair", "[\"\\uD83D\\uDE00\"]", "[\"\xF0\x9F\x98\x80\"]", "[\"\xF0\x9F\x98\x80\"]"},
    {"y_string_utf8", "[\"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\"]", "[\"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\"]",
     "[\"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\"]"},
    {"y_string_escaped_controls", "[\"\\u0001\\u001f\\u007f\"]", "[\"\\u0001\\u001F\\u007F\"]", "[\"\\u0001\\u001F\\u007F\"]"},
    {"i_string_unknown_escape", "[\"\\q\"]", "[\"q\"]", "[\"q\"]"},
    {"i_string_non_hex_digits", "[\"\\uG041\\u0Z41\"]", "[\"AA\"]", "[\"AA\"]"},
    {"i_string_raw_controls", "[\"a\tb\nc\"]", "[\"a\\tb\\nc\"]", "[\"a\\tb\\nc\"]"},
    {"i_string_raw_nul_dropped", std::string("[\"a\0b\"]", 7), "[\"ab\"]", "[\"ab\"]"},
    {"i_string_unterminated_root", "\"abc", "\"abc\"", kReject},
    {"i_string_short_u_escape_at_end", "\"ab\\u12", "\"ab\"", kReject},
    {"i_string_lone_backslash_at_end", "\"a\\", "\"a\\u0000\"", kReject},
    {"n_string_unterminated_in_array", "[\"abc", kReject, kReject},
    {"n_string_single_quotes", "['a']", "[\"'a'\"]", kReject},
    // Objects and arrays.
    {"y_object", "{\"a\":1,\"b\":[true,false,null]}", "{\"a\":1,\"b\":[true,false,null]}", "{\"a\":1,\"b\":[true,false,null]}"},
    {"y_object_duplicate_key", "{\"a\":1,\"b\":2,\"a\":3}", "{\"a\":3,\"b\":2}", "{\"a\":3,\"b\":2}"},
    {"y_empty_containers", "[[],{},[{}]]", "[[],{},[{}]]", "[[],{},[{}]]"},
    {"y_blanks_everywhere", "\t\r\n [ 1 ,\n2\r] ", "[1,2]", "[1,2]"},
    {"y_root_true", "true", "true", "true"},
    {"y_root_null", " null ", "null", "null"},
    {"y_root_string", "\"s\"", "\"s\"", "\"s\""},
    {"y_root_number", "42", "42", "42"},
    {"y_deepest_nesting", kDeepest, kDeepest.c_str(), kDeepest.c_str()},
    {"i_text_after_root", "[1] x }", "[1]", "[1]"},
    {"n_nesting_too_deep", kTooDeep, kReject, kReject},
    {"n_object_trailing_comma", "{\"a\":1,}", kReject, kReject},
    {"n_array_trailing_comma", "[1,]", kReject, kReject},
    {"n_array_leading_comma", "[,1]", kReject, kReject},
    {"n_array_double_comma", "[1,,2]", kReject, kReject},
    {"n_array_colon", "[1:2]", kReject, kReject},
    {"n_object_missing_colon", "{\"a\" 1}", kReject, kReject},
    {"n_object_missing_value", "{\"a\":}", kReject, kReject},
    {"n_object_missing_comma", "{\"a\":1 \"b\":2}", kReject, kReject},
    {"n_object_unquoted_key", "{a:1, 2:b}", "{\"a\":1,\"2\":\"b\"}", kReject},
    {"n_array_bare_word", "[hello]", "[\"hello\"]", kReject},
    {"n_unclosed_array", "[1", kReject, kReject},
    {"n_unclosed_object", "{\"a\":1", kReject, kReject},
    {"n_close_only", "]", kReject, kReject},
    {"n_empty", "", kReject, kReject},
    {"n_blanks_only", " \n\t", kReject, kReject},
    // Comments are not JSON: a bare "//" is a word, which only the lenient root accepts.
    {"n_comment_in_array", "[1 /* c */]", kReject, kReject},
    {"n_line_comment_in_array", "[1, // c\n 2]", kReject, kReject},
    {"i_line_comment_before_root", "// c\n[1]", "\"//\"", kReject},
    // A byte-order mark inside the text is a character (files lose theirs when read).
    {"i_bom_in_text", "\xEF\xBB\xBF[1]", "\"\xEF\xBB\xBF\"", kReject},
};

TEST(VJSONCorpusTest, LenientAndStrictResultsAndRoundTrips)
{
    for (const CorpusRow& row : kCorpus) {
        SCOPED_TRACE(row.name);
        for (unsigned int options : {0u, kJSONOptionStrict}) {
            SCOPED_TRACE(options);
            const char* expected = options == 0 ? row.lenient : row.strict;
            ParseOutcome outcome = ParseText(U8(row.text), options);
            if (expected == kReject) {
                EXPECT_EQ(outcome.result, Nuvo(550));
                ASSERT_FALSE(outcome.records.empty());
                EXPECT_EQ(outcome.records.back().substr(0, 4), "550 ");
                continue;
            }
            ASSERT_EQ(outcome.result, VE_OK);
            EXPECT_TRUE(outcome.records.empty());
            EXPECT_EQ(outcome.value, expected);
            ParseOutcome again = ParseText(U8(outcome.value), options);
            EXPECT_EQ(again.result, VE_OK);
            EXPECT_EQ(again.value, outcome.value);
        }
        // The n_ rows are the ones the strict mode rejects; the y_ rows pass in both modes.
        if (row.name[0] == 'n') {
            EXPECT_EQ(row.strict, kReject);
        } else if (row.name[0] == 'y') {
            EXPECT_TRUE(row.lenient != kReject && row.strict != kReject);
        }
    }
}

} // namespace
} // namespace nuvo::test
