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
    return testing::PrintToString(text);
}

const VCollator& Root()
{
    return VCollator::GetForLanguage("");
}

// Order of a against b ignoring (loose) and respecting (strict) case and accents; kDifferent
// when the texts differ and their order is not the point of the row.
constexpr int kDifferent = 2;

TEST(VCollatorCompare, AccentsAndCaseCountOnlyWhenDiacritical)
{
    struct Row { const char* language; const char16_t* a; const char16_t* b; int loose; int strict; };
    const Row rows[] = {
        {"", u"\u00c9T\u00c9", u"ete", 0, kDifferent},
        {"", u"\u00e9t\u00e9", u"\u00e9t\u00e9", 0, 0},
        {"", u"e\u0301t\u00e9", u"\u00e9t\u00e9", 0, 0},        // canonically equivalent
        {"", u"a", u"A", 0, -1},                                 // lower case first at the case level
        {"", u"e", u"\u00e9", 0, -1},
        {"", u"\u00e9", u"f", -1, -1},                           // the accent only matters between equal letters
        {"", u"\uff21bc", u"Abc", 0, 0},                         // full-width A: width is ignored
        {"", u"\uff21", u"a", 0, 1},                             // width ignored, case counts
        {"", u"a", u"B", -1, -1},                                // raw order would put B first
        {"", u"a-b", u"ab", kDifferent, kDifferent},             // punctuation is not ignorable
        {"", u"_", u"a", -1, -1},                                // punctuation before letters
        {"", u"9", u"a", -1, -1},                                // digits before letters
        {"", u"10", u"9", -1, -1},                               // no numeric ordering
        {"", u"a b", u"ab", -1, -1},                             // space sorts before letters
        {"", u"ab", u"abc", -1, -1},
        {"", u"Ab", u"aB", 0, 1},                                // first case difference decides
        {"", u"a\u0001b", u"ab", 0, 0},                          // controls are ignorable
        {"", u"abcd\u0001fgh", u"abcdfgh\u0001", 0, 0},
        {"", u"ab\u007f", u"\u007fab", 0, 0}, {"", u"", u"", 0, 0},
        {"", u"Stra\u00dfe", u"STRASSE", 0, kDifferent},
        {"", u"HELLO-WORLD!", u"hello-world!", 0, kDifferent},
        {"", u"@[\\]^_", u"`{|}~_", kDifferent, kDifferent},   // neighbours of the letters do not fold
        {"", u"[x]", u"{X}", kDifferent, kDifferent},
        {"", u"KEY=VALUE", u"key=valuf", kDifferent, kDifferent},
        {"", u"Content-Type\u00e9", u"content-typee", 0, kDifferent},
        {"", u"Content-Typ\u00e9", u"CONTENT-TYPE", 0, kDifferent},
        {"", u"key\tvalue\n", u"KEY\tVALUE\n", 0, kDifferent},
        {"", u"I", u"i", 0, 1},
        // In Turkish, I is the capital of dotless i; i and I are different letters.
        {"tr", u"I", u"i", kDifferent, kDifferent},
        {"tr", u"I", u"\u0131", 0, kDifferent}, {"tr", u"\u0130", u"i", 0, kDifferent},
    };
    for (const Row& row : rows) {
        const VString a(row.a);
        const VString b(row.b);
        SCOPED_TRACE(std::string(row.language) + ": " + Show(a) + " vs " + Show(b));
        const VCollator& collator = VCollator::GetForLanguage(row.language);
        for (bool diacritical : {false, true}) {
            const int expected = diacritical ? row.strict : row.loose;
            const int compare = collator.Compare(a.GetCPointer(), a.GetLength(), b.GetCPointer(), b.GetLength(), diacritical);
            const int reverse = collator.Compare(b.GetCPointer(), b.GetLength(), a.GetCPointer(), a.GetLength(), diacritical);
            EXPECT_EQ(-compare, reverse) << diacritical;
            if (expected == kDifferent)
                EXPECT_NE(0, compare) << diacritical;
            else
                EXPECT_EQ(expected, compare) << diacritical;
            EXPECT_EQ(expected == 0, collator.Equal(a.GetCPointer(), a.GetLength(), b.GetCPointer(), b.GetLength(), diacritical));
            if (row.language[0] == 0) { // the string members use the process language, pinned to the root rules
                EXPECT_EQ(expected == 0, a.EqualToString(b, diacritical)) << diacritical;
                EXPECT_EQ(expected == 0, b.EqualToString(a, diacritical)) << diacritical;
                EXPECT_EQ(compare, a.CompareToString(b, diacritical)) << diacritical;
            }
        }
    }
}

// A fixed pseudo-random sequence of short texts over an alphabet, so that failures repeat.
class RandomTexts {
public:
    RandomTexts(const char16_t* alphabet, uint32_t seed) : fAlphabet(alphabet), fSeed(seed) {}
    uint32_t Next()
    {
        fSeed = fSeed * 1103515245u + 12345u;
        return (fSeed >> 16) & 0x7FFF;
    }
    std::u16string Text(uint32_t minLength, uint32_t maxLength)
    {
        std::u16string text;
        for (uint32_t n = minLength + Next() % (maxLength - minLength + 1); n > 0; --n)
            text.push_back(fAlphabet[Next() % fAlphabet.size()]);
        return text;
    }

private:
    std::u16string fAlphabet;
    uint32_t fSeed;
};

// The ASCII shortcuts must give ICU's answers, for several languages: texts of 0 to 9 units
// cover the unit loop, the packed short texts and the word loop with its overlapping last word.
TEST(VCollatorCompare, AsciiShortcutAgreesWithICU)
{
    RandomTexts random(u"aAbBcChHiIsSzZ09 -_.,'\t\n!~@[`{|\x7f\x01", 12345);
    for (const char* language : {"", "en_US", "fr", "de", "tr", "da", "hu", "cs", "es", "sv", "ja"}) {
        SCOPED_TRACE(language);
        const VCollator& collator = VCollator::GetForLanguage(language);
        int mismatches = 0;
        for (int i = 0; i < 1500 && mismatches < 5; ++i) {
            const std::u16string a = random.Text(0, 9);
            std::u16string b = i % 4 == 0 ? a : random.Text(0, 9);
            if (i % 7 == 0 && !b.empty())
                b[0] = char16_t(b[0] ^ 0x20); // case flips
            const int32_t al = int32_t(a.size());
            const int32_t bl = int32_t(b.size());
            for (bool diacritical : {false, true}) {
                const int expected = collator.CompareWithICU(a.data(), al, b.data(), bl, diacritical);
                const int actual = collator.Compare(a.data(), al, b.data(), bl, diacritical);
                const bool equal = collator.Equal(a.data(), al, b.data(), bl, diacritical);
                if (expected != actual || equal != (expected == 0)) {
                    ++mismatches;
                    ADD_FAILURE() << Show(VString(a.c_str(), al)) << " vs " << Show(VString(b.c_str(), bl))
                                  << " diacritical " << diacritical << ": ICU " << expected << ", shortcut " << actual
                                  << ", equal " << equal;
                }
            }
        }
    }
}

TEST(VCollatorSearch, AsciiShortcutAgreesWithICU)
{
    RandomTexts random(u"aAbBcChHsSzZ0 -_.\t\n\r", 777);
    for (const char* language : {"", "en_US", "fr", "tr", "cs", "da"}) {
        SCOPED_TRACE(language);
        const VCollator& collator = VCollator::GetForLanguage(language);
        int mismatches = 0;
        for (int i = 0; i < 600 && mismatches < 5; ++i) {
            const std::u16string text = random.Text(0, 7);
            std::u16string pattern = random.Text(1, 2);
            if (i % 3 == 0 && text.size() >= 2) { // a piece of the text, case flipped
                pattern = text.substr(random.Next() % (text.size() - 1), 2);
                pattern[0] = char16_t(pattern[0] ^ (pattern[0] >= u'A' ? 0x20 : 0));
            }
            const int32_t tl = int32_t(text.size());
            const int32_t pl = int32_t(pattern.size());
            for (bool diacritical : {false, true}) {
                const int32_t start = int32_t(random.Next() % 3);
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
    struct Row { const char* language; bool shortcut; };
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

TEST(VCollatorSearch, FindBeginsWithEndsWith)
{
    struct Row {
        const char16_t* text; const char16_t* pattern; bool diacritical; int32_t start; int32_t find;
        bool begins; bool ends;
    };
    const Row rows[] = {
        {u"\u00c9b\u00e8ne", u"eb", false, 1, 1, true, false},
        {u"\u00c9b\u00e8ne", u"\u00e9b", true, 1, 0, false, false},
        {u"\u00c9b\u00e8ne", u"\u00c9b", true, 1, 1, true, false},
        {u"\u00c9b\u00e8ne", u"ENE", false, 1, 3, false, true},
        {u"\u00c9b\u00e8ne", u"\u00e8ne", true, 1, 3, false, true},
        {u"\u00c9b\u00e8ne", u"ene", true, 1, 0, false, false},
        {u"\u00c9b\u00e8ne", u"", false, 1, 0, true, true},
        {u"Hello World", u"WORLD", false, 1, 7, false, true},
        {u"Hello World", u"world", true, 1, 0, false, false},
        {u"Hello World", u"Hello", true, 1, 1, true, false},
        {u"ab", u"abc", false, 1, 0, false, false},
        {u"", u"a", false, 1, 0, false, false},
        {u"\u00c9T\u00c9 \u00e9t\u00e9 ete", u"ete", false, 2, 5, true, true},
        {u"\u00c9T\u00c9 \u00e9t\u00e9 ete", u"ete", false, 6, 9, true, true},
        {u"\u00c9T\u00c9 \u00e9t\u00e9 ete", u"ete", false, 10, 0, true, true},
        {u"\u00c9T\u00c9 \u00e9t\u00e9 ete", u"ete", false, 99, 0, true, true},
        {u"\u00c9T\u00c9 \u00e9t\u00e9 ete", u"\u00e9t\u00e9", true, 1, 5, false, false},
    };
    for (const Row& row : rows) {
        const VString text(row.text);
        const VString pattern(row.pattern);
        SCOPED_TRACE(Show(text) + " / " + Show(pattern) + " from " + std::to_string(row.start)
                     + (row.diacritical ? " strict" : " loose"));
        EXPECT_EQ(row.find, text.Find(pattern, row.start, row.diacritical));
        EXPECT_EQ(row.begins, text.BeginsWith(pattern, row.diacritical));
        EXPECT_EQ(row.ends, text.EndsWith(pattern, row.diacritical));
    }
    // A decomposed accent matches the composed pattern: the match is longer than the pattern.
    const UniChar decomposed[] = u"xe\u0301t\u00e9y";
    int32_t matchLength = 0;
    EXPECT_EQ(2, Root().Find(decomposed, 6, u"\u00e9t\u00e9", 3, 1, true, &matchLength));
    EXPECT_EQ(4, matchLength);
}

TEST(VCollatorSearch, ExchangeWithCollatorRules)
{
    struct Row {
        const char16_t* text; const char16_t* find; const char16_t* with; bool diacritical; int32_t start;
        int32_t maxCount; const char16_t* expected;
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
        EXPECT_EQ(VString(row.expected), s);
    }
    VString turkish(u"KIRMIZI kirmizi");
    turkish.Exchange(VString(u"i"), VString(u"_"), 1, INT32_MAX, false,
                     const_cast<VCollator*>(&VCollator::GetForLanguage("tr")));
    EXPECT_EQ(VString(u"KIRMIZI k_rm_z_"), turkish);
}

TEST(VCollatorCase, FullCaseMapping)
{
    struct Row { const char* language; const char16_t* text; const char16_t* upper; const char16_t* lower; };
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
        VString lower(text);
        EXPECT_EQ(VString(row.upper), collator.ToUpperCase(text.GetCPointer(), text.GetLength(), upper) ? upper : text);
        EXPECT_EQ(VString(row.lower), collator.ToLowerCase(text.GetCPointer(), text.GetLength(), lower) ? lower : text);
    }
    // The string members map in place.
    VString text(u"Stra\u00dfe-\u00e9t\u00e9");
    text.ToUpperCase();
    EXPECT_EQ(VString(u"STRASSE-\u00c9T\u00c9"), text);
    text.ToLowerCase();
    EXPECT_EQ(VString(u"strasse-\u00e9t\u00e9"), text);
}

TEST(VCollatorLanguage, ProcessLanguageFromTheEnvironment)
{
    struct Row {
        std::optional<std::string> all; std::optional<std::string> collate; std::optional<std::string> lang;
        const char* expected;
    };
    const Row rows[] = {
        {"fr_FR.UTF-8@euro", "de_DE", "es", "fr_FR"},
        {"", "de_DE.UTF-8", "es", "de_DE"},
        {std::nullopt, std::nullopt, "sv_SE.UTF-8", "sv_SE"},
        {std::nullopt, std::nullopt, "C", ""}, {"POSIX", "de_DE", std::nullopt, ""},
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
