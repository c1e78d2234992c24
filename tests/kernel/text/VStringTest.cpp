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

using Edit = void (*)(VString&);

TEST(VStringConstruction, ForeignBufferIsWrittenInPlaceWhileTheTextFits)
{
    VString null(static_cast<UniChar*>(nullptr), 0, 100);
    EXPECT_TRUE(null.IsNull() && null.IsEmpty());
    null.AppendUniChar(u'x');
    EXPECT_FALSE(null.IsNull());
    EXPECT_EQ(VString(u"x"), null);

    UniChar buffer[4] = {u'a', u'b', u'?', u'?'};
    VString s(buffer, 2, sizeof(buffer));
    EXPECT_EQ(3, s.GetMaxLength());
    EXPECT_EQ(0, buffer[2]);
    s.AppendUniChar(u'c');
    EXPECT_EQ(buffer, s.GetCPointer());
    EXPECT_EQ(u'c', buffer[2]);
    EXPECT_EQ(0, buffer[3]);
    s.AppendUniChar(u'd'); // 4 units no longer fit with the terminator
    EXPECT_NE(buffer, s.GetCPointer());
    EXPECT_EQ(VString(u"abcd"), s);
    EXPECT_EQ(0, buffer[3]);

    // Copies that fit keep going into the buffer; a longer one shares the heap text.
    UniChar room[32];
    VString target(room, 0, sizeof(room));
    target.AppendString(MakeText(20));
    EXPECT_EQ(room, target.GetCPointer());
    const VString longer = MakeText(25);
    target = longer;
    EXPECT_EQ(room, target.GetCPointer());
    EXPECT_EQ(u'y', room[24]);
    EXPECT_EQ(0, room[25]);
    const VString tooLong = MakeText(40);
    target = tooLong;
    EXPECT_EQ(tooLong.GetCPointer(), target.GetCPointer());
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
    struct Row { const char* name; Edit edit; const char16_t* expected; };
    const Row rows[] = {
        {"append", [](VString& s) { s.AppendUniChar(u'b'); }, u"ab"},
        {"exchange", [](VString& s) { s.Exchange(u'a', u'z'); }, u"z"},
        {"truncate", [](VString& s) { s.Truncate(0); }, u""},
        {"copy", [](VString& s) { s = VString(VString(s)); }, u"a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString s(literal, 1, SIZE_MAX);
        EXPECT_EQ(1, s.GetMaxLength());
        row.edit(s);
        EXPECT_EQ(VString(row.expected), s);
        EXPECT_NE(literal, s.GetCPointer());
        EXPECT_EQ(u'a', literal[0]);
        EXPECT_EQ(0, literal[1]);
    }
    VString grown(literal, 1, SIZE_MAX);
    grown.AppendUniChar(u'b');
    EXPECT_EQ(5, grown.GetMaxLength()); // capacity 8 for short texts
}

TEST(VStringCapacity, ProgressiveResizeTable)
{
    struct Row { const char* name; int32_t requested; int32_t current; int32_t capacity; };
    const Row rows[] = {
        {"grow 100 to 101", 101, 100, 128},          {"build 100 from empty", 100, 0, 104},
        {"tiny", 0, 0, 8},                           {"five", 5, 3, 8},
        {"six from empty", 6, 0, 16},                {"six from five: extra below 3", 6, 5, 16},
        {"same length", 7, 7, 16},                   {"thousand from 999", 1000, 999, 1208},
        {"shrink 800 from 1000", 800, 1000, 968},    {"extra capped at 0xA00000", 100000000, 1, 110485768},
        {"near the limit: n + 3", 0x7FFFFFF9, 1, 0x7FFFFFFC},
        {"at the limit: overflow", 0x7FFFFFFD, 1, 0}, {"largest: overflow", INT32_MAX, 0, 0},
        {"negative", -1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.capacity, ComputeProgressiveResize(row.requested, row.current));
    }
}

TEST(VStringCapacity, StringsGrowAndShrinkByTheRule)
{
    VString built;
    built.AppendUniChars(MakeText(100).GetCPointer(), 100);
    EXPECT_EQ(101, built.GetMaxLength()); // 100 from empty: capacity 104
    VString copy(built);
    copy.AppendUniChar(u'!');
    EXPECT_EQ(125, copy.GetMaxLength()); // 101 from 100: capacity 128
    EXPECT_EQ(101, built.GetMaxLength());

    VString units;
    std::vector<int32_t> seen;
    for (int32_t i = 0; i < 30; ++i) {
        units.AppendUniChar(u'x');
        if (seen.empty() || seen.back() != units.GetMaxLength())
            seen.push_back(units.GetMaxLength());
    }
    EXPECT_EQ((std::vector<int32_t>{5, 13, 21, 29, 37}), seen);

    struct Row { int32_t length; int32_t maxLength; };
    // 1000 units built from empty: maximum length 1005.
    // 1005 > 864 + 108 + 32 shrinks (into a larger buffer, as the growth extra counts from 1000);
    // 865 + 108 + 32 is not exceeded.
    const Row rows[] = {{900, 1005}, {865, 1005}, {864, 1037}, {800, 965}, {100, 125}, {0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        VString s = MakeText(1000);
        ASSERT_EQ(1005, s.GetMaxLength());
        s.Truncate(row.length);
        EXPECT_EQ(row.maxLength, s.GetMaxLength());
        EXPECT_EQ(MakeText(row.length), s);
        EXPECT_EQ(0, s.GetCPointer()[row.length]);
    }
}

TEST(VStringCapacity, ImpossibleSizesReportTheAllocationErrorAndLeaveTheStringAlone)
{
    // largestView: a view whose length is already the largest possible, so nothing is read
    struct Row { const char* name; bool largestView; Edit request; };
    const Row rows[] = {
        {"EnsureSize beyond the capacity limit", false, [](VString& s) { (void)s.EnsureSize(INT32_MAX); }},
        {"negative EnsureSize", false, [](VString& s) { (void)s.EnsureSize(-1); }},
        {"negative GetCPointerForWrite", false, [](VString& s) { EXPECT_EQ(nullptr, s.GetCPointerForWrite(-5)); }},
        {"negative AppendUniChars", false, [](VString& s) { s.AppendUniChars(u"ab", -2); }},
        {"negative FromUniString", false, [](VString& s) { s.FromUniString(u"ab", -1); }},
        {"AppendUniChar", true, [](VString& s) { s.AppendUniChar(u'b'); }},
        {"AppendUniChars", true, [](VString& s) { s.AppendUniChars(u"bc", 2); }},
        {"AppendCString", true, [](VString& s) { s.AppendCString("bc"); }},
        {"Insert", true, [](VString& s) { s.Insert(VString(u"b"), 1); }},
    };
    UniChar unit = u'a';
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StErrorContextInstaller errors(true, true);
        VString s = row.largestView ? VString(&unit, INT32_MAX, SIZE_MAX) : VString(u"keep");
        const UniChar* before = s.GetCPointer();
        row.request(s);
        EXPECT_EQ(VE_STRING_ALLOC_FAILED, errors.GetLastError());
        EXPECT_EQ(row.largestView ? INT32_MAX : 4, s.GetLength());
        EXPECT_EQ(before, s.GetCPointer());
        EXPECT_EQ(u'a', unit);
    }
    StErrorContextInstaller errors(true, true);
    VString fine(u"x");
    ASSERT_TRUE(fine.EnsureSize(1000));
    EXPECT_EQ(VE_OK, errors.GetLastError());
}

TEST(VStringSharing, CopiesShareUntilAMutatorDetaches)
{
    struct Row { const char* name; Edit edit; };
    const Row rows[] = {
        {"AppendUniChar", [](VString& s) { s.AppendUniChar(u'!'); }},
        {"AppendString", [](VString& s) { s.AppendString(VString(u"!")); }},
        {"AppendCString", [](VString& s) { s.AppendCString("!"); }},
        {"Insert", [](VString& s) { s.Insert(u'!', 3); }},
        {"Remove", [](VString& s) { s.Remove(2, 3); }},
        {"Replace", [](VString& s) { s.Replace(VString(u"!"), 1, 2); }},
        {"Truncate", [](VString& s) { s.Truncate(10); }},
        {"SubString", [](VString& s) { s.SubString(5, 10); }},
        {"Exchange unit", [](VString& s) { s.Exchange(u'a', u'A', 1, 1); }},
        {"ExchangeRawString", [](VString& s) { s.ExchangeRawString(VString(u"cd"), VString(u"!")); }},
        {"ToUpperCase", [](VString& s) { s.ToUpperCase(); }},
        {"AppendBlock", [](VString& s) { s.AppendBlock("\xC3\xA9", 2, CharSet::UTF8); }},
        {"FromBlock", [](VString& s) { s.FromBlock("\x41\x00", 2, CharSet::UTF16); }},
        {"TrimeSpaces", [](VString& s) { s.Insert(u' ', 1); s.TrimeSpaces(); s.AppendUniChar(u'!'); }},
        {"GetCPointerForWrite", [](VString& s) {
             UniChar* p = s.GetCPointerForWrite(61);
             EXPECT_EQ(u'a', p[0]); // the content comes along
             p[60] = u'!';
             EXPECT_TRUE(s.Validate(61));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const VString original = MakeText(60);
        VString copy(original);
        VString third;
        third = copy;
        EXPECT_EQ(original.GetCPointer(), copy.GetCPointer());
        EXPECT_EQ(original.GetCPointer(), third.GetCPointer());
        row.edit(copy);
        EXPECT_EQ(MakeText(60), original);
        EXPECT_NE(MakeText(60), copy);
        EXPECT_TRUE(copy.IsDirty());
        EXPECT_EQ(original.GetCPointer(), third.GetCPointer());
    }
    VString s(u"abc");
    EXPECT_FALSE(s.Validate(s.GetMaxLength() + 1));
    EXPECT_FALSE(s.Validate(-1));
}

TEST(VStringSharing, InlineAndForeignSourcesAreCopiedNotShared)
{
    for (bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        VStr15 inlineText("inline");
        VString a = move ? VString(std::move(inlineText)) : VString(inlineText);
        EXPECT_NE(inlineText.GetCPointer(), a.GetCPointer()); // NOLINT(bugprone-use-after-move)
        EXPECT_EQ(VString(u"inline"), a);

        UniChar buffer[8] = {u'f', u'o', u'r'};
        VString foreign(buffer, 3, sizeof(buffer));
        VString b = move ? VString(std::move(foreign)) : VString(foreign);
        EXPECT_NE(static_cast<const UniChar*>(buffer), b.GetCPointer());
        EXPECT_EQ(VString(u"for"), b);
        b.AppendUniChar(u'!');
        EXPECT_EQ(0, buffer[3]);
    }
}

TEST(VStringSharing, CopiesKeepTheNullFlagAndClearResetsIt)
{
    VString null(static_cast<UniChar*>(nullptr), 0, 0);
    EXPECT_TRUE(VString(null).IsNull());
    VString assigned = MakeText(100);
    assigned = null;
    EXPECT_TRUE(assigned.IsNull());
    EXPECT_TRUE(assigned.IsEmpty());

    VString heap = MakeText(100);
    heap.SetNull();
    heap.Clear();
    EXPECT_TRUE(heap.IsEmpty());
    EXPECT_FALSE(heap.IsNull());
    EXPECT_EQ(0, heap.GetMaxLength());
    EXPECT_TRUE(heap.IsDirty());
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

    VString small = MakeText(3);
    const UniChar* smallBuffer = small.GetCPointer();
    VStr4 four(std::move(small)); // taken over even when the text would fit inside
    EXPECT_EQ(smallBuffer, four.GetCPointer());
    EXPECT_EQ(MakeText(3), four);

    std::vector<VString> list;
    for (int i = 0; i < 40; ++i)
        list.push_back(MakeText(20 + i));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(MakeText(20 + i), list[size_t(i)]);
}

TEST(VStrInline, LivesInsideTheObjectWhileTheTextFits)
{
    VStr15 s;
    EXPECT_EQ(15, s.GetMaxLength());
    s.AppendCString("xxxxxxxxxxxxxxx");
    EXPECT_TRUE(LivesInside(s));
    s.AppendUniChar(u'y');
    EXPECT_FALSE(LivesInside(s));
    EXPECT_EQ(21, s.GetMaxLength()); // 16 from 15: extra 3, capacity 24
    EXPECT_EQ(VString(u"xxxxxxxxxxxxxxxy"), s);

    VStr15 cut(MakeText(100)); // shrinking reallocations come back inside
    cut.Truncate(10);
    EXPECT_TRUE(LivesInside(cut));
    EXPECT_EQ(15, cut.GetMaxLength());
    EXPECT_EQ(MakeText(10), cut);
    VStr15 cleared(MakeText(100));
    cleared.Clear();
    EXPECT_TRUE(LivesInside(cleared));

    VString heap = MakeText(100);
    heap.Truncate(10); // a small heap buffer: copied inside, not shared
    ASSERT_FALSE(LivesInside(heap));
    VStr15 copy(heap);
    EXPECT_TRUE(LivesInside(copy));
    EXPECT_EQ(heap, copy);
    const VString source = MakeText(40); // too long: shares the heap buffer instead
    VStr15 sharing(source);
    EXPECT_EQ(source.GetCPointer(), sharing.GetCPointer());
    VStr4 copied(VStr4("xyz"));
    EXPECT_TRUE(LivesInside(copied));
}

TEST(VStringReading, HashValues)
{
    struct Row { const char16_t* text; uint32_t hash; };
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
    const UniChar expected[] = {0, 0, u'x', u'y', u'z', 0}; // positions -1 to 4
    for (int32_t pos = -1; pos <= 4; ++pos)
        EXPECT_EQ(expected[pos + 1], s.GetUniChar(pos)) << pos;
    UniChar buffer[4] = {u'q', 0};
    VString null(buffer, 1, sizeof(buffer));
    null.SetNull();
    EXPECT_EQ(0, null.GetUniChar(1));
}

TEST(VStringReading, FindUniChar)
{
    struct Row { const char16_t* text; UniChar unit; int32_t start; bool reverse; int32_t expected; };
    const Row rows[] = {
        {u"a/b", u'/', 0, false, 2}, {u"", u'/', 0, false, 0}, {u"aba", u'a', 3, true, 3},
        {u"aba", u'a', 2, true, 1}, {u"aba", u'b', 1, true, 0}, {u"aba", u'a', 0, true, 0},
        {u"aba", u'a', 2, false, 3}, {u"aba", u'a', -5, false, 1}, {u"aba", u'a', 4, false, 0},
        {u"aba", u'a', 4, true, 0}, {u"aba", u'c', 1, false, 0},
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
        const char16_t* text; const char16_t* pattern; int32_t start; int32_t found; bool begins; bool ends;
    };
    const Row rows[] = {
        {u"abcabc", u"bc", 1, 2, false, true}, {u"abcabc", u"bc", 3, 5, false, true},
        {u"abcabc", u"abc", 2, 4, true, true}, {u"abc", u"c", 0, 3, false, true},
        {u"abc", u"c", 4, 0, false, true}, {u"ab", u"abc", 1, 0, false, false},
        {u"abc", u"", 1, 0, true, true}, {u"Abc", u"a", 1, 0, false, false}, {u"", u"", 1, 0, true, true},
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
    struct Row { const char16_t* a; const char16_t* b; int raw; int rawCase; };
    const Row rows[] = {
        {u"abc", u"abc", 0, 0}, {u"ab", u"abc", -1, -1}, {u"abd", u"abc", 1, 1}, {u"A", u"a", -1, 0},
        {u"ABC", u"abd", -1, -1},
        {u"_", u"A", 1, -1},   // A folds to a (0x61), above _ (0x5F)
        {u"\u00c9", u"\u00e9", -1, -1}, // only A-Z fold
        {u"", u"", 0, 0}, {u"\uffff", u"a", 1, 1},
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

TEST(VStringEditing, EditsGiveTheseTexts)
{
    struct Row { const char* name; const char16_t* text; Edit edit; const char16_t* expected; };
    const Row rows[] = {
        {"Remove(2, 100)", u"abcd", [](VString& s) { s.Remove(2, 100); }, u"a"},
        {"Remove(2, 2)", u"abcd", [](VString& s) { s.Remove(2, 2); }, u"ad"},
        {"Remove(4, 1)", u"abcd", [](VString& s) { s.Remove(4, 1); }, u"abc"},
        {"Remove(1, 4)", u"abcd", [](VString& s) { s.Remove(1, 4); }, u""},
        {"Remove(0, 1)", u"abcd", [](VString& s) { s.Remove(0, 1); }, u"abcd"},
        {"Remove(5, 1)", u"abcd", [](VString& s) { s.Remove(5, 1); }, u"abcd"},
        {"Remove(2, -1)", u"abcd", [](VString& s) { s.Remove(2, -1); }, u"abcd"},
        {"Remove(2, 0)", u"abcd", [](VString& s) { s.Remove(2, 0); }, u"abcd"},
        {"Remove(3, INT32_MAX)", u"abcd", [](VString& s) { s.Remove(3, INT32_MAX); }, u"ab"},
        {"Truncate(1)", u"abc", [](VString& s) { s.Truncate(1); }, u"a"},
        {"Truncate(-1)", u"abc", [](VString& s) { s.Truncate(-1); }, u""},
        {"Truncate(10)", u"abc", [](VString& s) { s.Truncate(10); }, u"abc"},
        {"Truncate(1) on a high surrogate, pairs kept", u"\U0001F600x", [](VString& s) { s.Truncate(1, true); }, u""},
        {"Truncate(1) on a high surrogate", u"\U0001F600x", [](VString& s) { s.Truncate(1); }, u"\xD83D"},
        {"Truncate(2) after a pair", u"\U0001F600x", [](VString& s) { s.Truncate(2, true); }, u"\U0001F600"},
        {"Truncate(2) inside a pair", u"a\U0001F600", [](VString& s) { s.Truncate(2, true); }, u"a"},
        {"Truncate(2) after a lone low surrogate", u"a\xDE00", [](VString& s) { s.Truncate(2, true); }, u"a\xDE00"},
        {"Insert front", u"abc", [](VString& s) { s.Insert(VString(u"XY"), 1); }, u"XYabc"},
        {"Insert middle", u"abc", [](VString& s) { s.Insert(VString(u"XY"), 2); }, u"aXYbc"},
        {"Insert end", u"abc", [](VString& s) { s.Insert(VString(u"XY"), 4); }, u"abcXY"},
        {"Insert before the start", u"abc", [](VString& s) { s.Insert(VString(u"XY"), 0); }, u"XYabc"},
        {"Insert past the end", u"abc", [](VString& s) { s.Insert(VString(u"XY"), 99); }, u"abcXY"},
        {"Insert a unit", u"ac", [](VString& s) { s.Insert(u'b', 2); }, u"abc"},
        {"Replace one", u"abc", [](VString& s) { s.Replace(VString(u"XY"), 2, 1); }, u"aXYc"},
        {"Replace all by nothing", u"abc", [](VString& s) { s.Replace(VString(), 1, 3); }, u""},
        {"Replace past the end", u"abc", [](VString& s) { s.Replace(VString(u"Z"), 3, 5); }, u"abZ"},
        {"Replace none", u"abc", [](VString& s) { s.Replace(VString(u"Z"), 2, 0); }, u"aZbc"},
        {"Replace two by one", u"abc", [](VString& s) { s.Replace(VString(u"Z"), 1, 2); }, u"Zc"},
        {"Exchange all", u"banana", [](VString& s) { s.Exchange(u'a', u'o'); }, u"bonono"},
        {"Exchange from 3", u"banana", [](VString& s) { s.Exchange(u'a', u'o', 3); }, u"banono"},
        {"Exchange once", u"banana", [](VString& s) { s.Exchange(u'a', u'o', 1, 1); }, u"bonana"},
        {"Exchange twice", u"banana", [](VString& s) { s.Exchange(u'a', u'o', 1, 2); }, u"bonona"},
        {"Exchange from 0", u"banana", [](VString& s) { s.Exchange(u'a', u'o', 0); }, u"banana"},
        {"Exchange 0 times", u"banana", [](VString& s) { s.Exchange(u'a', u'o', 1, 0); }, u"banana"},
        {"Exchange past the end", u"banana", [](VString& s) { s.Exchange(u'a', u'o', 7); }, u"banana"},
        {"TrimeSpaces", u"  a b  ", [](VString& s) { s.TrimeSpaces(); }, u"a b"},
        {"TrimeSpaces of spaces", u"   ", [](VString& s) { s.TrimeSpaces(); }, u""},
        {"TrimeSpaces keeps tabs", u"\ta \n", [](VString& s) { s.TrimeSpaces(); }, u"\ta \n"},
        {"TrimeSpaces keeps other spaces", u" \u00a0x\u2003 ", [](VString& s) { s.TrimeSpaces(); }, u"\u00a0x\u2003"},
        {"TrimeSpaces of nothing", u"", [](VString& s) { s.TrimeSpaces(); }, u""},
        {"RemoveWhiteSpaces of spaces", u"  a b  ", [](VString& s) { s.RemoveWhiteSpaces(); }, u"a b"},
        {"RemoveWhiteSpaces", u"\ta \n", [](VString& s) { s.RemoveWhiteSpaces(); }, u"a"},
        {"RemoveWhiteSpaces of Unicode spaces", u" \u00a0x\u2003 ", [](VString& s) { s.RemoveWhiteSpaces(); }, u"x"},
        {"RemoveWhiteSpaces of nothing", u"", [](VString& s) { s.RemoveWhiteSpaces(); }, u""},
        {"RemoveWhiteSpaces leading only", u" \tx\t ", [](VString& s) { s.RemoveWhiteSpaces(true, false); }, u"x\t "},
        {"line ends to LF", u"a\r\nb\rc\nd", [](VString& s) { s.ConvertCarriageReturns(eCRM_LF); }, u"a\nb\nc\nd"},
        {"line ends to CR", u"a\r\nb\rc\nd", [](VString& s) { s.ConvertCarriageReturns(eCRM_CR); }, u"a\rb\rc\rd"},
        {"line ends to CRLF", u"a\r\nb\rc\nd", [](VString& s) { s.ConvertCarriageReturns(eCRM_CRLF); },
         u"a\r\nb\r\nc\r\nd"},
        {"line ends kept", u"a\r\nb\rc\nd", [](VString& s) { s.ConvertCarriageReturns(eCRM_NONE); }, u"a\r\nb\rc\nd"},
        {"CR CRLF LF to LF", u"\r\r\n\n", [](VString& s) { s.ConvertCarriageReturns(eCRM_LF); }, u"\n\n\n"},
        {"LF CR to CRLF", u"\n\r", [](VString& s) { s.ConvertCarriageReturns(eCRM_CRLF); }, u"\r\n\r\n"},
        {"CRLF already", u"x\r\n", [](VString& s) { s.ConvertCarriageReturns(eCRM_CRLF); }, u"x\r\n"},
        {"GetSubString(2, 10)", u"abc", [](VString& s) { VString(s).GetSubString(2, 10, s); }, u"bc"},
        {"GetSubString(1, 3)", u"abc", [](VString& s) { VString(s).GetSubString(1, 3, s); }, u"abc"},
        {"GetSubString(3, 1)", u"abc", [](VString& s) { VString(s).GetSubString(3, 1, s); }, u"c"},
        {"GetSubString(1, 0)", u"abc", [](VString& s) { VString(s).GetSubString(1, 0, s); }, u""},
        {"GetSubString(0, 1)", u"abc", [](VString& s) { VString(s).GetSubString(0, 1, s); }, u""},
        {"GetSubString(4, 1)", u"abc", [](VString& s) { VString(s).GetSubString(4, 1, s); }, u""},
        {"GetSubString(2, -1)", u"abc", [](VString& s) { VString(s).GetSubString(2, -1, s); }, u""},
        {"GetSubString into itself", u"abc", [](VString& s) { s.GetSubString(2, 10, s); }, u"bc"},
        {"SubString(2, 10)", u"abc", [](VString& s) { s.SubString(2, 10); }, u"bc"},
        {"SubString(3, 1)", u"abc", [](VString& s) { s.SubString(3, 1); }, u"c"},
        {"SubString(0, 1)", u"abc", [](VString& s) { s.SubString(0, 1); }, u""},
        {"SubString(4, 1)", u"abc", [](VString& s) { s.SubString(4, 1); }, u""},
        {"SubString(2, -1)", u"abc", [](VString& s) { s.SubString(2, -1); }, u""},
        {"ExchangeRawString growing", u"aaa", [](VString& s) { s.ExchangeRawString(VString(u"a"), VString(u"bb")); },
         u"bbbbbb"},
        {"ExchangeRawString once", u"abcabc", [](VString& s) { s.ExchangeRawString(VString(u"bc"), VString(u"X"), 1, 1); },
         u"aXabc"},
        {"ExchangeRawString from 3", u"abcabc", [](VString& s) { s.ExchangeRawString(VString(u"bc"), VString(u"X"), 3); },
         u"abcaX"},
        {"ExchangeRawString by itself", u"abab", [](VString& s) { s.ExchangeRawString(VString(u"ab"), VString(u"ab")); },
         u"abab"},
        {"ExchangeRawString without overlaps", u"aaaa", [](VString& s) { s.ExchangeRawString(VString(u"aa"), VString(u"b")); },
         u"bb"},
        {"ExchangeRawString by nothing", u"aaa", [](VString& s) { s.ExchangeRawString(VString(u"aa"), VString()); }, u"a"},
        {"ExchangeRawString of nothing", u"abc", [](VString& s) { s.ExchangeRawString(VString(), VString(u"X")); }, u"abc"},
        {"ExchangeRawString from 0", u"abc", [](VString& s) { s.ExchangeRawString(VString(u"b"), VString(u"X"), 0); }, u"abc"},
        {"ExchangeRawString 0 times", u"abc", [](VString& s) { s.ExchangeRawString(VString(u"b"), VString(u"X"), 1, 0); },
         u"abc"},
        {"ExchangeRawString respects case", u"Abc", [](VString& s) { s.ExchangeRawString(VString(u"a"), VString(u"X")); },
         u"Abc"},
        {"Insert itself", u"abc", [](VString& s) { s.Insert(s, 2); }, u"aabcbc"},
        {"assigned to itself", u"abc", [](VString& s) { s = s; }, u"abc"},
        {"ExchangeRawString of itself", u"ab", [](VString& s) { s.ExchangeRawString(s, VString(u"[ab]")); }, u"[ab]"},
        {"Join", u"old", [](VString& s) { s.Join(Pieces({u"a", u"b", u"c"}), VString(u",")); }, u"a,b,c"},
        {"Join nothing", u"old", [](VString& s) { s.Join(Pieces({}), VString(u",")); }, u""},
        {"Join one empty piece", u"old", [](VString& s) { s.Join(Pieces({u""}), VString(u",")); }, u""},
        {"Join one piece", u"old", [](VString& s) { s.Join(Pieces({u"a"}), VString(u"--")); }, u"a"},
        {"Join with an empty piece", u"old", [](VString& s) { s.Join(Pieces({u"a", u"", u"b"}), VString(u"--")); },
         u"a----b"},
        {"Join without separator", u"old", [](VString& s) { s.Join(Pieces({u"", u""}), VString()); }, u""},
        {"Join with a unit", u"old", [](VString& s) { s.Join(Pieces({u"x", u"y"}), u'/'); }, u"x/y"},
        {"split then join", u",a,,b,", [](VString& s) {
             std::vector<VString> parts;
             EXPECT_TRUE(s.GetSubStrings(u',', parts, true));
             s.Join(parts, u',');
         }, u",a,,b,"},
        {"ASCII C string: one unit per byte", u"", [](VString& s) { s = VString("abc"); }, u"abc"},
        {"DEL is ASCII", u"", [](VString& s) { s = VString("~\x7f"); }, u"~\u007f"},
        {"non-ASCII C string: UTF-8 on Linux", u"", [](VString& s) { s = VString("\xc3\xa9t\xc3\xa9"); },
         u"\u00e9t\u00e9"},
        {"AppendCString of UTF-8", u"x", [](VString& s) { s.AppendCString("\xe2\x82\xac!"); }, u"x\u20ac!"},
        {"FromCString", u"old text", [](VString& s) { s.FromCString("na\xc3\xafve"); }, u"na\u00efve"},
        {"one unit", u"", [](VString& s) { s = VString(UniChar(u'x')); }, u"x"},
        {"units with a length", u"", [](VString& s) { s = VString(u"abc", 2); }, u"ab"},
        {"null units", u"old", [](VString& s) { s = VString(static_cast<const UniChar*>(nullptr)); }, u""},
        {"FromUniString", u"old", [](VString& s) { s.FromUniString(u"new text", 3); }, u"new"},
        {"FromUniChar", u"old", [](VString& s) { s.FromUniChar(u'Q'); }, u"Q"},
        {"FromUniString of its own units", u"plain", [](VString& s) { s.FromUniString(s.GetCPointer() + 2, 3); },
         u"ain"},
        {"appends", u"x", [](VString& s) { s.AppendCString("yz"); s += VString(u"!"); s += UniChar(u'?'); }, u"xyz!?"},
        {"operator+", u"", [](VString& s) { s = VString(u"a") + VString(u"b") + VString(); }, u"ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString s(row.text);
        row.edit(s);
        EXPECT_EQ(VString(row.expected), s);
        EXPECT_EQ(0, s.GetCPointer()[s.GetLength()]);
        EXPECT_FALSE(s.IsNull());
    }
    const VString heap = MakeText(30);
    VString empty;
    empty.AppendString(heap); // an empty string takes a share
    EXPECT_EQ(heap.GetCPointer(), empty.GetCPointer());
}

TEST(VStringSplit, GetSubStrings)
{
    // separator: with one unit, the unit form is checked too
    struct Row {
        const char16_t* text; const char16_t* separator; bool keepEmpty; bool trim;
        std::vector<VString> expected; bool found;
    };
    const Row rows[] = {
        {u"a,b,c", u",", false, false, Pieces({u"a", u"b", u"c"}), true},
        {u"a,,b,", u",", false, false, Pieces({u"a", u"b"}), true},
        {u"a,,b,", u",", true, false, Pieces({u"a", u"", u"b", u""}), true},
        {u"", u",", false, false, Pieces({}), false},
        {u"", u",", true, false, Pieces({u""}), false},
        {u"abc", u",", false, false, Pieces({u"abc"}), false},
        {u" a , b ", u",", false, true, Pieces({u"a", u"b"}), true},
        {u" a , b ", u",", false, false, Pieces({u" a ", u" b "}), true},
        {u" , ", u",", false, true, Pieces({}), true},
        {u" , ", u",", true, true, Pieces({u"", u""}), true},
        {u",", u",", false, false, Pieces({}), true},
        {u",", u",", true, false, Pieces({u"", u""}), true},
        {u",a", u",", true, false, Pieces({u"", u"a"}), true},
        {u"a::b::", u"::", false, false, Pieces({u"a", u"b"}), true},
        {u"a::b::", u"::", true, false, Pieces({u"a", u"b", u""}), true},
        {u"a:b", u"::", false, false, Pieces({u"a:b"}), false},
        {u"a:::b", u"::", false, false, Pieces({u"a", u":b"}), true},
        {u"a", u"", false, false, Pieces({u"a"}), false},
        {u"::", u"::", true, false, Pieces({u"", u""}), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(VString(row.text)) << " by "
                                        << testing::PrintToString(VString(row.separator)) << " keepEmpty "
                                        << row.keepEmpty << " trim " << row.trim);
        const VString separator(row.separator);
        std::vector<VString> out = Pieces({u"stale"});
        EXPECT_EQ(row.found, VString(row.text).GetSubStrings(separator, out, row.keepEmpty, row.trim));
        EXPECT_EQ(row.expected, out);
        if (separator.GetLength() == 1) {
            out = Pieces({u"stale"});
            EXPECT_EQ(row.found, VString(row.text).GetSubStrings(separator.GetUniChar(1), out, row.keepEmpty, row.trim));
            EXPECT_EQ(row.expected, out);
        }
    }
    std::vector<VString> out;
    VString null(static_cast<UniChar*>(nullptr), 0, 0);
    EXPECT_FALSE(null.GetSubStrings(u',', out, true));
    EXPECT_EQ(Pieces({u""}), out);
}

} // namespace
} // namespace nuvo
