#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VTextConverters.h"
#include "kernel/text/VToUnicodeConverter.h"
#include "tests/kernel/text/ConverterTestSupport.h"

using namespace nuvo;

namespace {

using namespace nuvo::test;
using Units = std::u16string;

TEST(UTF8Converter, Decoding)
{
    CheckDecodeRows(CharSet::UTF8, {
        {"A e-acute", {0x41, 0xC3, 0xA9}, 64, true, 3, u"A\u00E9"},
        {"emoji becomes a pair", {0xF0, 0x9F, 0x98, 0x80}, 64, true, 4, u"\xD83D\xDE00"},
        {"euro sign", {0xE2, 0x82, 0xAC}, 64, true, 3, u"\u20AC"},
        {"trailing lead byte left unconsumed", {0x41, 0xC3}, 64, true, 1, u"A"},
        {"incomplete 3-byte sequence", {0x41, 0xE2, 0x82}, 64, true, 1, u"A"},
        {"incomplete 4-byte sequence", {0xF0, 0x9F, 0x98}, 64, true, 0, u""},
        {"lone continuation byte", {0x80}, 64, true, 1, u"\u0080"},
        {"lone BF then A", {0xBF, 0x41}, 64, true, 2, u"\u00BFA"},
        {"trailing bytes are not checked", {0xC3, 0x41}, 64, true, 2, u"\u0081"},
        {"overlong slash accepted", {0xC0, 0xAF}, 64, true, 2, u"/"},
        {"overlong NUL", {0xC0, 0x80}, 64, true, 2, Units(1, u'\0')},
        {"encoded surrogate passes through", {0xED, 0xA0, 0x80}, 64, true, 3, u"\xD800"},
        {"largest code point", {0xF4, 0x8F, 0xBF, 0xBF}, 64, true, 4, u"\xDBFF\xDFFF"},
        {"beyond U+10FFFF gives ? and false", {0xF4, 0x90, 0x80, 0x80, 0x41}, 64, false, 5, u"?A"},
        {"5-byte form", {0xF8, 0x88, 0x80, 0x80, 0x80}, 64, false, 5, u"?"},
        {"5-byte form cut", {0xF8, 0x88, 0x80, 0x80}, 64, true, 0, u""},
        {"6-byte form", {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80, 0x42}, 64, false, 7, u"?B"},
        {"FF with 5 trailing bytes", {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80}, 64, false, 6, u"?"},
        {"3-byte lead with ASCII after it", {0xE0, 0x41, 0x41}, 64, false, 3, u"?"},
        {"no room", {0x41, 0x42}, 0, true, 0, u""},
        {"room for one", {0x41, 0x42}, 1, true, 1, u"A"},
        {"pair needs two units of room", {0x41, 0xF0, 0x9F, 0x98, 0x80}, 2, true, 1, u"A"},
        {"pair with exactly two units", {0xF0, 0x9F, 0x98, 0x80, 0x41}, 2, true, 4, u"\xD83D\xDE00"},
        {"empty", {}, 64, true, 0, u""},
    });
}

TEST(UTF8Converter, DecodingLongASCIIRunsAroundOtherBytes)
{
    // Runs longer than the 16-byte blocks, with the non-ASCII byte at every position of a block.
    for (size_t pos = 0; pos < 40; ++pos) {
        SCOPED_TRACE(pos);
        Bytes input(40, 'x');
        input[pos] = 0xC3;
        input.insert(input.begin() + long(pos) + 1, 0xA9);
        Units expected(40, u'x');
        expected[pos] = u'\u00E9';
        Decoded d = Decode(CharSet::UTF8, input, 64);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.consumed, 41u);
        EXPECT_EQ(d.units, expected);
    }
    // The room ends inside an ASCII run.
    Decoded d = Decode(CharSet::UTF8, Bytes(40, 'y'), 21);
    EXPECT_EQ(d.consumed, 21u);
    EXPECT_EQ(d.units, Units(21, u'y'));
}

TEST(UTF8Converter, Encoding)
{
    CheckEncodeRows(CharSet::UTF8, {
        {"e-acute", u"\u00E9", 64, true, 1, {0xC3, 0xA9}},
        {"emoji pair", u"\xD83D\xDE00", 64, true, 2, {0xF0, 0x9F, 0x98, 0x80}},
        {"ASCII, 2, 3 and 4 bytes", u"a\u07FF\u0800\uFFFF\xDBFF\xDFFF", 64, true, 6,
         {0x61, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF, 0xF4, 0x8F, 0xBF, 0xBF}},
        {"lone trailing high surrogate stops before it", u"A\xD83D", 64, true, 1, {0x41}},
        {"lone low surrogate takes 3 bytes", u"\xDC00", 64, true, 1, {0xED, 0xB0, 0x80}},
        // (0xD800 << 10) + 0x41 - 0x35FDC00 = 0x2441: three bytes, both units consumed.
        {"high surrogate combined with a non-low unit", u"\xD800" u"A", 64, true, 2, {0xE2, 0x91, 0x81}},
        {"3-byte room and two e-acute", u"\u00E9\u00E9", 3, true, 1, {0xC3, 0xA9}},
        {"4-byte sequence does not fit in 3", u"\xD83D\xDE00", 3, true, 0, {}},
        {"room ends in ASCII", u"abcdefghij", 4, true, 4, {0x61, 0x62, 0x63, 0x64}},
        {"no room", u"a", 0, true, 0, {}}, {"empty", u"", 64, true, 0, {}},
    });
}

TEST(UTF8Converter, NullDestinationMeasures)
{
    VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::UTF8);
    struct Row { const char* label; Units input; int32_t consumed; size_t bytes; } rows[] = {
        {"mixed", u"a\u00E9\u20AC\xD83D\xDE00", 5, 1 + 2 + 3 + 4},
        {"trailing high surrogate", u"ab\xD83D", 2, 2},
        {"high surrogate with non-low", u"\xD800" u"A", 2, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        int32_t consumed = -1;
        size_t bytes = 0;
        EXPECT_TRUE(converter->Convert(row.input.data(), int32_t(row.input.size()), &consumed, nullptr, 0, &bytes));
        EXPECT_EQ(consumed, row.consumed);
        EXPECT_EQ(bytes, row.bytes);
    }
    converter->Release();
}

TEST(UTF8Converter, StdLibSetIsUTF8)
{
    Decoded d = Decode(CharSet::StdLib, {0x41, 0xC3, 0xA9});
    EXPECT_EQ(d.units, u"A\u00E9");
    Encoded e = Encode(CharSet::StdLib, u"\u00E9");
    EXPECT_EQ(e.bytes, (Bytes{0xC3, 0xA9}));
    VTextConverters* registry = VTextConverters::Get();
    VToUnicodeConverter* retained = registry->RetainToUnicodeConverter(CharSet::StdLib);
    EXPECT_EQ(retained, registry->GetStdLibToUnicodeConverter());
    retained->Release();
    EXPECT_EQ(registry->GetStdLibFromUnicodeConverter()->GetCharSize(), 1);
}

TEST(UTF16Converters, CopyAndSwap)
{
    CheckDecodeRows(CharSet::UTF16, {
        {"two units", {0x41, 0x00, 0xE9, 0x00}, 64, true, 4, u"A\u00E9"},
        {"odd byte count rounds down", {0x41, 0x00, 0x42}, 64, true, 2, u"A"},
        {"room of one", {0x41, 0x00, 0x42, 0x00}, 1, true, 2, u"A"},
    });
    CheckDecodeRows(CharSet::UTF16_BigEndian, {
        {"swapped", {0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}, 64, true, 6, u"A\xD83D\xDE00"},
        {"odd byte count", {0x00, 0x41, 0x00}, 64, true, 2, u"A"},
    });
    CheckEncodeRows(CharSet::UTF16, {
        {"copy", u"A\u20AC", 64, true, 2, {0x41, 0x00, 0xAC, 0x20}},
        {"room of three bytes", u"AB", 3, true, 1, {0x41, 0x00}},
    });
    CheckEncodeRows(CharSet::UTF16_BigEndian, {
        {"swap", u"A\u20AC", 64, true, 2, {0x00, 0x41, 0x20, 0xAC}},
    });
}

TEST(UTF32Converters, Decoding)
{
    CheckDecodeRows(CharSet::UTF32, {
        {"BMP and supplementary", {0x41, 0, 0, 0, 0x00, 0xF6, 0x01, 0x00}, 64, true, 8, u"A\xD83D\xDE00"},
        {"surrogate value stops with failure", {0x41, 0, 0, 0, 0x00, 0xD8, 0, 0, 0x42, 0, 0, 0}, 64, false, 4, u"A"},
        {"DFFF stops too", {0xFF, 0xDF, 0, 0}, 64, false, 0, u""},
        {"beyond 10FFFF is skipped with failure", {0x00, 0x00, 0x11, 0x00, 0x42, 0, 0, 0}, 64, false, 8, u"B"},
        {"pair with one unit of room fails", {0x41, 0, 0, 0, 0x00, 0xF6, 0x01, 0x00}, 2, false, 4, u"A"},
        {"trailing partial unit", {0x41, 0, 0, 0, 0x42, 0}, 64, true, 4, u"A"},
        {"room full", {0x41, 0, 0, 0, 0x42, 0, 0, 0}, 1, true, 4, u"A"},
    });
    CheckDecodeRows(CharSet::UTF32_BigEndian, {
        {"swapped", {0, 0, 0, 0x41, 0x00, 0x01, 0xF6, 0x00}, 64, true, 8, u"A\xD83D\xDE00"},
        {"swapped surrogate", {0, 0, 0xDC, 0x00}, 64, false, 0, u""},
    });
}

TEST(UTF32Converters, Encoding)
{
    CheckEncodeRows(CharSet::UTF32, {
        {"pair combined", u"A\xD83D\xDE00", 64, true, 3, {0x41, 0, 0, 0, 0x00, 0xF6, 0x01, 0x00}},
        {"lone low surrogate fails", u"A\xDC00" u"B", 64, false, 1, {0x41, 0, 0, 0}},
        {"high surrogate before non-low fails", u"\xD800" u"A", 64, false, 0, {}},
        {"trailing high surrogate fails", u"A\xD800", 64, false, 1, {0x41, 0, 0, 0}},
        {"room of 7 bytes", u"AB", 7, true, 1, {0x41, 0, 0, 0}},
    });
    CheckEncodeRows(CharSet::UTF32_BigEndian, {
        {"swapped pair", u"A\xD83D\xDE00", 64, true, 3, {0, 0, 0, 0x41, 0x00, 0x01, 0xF6, 0x00}},
        {"swapped lone low", u"\xDFFF", 64, false, 0, {}},
    });
}

TEST(Raw32Converters, KeepLow16BitsWithoutSurrogateHandling)
{
    CheckDecodeRows(CharSet::UTF32_Raw, {
        {"supplementary value truncated", {0x00, 0xF6, 0x01, 0x00, 0x41, 0, 0, 0}, 64, true, 8, u"\uF600A"},
        {"surrogate value passes", {0x00, 0xD8, 0, 0}, 64, true, 4, u"\xD800"},
        {"partial unit", {0x41, 0, 0}, 64, true, 0, u""},
    });
    CheckDecodeRows(CharSet::UTF32_Raw_Swapped, {
        {"swapped", {0x00, 0x01, 0xF6, 0x00, 0, 0, 0, 0x41}, 64, true, 8, u"\uF600A"},
    });
    CheckEncodeRows(CharSet::UTF32_Raw, {
        {"each unit alone", u"\xD83D\xDE00", 64, true, 2, {0x3D, 0xD8, 0, 0, 0x00, 0xDE, 0, 0}},
    });
    CheckEncodeRows(CharSet::UTF32_Raw_Swapped, {
        {"swapped", u"A", 64, true, 1, {0, 0, 0, 0x41}},
    });
}

// A set that is unknown, not in the table or without an ICU converter gets a void converter
// that converts nothing and fails.
TEST(Converters, CharSizesAndVoidConverters)
{
    struct Row { int set; bool valid; int32_t fromSize; };
    const Row rows[] = {
        {7, true, 1}, {-2, true, 1}, {2, true, 2}, {1, true, 2}, {4, true, 4}, {3, true, 4}, {6, true, 4},
        {5, true, 4}, {101, true, 1}, {1000, true, 1}, {0, false, 0}, {999, false, 0}, {110, false, 0},
        {120, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.set);
        VToUnicodeConverter* to = VTextConverters::Get()->RetainToUnicodeConverter(CharSet(row.set));
        VFromUnicodeConverter* from = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet(row.set));
        ASSERT_NE(to, nullptr);
        ASSERT_NE(from, nullptr);
        EXPECT_EQ(to->IsValid(), row.valid);
        EXPECT_EQ(from->IsValid(), row.valid);
        if (row.valid) {
            EXPECT_EQ(to->GetCharSize(), 2);
            EXPECT_EQ(from->GetCharSize(), row.fromSize);
        } else {
            Decoded d = Decode(CharSet(row.set), {0x41});
            EXPECT_FALSE(d.ok);
            EXPECT_EQ(d.consumed, 0u);
            Encoded e = Encode(CharSet(row.set), u"A");
            EXPECT_FALSE(e.ok);
            EXPECT_EQ(e.consumed, 0);
        }
        to->Release();
        from->Release();
    }
}

TEST(Converters, SharedConvertersServeSeveralThreads)
{
    // The registry's shared converters are stateless: threads retaining, using and releasing
    // them at once all get exact results and leave the counts balanced.
    VToUnicodeConverter* shared = VTextConverters::Get()->RetainToUnicodeConverter(CharSet::UTF8);
    const int32_t countBefore = shared->GetRefCount();
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                Decoded d = Decode(CharSet::UTF8, {0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80});
                Encoded e = Encode(CharSet::UTF16_BigEndian, u"A\u00E9");
                if (d.units != u"A\u00E9\xD83D\xDE00" || e.bytes != Bytes{0x00, 0x41, 0x00, 0xE9})
                    ++failures[size_t(t)];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    EXPECT_EQ(shared->GetRefCount(), countBefore);
    shared->Release();
}

} // namespace
