#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/text/VString.h"
#include "kernel/values/VBoolean.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VLong8.h"
#include "kernel/values/VPackedDictionary_with_backstore.h"
#include "kernel/values/VReal.h"

namespace nuvo {
namespace {

std::string Text(const VPackedVValueDictionary& dict, const StPackedDictionaryKey& key)
{
    VString out;
    return dict.GetValue(key, out) ? to_string(out) : "<absent>";
}

std::string Name(int i) { return "key" + std::to_string(i); }
StPackedDictionaryKey Key(int i) { return StPackedDictionaryKey(Name(i).data(), Name(i).size()); }

TEST(VPackedDictionary, SetTwiceKeepsOneAttributeAndAppendTwiceMakesTwo)
{
    VPackedVValueDictionary set;
    set.SetValue("p1", VString("first"));
    set.SetValue("p1", VString("second, longer"));
    EXPECT_EQ(set.GetCount(), 1u);
    EXPECT_EQ(Text(set, "p1"), "second, longer");

    for (int others : {0, 10}) {  // without and with an index
        SCOPED_TRACE(others);
        VPackedVValueDictionary dict;
        for (int i = 0; i < others; ++i)
            dict.Append(Key(i), VLong(i));
        dict.Append("dup", VString("one"));
        dict.Append("dup", VString("two"));
        EXPECT_EQ(dict.GetCount(), size_t(others + 2));
        EXPECT_EQ(Text(dict, "dup"), "one");
        ASSERT_TRUE(dict.SetExistingValue("dup", VString("uno")));
        EXPECT_EQ(Text(dict, "dup"), "uno");
        EXPECT_TRUE(dict.Clear("dup"));
        EXPECT_EQ(Text(dict, "dup"), "two");
    }
}

TEST(VPackedDictionary, IndexIsBuiltByTheFirstLookupFromSixKeys)
{
    struct Row { int keys; size_t indexSize; };
    for (const Row& row : {Row{5, 0}, Row{6, 11}, Row{8, 11}, Row{9, 23}, Row{40, 67}, Row{1000, 2207}}) {
        SCOPED_TRACE(row.keys);
        VPackedVValueDictionary dict;
        for (int i = 0; i < row.keys; ++i)
            dict.Append(Key(i), VLong(i * 3));
        EXPECT_EQ(dict.GetIndexSize(), 0u);  // appends alone never build it
        VLong out;
        ASSERT_TRUE(dict.GetValue("key0", out));
        EXPECT_EQ(dict.GetIndexSize(), row.indexSize);
        for (int i = 0; i < row.keys; ++i) {
            ASSERT_TRUE(dict.GetValue(Key(i), out)) << i;
            EXPECT_EQ(out.Get(), i * 3);
        }
        EXPECT_FALSE(dict.GetValue(Key(row.keys), out));
    }
}

TEST(VPackedDictionary, IndexGrowsWhenFullWhileKeysAreAdded)
{
    VPackedVValueDictionary dict;
    std::vector<size_t> sizes;
    for (int i = 0; i < 1000; ++i) {
        dict.SetValue(Key(i), VString(Name(i).c_str()));
        if (sizes.empty() || sizes.back() != dict.GetIndexSize())
            sizes.push_back(dict.GetIndexSize());
    }
    // Built at the 7th set (its lookup sees 6 keys), then rebuilt for the count each time it is
    // full: 12 keys need 23 entries, 24 need 41, ... 200 need 521, 522 need 1361.
    EXPECT_EQ(sizes, (std::vector<size_t>{0, 11, 23, 41, 67, 113, 199, 521, 1361}));
    for (int i = 999; i >= 0; --i)
        ASSERT_EQ(Text(dict, Key(i)), Name(i));
}

TEST(VPackedDictionary, KeysWithTheSameHomeEntryAreAllFound)
{
    // One-byte keys hash to 257 + byte: in an 11-entry index, A, L and W (65, 76, 87) share the
    // home entry 3, and a, l and w (97, 108, 119) the home entry 2.
    VPackedVValueDictionary dict;
    const char names[][2] = {"A", "L", "W", "a", "l", "w"};
    for (const auto& name : names)
        dict.Append(StPackedDictionaryKey(name, 1), VString(name));
    ASSERT_EQ(Text(dict, "b"), "<absent>");
    ASSERT_EQ(dict.GetIndexSize(), 11u);
    for (const auto& name : names)
        EXPECT_EQ(Text(dict, StPackedDictionaryKey(name, 1)), name);
}

TEST(VPackedDictionary, RemovalKeepsTheOthersReadable)
{
    // Odd keys hold 64-bit integers, even ones texts of growing length, so that values of
    // several sizes sit around the removed one.
    auto text = [](int i) { return std::string(size_t(i + 1), char('a' + i)); };
    auto check = [&](const VPackedVValueDictionary& dict, int count, const char* key2) {
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            if (i == 2)
                EXPECT_EQ(Text(dict, Key(i)), key2);
            else
                EXPECT_EQ(Text(dict, Key(i)), i % 2 ? std::to_string(int64_t(i) << 33) : text(i));
        }
    };
    struct Row { int count; size_t indexAfter; };
    for (const Row& row : {Row{5, 0}, Row{9, 11}, Row{12, 23}}) {
        SCOPED_TRACE(row.count);
        VPackedVValueDictionary dict;
        for (int i = 0; i < row.count; ++i) {
            if (i % 2)
                dict.Append(Key(i), VLong8(int64_t(i) << 33));
            else
                dict.Append(Key(i), VString(text(i).c_str()));
        }
        check(dict, row.count, "ccc");
        EXPECT_TRUE(dict.Clear(Key(2)));
        EXPECT_EQ(dict.GetIndexSize(), 0u);
        EXPECT_FALSE(dict.Clear(Key(2)));
        check(dict, row.count, "<absent>");
        EXPECT_EQ(dict.GetIndexSize(), row.indexAfter);
        dict.Append(Key(2), VString("back"));
        check(dict, row.count, "back");
        VString last;
        dict.GetNthKeyString(dict.GetCount() - 1, last);
        EXPECT_EQ(to_string(last), "key2");
    }

    // The last value's extent runs to the end of the buffer, the first one's from its start.
    VPackedVValueDictionary edges;
    edges.Append("a", VString("1"));
    edges.Append("b", VBoolean(true));
    edges.Append("c", VReal(2.5));
    EXPECT_TRUE(edges.Clear("c") && edges.Clear("a"));
    EXPECT_EQ(Text(edges, "b"), "true");
    edges.Append("a", VLong(4));
    EXPECT_EQ(Text(edges, "a"), "4");
}

TEST(VPackedDictionary, SetExistingValueInPlaceOrThroughACachedObject)
{
    struct Row {
        const char* name; VString first; std::shared_ptr<VValueSingle> second; bool dirty; const char* expected;
    };
    const Row rows[] = {
        {"same length text", VString("abc"), std::make_shared<VString>("xyz"), false, "xyz"},
        {"other length text", VString("abc"), std::make_shared<VString>("wxyz"), true, "wxyz"},
        {"shorter text", VString("abc"), std::make_shared<VString>(""), true, ""},
        // An empty text takes 4 bytes, as a 32-bit integer does: replaced in place.
        {"same size, other kind", VString(""), std::make_shared<VLong>(77), false, "77"},
        {"other size, other kind", VString("abc"), std::make_shared<VLong8>(77), true, "77"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VPackedVValueDictionary dict;
        dict.Append("before", VLong(1));
        dict.Append("k", row.first);
        dict.Append("after", VString("tail"));
        ASSERT_TRUE(dict.SetExistingValue("k", *row.second));
        EXPECT_EQ(dict.IsDirty(), row.dirty);
        EXPECT_EQ(dict.GetNthKind(1), row.second->GetValueKind());
        for (int packed = 0; packed < 2; ++packed) {
            EXPECT_EQ(Text(dict, "before"), "1");
            EXPECT_EQ(Text(dict, "k"), row.expected);
            EXPECT_EQ(Text(dict, "after"), "tail");
            dict._Pack();
            EXPECT_FALSE(dict.IsDirty());
        }
    }
    VPackedVValueDictionary dict;
    EXPECT_FALSE(dict.SetExistingValue("absent", VLong(1)));
    // A cached object of the same kind takes the next value; another kind replaces it.
    dict.Append("k", VString("abc"));
    ASSERT_TRUE(dict.SetExistingValue("k", VString("longer")));
    const VValueSingle* cached = dict.GetValuePtr("k");
    ASSERT_TRUE(dict.SetExistingValue("k", VString("ab")));
    EXPECT_EQ(dict.GetValuePtr("k"), cached);
    EXPECT_EQ(Text(dict, "k"), "ab");
    ASSERT_TRUE(dict.SetExistingValue("k", VLong(5)));
    EXPECT_EQ(dict.GetNthKind(0), ValueKind::Long);
    EXPECT_EQ(Text(dict, "k"), "5");
}

TEST(VPackedDictionary, CopyOfADirtyDictionaryIsPacked)
{
    VPackedVValueDictionary source;
    for (int i = 0; i < 8; ++i)
        source.Append(Key(i), VString("v"));
    ASSERT_TRUE(source.SetExistingValue("key3", VString("a much longer value")));
    ASSERT_TRUE(source.SetExistingValue("key6", VLong8(-1)));
    ASSERT_TRUE(source.IsDirty());

    VPackedVValueDictionary copy(source);
    VPackedVValueDictionary assigned;
    assigned.Append("old", VLong(1));
    assigned = source;
    EXPECT_TRUE(source.IsDirty());  // the source is left as it was
    EXPECT_FALSE(copy.IsDirty() || assigned.IsDirty());
    EXPECT_EQ(Text(assigned, "old"), "<absent>");
    for (const VPackedVValueDictionary* dict : {&copy, &assigned, &source}) {
        EXPECT_EQ(Text(*dict, "key3"), "a much longer value");
        EXPECT_EQ(Text(*dict, "key6"), "-1");
        EXPECT_EQ(Text(*dict, "key7"), "v");
    }
    // The copy is independent, in place as well as through a cached object.
    ASSERT_TRUE(copy.SetExistingValue("key7", VString("w")));
    ASSERT_TRUE(copy.SetExistingValue("key3", VString("short")));
    EXPECT_EQ(Text(source, "key7"), "v");
    EXPECT_EQ(Text(source, "key3"), "a much longer value");
}

TEST(VPackedDictionary, NullValuesStayNull)
{
    VPackedVValueDictionary dict;
    VString nullText;
    nullText.SetNull(true);
    VLong nullNumber(3);
    nullNumber.SetNull(true);
    dict.Append("t", nullText);
    dict.Append("n", nullNumber);
    VString text("x"), converted("x");
    EXPECT_TRUE(dict.GetValue("t", text) && text.IsNull());
    EXPECT_TRUE(dict.GetValue("n", converted) && converted.IsNull());  // through a cached object
    ASSERT_TRUE(dict.SetExistingValue("n", VLong(8)));
    VLong number;
    EXPECT_TRUE(dict.GetValue("n", number) && !number.IsNull() && number.Get() == 8);
}

} // namespace
} // namespace nuvo
