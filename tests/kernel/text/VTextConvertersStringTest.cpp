#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/base/VMemory.h"
#include "kernel/text/StStringConverter.h"
#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VString.h"
#include "kernel/text/VTextConverters.h"
#include "kernel/text/VToUnicodeConverter.h"
#include "tests/kernel/text/ConverterTestSupport.h"

using namespace nuvo;

namespace {

using test::Bytes;

std::u16string Units(const VString& text)
{
    return std::u16string(text.GetCPointer(), size_t(text.GetLength()));
}

VString Repeated(UniChar unit, int32_t count)
{
    const std::u16string units(size_t(count), unit);
    return VString(units.data(), count);
}

Bytes Concat(std::initializer_list<Bytes> pieces)
{
    Bytes out;
    for (const Bytes& piece : pieces)
        out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

Bytes Repeat(const Bytes& piece, size_t count)
{
    Bytes out;
    for (size_t i = 0; i < count; ++i)
        out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

// Each row appends to the result of the row before: a failure in a later step gives the string
// back its length from before the call, a failure in the only step keeps what it produced.
TEST(ConvertString, AppendsAndRecursesOverTheRest)
{
    struct Row { const char* label; CharSet set; Bytes input; bool ok; size_t consumed; std::u16string text; };
    const Row rows[] = {
        {"UTF-8 trailing lead byte", CharSet::UTF8, {0x41, 0xC3}, true, 1, u"xyA"},
        {"UTF-8 beyond U+10FFFF", CharSet::UTF8, {0xF4, 0x90, 0x80, 0x80, 0x42}, false, 5, u"xyA?B"},
        {"UTF-32 surrogate value after A", CharSet::UTF32, {0x41, 0, 0, 0, 0x00, 0xD8, 0, 0, 0x42, 0, 0, 0},
         false, 0, u"xyA?B"},
        {"UTF-32 skipped value", CharSet::UTF32, {0x43, 0, 0, 0, 0x00, 0x00, 0x11, 0x00}, false, 8, u"xyA?BC"},
    };
    VString text("xy");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(row.set);
        size_t consumed = 99;
        EXPECT_EQ(row.ok, converter->ConvertString(row.input.data(), row.input.size(), &consumed, text));
        EXPECT_EQ(consumed, row.consumed);
        EXPECT_EQ(Units(text), row.text);
        converter->Release();
    }
}

TEST(ConvertToVString, EmptiesTheOutputFirst)
{
    VTextConverters* registry = VTextConverters::Get();
    VString out("previous");
    const Bytes utf16 = {0x41, 0x00, 0x42, 0x00, 0x43};
    EXPECT_FALSE(registry->ConvertToVString(utf16.data(), utf16.size(), CharSet::UTF16, out));
    EXPECT_EQ(Units(out), u"AB");
    EXPECT_TRUE(registry->ConvertToVString(utf16.data(), 4, CharSet::UTF16, out));
    EXPECT_EQ(Units(out), u"AB");
    EXPECT_TRUE(registry->ConvertToVString(utf16.data(), 0, CharSet::UTF8, out));
    EXPECT_TRUE(out.IsEmpty());
    out = "previous";
    EXPECT_FALSE(registry->ConvertToVString(utf16.data(), 2, CharSet::Unknown, out));
    EXPECT_TRUE(out.IsEmpty());
}

TEST(ConvertFromVString, ReportsUnitsAndBytes)
{
    VString text(u"\u00E9t\u00E9");
    uint8_t buffer[8] = {};
    int32_t consumed = 0;
    size_t produced = 0;
    EXPECT_TRUE(VTextConverters::Get()->ConvertFromVString(text, &consumed, buffer, 4, &produced, CharSet::UTF8));
    EXPECT_EQ(consumed, 2);
    EXPECT_EQ(produced, 3u);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0xC3, 0xA9, 0x74}));
}

TEST(VStringBlocks, FromBlockAppendBlockAndConstructors)
{
    using Edit = void (*)(VString&);
    struct Row { const char* label; Edit edit; std::u16string text; };
    const Row rows[] = {
        {"constructor", [](VString& s) { s = VString("\x80\xE9\x41", 3, CharSet::Windows1252); },
         u"\u20AC\u00E9A"},
        {"FromBlock", [](VString& s) { s.FromBlock("\x80\xE9\x41", 2, CharSet::ISO8859_1); }, u"\u0080\u00E9"},
        {"FromBlock UTF-16", [](VString& s) { s.FromBlock("\x41\x00", 2, CharSet::UTF16); }, u"A"},
        {"AppendBlock", [](VString& s) { s.AppendBlock("\xC3\xA9!", 3, CharSet::UTF8); }, u"old\u00E9!"},
        {"AppendBlock UTF-16", [](VString& s) { s.AppendBlock("\x00\x41", 2, CharSet::UTF16_BigEndian); },
         u"oldA"},
        // Wide strings go through the raw converter: BMP only, higher values lose their top bits.
        {"wide", [](VString& s) { s = VString(L"A\u00E9\U0001F600"); }, u"A\u00E9\uF600"},
        {"no wide", [](VString& s) { s = VString(static_cast<const wchar_t*>(nullptr)); }, u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VString text("old");
        row.edit(text);
        EXPECT_EQ(Units(text), row.text);
    }
}

TEST(VStringBlocks, FromBlockWithOptionalBOM)
{
    struct Row { const char* label; Bytes bytes; int defaultSet; int usedSet; std::u16string text; };
    Row rows[] = {
        {"UTF-8 mark", {0xEF, 0xBB, 0xBF, 0x41, 0xC3, 0xA9}, 1005, 7, u"A\u00E9"},
        {"UTF-16 mark", {0xFF, 0xFE, 0x41, 0x00}, 7, 2, u"A"},
        {"UTF-16 BE mark", {0xFE, 0xFF, 0x00, 0x41}, 7, 1, u"A"},
        {"UTF-32 mark wins over UTF-16", {0xFF, 0xFE, 0x00, 0x00, 0x41, 0, 0, 0}, 7, 4, u"A"},
        {"UTF-32 BE mark", {0x00, 0x00, 0xFE, 0xFF, 0, 0, 0, 0x41}, 7, 3, u"A"},
        {"mark alone", {0xEF, 0xBB, 0xBF}, 1005, 7, u""},
        {"no mark: Latin-1", {0x41, 0xE9}, 1005, 1005, u"A\u00E9"},
        {"no mark: UTF-8", {0x41, 0x42}, 7, 7, u"AB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VString text("previous");
        CharSet used = text.FromBlockWithOptionalBOM(row.bytes.data(), row.bytes.size(), CharSet(row.defaultSet));
        EXPECT_EQ(used, CharSet(row.usedSet));
        EXPECT_EQ(Units(text), row.text);
    }
}

// written: the buffer's first bytes afterwards (it starts filled with 0xEE)
struct ToBlockRow {
    const char* label; std::u16string text; size_t size; int set; bool zero; bool prefix; size_t result;
    Bytes written;
};

TEST(VStringBlocks, ToBlockPrefixAndTerminator)
{
    const ToBlockRow rows[] = {
        {"UTF-8 plain", u"A\u00E9", 8, 7, false, false, 3, {0x41, 0xC3, 0xA9, 0xEE}},
        {"UTF-8 zero", u"A\u00E9", 8, 7, true, false, 3, {0x41, 0xC3, 0xA9, 0x00, 0xEE}},
        {"UTF-8 prefix and zero", u"A\u00E9", 8, 7, true, true, 3, {0x03, 0x41, 0xC3, 0xA9, 0x00, 0xEE}},
        {"room taken from size", u"hello", 4, 7, true, false, 3, {0x68, 0x65, 0x6C, 0x00, 0xEE}},
        {"no split character", u"\u00E9\u00E9", 5, 7, true, true, 2, {0x02, 0xC3, 0xA9, 0x00, 0xEE}},
        {"size below prefix and zero", u"A", 1, 7, true, true, 0, {0xEE}},
        {"size exactly prefix and zero", u"A", 2, 7, true, true, 0, {0x00, 0x00, 0xEE}},
        {"UTF-16 prefix counts units", u"AB", 10, 2, true, true, 4, {0x02, 0x00, 0x41, 0x00, 0x42, 0x00, 0x00, 0x00, 0xEE}},
        {"UTF-16 BE prefix", u"A", 10, 1, true, true, 2, {0x00, 0x01, 0x00, 0x41, 0x00, 0x00, 0xEE}},
        {"Latin-1", u"\u00E9", 4, 1005, true, true, 1, {0x01, 0xE9, 0x00, 0xEE}},
        {"UTF-32 takes 8-bit prefix", u"A", 8, 4, true, true, 4, {0x04, 0x41, 0, 0, 0, 0x00, 0xEE}},
    };
    for (const ToBlockRow& row : rows) {
        SCOPED_TRACE(row.label);
        Bytes buffer(row.size + 8, 0xEE);
        VString text(row.text.data(), int32_t(row.text.size()));
        EXPECT_EQ(text.ToBlock(buffer.data(), row.size, CharSet(row.set), row.zero, row.prefix), row.result);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + long(row.written.size())), row.written);
    }
}

TEST(VStringBlocks, ToBlockPrefixLimits)
{
    struct Row { const char* label; int32_t units; int set; Bytes prefix; } rows[] = {
        {"UTF-16 0xFFFF units", 0xFFFF, 2, {0xFF, 0xFF}},
        {"UTF-16 0x10000 units = 0x20000 bytes", 0x10000, 2, {0x00, 0x00}},
        {"8-bit 255 bytes", 255, 7, {0xFF}}, {"8-bit 256 bytes", 256, 7, {0x00}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const VString text = Repeated(u'a', row.units);
        const size_t unitSize = row.set == 2 ? 2 : 1;
        Bytes buffer(size_t(row.units) * unitSize + 2 * unitSize, 0xEE);
        EXPECT_EQ(text.ToBlock(buffer.data(), buffer.size(), CharSet(row.set), true, true),
                  size_t(row.units) * unitSize);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + long(unitSize)), row.prefix);
        EXPECT_EQ(buffer[unitSize], 'a');
        EXPECT_EQ(buffer.back(), 0x00);
    }
}

TEST(LegacySets, RoundTripsThroughICU)
{
    struct Row { const char* label; int set; std::u16string text; Bytes bytes; } rows[] = {
        {"windows-1252", 101, u"\u20AC\u00E9A", {0x80, 0xE9, 0x41}},
        {"Shift_JIS", 1000, u"A\u65E5\u672C\uFF71", {0x41, 0x93, 0xFA, 0x96, 0x7B, 0xB1}},
        {"ISO-2022-JP", 1001, u"\u65E5\u672C", {0x1B, 0x24, 0x42, 0x46, 0x7C, 0x4B, 0x5C, 0x1B, 0x28, 0x42}},
        {"MacRoman", 100, u"\u00C4", {0x80}},
        {"ISO-8859-15", 1018, u"\u20AC", {0xA4}},
        {"US-ASCII", 9, u"Az", {0x41, 0x7A}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VString decoded(row.bytes.data(), row.bytes.size(), CharSet(row.set));
        EXPECT_EQ(Units(decoded), row.text);

        VString text(row.text.data(), int32_t(row.text.size()));
        Bytes buffer(64, 0xEE);
        EXPECT_EQ(text.ToBlock(buffer.data(), buffer.size(), CharSet(row.set), false, false), row.bytes.size());
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + long(row.bytes.size())), row.bytes);
    }
}

TEST(LegacySets, SmallRoomsEndAtCharacterBoundaries)
{
    test::CheckEncodeRows(CharSet::ShiftJIS, {
        {"room of 3 bytes takes one kanji", u"\u65E5\u672C", 3, true, 1, {0x93, 0xFA}},
    });
    // A stateful set closes each piece with its return to ASCII, so pieces concatenate.
    test::CheckEncodeRows(CharSet::ISO2022JP, {
        {"room of 8 bytes", u"\u65E5\u672C", 8, true, 1, {0x1B, 0x24, 0x42, 0x46, 0x7C, 0x1B, 0x28, 0x42}},
    });
    // An incomplete double-byte character stays unconsumed; the decoder takes it again.
    test::CheckDecodeRows(CharSet::ShiftJIS, {
        {"lead byte at the end", {0x41, 0x93}, 4, true, 1, u"A"},
        {"room for one unit", {0x93, 0xFA, 0x42}, 1, true, 2, u"\u65E5"},
    });
    VFromUnicodeConverter* sjis = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::ShiftJIS);
    int32_t consumed = -1;
    size_t produced = 99;
    EXPECT_TRUE(sjis->Convert(u"\u65E5\u672C", 2, &consumed, nullptr, 0, &produced));
    EXPECT_EQ(produced, 4u);
    sjis->Release();
}

TEST(LegacySets, StatefulDecodingGoesOnAcrossCalls)
{
    // ESC $ B switches to JIS X 0208 (two bytes per character), ESC ( B back to ASCII.
    const Bytes text = {0x1B, 0x24, 0x42, 0x46, 0x7C, 0x4B, 0x5C, 0x1B, 0x28, 0x42, 0x41};
    // bytes: supplied in this call, after what the previous calls consumed
    struct Step { size_t bytes; int32_t room; size_t consumed; std::u16string units; };
    struct Row { const char* label; std::vector<Step> steps; } rows[] = {
        {"one unit of room per call",
         // The escape back to ASCII produces nothing: it goes with the character before it.
         {{11, 1, 5, u"\u65E5"}, {6, 1, 5, u"\u672C"}, {1, 1, 1, u"A"}}},
        {"input cut inside a character and inside an escape",
         {{4, 8, 4, u""}, {4, 8, 4, u"\u65E5\u672C"}, {3, 8, 3, u"A"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VToUnicodeConverter* decoder = VTextConverters::Get()->RetainToUnicodeConverter(CharSet::ISO2022JP);
        size_t offset = 0;
        for (const Step& step : row.steps) {
            SCOPED_TRACE(offset);
            UniChar units[8] = {};
            size_t consumed = 0;
            int32_t produced = 0;
            EXPECT_TRUE(decoder->Convert(text.data() + offset, step.bytes, &consumed, units, step.room, &produced));
            EXPECT_EQ(consumed, step.consumed);
            EXPECT_EQ(std::u16string(units, size_t(produced)), step.units);
            offset += consumed;
        }
        EXPECT_EQ(offset, text.size());
        decoder->Release();
    }
}

TEST(GrowingBuffers, ConvertReallocAndConvertToBuffer)
{
    // 1000 euro signs take 3000 bytes, far beyond the first guess of one byte per unit.
    const VString euros = Repeated(u'\u20AC', 1000);
    const Bytes expected = Repeat({0xE2, 0x82, 0xAC}, 1000);

    VFromUnicodeConverter* utf8 = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::UTF8);
    void* block = nullptr;
    size_t bytes = 0;
    ASSERT_TRUE(utf8->ConvertRealloc(euros.GetCPointer(), euros.GetLength(), block, bytes, 2));
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(bytes, 3000u);
    const uint8_t* p = static_cast<const uint8_t*>(block);
    EXPECT_EQ(Bytes(p, p + bytes), expected);
    EXPECT_EQ(p[3000], 0);
    EXPECT_EQ(p[3001], 0);
    VMemory::DisposePtr(block);

    std::vector<char> buffer(10, 'x');
    ASSERT_TRUE(utf8->ConvertToBuffer(euros.GetCPointer(), euros.GetLength(), buffer, 1));
    ASSERT_EQ(buffer.size(), 3001u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end() - 1), expected);
    EXPECT_EQ(buffer.back(), 0);

    // A trailing high surrogate ends the conversion without an error.
    const std::u16string cut = u"ab\xD83D";
    ASSERT_TRUE(utf8->ConvertToBuffer(cut.data(), 3, buffer, 0));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "ab");
    utf8->Release();

    VFromUnicodeConverter* sjis = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::ShiftJIS);
    const VString kanji = Repeated(u'\u65E5', 600);
    ASSERT_TRUE(sjis->ConvertToBuffer(kanji.GetCPointer(), kanji.GetLength(), buffer, 0));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), Repeat({0x93, 0xFA}, 600));
    sjis->Release();
}

TEST(GrowingBuffers, ConvertReallocKeepsOrGrowsTheCallersBlock)
{
    VFromUnicodeConverter* utf8 = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::UTF8);
    const std::u16string text = u"a\u00E9\u20AC";
    struct Row { const char* label; size_t blockSize; bool sameBlock; } rows[] = {
        {"large enough", 64, true}, {"too small", 2, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        void* block = VMemory::NewPtr(row.blockSize, MakeOsType("test"));
        void* original = block;
        size_t bytes = row.blockSize;
        ASSERT_TRUE(utf8->ConvertRealloc(text.data(), 3, block, bytes, 1));
        EXPECT_EQ(bytes, 6u);
        if (row.sameBlock) {
            EXPECT_EQ(block, original);
        }
        const uint8_t* p = static_cast<const uint8_t*>(block);
        EXPECT_EQ(Bytes(p, p + 7), (Bytes{0x61, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0x00}));
        VMemory::DisposePtr(block);
    }
    utf8->Release();
}

TEST(GrowingBuffers, StatefulSetGrownPieceByPieceStillDecodes)
{
    // ISO-2022-JP needs more than one byte per unit, so the buffer grows several times; every
    // piece ends in ASCII, so the whole is valid and decodes to the original text.
    std::u16string text;
    for (int i = 0; i < 300; ++i)
        text += (i % 7 == 0) ? u"ab " : u"\u65E5\u672C";
    VFromUnicodeConverter* jis = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::ISO2022JP);
    std::vector<char> buffer;
    ASSERT_TRUE(jis->ConvertToBuffer(text.data(), int32_t(text.size()), buffer, 0));
    jis->Release();
    ASSERT_GE(buffer.size(), 3u);
    EXPECT_EQ(Bytes(buffer.end() - 3, buffer.end()), (Bytes{0x1B, 0x28, 0x42}));
    VString decoded(buffer.data(), buffer.size(), CharSet::ISO2022JP);
    EXPECT_EQ(Units(decoded), text);
}

// The inline buffer holds short results; 300 e-acute (600 bytes) and 400 kanji (800 bytes between
// one escape in and one escape out) go to the heap.
TEST(StStringConverter, InlineAndHeapResults)
{
    struct Row { const char* label; VString text; CharSet set; ECarriageReturnMode mode; Bytes bytes; };
    const Row rows[] = {
        {"short UTF-8", VString(u"A\u00E9"), CharSet::UTF8, eCRM_NONE, {0x41, 0xC3, 0xA9}},
        {"long UTF-8", Repeated(u'\u00E9', 300), CharSet::UTF8, eCRM_NONE, Repeat({0xC3, 0xA9}, 300)},
        {"UTF-16", VString("AB"), CharSet::UTF16, eCRM_NONE, {0x41, 0x00, 0x42, 0x00}},
        {"long ISO-2022-JP", Repeated(u'\u65E5', 400), CharSet::ISO2022JP, eCRM_NONE,
         Concat({{0x1B, 0x24, 0x42}, Repeat({0x46, 0x7C}, 400), {0x1B, 0x28, 0x42}})},
        {"line ends to CRLF", VString("a\nb"), CharSet::UTF8, eCRM_CRLF, {0x61, 0x0D, 0x0A, 0x62}},
        {"line ends kept", VString("a\nb"), CharSet::UTF8, eCRM_NONE, {0x61, 0x0A, 0x62}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        StStringConverter<char> converted(row.text, row.set, row.mode);
        EXPECT_TRUE(converted.IsOK());
        ASSERT_EQ(converted.GetSize(), row.bytes.size());
        const uint8_t* p = reinterpret_cast<const uint8_t*>(converted.GetCPointer());
        // The terminator is as wide as one unit of the set.
        const size_t zeros = row.set == CharSet::UTF16 ? 2 : 1;
        EXPECT_EQ(Bytes(p, p + row.bytes.size() + zeros), Concat({row.bytes, Bytes(zeros, 0)}));
    }

    StStringConverter<char> converted(Repeated(u'\u00E9', 300), CharSet::UTF8);
    EXPECT_TRUE(converted.ConvertString(VString("ok"))); // the object is reused
    EXPECT_STREQ(converted.GetCPointer(), "ok");

    StStringConverter<char> none(VString("AB"), CharSet::Unknown);
    EXPECT_FALSE(none.IsOK());
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(none.GetSize(), 0u);
    EXPECT_STREQ(none.GetCPointer(), "");
}

} // namespace
