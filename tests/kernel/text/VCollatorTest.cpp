#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kernel/text/VCollator.h"
#include "kernel/text/VString.h"
#include "tests/support/StEnvVar.h"

namespace nuvo {

void PrintTo(const VString& text, std::ostream* os); // VStringTest.cpp

namespace {

using test::StEnvVar;

// The string members use the process language, read once: pin it to the root rules before
// main runs, whatever the machine's locale, and give the variable back at exit.
const StEnvVar gRootLanguage("LC_ALL", "C");

std::string Show(const VString& text)
{
    std::string out;
    for (int32_t i = 0; i < text.GetLength(); ++i) {
        const UniChar c = text.GetCPointer()[i];
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(char(c));
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof(buffer), "\\u%04X", unsigned(c));
            out += buffer;
        }
    }
    return out;
}

const VCollator& Root()
{
    return VCollator::GetForLanguage("");
}

// ---------------------------------------------------------------------------------------------
// Equality and order

TEST(VCollatorCompare, AccentsAndCaseCountOnlyWhenDiacritical)
{
    struct Row {
        const char16_t* a;
        const char16_t* b;
        bool equalLoose;  // diacritical false
        bool equalStrict; // diacritical true
    };
    const Row rows[] = {
        {u"\u00c9T\u00c9", u"ete", true, false},
        {u"\u00e9t\u00e9", u"\u00e9t\u00e9", true, true},
        {u"e\u0301t\u00e9", u"\u00e9t\u00e9", true, true},   // canonically equivalent
        {u"a", u"A", true, false},
        {u"e", u"\u00e9", true, false},
        {u"\uff21bc", u"Abc", true, true},                    // full-width A: width is ignored
        {u"a-b", u"ab", false, false},                        // punctuation is not ignorable
        {u"a b", u"ab", false, false},
        {u"ab", u"abc", false, false},
        {u"a\u0001b", u"ab", true, true},                     // controls are ignorable
        {u"", u"", true, true},
        {u"Stra\u00dfe", u"STRASSE", true, false},
        {u"HELLO-WORLD!", u"hello-world!", true, false},
        {u"@[\\]^_", u"`{|}~_", false, false},   // neighbours of the letters do not fold
        {u"Content-Type\u00e9", u"content-typee", true, false},
        {u"key\tvalue\n", u"KEY\tVALUE\n", true, false},
    };
    for (const Row& row : rows) {
        const VString a(row.a);
        const VString b(row.b);
        SCOPED_TRACE(Show(a) + " vs " + Show(b));
        EXPECT_EQ(row.equalLoose, a.EqualToString(b, false));
        EXPECT_EQ(row.equalStrict, a.EqualToString(b, true));
        EXPECT_EQ(row.equalLoose, b.EqualToString(a, false));
        EXPECT_EQ(row.equalLoose, a.CompareToString(b, false) == 0);
        EXPECT_EQ(row.equalStrict, a.CompareToString(b, true) == 0);
    }
}

TEST(VCollatorCompare, Order)
{
    struct Row {
        const char16_t* a;
        const char16_t* b;
        int loose;
        int strict;
    };
    const Row rows[] = {
        {u"a", u"B", -1, -1},          // raw order would put B first
        {u"a", u"A", 0, -1},           // lower case first at the case level
        {u"\u00e9", u"f", -1, -1},     // the accent only matters between equal letters
        {u"e", u"\u00e9", 0, -1},
        {u"_", u"a", -1, -1},          // punctuation before letters
        {u"9", u"a", -1, -1},          // digits before letters
        {u"10", u"9", -1, -1},         // no numeric ordering
        {u"a b", u"ab", -1, -1},       // space sorts before letters
        {u"ab", u"abc", -1, -1},
        {u"Ab", u"aB", 0, 1},          // first case difference decides
        {u"\uff21", u"a", 0, 1},       // width ignored, case counts
    };
    for (const Row& row : rows) {
        const VString a(row.a);
        const VString b(row.b);
        SCOPED_TRACE(Show(a) + " vs " + Show(b));
        EXPECT_EQ(row.loose, a.CompareToString(b, false));
        EXPECT_EQ(-row.loose, b.CompareToString(a, false));
        EXPECT_EQ(row.strict, a.CompareToString(b, true));
        EXPECT_EQ(-row.strict, b.CompareToString(a, true));
    }
}

TEST(VCollatorCompare, TurkishDotlessI)
{
    const VCollator& turkish = VCollator::GetForLanguage("tr");
    // In Turkish, I is the capital of dotless i; i and I are different letters.
    EXPECT_FALSE(turkish.Equal(u"I", 1, u"i", 1, false));
    EXPECT_TRUE(turkish.Equal(u"I", 1, u"\u0131", 1, false));
    EXPECT_TRUE(turkish.Equal(u"\u0130", 1, u"i", 1, false));
    EXPECT_TRUE(Root().Equal(u"I", 1, u"i", 1, false));
}

// The ASCII shortcut must give ICU's answers. Pairs of pseudo-random ASCII texts (a fixed
// sequence, so failures repeat) go through both paths for several languages.
TEST(VCollatorCompare, AsciiShortcutAgreesWithICU)
{
    const char16_t alphabet[] = u"aAbBcChHiIsSzZ09 -_.,'\t\n!~@[`{|\x7f\x01";
    const int alphabetSize = int(std::char_traits<char16_t>::length(alphabet));
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    auto randomText = [&] {
        std::u16string text;
        const uint32_t length = next() % 10;
        for (uint32_t i = 0; i < length; ++i)
            text.push_back(alphabet[next() % uint32_t(alphabetSize)]);
        return text;
    };
    for (const char* language : {"", "en_US", "fr", "de", "tr", "da", "hu", "cs", "es", "sv", "ja"}) {
        SCOPED_TRACE(language);
        const VCollator& collator = VCollator::GetForLanguage(language);
        int mismatches = 0;
        for (int i = 0; i < 3000 && mismatches < 5; ++i) {
            std::u16string a = randomText();
            std::u16string b = i % 4 == 0 ? a : randomText();
            if (i % 7 == 0 && !b.empty())
                b[0] = char16_t(b[0] ^ 0x20); // case flips
            for (bool diacritical : {false, true}) {
                const int expected = collator.CompareWithICU(a.data(), int32_t(a.size()), b.data(), int32_t(b.size()), diacritical);
                const int actual = collator.Compare(a.data(), int32_t(a.size()), b.data(), int32_t(b.size()), diacritical);
                const bool equal = collator.Equal(a.data(), int32_t(a.size()), b.data(), int32_t(b.size()), diacritical);
                if (expected != actual || equal != (expected == 0)) {
                    ++mismatches;
                    ADD_FAILURE() << Show(VString(a.c_str(), int32_t(a.size()))) << " vs "
                                  << Show(VString(b.c_str(), int32_t(b.size()))) << " diacritical " << diacritical
                                  << ": ICU " << expected << ", shortcut " << actual << ", equal " << equal;
                }
            }
        }
    }
}

TEST(VCollatorSearch, AsciiShortcutAgreesWithICU)
{
    const char16_t alphabet[] = u"aAbBcChHsSzZ0 -_.\t\n\r";
    const uint32_t alphabetSize = uint32_t(std::char_traits<char16_t>::length(alphabet));
    uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (const char* language : {"", "en_US", "fr", "tr", "cs", "da"}) {
        SCOPED_TRACE(language);
        const VCollator& collator = VCollator::GetForLanguage(language);
        int mismatches = 0;
        for (int i = 0; i < 2000 && mismatches < 5; ++i) {
            std::u16string text;
            for (uint32_t n = next() % 8; n > 0; --n)
                text.push_back(alphabet[next() % alphabetSize]);
            std::u16string pattern;
            for (uint32_t n = 1 + next() % 2; n > 0; --n)
                pattern.push_back(alphabet[next() % alphabetSize]);
            if (i % 3 == 0 && text.size() >= 2) { // a piece of the text, case flipped
                const size_t at = next() % (text.size() - 1);
                pattern = text.substr(at, 2);
                pattern[0] = char16_t(pattern[0] ^ (pattern[0] >= u'A' ? 0x20 : 0));
            }
            const int32_t tl = int32_t(text.size());
            const int32_t pl = int32_t(pattern.size());
            for (bool diacritical : {false, true}) {
                const int32_t start = int32_t(next() % 3);
                const int32_t find = collator.Find(text.data(), tl, pattern.data(), pl, start, diacritical, nullptr);
                const int32_t icuFind = collator.FindWithICU(text.data(), tl, pattern.data(), pl, start, diacritical, nullptr);
                const bool begins = collator.BeginsWith(text.data(), tl, pattern.data(), pl, diacritical);
                const bool icuBegins = collator.FindWithICU(text.data(), tl, pattern.data(), pl, 1, diacritical, nullptr) == 1;
                const bool ends = collator.EndsWith(text.data(), tl, pattern.data(), pl, diacritical);
                const bool icuEnds = collator.EndsWithICU(text.data(), tl, pattern.data(), pl, diacritical);
                if (find != icuFind || begins != icuBegins || ends != icuEnds) {
                    ++mismatches;
                    ADD_FAILURE() << Show(VString(text.c_str(), tl)) << " / " << Show(VString(pattern.c_str(), pl))
                                  << " from " << start << " diacritical " << diacritical << ": find " << find
                                  << " (ICU " << icuFind << "), begins " << begins << " (ICU " << icuBegins
                                  << "), ends " << ends << " (ICU " << icuEnds << ")";
                }
            }
        }
    }
}

TEST(VCollatorCompare, ShortcutIsRefusedWhereAsciiLettersCombine)
{
    struct Row {
        const char* language;
        bool shortcut;
    };
    const Row rows[] = {
        {"", true}, {"en_US", true}, {"de", true}, {"fr", true},
        {"hu", false},  // "cs", "ccs" and friends are contractions
        {"da", false},  // "aa" sorts as a-ring
        {"cs", false},  // "ch" is a letter
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.language);
        EXPECT_EQ(row.shortcut, VCollator::GetForLanguage(row.language).HasAsciiShortcut());
    }
    // And the contraction really matters: in Czech, "ch" sorts after "h".
    const VCollator& czech = VCollator::GetForLanguage("cs");
    EXPECT_EQ(1, czech.Compare(u"ch", 2, u"hz", 2, false));
    EXPECT_EQ(-1, Root().Compare(u"ch", 2, u"hz", 2, false));
}

// ---------------------------------------------------------------------------------------------
// Searching

TEST(VCollatorSearch, FindBeginsWithEndsWith)
{
    struct Row {
        const char16_t* text;
        const char16_t* pattern;
        bool diacritical;
        int32_t find;   // from position 1
        bool begins;
        bool ends;
    };
    const Row rows[] = {
        {u"\u00c9b\u00e8ne", u"eb", false, 1, true, false},
        {u"\u00c9b\u00e8ne", u"\u00e9b", true, 0, false, false},
        {u"\u00c9b\u00e8ne", u"\u00c9b", true, 1, true, false},
        {u"\u00c9b\u00e8ne", u"ENE", false, 3, false, true},
        {u"\u00c9b\u00e8ne", u"\u00e8ne", true, 3, false, true},
        {u"\u00c9b\u00e8ne", u"ene", true, 0, false, false},
        {u"\u00c9b\u00e8ne", u"", false, 0, true, true},
        {u"Hello World", u"WORLD", false, 7, false, true},
        {u"Hello World", u"world", true, 0, false, false},
        {u"Hello World", u"Hello", true, 1, true, false},
        {u"ab", u"abc", false, 0, false, false},
        {u"", u"a", false, 0, false, false},
    };
    for (const Row& row : rows) {
        const VString text(row.text);
        const VString pattern(row.pattern);
        SCOPED_TRACE(Show(text) + " / " + Show(pattern) + (row.diacritical ? " strict" : " loose"));
        EXPECT_EQ(row.find, text.Find(pattern, 1, row.diacritical));
        EXPECT_EQ(row.begins, text.BeginsWith(pattern, row.diacritical));
        EXPECT_EQ(row.ends, text.EndsWith(pattern, row.diacritical));
    }
}

TEST(VCollatorSearch, FindFromAPositionAndMatchLength)
{
    const VString text(u"\u00c9T\u00c9 \u00e9t\u00e9 ete");
    EXPECT_EQ(1, text.Find(VString(u"ete"), 1, false));
    EXPECT_EQ(5, text.Find(VString(u"ete"), 2, false));
    EXPECT_EQ(9, text.Find(VString(u"ete"), 6, false));
    EXPECT_EQ(0, text.Find(VString(u"ete"), 10, false));
    EXPECT_EQ(5, text.Find(VString(u"\u00e9t\u00e9"), 1, true));
    EXPECT_EQ(0, text.Find(VString(u"ete"), 99, false));

    // A decomposed accent matches the composed pattern: the match is longer than the pattern.
    const UniChar decomposed[] = u"xe\u0301t\u00e9y";
    int32_t matchLength = 0;
    EXPECT_EQ(2, Root().Find(decomposed, 6, u"\u00e9t\u00e9", 3, 1, true, &matchLength));
    EXPECT_EQ(4, matchLength);
}

TEST(VCollatorSearch, ExchangeWithCollatorRules)
{
    struct Row {
        const char16_t* text;
        const char16_t* find;
        const char16_t* with;
        bool diacritical;
        int32_t start;
        int32_t maxCount;
        const char16_t* expected;
    };
    const Row rows[] = {
        {u"\u00c9t\u00e9 \u00e9t\u00e9 ETE", u"ete", u"X", false, 1, INT32_MAX, u"X X X"},
        {u"\u00c9t\u00e9 \u00e9t\u00e9 ETE", u"\u00e9t\u00e9", u"X", true, 1, INT32_MAX, u"\u00c9t\u00e9 X ETE"},
        {u"\u00c9t\u00e9 \u00e9t\u00e9 ETE", u"ete", u"X", false, 2, 1, u"\u00c9t\u00e9 X ETE"},
        {u"xe\u0301t\u00e9y", u"\u00e9t\u00e9", u"-", true, 1, INT32_MAX, u"x-y"},
        {u"abcABC", u"abc", u"abcabc", false, 1, INT32_MAX, u"abcabcabcabc"},
        {u"abc", u"", u"X", false, 1, INT32_MAX, u"abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Show(VString(row.text)) + ": " + Show(VString(row.find)));
        VString s(row.text);
        s.Exchange(VString(row.find), VString(row.with), row.start, row.maxCount, row.diacritical);
        EXPECT_EQ(VString(row.expected), s) << Show(s);
    }
    VString turkish(u"KIRMIZI kirmizi");
    turkish.Exchange(VString(u"i"), VString(u"_"), 1, INT32_MAX, false,
                     const_cast<VCollator*>(&VCollator::GetForLanguage("tr")));
    EXPECT_EQ(VString(u"KIRMIZI k_rm_z_"), turkish) << Show(turkish);
}

// ---------------------------------------------------------------------------------------------
// Case mapping

TEST(VCollatorCase, FullCaseMapping)
{
    struct Row {
        const char* language;
        const char16_t* text;
        const char16_t* upper;
        const char16_t* lower;
    };
    const Row rows[] = {
        {"", u"Hello, World!", u"HELLO, WORLD!", u"hello, world!"},
        {"", u"\u00e9t\u00c9", u"\u00c9T\u00c9", u"\u00e9t\u00e9"},
        {"", u"stra\u00dfe", u"STRASSE", u"stra\u00dfe"},
        {"", u"\u03a3\u039f\u03a3", u"\u03a3\u039f\u03a3", u"\u03c3\u03bf\u03c2"}, // final sigma
        {"tr", u"izmir", u"\u0130ZM\u0130R", u"izmir"},
        {"tr", u"IRMAK", u"IRMAK", u"\u0131rmak"},
        {"", u"", u"", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.language) + ": " + Show(VString(row.text)));
        const VCollator& collator = VCollator::GetForLanguage(row.language);
        const VString text(row.text);
        VString upper(text);
        if (collator.ToUpperCase(text.GetCPointer(), text.GetLength(), upper))
            EXPECT_EQ(VString(row.upper), upper) << Show(upper);
        else
            EXPECT_EQ(VString(row.upper), text);
        VString lower(text);
        if (collator.ToLowerCase(text.GetCPointer(), text.GetLength(), lower))
            EXPECT_EQ(VString(row.lower), lower) << Show(lower);
        else
            EXPECT_EQ(VString(row.lower), text);
    }
}

TEST(VCollatorCase, StringMembersMapInPlaceAndDetach)
{
    VString text(u"Stra\u00dfe-\u00e9t\u00e9");
    const VString shared(text);
    text.ToUpperCase();
    EXPECT_EQ(VString(u"STRASSE-\u00c9T\u00c9"), text) << Show(text);
    text.ToLowerCase();
    EXPECT_EQ(VString(u"strasse-\u00e9t\u00e9"), text) << Show(text);
    EXPECT_EQ(VString(u"Stra\u00dfe-\u00e9t\u00e9"), shared);
}

// ---------------------------------------------------------------------------------------------
// Language and caching

TEST(VCollatorLanguage, ProcessLanguageFromTheEnvironment)
{
    struct Row {
        std::optional<std::string> all;
        std::optional<std::string> collate;
        std::optional<std::string> lang;
        const char* expected;
    };
    const Row rows[] = {
        {"fr_FR.UTF-8@euro", "de_DE", "es", "fr_FR"},
        {"", "de_DE.UTF-8", "es", "de_DE"},
        {std::nullopt, std::nullopt, "sv_SE.UTF-8", "sv_SE"},
        {std::nullopt, std::nullopt, "C", ""},
        {"POSIX", "de_DE", std::nullopt, ""},
        {std::nullopt, std::nullopt, std::nullopt, ""},
        {std::nullopt, std::nullopt, "sr_RS@latin", "sr_RS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        StEnvVar all("LC_ALL", row.all);
        StEnvVar collate("LC_COLLATE", row.collate);
        StEnvVar lang("LANG", row.lang);
        EXPECT_EQ(row.expected, VCollator::GetProcessLanguage());
    }
}

TEST(VCollatorLanguage, CollatorsAreCreatedOnceAndSharedByThreads)
{
    std::vector<const VCollator*> seen(4, nullptr);
    std::vector<int> results(4, 2);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&seen, &results, t] {
            const VCollator& collator = VCollator::GetForLanguage("sv");
            seen[t] = &collator;
            int result = 0;
            for (int i = 0; i < 200; ++i) {
                // Swedish sorts a-diaeresis after z.
                result += collator.Compare(u"\u00e4", 1, u"z", 1, false);
                int32_t length = 0;
                result += collator.Find(u"xx\u00c4", 3, u"\u00e4", 1, 1, false, &length) == 3 ? 0 : 100;
            }
            results[t] = result;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (size_t t = 0; t < seen.size(); ++t) {
        EXPECT_EQ(seen[0], seen[t]);
        EXPECT_EQ(200, results[t]);
    }
    EXPECT_EQ(&VCollator::GetForLanguage("sv"), seen[0]);
    EXPECT_EQ("sv", seen[0]->GetLanguage());
}

} // namespace
} // namespace nuvo
