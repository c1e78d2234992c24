#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/text/VStr.h"
#include "kernel/text/VString.h"

namespace nuvo {

// Readable failure messages: ASCII as is, everything else as \uXXXX.
void PrintTo(const VString& text, std::ostream* os)
{
    *os << '"';
    for (int32_t i = 0; i < text.GetLength(); ++i) {
        const UniChar c = text.GetCPointer()[i];
        if (c >= 0x20 && c < 0x7F) {
            *os << char(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof(buffer), "\\u%04X", unsigned(c));
            *os << buffer;
        }
    }
    *os << '"' << (text.IsNull() ? " (null)" : "");
}

namespace {

bool LivesInside(const VString& text)
{
    const char* p = reinterpret_cast<const char*>(text.GetCPointer());
    const char* object = reinterpret_cast<const char*>(&text);
    return p >= object && p < object + sizeof(text);
}

VString Repeat(UniChar unit, int32_t count)
{
    VString s;
    for (int32_t i = 0; i < count; ++i)
        s.AppendUniChar(unit);
    return s;
}

// count units "abc...zab...", built in one step from empty (capacity rule without growth extra).
VString MakeText(int32_t count)
{
    std::u16string units;
    for (int32_t i = 0; i < count; ++i)
        units.push_back(char16_t(u'a' + i % 26));
    return VString(static_cast<const UniChar*>(units.data()), count);
}

std::vector<VString> Pieces(std::initializer_list<const char16_t*> texts)
{
    std::vector<VString> out;
    for (const char16_t* t : texts)
        out.emplace_back(t);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Construction

TEST(VStringConstruction, AsciiCStringGivesOneUnitPerByte)
{
    VString s("abc");
    EXPECT_EQ(3, s.GetLength());
    EXPECT_FALSE(s.IsNull());
    EXPECT_EQ(u'a', s.GetCPointer()[0]);
    EXPECT_EQ(u'c', s.GetCPointer()[2]);
    EXPECT_EQ(0, s.GetCPointer()[3]);

    VString t;
    t.FromCString("~\x7f");
    EXPECT_EQ(VString(u"~\u007f"), t);
    EXPECT_TRUE(t.EqualToUSASCIICString("~\x7f"));
}

TEST(VStringConstruction, NonAsciiCStringsAreDecodedAsUtf8)
{
    // On Linux the C library's set is UTF-8, so both entry points agree.
    EXPECT_EQ(VString(u"\u00e9t\u00e9"), VString("\xc3\xa9t\xc3\xa9"));
    VString s(u"x");
    s.AppendCString("\xe2\x82\xac!");
    EXPECT_EQ(VString(u"x\u20ac!"), s);
    s.FromCString("na\xc3\xafve");
    EXPECT_EQ(VString(u"na\u00efve"), s);
}

TEST(VStringConstruction, NullForeignBufferGivesNullEmptyString)
{
    VString s(static_cast<UniChar*>(nullptr), 0, 100);
    EXPECT_TRUE(s.IsNull());
    EXPECT_TRUE(s.IsEmpty());
    s.AppendUniChar(u'x');
    EXPECT_FALSE(s.IsNull());
    EXPECT_EQ(VString(u"x"), s);
}

TEST(VStringConstruction, ForeignBufferIsWrittenInPlaceUntilFull)
{
    UniChar buffer[4] = {u'a', u'b', u'?', u'?'};
    VString s(buffer, 2, sizeof(buffer));
    EXPECT_EQ(3, s.GetMaxLength());
    EXPECT_EQ(buffer, s.GetCPointer());
    EXPECT_EQ(0, buffer[2]);

    s.AppendUniChar(u'c');
    EXPECT_EQ(buffer, s.GetCPointer());
    EXPECT_EQ(u'c', buffer[2]);
    EXPECT_EQ(0, buffer[3]);

    s.AppendUniChar(u'd'); // 4 units no longer fit with the terminator
    EXPECT_NE(buffer, s.GetCPointer());
    EXPECT_EQ(VString(u"abcd"), s);
    EXPECT_EQ(u'c', buffer[2]);
    EXPECT_EQ(0, buffer[3]);
}

TEST(VStringConstruction, ForeignBufferKeepsReceivingCopiesThatFit)
{
    const VString heap = MakeText(20);
    UniChar buffer[32];
    VString s(buffer, 0, sizeof(buffer));
    s.AppendString(heap);
    EXPECT_EQ(buffer, s.GetCPointer());
    const VString longer = MakeText(25);
    s = longer;
    EXPECT_EQ(buffer, s.GetCPointer());
    EXPECT_EQ(u'y', buffer[24]);
    EXPECT_EQ(0, buffer[25]);
    const VString tooLong = MakeText(40);
    s = tooLong; // no room left in the buffer: shares the heap text
    EXPECT_EQ(tooLong.GetCPointer(), s.GetCPointer());
    EXPECT_EQ(MakeText(40), s);
}

TEST(VStringConstruction, ForeignBufferWithoutRoomForTheTerminatorIsNeverWritten)
{
    UniChar buffer[2] = {u'#', u'#'};
    for (size_t bytes : {size_t(0), size_t(1)}) {
        SCOPED_TRACE(bytes);
        VString s(buffer, 0, bytes);
        EXPECT_TRUE(s.IsEmpty());
        EXPECT_FALSE(s.Validate(0));
        s.Truncate(0);
        s.FromUniString(u"", 0);
        EXPECT_EQ(u'#', buffer[0]);
        s.AppendUniChar(u'x');
        EXPECT_EQ(VString(u"x"), s);
        EXPECT_EQ(u'#', buffer[0]);
    }
}

TEST(VStringConstruction, LiteralViewIsCopiedOnFirstWrite)
{
    // A view of unknown size: even a write that would fit must not touch the viewed units.
    UniChar literal[2] = {u'a', 0};
    {
        VString s(literal, 1, SIZE_MAX);
        EXPECT_EQ(literal, s.GetCPointer());
        EXPECT_EQ(1, s.GetMaxLength());
        s.AppendUniChar(u'b');
        EXPECT_NE(literal, s.GetCPointer());
        EXPECT_EQ(VString(u"ab"), s);
        EXPECT_EQ(5, s.GetMaxLength()); // capacity 8 for short texts
    }
    EXPECT_EQ(u'a', literal[0]);
    EXPECT_EQ(0, literal[1]);

    VString replaced(literal, 1, SIZE_MAX);
    replaced.Exchange(u'a', u'z');
    EXPECT_EQ(VString(u"z"), replaced);
    EXPECT_EQ(u'a', literal[0]);

    VString cut(literal, 1, SIZE_MAX);
    cut.Truncate(0);
    EXPECT_TRUE(cut.IsEmpty());
    EXPECT_EQ(u'a', literal[0]);

    // A copy of the view does not share the viewed units.
    VString view(literal, 1, SIZE_MAX);
    VString copy(view);
    EXPECT_NE(literal, copy.GetCPointer());
    EXPECT_EQ(VString(u"a"), copy);
}

TEST(VStringConstruction, OtherSources)
{
    EXPECT_EQ(VString(u"x"), VString(UniChar(u'x')));
    EXPECT_EQ(2, VString(u"\u00e9t").GetLength());
    EXPECT_EQ(VString(u"ab"), VString(u"abc", 2));
    EXPECT_TRUE(VString(static_cast<const UniChar*>(nullptr)).IsEmpty());

    VString s(u"old");
    s.FromUniString(u"new text", 3);
    EXPECT_EQ(VString(u"new"), s);
    s.FromUniChar(u'Q');
    EXPECT_EQ(VString(u"Q"), s);
    s.FromCString("plain");
    EXPECT_EQ(VString(u"plain"), s);
    s.FromUniString(s.GetCPointer() + 2, 3); // from its own units
    EXPECT_EQ(VString(u"ain"), s);
}

// ---------------------------------------------------------------------------------------------
// Capacity and storage

TEST(VStringCapacity, ProgressiveResizeTable)
{
    struct Row {
        const char* name;
        int32_t requested;
        int32_t current;
        int32_t capacity;
    };
    const Row rows[] = {
        {"grow 100 to 101", 101, 100, 128},
        {"build 100 from empty", 100, 0, 104},
        {"tiny", 0, 0, 8},
        {"five", 5, 3, 8},
        {"six from empty", 6, 0, 16},
        {"six from five: extra below 3", 6, 5, 16},
        {"same length", 7, 7, 16},
        {"thousand from 999", 1000, 999, 1208},
        {"shrink 800 from 1000", 800, 1000, 968},
        {"extra capped at 0xA00000", 100000000, 1, 110485768},
        {"near the limit: n + 3", 0x7FFFFFF9, 1, 0x7FFFFFFC},
        {"at the limit: overflow", 0x7FFFFFFD, 1, 0},
        {"largest: overflow", INT32_MAX, 0, 0},
        {"negative", -1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.capacity, ComputeProgressiveResize(row.requested, row.current));
    }
}

TEST(VStringCapacity, BuildingFromEmptyAndGrowingAShared)
{
    const VString hundred = MakeText(100);
    VString built;
    built.AppendUniChars(hundred.GetCPointer(), 100);
    EXPECT_EQ(101, built.GetMaxLength());

    VString copy(built);
    copy.AppendUniChar(u'!');
    EXPECT_EQ(125, copy.GetMaxLength());
    EXPECT_EQ(101, built.GetMaxLength());
}

TEST(VStringCapacity, AppendingUnitByUnitGrowsGeometrically)
{
    VString s;
    std::vector<int32_t> seen;
    for (int32_t i = 0; i < 30; ++i) {
        s.AppendUniChar(u'x');
        if (seen.empty() || seen.back() != s.GetMaxLength())
            seen.push_back(s.GetMaxLength());
    }
    EXPECT_EQ((std::vector<int32_t>{5, 13, 21, 29, 37}), seen);
}

TEST(VStringCapacity, TruncateShrinksOversizedHeapBuffers)
{
    struct Row {
        const char* name;
        int32_t length;
        int32_t maxLength;
    };
    // 1000 units built from empty: capacity 1008, maximum length 1005.
    const Row rows[] = {
        {"small cut keeps the buffer", 900, 1005},
        {"1005 > 800 + 100 + 32 shrinks", 800, 965},
        {"to 100", 100, 125},
        {"to 0 goes inline", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString s = MakeText(1000);
        ASSERT_EQ(1005, s.GetMaxLength());
        s.Truncate(row.length);
        EXPECT_EQ(row.length, s.GetLength());
        EXPECT_EQ(row.maxLength, s.GetMaxLength());
        EXPECT_EQ(0, s.GetCPointer()[row.length]);
        if (row.length > 0) {
            EXPECT_EQ(UniChar(u'a' + (row.length - 1) % 26), s.GetCPointer()[row.length - 1]);
        }
    }
}

TEST(VStringCapacity, ImpossibleSizesFailAndLeaveTheStringAlone)
{
    VString s(u"keep");
    EXPECT_FALSE(s.EnsureSize(INT32_MAX));
    EXPECT_FALSE(s.EnsureSize(-1));
    EXPECT_EQ(nullptr, s.GetCPointerForWrite(-5));
    s.AppendUniChars(u"xy", -1);
    EXPECT_EQ(VString(u"keep"), s);

    // A view whose length is already the largest possible cannot grow; nothing is read.
    UniChar unit = u'a';
    VString huge(&unit, INT32_MAX, SIZE_MAX);
    huge.AppendUniChar(u'b');
    huge.AppendUniChars(u"bc", 2);
    huge.AppendCString("bc");
    huge.Insert(VString(u"b"), 1);
    EXPECT_EQ(INT32_MAX, huge.GetLength());
    EXPECT_EQ(&unit, huge.GetCPointer());
    EXPECT_EQ(u'a', unit);
}

TEST(VStringCapacity, ImpossibleSizesReportTheAllocationError)
{
    struct Row {
        const char* name;
        void (*request)(VString&);
    };
    const Row rows[] = {
        {"EnsureSize beyond the capacity limit", [](VString& s) { (void)s.EnsureSize(INT32_MAX); }},
        {"negative EnsureSize", [](VString& s) { (void)s.EnsureSize(-1); }},
        {"negative AppendUniChars", [](VString& s) { s.AppendUniChars(u"ab", -2); }},
        {"negative FromUniString", [](VString& s) { s.FromUniString(u"ab", -1); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StErrorContextInstaller errors(true, true);
        VString s(u"keep");
        row.request(s);
        EXPECT_EQ(VE_STRING_ALLOC_FAILED, errors.GetLastError());
        EXPECT_EQ(VString(u"keep"), s);
    }
    StErrorContextInstaller errors(true, true);
    VString fine(u"x");
    ASSERT_TRUE(fine.EnsureSize(1000));
    EXPECT_EQ(VE_OK, errors.GetLastError());
}

TEST(VStringCapacity, WriteThroughPointerThenValidate)
{
    VString s(MakeText(40));
    VString shared(s);
    UniChar* p = shared.GetCPointerForWrite(50);
    ASSERT_NE(nullptr, p);
    EXPECT_NE(s.GetCPointer(), p); // detached before writing
    EXPECT_EQ(u'a', p[0]);
    p[40] = u'!';
    EXPECT_TRUE(shared.Validate(41));
    EXPECT_EQ(u'!', shared.GetUniChar(41));
    EXPECT_EQ(40, s.GetLength());
    EXPECT_FALSE(shared.Validate(shared.GetMaxLength() + 1));
    EXPECT_FALSE(shared.Validate(-1));
}

// ---------------------------------------------------------------------------------------------
// Sharing, copy-on-write and moves

TEST(VStringSharing, CopySharesUntilFirstWrite)
{
    const VString original = MakeText(100);
    VString copy(original);
    EXPECT_EQ(original.GetCPointer(), copy.GetCPointer());

    VString third;
    third = copy;
    EXPECT_EQ(original.GetCPointer(), third.GetCPointer());

    copy.Exchange(u'a', u'A', 1, 1);
    EXPECT_NE(original.GetCPointer(), copy.GetCPointer());
    EXPECT_EQ(u'a', original.GetUniChar(1));
    EXPECT_EQ(u'A', copy.GetUniChar(1));
    EXPECT_EQ(original.GetCPointer(), third.GetCPointer());
    EXPECT_EQ(u'a', third.GetUniChar(1));
}

TEST(VStringSharing, EveryMutatorDetaches)
{
    struct Row {
        const char* name;
        void (*edit)(VString&);
    };
    const Row rows[] = {
        {"AppendUniChar", [](VString& s) { s.AppendUniChar(u'!'); }},
        {"AppendString", [](VString& s) { s.AppendString(VString(u"!")); }},
        {"AppendCString", [](VString& s) { s.AppendCString("!"); }},
        {"Insert", [](VString& s) { s.Insert(u'!', 3); }},
        {"Remove", [](VString& s) { s.Remove(2, 3); }},
        {"Replace", [](VString& s) { s.Replace(VString(u"!"), 1, 2); }},
        {"Truncate", [](VString& s) { s.Truncate(10); }},
        {"SubString", [](VString& s) { s.SubString(5, 10); }},
        {"Exchange unit", [](VString& s) { s.Exchange(u'c', u'!'); }},
        {"ExchangeRawString", [](VString& s) { s.ExchangeRawString(VString(u"cd"), VString(u"!")); }},
        {"ToUpperCase", [](VString& s) { s.ToUpperCase(); }},
        {"TrimeSpaces", [](VString& s) { s.Insert(u' ', 1); s.TrimeSpaces(); s.AppendUniChar(u'!'); }},
        {"GetCPointerForWrite", [](VString& s) { s.GetCPointerForWrite(60)[0] = u'!'; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const VString original = MakeText(60);
        const VString snapshot(original.GetCPointer(), original.GetLength()); // a private copy
        VString copy(original);
        row.edit(copy);
        EXPECT_EQ(snapshot, original);
        EXPECT_NE(snapshot, copy);
        EXPECT_TRUE(copy.IsDirty());
    }
}

TEST(VStringSharing, InlineAndForeignSourcesAreCopied)
{
    VStr15 inlineText("inline");
    VString a(inlineText);
    EXPECT_NE(inlineText.GetCPointer(), a.GetCPointer());
    EXPECT_EQ(VString(u"inline"), a);

    UniChar buffer[8] = {u'f', u'o', u'r'};
    VString foreign(buffer, 3, sizeof(buffer));
    VString b(foreign);
    EXPECT_NE(static_cast<const UniChar*>(buffer), b.GetCPointer());
    b.AppendUniChar(u'!');
    EXPECT_EQ(0, buffer[3]);
}

TEST(VStringSharing, CopyKeepsTheNullFlag)
{
    VString null(static_cast<UniChar*>(nullptr), 0, 0);
    VString copy(null);
    EXPECT_TRUE(copy.IsNull());
    VString assigned(u"x");
    assigned = null;
    EXPECT_TRUE(assigned.IsNull());
    EXPECT_TRUE(assigned.IsEmpty());
    assigned.Clear();
    EXPECT_FALSE(assigned.IsNull());
}

TEST(VStringSharing, SelfOperations)
{
    VString s = MakeText(30);
    const VString expected = MakeText(30) + MakeText(30);
    VString shared(s);
    s.AppendString(s);
    EXPECT_EQ(expected, s);
    EXPECT_EQ(MakeText(30), shared);

    VString lone = MakeText(30);
    lone.AppendString(lone);
    EXPECT_EQ(expected, lone);

    VString small(u"abc");
    small.Insert(small, 2);
    EXPECT_EQ(VString(u"aabcbc"), small);
    small = small;
    EXPECT_EQ(VString(u"aabcbc"), small);
    small.GetSubString(2, 3, small);
    EXPECT_EQ(VString(u"abc"), small);
}

TEST(VStringSharing, SharedBuffersAcrossThreads)
{
    const VString original = MakeText(200);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&original, &mismatches, t] {
            for (int i = 0; i < 2000; ++i) {
                VString copy(original);
                VString second = copy;
                if (i % 2 == 0)
                    second.AppendUniChar(UniChar(u'0' + t));
                if (copy.GetUniChar(200) != u'r' || second.GetUniChar(1) != u'a')
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ(MakeText(200), original);
}

TEST(VStringMove, HeapBufferIsTakenOver)
{
    VString source = MakeText(50);
    const UniChar* buffer = source.GetCPointer();
    VString target(std::move(source));
    EXPECT_EQ(buffer, target.GetCPointer());
    EXPECT_TRUE(source.IsEmpty()); // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_FALSE(source.IsNull());

    VString assigned(u"old");
    assigned = std::move(target);
    EXPECT_EQ(buffer, assigned.GetCPointer());
    EXPECT_EQ(MakeText(50), assigned);
    EXPECT_TRUE(target.IsEmpty()); // NOLINT(bugprone-use-after-move)
}

TEST(VStringMove, InlineAndForeignSourcesAreCopied)
{
    VStr31 small("short");
    VString target(std::move(small));
    EXPECT_EQ(VString(u"short"), target);
    EXPECT_FALSE(LivesInside(target) && target.GetCPointer() == small.GetCPointer());

    UniChar buffer[8] = {u'f', u'o', u'r'};
    VString foreign(buffer, 3, sizeof(buffer));
    VString taken(std::move(foreign));
    EXPECT_NE(static_cast<const UniChar*>(buffer), taken.GetCPointer());
    EXPECT_EQ(VString(u"for"), taken);
}

TEST(VStringMove, MoveIntoVStrAndVector)
{
    std::vector<VString> list;
    for (int i = 0; i < 40; ++i)
        list.push_back(MakeText(20 + i));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(MakeText(20 + i), list[size_t(i)]);
    VString heap = MakeText(3);
    const UniChar* buffer = heap.GetCPointer();
    VStr4 four(std::move(heap)); // a heap buffer is taken over even when the text would fit inline
    EXPECT_EQ(buffer, four.GetCPointer());
    EXPECT_EQ(VString(u"abc"), four);
    VStr4 copied(VStr4("xyz"));
    EXPECT_TRUE(LivesInside(copied));
}

// ---------------------------------------------------------------------------------------------
// VStr: inline storage

TEST(VStrInline, StaysInsideTheObjectWhileItFits)
{
    VStr15 s;
    EXPECT_EQ(15, s.GetMaxLength());
    for (int i = 0; i < 15; ++i)
        s.AppendUniChar(u'x');
    EXPECT_TRUE(LivesInside(s));
    EXPECT_EQ(15, s.GetMaxLength());

    s.AppendUniChar(u'y');
    EXPECT_FALSE(LivesInside(s));
    EXPECT_EQ(21, s.GetMaxLength()); // 16 from 15: extra 3, capacity 24
    EXPECT_EQ(Repeat(u'x', 15) + VString(u"y"), s);
}

TEST(VStrInline, ReturnsInlineAfterShrinkingReallocation)
{
    VStr15 s(MakeText(100));
    EXPECT_FALSE(LivesInside(s));
    s.Truncate(10);
    EXPECT_TRUE(LivesInside(s));
    EXPECT_EQ(15, s.GetMaxLength());
    EXPECT_EQ(VString(u"abcdefghij"), s);

    VStr15 c(MakeText(100));
    c.Clear();
    EXPECT_TRUE(LivesInside(c));
}

TEST(VStrInline, CopiesOfShortHeapTextStayInline)
{
    VString heap = MakeText(100);
    heap.Truncate(10); // shrinks to a small heap buffer
    ASSERT_FALSE(LivesInside(heap));
    VStr15 copy(heap);
    EXPECT_TRUE(LivesInside(copy));
    EXPECT_EQ(heap, copy);

    VStr15 large(MakeText(40)); // too long: shares the heap buffer instead
    VString source = MakeText(40);
    VStr15 sharing(source);
    EXPECT_EQ(source.GetCPointer(), sharing.GetCPointer());
}

// ---------------------------------------------------------------------------------------------
// Reading

TEST(VStringReading, HashValues)
{
    struct Row {
        const char16_t* text;
        uint32_t hash;
    };
    const Row rows[] = {
        {u"", 0},
        {u"a", 1062},           // (1*257 + 97) << 1 + (1*257 + 97)
        {u"ab", 785625},        // h = (2*257 + 97)*257 + 98 = 157125; (h << 2) + h
        {u"abcdefghijklmnopq", 3136215713u},             // 17 units: first 8 and last 8
        {u"0123456789abcdefghijklmnopqrstuv", 3398005408u}, // 32 units: no shift
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.text)));
        EXPECT_EQ(row.hash, VString(row.text).GetHashValue());
    }
    // Beyond 16 units the middle does not count.
    EXPECT_EQ(VString(u"abcdefghijklmnopq").GetHashValue(), VString(u"abcdefghXjklmnopq").GetHashValue());
}

TEST(VStringReading, GetUniChar)
{
    const VString s(u"xyz");
    EXPECT_EQ(0, s.GetUniChar(0));
    EXPECT_EQ(u'x', s.GetUniChar(1));
    EXPECT_EQ(u'z', s.GetUniChar(3));
    EXPECT_EQ(0, s.GetUniChar(4));
    EXPECT_EQ(0, s.GetUniChar(-1));
    UniChar buffer[4] = {u'q', 0};
    VString null(buffer, 1, sizeof(buffer));
    null.SetNull();
    EXPECT_EQ(0, null.GetUniChar(1));
}

TEST(VStringReading, FindUniChar)
{
    struct Row {
        const char16_t* text;
        UniChar unit;
        int32_t start;
        bool reverse;
        int32_t expected;
    };
    const Row rows[] = {
        {u"a/b", u'/', 0, false, 2},
        {u"", u'/', 0, false, 0},
        {u"aba", u'a', 3, true, 3},
        {u"aba", u'a', 2, true, 1},
        {u"aba", u'b', 1, true, 0},
        {u"aba", u'a', 0, true, 0},
        {u"aba", u'a', 2, false, 3},
        {u"aba", u'a', -5, false, 1},
        {u"aba", u'a', 4, false, 0},
        {u"aba", u'a', 4, true, 0},
        {u"aba", u'c', 1, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(VString(row.text)) << " start " << row.start
                                        << (row.reverse ? " backward" : " forward"));
        EXPECT_EQ(row.expected, VString(row.text).FindUniChar(row.unit, row.start, row.reverse));
    }
}

TEST(VStringReading, RawSearchAndAffixes)
{
    struct Row {
        const char16_t* text;
        const char16_t* pattern;
        int32_t start;
        int32_t found;
        bool begins;
        bool ends;
    };
    const Row rows[] = {
        {u"abcabc", u"bc", 1, 2, false, true},
        {u"abcabc", u"bc", 3, 5, false, true},
        {u"abcabc", u"abc", 2, 4, true, true},
        {u"abc", u"c", 0, 3, false, true},
        {u"abc", u"c", 4, 0, false, true},
        {u"ab", u"abc", 1, 0, false, false},
        {u"abc", u"", 1, 0, true, true},
        {u"Abc", u"a", 1, 0, false, false},
        {u"", u"", 1, 0, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(VString(row.text)) << " / "
                                        << testing::PrintToString(VString(row.pattern)) << " from " << row.start);
        const VString text(row.text);
        const VString pattern(row.pattern);
        EXPECT_EQ(row.found, text.FindRawString(pattern, row.start));
        EXPECT_EQ(row.begins, text.BeginsWithRawString(pattern));
        EXPECT_EQ(row.ends, text.EndsWithRawString(pattern));
    }
}

TEST(VStringReading, RawComparisons)
{
    struct Row {
        const char16_t* a;
        const char16_t* b;
        int raw;
        int rawCase;
    };
    const Row rows[] = {
        {u"abc", u"abc", 0, 0},
        {u"ab", u"abc", -1, -1},
        {u"abd", u"abc", 1, 1},
        {u"A", u"a", -1, 0},
        {u"ABC", u"abd", -1, -1},
        {u"_", u"A", 1, -1},   // A folds to a (0x61), above _ (0x5F)
        {u"\u00c9", u"\u00e9", -1, -1}, // only A-Z fold
        {u"", u"", 0, 0},
        {u"\uffff", u"a", 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.a)) + " vs " + testing::PrintToString(VString(row.b)));
        EXPECT_EQ(row.raw, VString(row.a).CompareToStringRaw(VString(row.b)));
        EXPECT_EQ(-row.raw, VString(row.b).CompareToStringRaw(VString(row.a)));
        EXPECT_EQ(row.rawCase, VString(row.a).CompareToStringRawCase(VString(row.b)));
        EXPECT_EQ(row.raw == 0, VString(row.a).EqualToStringRaw(VString(row.b)));
    }
}

TEST(VStringReading, EqualToUSASCIICString)
{
    EXPECT_TRUE(VString(u"abc").EqualToUSASCIICString("abc"));
    EXPECT_FALSE(VString(u"abc").EqualToUSASCIICString("ab"));
    EXPECT_FALSE(VString(u"ab").EqualToUSASCIICString("abc"));
    EXPECT_FALSE(VString(u"abc").EqualToUSASCIICString("abC"));
    EXPECT_TRUE(VString().EqualToUSASCIICString(""));
    EXPECT_TRUE(VString(u"\u00e9").EqualToUSASCIICString("\xe9")); // each byte is one unit
}

// ---------------------------------------------------------------------------------------------
// Editing

TEST(VStringEditing, GetSubString)
{
    struct Row {
        int32_t pos;
        int32_t count;
        const char16_t* expected;
    };
    const Row rows[] = {
        {2, 10, u"bc"}, {0, 1, u""}, {4, 1, u""}, {3, 1, u"c"}, {1, 0, u""}, {2, -1, u""}, {1, 3, u"abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "pos " << row.pos << " count " << row.count);
        VString out(u"previous");
        VString(u"abc").GetSubString(row.pos, row.count, out);
        EXPECT_EQ(VString(row.expected), out);
        EXPECT_FALSE(out.IsNull());

        VString self(u"abc");
        self.SubString(row.pos, row.count);
        EXPECT_EQ(VString(row.expected), self);
    }
}

TEST(VStringEditing, Remove)
{
    struct Row {
        int32_t pos;
        int32_t count;
        const char16_t* expected;
    };
    const Row rows[] = {
        {2, 100, u"a"}, {2, 2, u"ad"}, {4, 1, u"abc"}, {1, 4, u""}, {2, 3, u"a"},
        {0, 1, u"abcd"}, {5, 1, u"abcd"}, {2, -1, u"abcd"}, {2, 0, u"abcd"}, {3, INT32_MAX, u"ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "pos " << row.pos << " count " << row.count);
        VString s(u"abcd");
        s.Remove(row.pos, row.count);
        EXPECT_EQ(VString(row.expected), s);
    }
}

TEST(VStringEditing, Truncate)
{
    struct Row {
        const char16_t* text;
        int32_t length;
        bool keepPairs;
        const char16_t* expected;
    };
    const Row rows[] = {
        {u"abc", 1, false, u"a"},
        {u"abc", -1, false, u""},
        {u"abc", 10, false, u"abc"},
        {u"\U0001F600x", 1, true, u""},
        {u"\U0001F600x", 1, false, u"\xD83D"},
        {u"\U0001F600x", 2, true, u"\U0001F600"},
        {u"a\U0001F600", 2, true, u"a"},
        {u"a\xDE00", 2, true, u"a\xDE00"}, // a lone low surrogate stays
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.text)) + " to " + std::to_string(row.length));
        VString s(row.text);
        s.Truncate(row.length, row.keepPairs);
        EXPECT_EQ(VString(row.expected), s);
        EXPECT_EQ(0, s.GetCPointer()[s.GetLength()]);
    }
}

TEST(VStringEditing, InsertAndReplace)
{
    struct Row {
        const char* name;
        const char16_t* text;
        int32_t pos;
        int32_t count; // -1: Insert
        const char16_t* expected;
    };
    const Row rows[] = {
        {"insert front", u"XY", 1, -1, u"XYabc"},
        {"insert middle", u"XY", 2, -1, u"aXYbc"},
        {"insert end", u"XY", 4, -1, u"abcXY"},
        {"insert before start clamps", u"XY", 0, -1, u"XYabc"},
        {"insert past end clamps", u"XY", 99, -1, u"abcXY"},
        {"replace one", u"XY", 2, 1, u"aXYc"},
        {"replace all by nothing", u"", 1, 3, u""},
        {"replace past end", u"Z", 3, 5, u"abZ"},
        {"replace zero is insert", u"Z", 2, 0, u"aZbc"},
        {"replace shorter", u"Z", 1, 2, u"Zc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString s(u"abc");
        if (row.count < 0)
            s.Insert(VString(row.text), row.pos);
        else
            s.Replace(VString(row.text), row.pos, row.count);
        EXPECT_EQ(VString(row.expected), s);
    }
    VString s(u"ac");
    s.Insert(u'b', 2);
    EXPECT_EQ(VString(u"abc"), s);
}

TEST(VStringEditing, ExchangeUnit)
{
    struct Row {
        int32_t start;
        int32_t maxCount;
        const char16_t* expected;
    };
    const Row rows[] = {
        {1, INT32_MAX, u"bonono"}, {3, INT32_MAX, u"banono"}, {1, 1, u"bonana"},
        {1, 2, u"bonona"}, {0, INT32_MAX, u"banana"}, {1, 0, u"banana"}, {7, INT32_MAX, u"banana"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "start " << row.start << " max " << row.maxCount);
        VString s(u"banana");
        s.Exchange(u'a', u'o', row.start, row.maxCount);
        EXPECT_EQ(VString(row.expected), s);
    }
}

TEST(VStringEditing, ExchangeRawString)
{
    struct Row {
        const char16_t* text;
        const char16_t* find;
        const char16_t* with;
        int32_t start;
        int32_t maxCount;
        const char16_t* expected;
    };
    const Row rows[] = {
        {u"aaa", u"a", u"bb", 1, INT32_MAX, u"bbbbbb"},
        {u"abcabc", u"bc", u"X", 1, 1, u"aXabc"},
        {u"abcabc", u"bc", u"X", 3, INT32_MAX, u"abcaX"},
        {u"abab", u"ab", u"ab", 1, INT32_MAX, u"abab"},
        {u"aaaa", u"aa", u"b", 1, INT32_MAX, u"bb"},
        {u"aaa", u"aa", u"", 1, INT32_MAX, u"a"},
        {u"abc", u"", u"X", 1, INT32_MAX, u"abc"},
        {u"abc", u"b", u"X", 0, INT32_MAX, u"abc"},
        {u"abc", u"b", u"X", 1, 0, u"abc"},
        {u"Abc", u"a", u"X", 1, INT32_MAX, u"Abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.text)) + ": " + testing::PrintToString(VString(row.find))
                     + " -> " + testing::PrintToString(VString(row.with)));
        VString s(row.text);
        s.ExchangeRawString(VString(row.find), VString(row.with), row.start, row.maxCount);
        EXPECT_EQ(VString(row.expected), s);
    }
    VString self(u"ab");
    self.ExchangeRawString(self, VString(u"[ab]"));
    EXPECT_EQ(VString(u"[ab]"), self);
}

TEST(VStringEditing, TrimAndWhiteSpace)
{
    struct Row {
        const char16_t* text;
        const char16_t* trimmed;   // TrimeSpaces: spaces only
        const char16_t* stripped;  // RemoveWhiteSpaces: any white space
    };
    const Row rows[] = {
        {u"  a b  ", u"a b", u"a b"},
        {u"   ", u"", u""},
        {u"", u"", u""},
        {u"\ta \n", u"\ta \n", u"a"},
        {u" \u00a0x\u2003 ", u"\u00a0x\u2003", u"x"},
        {u"x", u"x", u"x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.text)));
        VString t(row.text);
        t.TrimeSpaces();
        EXPECT_EQ(VString(row.trimmed), t);
        VString w(row.text);
        w.RemoveWhiteSpaces();
        EXPECT_EQ(VString(row.stripped), w);
    }
    VString leadingOnly(u" \tx\t ");
    leadingOnly.RemoveWhiteSpaces(true, false);
    EXPECT_EQ(VString(u"x\t "), leadingOnly);
}

TEST(VStringEditing, ConvertCarriageReturns)
{
    struct Row {
        const char16_t* text;
        ECarriageReturnMode mode;
        const char16_t* expected;
    };
    const Row rows[] = {
        {u"a\r\nb\rc\nd", eCRM_LF, u"a\nb\nc\nd"},
        {u"a\r\nb\rc\nd", eCRM_CR, u"a\rb\rc\rd"},
        {u"a\r\nb\rc\nd", eCRM_CRLF, u"a\r\nb\r\nc\r\nd"},
        {u"a\r\nb\rc\nd", eCRM_NONE, u"a\r\nb\rc\nd"},
        {u"\r\r\n\n", eCRM_LF, u"\n\n\n"},
        {u"\n\r", eCRM_CRLF, u"\r\n\r\n"},
        {u"x\r\n", eCRM_CRLF, u"x\r\n"},
        {u"plain", eCRM_CR, u"plain"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.text)) + " mode " + std::to_string(row.mode));
        VString s(row.text);
        s.ConvertCarriageReturns(row.mode);
        EXPECT_EQ(VString(row.expected), s);
    }
}

TEST(VStringEditing, ClearReleasesTheBuffer)
{
    VString s = MakeText(100);
    s.SetNull();
    s.Clear();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(s.IsNull());
    EXPECT_EQ(0, s.GetMaxLength());
    EXPECT_TRUE(s.IsDirty());
}

TEST(VStringEditing, AppendCStringAndConcatenation)
{
    VString s(u"x");
    s.AppendCString("yz");
    s += VString(u"!");
    s += UniChar(u'?');
    EXPECT_EQ(VString(u"xyz!?"), s);
    EXPECT_EQ(VString(u"ab"), VString(u"a") + VString(u"b"));
    EXPECT_EQ(VString(u""), VString() + VString());
    const VString heap = MakeText(30);
    VString empty;
    empty.AppendString(heap); // an empty string takes a share
    EXPECT_EQ(heap.GetCPointer(), empty.GetCPointer());
}

// ---------------------------------------------------------------------------------------------
// Splitting and joining

TEST(VStringSplit, GetSubStringsWithUnit)
{
    struct Row {
        const char16_t* text;
        bool keepEmpty;
        bool trim;
        std::vector<VString> expected;
        bool found;
    };
    const Row rows[] = {
        {u"a,b,c", false, false, Pieces({u"a", u"b", u"c"}), true},
        {u"a,,b,", false, false, Pieces({u"a", u"b"}), true},
        {u"a,,b,", true, false, Pieces({u"a", u"", u"b", u""}), true},
        {u"", false, false, Pieces({}), false},
        {u"", true, false, Pieces({u""}), false},
        {u"abc", false, false, Pieces({u"abc"}), false},
        {u" a , b ", false, true, Pieces({u"a", u"b"}), true},
        {u" a , b ", false, false, Pieces({u" a ", u" b "}), true},
        {u" , ", false, true, Pieces({}), true},
        {u" , ", true, true, Pieces({u"", u""}), true},
        {u",", false, false, Pieces({}), true},
        {u",", true, false, Pieces({u"", u""}), true},
        {u",a", true, false, Pieces({u"", u"a"}), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(VString(row.text)) << " keepEmpty " << row.keepEmpty
                                        << " trim " << row.trim);
        std::vector<VString> out = Pieces({u"stale"});
        EXPECT_EQ(row.found, VString(row.text).GetSubStrings(u',', out, row.keepEmpty, row.trim));
        EXPECT_EQ(row.expected, out);
    }
    std::vector<VString> out;
    VString null(static_cast<UniChar*>(nullptr), 0, 0);
    EXPECT_FALSE(null.GetSubStrings(u',', out, true));
    EXPECT_EQ(Pieces({u""}), out);
}

TEST(VStringSplit, GetSubStringsWithString)
{
    struct Row {
        const char16_t* text;
        const char16_t* separator;
        bool keepEmpty;
        std::vector<VString> expected;
        bool found;
    };
    const Row rows[] = {
        {u"a::b::", u"::", false, Pieces({u"a", u"b"}), true},
        {u"a::b::", u"::", true, Pieces({u"a", u"b", u""}), true},
        {u"a:b", u"::", false, Pieces({u"a:b"}), false},
        {u"a:::b", u"::", false, Pieces({u"a", u":b"}), true},
        {u"a", u"", false, Pieces({u"a"}), false},
        {u"::", u"::", true, Pieces({u"", u""}), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.text)) + " by " + testing::PrintToString(VString(row.separator)));
        std::vector<VString> out;
        EXPECT_EQ(row.found, VString(row.text).GetSubStrings(VString(row.separator), out, row.keepEmpty, false));
        EXPECT_EQ(row.expected, out);
    }
}

TEST(VStringSplit, Join)
{
    struct Row {
        std::vector<VString> pieces;
        const char16_t* separator;
        const char16_t* expected;
    };
    const Row rows[] = {
        {Pieces({u"a", u"b", u"c"}), u",", u"a,b,c"},
        {Pieces({}), u",", u""},
        {Pieces({u""}), u",", u""},
        {Pieces({u"a"}), u"--", u"a"},
        {Pieces({u"a", u"", u"b"}), u"--", u"a----b"},
        {Pieces({u"", u""}), u"", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(VString(row.expected)));
        VString joined(u"replaced");
        joined.Join(row.pieces, VString(row.separator));
        EXPECT_EQ(VString(row.expected), joined);
    }
    VString withUnit;
    withUnit.Join(Pieces({u"x", u"y"}), u'/');
    EXPECT_EQ(VString(u"x/y"), withUnit);

    // Splitting then joining with the same separator gives the text back.
    std::vector<VString> parts;
    ASSERT_TRUE(VString(u",a,,b,").GetSubStrings(u',', parts, true));
    VString back;
    back.Join(parts, u',');
    EXPECT_EQ(VString(u",a,,b,"), back);
}

} // namespace
} // namespace nuvo
