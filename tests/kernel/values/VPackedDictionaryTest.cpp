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
    if (!dict.GetValue(key, out))
        return "<absent>";
    return to_string(out);
}

std::string KeyName(int i)
{
    return "key" + std::to_string(i);
}

StPackedDictionaryKey Key(const std::string& name)
{
    return StPackedDictionaryKey(name.data(), name.size());
}

TEST(VPackedDictionary, SetTwiceKeepsOneAttributeWithTheSecondValue)
{
    VPackedVValueDictionary dict;
    dict.SetValue("p1", VString("first"));
    dict.SetValue("p1", VString("second, longer"));
    EXPECT_EQ(dict.GetCount(), 1u);
    EXPECT_EQ(Text(dict, "p1"), "second, longer");
    dict._Pack();
    EXPECT_EQ(Text(dict, "p1"), "second, longer");
}

TEST(VPackedDictionary, AppendTwiceMakesTwoSlotsAndLookupsFindTheFirst)
{
    for (int others : {0, 10}) {  // without and with an index
        SCOPED_TRACE(others);
        VPackedVValueDictionary dict;
        for (int i = 0; i < others; ++i)
            dict.Append(Key(KeyName(i)), VLong(i));
        dict.Append("dup", VString("one"));
        dict.Append("dup", VString("two"));
        EXPECT_EQ(dict.GetCount(), size_t(others + 2));
        EXPECT_EQ(Text(dict, "dup"), "one");
        ASSERT_TRUE(dict.SetExistingValue("dup", VString("uno")));
        EXPECT_EQ(Text(dict, "dup"), "uno");
        EXPECT_EQ(to_string(*static_cast<const VString*>(dict.GetNthValue(size_t(others + 1)))), "two");
        EXPECT_TRUE(dict.Clear("dup"));
        EXPECT_EQ(Text(dict, "dup"), "two");
    }
}

TEST(VPackedDictionary, IndexIsBuiltByTheFirstLookupFromSixKeys)
{
    struct Row {
        int keys;
        size_t indexSize;
    };
    const Row rows[] = {{1, 0}, {5, 0}, {6, 11}, {8, 11}, {9, 23}, {40, 67}, {1000, 2207}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        VPackedVValueDictionary dict;
        for (int i = 0; i < row.keys; ++i)
            dict.Append(Key(KeyName(i)), VLong(i * 3));
        EXPECT_EQ(dict.GetIndexSize(), 0u);  // appends alone never build it
        VLong out;
        ASSERT_TRUE(dict.GetValue("key0", out));
        EXPECT_EQ(dict.GetIndexSize(), row.indexSize);
        for (int i = 0; i < row.keys; ++i) {
            ASSERT_TRUE(dict.GetValue(Key(KeyName(i)), out)) << KeyName(i);
            EXPECT_EQ(out.Get(), i * 3);
        }
        EXPECT_FALSE(dict.GetValue("missing", out));
        EXPECT_FALSE(dict.GetValue(Key(KeyName(row.keys)), out));
    }
}

TEST(VPackedDictionary, IndexGrowsWhenFullWhileKeysAreAdded)
{
    VPackedVValueDictionary dict;
    std::vector<size_t> sizes;
    for (int i = 0; i < 1000; ++i) {
        dict.SetValue(Key(KeyName(i)), VString(KeyName(i).c_str()));
        if (sizes.empty() || sizes.back() != dict.GetIndexSize())
            sizes.push_back(dict.GetIndexSize());
    }
    // Built at the 7th set (its lookup sees 6 keys), then rebuilt for the count each time it is
    // full: 12 keys need 23 entries, 24 need 41, ... 200 need 521, 522 need 1361.
    const std::vector<size_t> expected = {0, 11, 23, 41, 67, 113, 199, 521, 1361};
    EXPECT_EQ(sizes, expected);
    for (int i = 999; i >= 0; --i)
        ASSERT_EQ(Text(dict, Key(KeyName(i))), KeyName(i));
    EXPECT_EQ(dict.GetCount(), 1000u);
}

TEST(VPackedDictionary, KeysWithTheSameHomeEntryAreAllFound)
{
    // One-byte keys hash to 257 + byte: in an 11-entry index, A, L and W (65, 76, 87) share the
    // home entry 3, and a, l and w (97, 108, 119) the home entry 2.
    VPackedVValueDictionary dict;
    const char names[][2] = {"A", "L", "W", "a", "l", "w"};
    for (const auto& name : names)
        dict.Append(StPackedDictionaryKey(name, 1), VString(name));
    VString out;
    ASSERT_TRUE(dict.GetValue("A", out));
    ASSERT_EQ(dict.GetIndexSize(), 11u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Text(dict, StPackedDictionaryKey(name, 1)), name);
    }
    EXPECT_EQ(Text(dict, "b"), "<absent>");
}

TEST(VPackedDictionary, RemovalKeepsTheOthersReadable)
{
    auto check = [](const VPackedVValueDictionary& dict, int count, const char* key2) {
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            if (i == 2) {
                EXPECT_EQ(Text(dict, Key(KeyName(i))), key2);
            } else if (i % 2) {
                VLong8 number;
                ASSERT_TRUE(dict.GetValue(Key(KeyName(i)), number));
                EXPECT_EQ(number.Get(), int64_t(i) << 33);
            } else {
                EXPECT_EQ(Text(dict, Key(KeyName(i))), std::string(size_t(i + 1), char('a' + i)));
            }
        }
    };
    struct Row {
        int count;
        size_t indexBefore;
        size_t indexAfter;
    };
    for (const Row& row : {Row{5, 0, 0}, Row{9, 23, 11}, Row{12, 23, 23}}) {
        SCOPED_TRACE(row.count);
        VPackedVValueDictionary dict;
        for (int i = 0; i < row.count; ++i) {
            if (i % 2)
                dict.Append(Key(KeyName(i)), VLong8(int64_t(i) << 33));
            else
                dict.Append(Key(KeyName(i)), VString(std::string(size_t(i + 1), char('a' + i)).c_str()));
        }
        check(dict, row.count, "ccc");
        EXPECT_EQ(dict.GetIndexSize(), row.indexBefore);
        EXPECT_TRUE(dict.Clear(Key(KeyName(2))));
        EXPECT_EQ(dict.GetIndexSize(), 0u);
        EXPECT_FALSE(dict.Clear(Key(KeyName(2))));
        EXPECT_EQ(dict.GetCount(), size_t(row.count - 1));
        check(dict, row.count, "<absent>");
        EXPECT_EQ(dict.GetIndexSize(), row.indexAfter);

        dict.Append(Key(KeyName(2)), VString("back"));
        check(dict, row.count, "back");
        StPackedDictionaryKey last = dict.GetNthKey(dict.GetCount() - 1);
        EXPECT_EQ(std::string(last.GetKey(), last.GetKeyLength()), "key2");
    }
}

TEST(VPackedDictionary, RemovingTheFirstAndTheLast)
{
    VPackedVValueDictionary dict;
    dict.Append("a", VString("1"));
    dict.Append("b", VBoolean(true));
    dict.Append("c", VReal(2.5));
    EXPECT_TRUE(dict.Clear("c"));
    EXPECT_TRUE(dict.Clear("a"));
    EXPECT_EQ(Text(dict, "b"), "true");
    EXPECT_TRUE(dict.Clear("b"));
    EXPECT_TRUE(dict.IsEmpty());
    dict.Append("a", VLong(4));
    EXPECT_EQ(Text(dict, "a"), "4");
}

TEST(VPackedDictionary, StringReadAsNumberIsConverted)
{
    VPackedVValueDictionary dict;
    dict.Append("n", VString("42"));
    VLong number;
    ASSERT_TRUE(dict.GetValue("n", number));
    EXPECT_EQ(number.Get(), 42);
    VReal real;
    ASSERT_TRUE(dict.GetValue("n", real));
    EXPECT_EQ(real.Get(), 42.0);
    dict.Append("b", VBoolean(true));
    EXPECT_EQ(Text(dict, "b"), "true");
    dict.Append("x", VLong8(-5000000000));
    EXPECT_EQ(Text(dict, "x"), "-5000000000");
    EXPECT_FALSE(dict.IsDirty());  // reading never makes the buffer stale
}

TEST(VPackedDictionary, SetExistingValueInPlaceOrThroughACachedObject)
{
    struct Row {
        const char* name;
        VString first;
        std::shared_ptr<VValueSingle> second;
        bool dirty;
        const char* expected;
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
        EXPECT_EQ(Text(dict, "k"), row.expected);
        EXPECT_EQ(dict.GetNthKind(1), row.second->GetValueKind());
        EXPECT_EQ(Text(dict, "before"), "1");
        EXPECT_EQ(Text(dict, "after"), "tail");
        dict._Pack();
        EXPECT_FALSE(dict.IsDirty());
        EXPECT_EQ(Text(dict, "k"), row.expected);
        EXPECT_EQ(Text(dict, "after"), "tail");
        VPackedVValueDictionary copy(dict);
        EXPECT_EQ(Text(copy, "k"), row.expected);
        EXPECT_EQ(Text(copy, "after"), "tail");
    }
    VPackedVValueDictionary dict;
    EXPECT_FALSE(dict.SetExistingValue("absent", VLong(1)));
    EXPECT_TRUE(dict.IsEmpty());
}

TEST(VPackedDictionary, CachedObjectOfTheSameKindIsReused)
{
    VPackedVValueDictionary dict;
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
        source.Append(Key(KeyName(i)), VString("v"));
    ASSERT_TRUE(source.SetExistingValue("key3", VString("a much longer value")));
    ASSERT_TRUE(source.SetExistingValue("key6", VLong8(-1)));
    ASSERT_TRUE(source.IsDirty());

    VPackedVValueDictionary copy(source);
    EXPECT_FALSE(copy.IsDirty());
    EXPECT_TRUE(source.IsDirty());  // the source is left as it was
    VPackedVValueDictionary assigned;
    assigned.Append("old", VLong(1));
    assigned = source;
    EXPECT_FALSE(assigned.IsDirty());
    EXPECT_EQ(Text(assigned, "old"), "<absent>");

    for (const VPackedVValueDictionary* dict : {&copy, &assigned, &source}) {
        EXPECT_EQ(dict->GetCount(), 8u);
        EXPECT_EQ(Text(*dict, "key3"), "a much longer value");
        EXPECT_EQ(Text(*dict, "key6"), "-1");
        EXPECT_EQ(Text(*dict, "key7"), "v");
        EXPECT_EQ(Text(*dict, "key0"), "v");
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
    VString text("x");
    ASSERT_TRUE(dict.GetValue("t", text));
    EXPECT_TRUE(text.IsNull());
    VString converted("x");
    ASSERT_TRUE(dict.GetValue("n", converted));
    EXPECT_TRUE(converted.IsNull());
    ASSERT_TRUE(dict.SetExistingValue("n", VLong(8)));
    VLong number;
    ASSERT_TRUE(dict.GetValue("n", number));
    EXPECT_FALSE(number.IsNull());
    EXPECT_EQ(number.Get(), 8);
}

TEST(VPackedDictionary, NamesAreKeptInInsertionOrder)
{
    VPackedVValueDictionary dict;
    dict.Append("zeta", VLong(1));
    dict.Append(VString(u"\u00E9t\u00E9"), VLong(2));
    dict.Append("alpha", VLong(3));
    std::vector<std::u16string> names;
    for (size_t n = 0; n < dict.GetCount(); ++n) {
        VString name;
        dict.GetNthKeyString(n, name);
        names.emplace_back(name.GetCPointer(), size_t(name.GetLength()));
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"zeta", u"\u00E9t\u00E9", u"alpha"}));
}

} // namespace
} // namespace nuvo
