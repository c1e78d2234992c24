#include "kernel/values/StPackedDictionaryKey.h"

#include <cstring>
#include <utility>

#include "kernel/text/VString.h"

namespace nuvo {

namespace {

// Appends the UTF-8 form of cp at out[length]; returns the new length, or capacity + 1 when it
// does not fit (the caller then gives up).
size_t PutUtf8(char32_t cp, char* out, size_t length, size_t capacity)
{
    char bytes[4];
    size_t count;
    if (cp < 0x80) {
        bytes[0] = char(cp);
        count = 1;
    } else if (cp < 0x800) {
        bytes[0] = char(0xC0 | (cp >> 6));
        bytes[1] = char(0x80 | (cp & 0x3F));
        count = 2;
    } else if (cp < 0x10000) {
        bytes[0] = char(0xE0 | (cp >> 12));
        bytes[1] = char(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = char(0x80 | (cp & 0x3F));
        count = 3;
    } else {
        bytes[0] = char(0xF0 | (cp >> 18));
        bytes[1] = char(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = char(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = char(0x80 | (cp & 0x3F));
        count = 4;
    }
    if (length + count > capacity)
        return capacity + 1;
    std::memcpy(out + length, bytes, count);
    return length + count;
}

bool IsValidScalar(char32_t cp)
{
    return cp < 0x110000 && (cp < 0xD800 || cp > 0xDFFF);
}

} // namespace

StPackedDictionaryKey::StPackedDictionaryKey(const char* bytes, size_t length)
{
    if (length > kMaxLength || length == 0)
        return;
    char* buffer = new char[length + 1];
    std::memcpy(buffer, bytes, length);
    buffer[length] = 0;
    _SetOwned(buffer, length);
}

StPackedDictionaryKey::StPackedDictionaryKey(const VString& text)
{
    const UniChar* units = text.GetCPointer();
    int32_t count = text.GetLength();
    if (count == 0 || count > int32_t(kMaxLength))  // each unit gives at least one byte
        return;
    char* buffer = new char[kMaxLength + 1];
    size_t length = 0;
    for (int32_t i = 0; i < count && length <= kMaxLength; ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        length = PutUtf8(cp, buffer, length, kMaxLength);
    }
    if (length > kMaxLength) {
        delete[] buffer;
        return;
    }
    buffer[length] = 0;
    _SetOwned(buffer, length);
}

StPackedDictionaryKey::StPackedDictionaryKey(const wchar_t* text)
{
    if (!text || *text == 0)
        return;
    char* buffer = new char[kMaxLength + 1];
    size_t length = 0;
    for (const wchar_t* p = text; *p != 0 && length <= kMaxLength; ++p) {
        char32_t cp = char32_t(*p);
        length = PutUtf8(IsValidScalar(cp) ? cp : 0xFFFD, buffer, length, kMaxLength);
    }
    if (length > kMaxLength) {
        delete[] buffer;
        return;
    }
    buffer[length] = 0;
    _SetOwned(buffer, length);
}

StPackedDictionaryKey StPackedDictionaryKey::MakeView(const char* bytes, size_t length)
{
    StPackedDictionaryKey key;
    if (length > 0 && length <= kMaxLength) {
        key.fKey = bytes;
        key.fLength = length;
        key.fHash = GetHashCode(bytes, length);
    }
    return key;
}

StPackedDictionaryKey::StPackedDictionaryKey(const StPackedDictionaryKey& other)
{
    _CopyFrom(other);
}

StPackedDictionaryKey::StPackedDictionaryKey(StPackedDictionaryKey&& other) noexcept
    : fKey(std::exchange(other.fKey, "")), fLength(std::exchange(other.fLength, 0)),
      fOwned(std::exchange(other.fOwned, nullptr)), fHash(std::exchange(other.fHash, 0))
{
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(const StPackedDictionaryKey& other)
{
    if (this != &other) {
        delete[] fOwned;
        fOwned = nullptr;
        _CopyFrom(other);
    }
    return *this;
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(StPackedDictionaryKey&& other) noexcept
{
    if (this != &other) {
        delete[] fOwned;
        fKey = std::exchange(other.fKey, "");
        fLength = std::exchange(other.fLength, 0);
        fOwned = std::exchange(other.fOwned, nullptr);
        fHash = std::exchange(other.fHash, 0);
    }
    return *this;
}

void StPackedDictionaryKey::_CopyFrom(const StPackedDictionaryKey& other)
{
    fHash = other.fHash;
    fLength = other.fLength;
    if (other.fOwned) {
        fOwned = new char[other.fLength + 1];
        std::memcpy(fOwned, other.fKey, other.fLength + 1);
        fKey = fOwned;
    } else {
        fKey = other.fKey;
    }
}

void StPackedDictionaryKey::_SetOwned(char* buffer, size_t length)
{
    fOwned = buffer;
    fKey = buffer;
    fLength = length;
    fHash = GetHashCode(buffer, length);
}

// Malformed input becomes one U+FFFD per maximal ill-formed subpart, as Unicode recommends.
void StPackedDictionaryKey::BytesToString(const char* bytes, size_t length, VString& out)
{
    UniChar* units = out.GetCPointerForWrite(int32_t(length));  // never more units than bytes
    if (!units)
        return;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes);
    const uint8_t* end = p + length;
    int32_t count = 0;
    while (p < end) {
        uint8_t lead = *p++;
        if (lead < 0x80) {
            units[count++] = lead;
            continue;
        }
        int extra = 0;
        uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
        char32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;  // overlong below
            else if (lead == 0xED)
                high = 0x9F;  // surrogates above
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;  // beyond U+10FFFF above
        }
        int taken = 0;
        while (taken < extra && p < end) {
            uint8_t next = *p;
            if (taken == 0 ? (next < low || next > high) : (next & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (next & 0x3F);
            ++p;
            ++taken;
        }
        if (extra == 0 || taken < extra) {
            units[count++] = 0xFFFD;
        } else if (cp >= 0x10000) {
            units[count++] = UniChar(0xD800 + ((cp - 0x10000) >> 10));
            units[count++] = UniChar(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units[count++] = UniChar(cp);
        }
    }
    out.Validate(count);
}

} // namespace nuvo
