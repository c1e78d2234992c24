#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace nuvo {

class VString;

// The name of a bag attribute or element list: UTF-8 bytes (at most 255) with a 32-bit hash
// computed once at construction. A key built from a string literal points at the literal and
// allocates nothing, so static keys are constant-initialised; any other key owns a heap copy of
// its bytes. A text that needs more than 255 UTF-8 bytes gives the empty key (length 0, hash 0).
// Keys compare by bytes, case-sensitively. Not thread-safe (a const key may be shared).
class StPackedDictionaryKey {
public:
    static constexpr size_t kMaxLength = 255;

    constexpr StPackedDictionaryKey() = default;
    // Points at the literal (or any char array that outlives the key); stops at the first 0.
    template <size_t N>
    constexpr StPackedDictionaryKey(const char (&literal)[N]) : fKey(literal), fLength(_LiteralLength(literal, N))
    {
        if (fLength > kMaxLength) {
            fKey = "";
            fLength = 0;
        }
        fHash = GetHashCode(fKey, fLength);
    }
    // Copies length bytes.
    StPackedDictionaryKey(const char* bytes, size_t length);
    // Converts to UTF-8; unpaired surrogates become U+FFFD.
    StPackedDictionaryKey(const VString& text);
    // UTF-32 code points.
    StPackedDictionaryKey(const wchar_t* text);

    StPackedDictionaryKey(const StPackedDictionaryKey& other);
    StPackedDictionaryKey(StPackedDictionaryKey&& other) noexcept;
    StPackedDictionaryKey& operator=(const StPackedDictionaryKey& other);
    StPackedDictionaryKey& operator=(StPackedDictionaryKey&& other) noexcept;
    constexpr ~StPackedDictionaryKey() { delete[] fOwned; }

    // A key over bytes that the caller keeps alive and unchanged while the key is in use.
    static StPackedDictionaryKey MakeView(const char* bytes, size_t length);

    constexpr const char* GetKey() const { return fKey; }
    constexpr size_t GetKeyLength() const { return fLength; }
    constexpr uint32_t GetHash() const { return fHash; }
    constexpr bool IsEmpty() const { return fLength == 0; }
    constexpr bool OwnsBuffer() const { return fOwned != nullptr; }

    // Names often differ only at their end ("p1", "p2", "key12"): the last byte is compared first.
    bool Equals(const char* bytes, size_t length) const
    {
        return length == fLength
            && (length == 0 || (bytes[length - 1] == fKey[length - 1] && std::memcmp(bytes, fKey, length) == 0));
    }
    bool operator==(const StPackedDictionaryKey& other) const { return Equals(other.fKey, other.fLength); }

    // The key as a string (UTF-8 decoded; malformed bytes become U+FFFD).
    void GetString(VString& out) const { BytesToString(fKey, fLength, out); }
    static void BytesToString(const char* bytes, size_t length, VString& out);

    // h = length, then h = h * 257 + byte over every byte, or over the first and last 8 bytes
    // when there are more than 16; 0 for no bytes. 32-bit arithmetic.
    static constexpr uint32_t GetHashCode(const char* bytes, size_t length)
    {
        if (length == 0)
            return 0;
        uint32_t hash = uint32_t(length);
        if (length <= 16) {
            for (size_t i = 0; i < length; ++i)
                hash = hash * 257u + uint8_t(bytes[i]);
        } else {
            for (size_t i = 0; i < 8; ++i)
                hash = hash * 257u + uint8_t(bytes[i]);
            for (size_t i = length - 8; i < length; ++i)
                hash = hash * 257u + uint8_t(bytes[i]);
        }
        return hash;
    }

private:
    static constexpr size_t _LiteralLength(const char* text, size_t capacity)
    {
        size_t length = 0;
        while (length < capacity && text[length] != 0)
            ++length;
        return length;
    }
    void _CopyFrom(const StPackedDictionaryKey& other);
    void _SetOwned(char* buffer, size_t length);

    const char* fKey = "";
    size_t fLength = 0;
    char* fOwned = nullptr;
    uint32_t fHash = 0;
};

} // namespace nuvo
