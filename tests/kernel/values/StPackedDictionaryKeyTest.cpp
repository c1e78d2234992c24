#include <string>

#include <gtest/gtest.h>

#include "kernel/text/VString.h"
#include "kernel/values/StPackedDictionaryKey.h"

namespace nuvo {
namespace {

std::string BytesOf(const StPackedDictionaryKey& key)
{
    return std::string(key.GetKey(), key.GetKeyLength());
}

TEST(StPackedDictionaryKey, HashValuesComputedByHand)
{
    struct Row { const char* name; std::string bytes; uint32_t hash; };
    const Row rows[] = {
        {"empty", "", 0},
        {"a", "a", 354},  // 1 * 257 + 97
        {"e acute in UTF-8", "\xC3\xA9", (2u * 257 + 0xC3) * 257 + 0xA9},
        // 16 bytes 0xFF: the last length hashed byte by byte; wraps modulo 2^32.
        {"16 bytes 0xFF", std::string(16, '\xFF'), 432576512u},
        // 17 bytes: "abcdefgh" then "jklmnopq"; the middle 'i' is not hashed.
        {"17 bytes", "abcdefghijklmnopq", 95214241u},
        {"17 bytes, other middle byte", "abcdefghXjklmnopq", 95214241u},
        {"17 bytes, other last byte", "abcdefghijklmnopr", 95214242u},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StPackedDictionaryKey::GetHashCode(row.bytes.data(), row.bytes.size()), row.hash);
        StPackedDictionaryKey key(row.bytes.data(), row.bytes.size());
        EXPECT_EQ(key.GetHash(), row.hash);
        EXPECT_EQ(BytesOf(key), row.bytes);
    }
}

TEST(StPackedDictionaryKey, LiteralKeysPointAtTheLiteralOthersOwnACopy)
{
    static const char kName[] = "task_name";
    static constexpr StPackedDictionaryKey kStatic{"level"};
    static_assert(kStatic.GetHash() == (((((5u * 257 + 'l') * 257 + 'e') * 257 + 'v') * 257 + 'e') * 257 + 'l'));
    StPackedDictionaryKey literal(kName);
    EXPECT_EQ(literal.GetKey(), kName);
    EXPECT_FALSE(literal.OwnsBuffer());
    EXPECT_EQ(StPackedDictionaryKey(literal).GetKey(), kName);

    auto* original = new StPackedDictionaryKey(VString("task_name"));
    StPackedDictionaryKey copy(*original);
    StPackedDictionaryKey assigned;
    assigned = *original;
    EXPECT_NE(copy.GetKey(), original->GetKey());
    delete original;
    StPackedDictionaryKey moved(std::move(copy));
    EXPECT_EQ(BytesOf(moved), "task_name");
    EXPECT_EQ(BytesOf(assigned), "task_name");
    EXPECT_EQ(moved.GetHash(), literal.GetHash());

    EXPECT_TRUE(StPackedDictionaryKey("level", 5) == kStatic);
    EXPECT_FALSE(StPackedDictionaryKey("Level") == kStatic);
    EXPECT_FALSE(StPackedDictionaryKey("levels") == kStatic);
}

TEST(StPackedDictionaryKey, TextIsConvertedToUtf8)
{
    struct Row { const char* name; VString text; std::string bytes; };
    const Row rows[] = {
        {"ascii", VString("p1"), "p1"},
        {"e acute", VString(u"caf\u00E9"), "caf\xC3\xA9"},
        {"surrogate pair", VString(u"\U0001F600"), "\xF0\x9F\x98\x80"},
        {"unpaired high surrogate", VString(u"a\xD800" "b", 3), "a\xEF\xBF\xBD" "b"},
        {"unpaired low surrogate at end", VString(u"a\xDC00", 2), "a\xEF\xBF\xBD"},
        {"empty", VString(""), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StPackedDictionaryKey key(row.text);
        EXPECT_EQ(BytesOf(key), row.bytes);
        EXPECT_EQ(key.GetHash(), StPackedDictionaryKey::GetHashCode(row.bytes.data(), row.bytes.size()));
        EXPECT_TRUE(key == StPackedDictionaryKey(row.bytes.data(), row.bytes.size()));
    }
    EXPECT_EQ(BytesOf(StPackedDictionaryKey(L"caf\u00E9\U0001F600")), "caf\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(BytesOf(StPackedDictionaryKey(L"\x110000")), "\xEF\xBF\xBD");
}

TEST(StPackedDictionaryKey, MoreThan255BytesGivesTheEmptyKey)
{
    struct Row { const char* name; VString text; size_t expectedLength; };
    const std::u16string eAcute(127, u'\u00E9'), euro(85, u'\u20AC');
    const Row rows[] = {
        {"255 ascii", VString(std::string(255, 'k').c_str()), 255},
        {"256 ascii", VString(std::string(256, 'k').c_str()), 0},
        {"127 two-byte chars and one ascii = 255 bytes", VString((eAcute + u"k").c_str()), 255},
        {"128 two-byte chars = 256 bytes", VString((eAcute + u"\u00E9").c_str()), 0},
        {"85 three-byte chars = 255 bytes", VString(euro.c_str()), 255},
        {"85 three-byte chars and one ascii", VString((euro + u"k").c_str()), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StPackedDictionaryKey key(row.text);
        EXPECT_EQ(key.GetKeyLength(), row.expectedLength);
        EXPECT_TRUE(row.expectedLength > 0 || key.GetHash() == 0) << "the empty key's hash is 0";
    }
    EXPECT_TRUE(StPackedDictionaryKey(std::string(256, 'b').data(), 256).IsEmpty());
    EXPECT_TRUE(StPackedDictionaryKey(std::wstring(256, L'w').c_str()).IsEmpty());
}

TEST(StPackedDictionaryKey, BytesDecodeToString)
{
    struct Row { const char* name; std::string bytes; std::u16string expected; };
    const Row rows[] = {
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
        {"lone continuation byte", "a\x80" "b", u"a\uFFFDb"},
        {"truncated sequence", "a\xE2\x82", u"a\uFFFD"},
        {"overlong form", "\xC0\xAF", u"\uFFFD\uFFFD"},
        // ED may not be followed by A0: three ill-formed pieces.
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"largest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString out("previous");
        StPackedDictionaryKey::BytesToString(row.bytes.data(), row.bytes.size(), out);
        EXPECT_EQ(std::u16string(out.GetCPointer(), size_t(out.GetLength())), row.expected);
    }
}

} // namespace
} // namespace nuvo
