#include "kernel/text/BuiltinConverters.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace nuvo::Private {

namespace {

inline uint16_t Load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint64_t Load64(const void* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

inline void SetResults(size_t* outConsumed, size_t consumed, int32_t* outProduced, int32_t produced)
{
    if (outConsumed)
        *outConsumed = consumed;
    if (outProduced)
        *outProduced = produced;
}

inline void SetResults(int32_t* outConsumed, int32_t consumed, size_t* outProduced, size_t produced)
{
    if (outConsumed)
        *outConsumed = consumed;
    if (outProduced)
        *outProduced = produced;
}

inline int32_t Room(UniChar* destination, int32_t maxUnits)
{
    return destination != nullptr ? std::max(maxUnits, 0) : 0;
}

} // namespace

// UTF-16 ------------------------------------------------------------------------------------

bool VToUnicodeConverter_UTF16::Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                                        UniChar* destination, int32_t destinationMaxUnits,
                                        int32_t* outUnitsProduced)
{
    size_t units = std::min(sourceBytes / 2, size_t(Room(destination, destinationMaxUnits)));
    const uint8_t* s = static_cast<const uint8_t*>(source);
    if (!fSwapped) {
        if (units > 0)
            std::memcpy(destination, source, units * 2);
    } else {
        for (size_t i = 0; i < units; ++i)
            destination[i] = __builtin_bswap16(Load16(s + 2 * i));
    }
    SetResults(outBytesConsumed, units * 2, outUnitsProduced, int32_t(units));
    return true;
}

bool VFromUnicodeConverter_UTF16::Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed,
                                          void* destination, size_t destinationBytes, size_t* outBytesProduced)
{
    size_t units = size_t(std::max(sourceUnits, 0));
    if (destination == nullptr) {
        SetResults(outUnitsConsumed, int32_t(units), outBytesProduced, units * 2);
        return true;
    }
    units = std::min(units, destinationBytes / 2);
    uint8_t* d = static_cast<uint8_t*>(destination);
    if (!fSwapped) {
        if (units > 0)
            std::memcpy(d, source, units * 2);
    } else {
        for (size_t i = 0; i < units; ++i)
            Store16(d + 2 * i, __builtin_bswap16(source[i]));
    }
    SetResults(outUnitsConsumed, int32_t(units), outBytesProduced, units * 2);
    return true;
}

// UTF-32 ------------------------------------------------------------------------------------

bool VToUnicodeConverter_UTF32::Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                                        UniChar* destination, int32_t destinationMaxUnits,
                                        int32_t* outUnitsProduced)
{
    const uint8_t* s = static_cast<const uint8_t*>(source);
    const size_t count = sourceBytes / 4;
    const int32_t room = Room(destination, destinationMaxUnits);
    size_t i = 0;
    int32_t produced = 0;
    bool ok = true;
    for (; i < count && produced < room; ++i) {
        uint32_t c = Load32(s + 4 * i);
        if (fSwapped)
            c = __builtin_bswap32(c);
        if (c < 0x10000) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                ok = false;
                break;
            }
            destination[produced++] = UniChar(c);
        } else if (c < 0x110000) {
            if (room - produced < 2) {
                ok = false;
                break;
            }
            destination[produced++] = UniChar(((c - 0x10000) >> 10) + 0xD800);
            destination[produced++] = UniChar((c & 0x3FF) | 0xDC00);
        } else {
            ok = false;  // skipped
        }
    }
    SetResults(outBytesConsumed, i * 4, outUnitsProduced, produced);
    return ok;
}

bool VFromUnicodeConverter_UTF32::Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed,
                                          void* destination, size_t destinationBytes, size_t* outBytesProduced)
{
    uint8_t* d = static_cast<uint8_t*>(destination);
    const int32_t count = std::max(sourceUnits, 0);
    int32_t i = 0;
    size_t produced = 0;
    bool ok = true;
    while (i < count) {
        uint32_t c = source[i];
        int32_t used = 1;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= count || source[i + 1] < 0xDC00 || source[i + 1] > 0xDFFF) {
                ok = false;
                break;
            }
            c = (c << 10) + source[i + 1] - 0x35FDC00;
            used = 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            ok = false;
            break;
        }
        if (d != nullptr) {
            if (destinationBytes - produced < 4)
                break;
            Store32(d + produced, fSwapped ? __builtin_bswap32(c) : c);
        }
        produced += 4;
        i += used;
    }
    SetResults(outUnitsConsumed, i, outBytesProduced, produced);
    return ok;
}

// Raw 32-bit units --------------------------------------------------------------------------

bool VToUnicodeConverter_Raw32::Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                                        UniChar* destination, int32_t destinationMaxUnits,
                                        int32_t* outUnitsProduced)
{
    const uint8_t* s = static_cast<const uint8_t*>(source);
    const size_t units = std::min(sourceBytes / 4, size_t(Room(destination, destinationMaxUnits)));
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = Load32(s + 4 * i);
        destination[i] = UniChar(fSwapped ? __builtin_bswap32(c) : c);
    }
    SetResults(outBytesConsumed, units * 4, outUnitsProduced, int32_t(units));
    return true;
}

bool VFromUnicodeConverter_Raw32::Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed,
                                          void* destination, size_t destinationBytes, size_t* outBytesProduced)
{
    size_t units = size_t(std::max(sourceUnits, 0));
    if (destination != nullptr) {
        units = std::min(units, destinationBytes / 4);
        uint8_t* d = static_cast<uint8_t*>(destination);
        for (size_t i = 0; i < units; ++i) {
            uint32_t c = source[i];
            Store32(d + 4 * i, fSwapped ? __builtin_bswap32(c) : c);
        }
    }
    SetResults(outUnitsConsumed, int32_t(units), outBytesProduced, units * 4);
    return true;
}

// UTF-8 -------------------------------------------------------------------------------------

namespace {

constexpr uint64_t kHighBits8 = 0x8080808080808080ull;
constexpr uint64_t kNonASCIIUnits4 = 0xFF80FF80FF80FF80ull;

// Subtracting these after c = c * 64 + byte over a whole sequence removes the marker bits of
// the lead byte and of the (assumed) continuation bytes.
constexpr uint32_t kUTF8Offsets[6] = {0, 0x3080, 0xE2080, 0x3C82080, 0xFA082080u, 0x82082080u};

// Index of the first byte (in memory order) whose marker bit is set in a non-zero mask.
inline int FirstMarkedByte(uint64_t mask)
{
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_ctzll(mask) / 8;
    else
        return __builtin_clzll(mask) / 8;
}

inline int TrailingBytes(uint32_t lead)
{
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return 1;
    if (lead < 0xF0)
        return 2;
    if (lead < 0xF8)
        return 3;
    if (lead < 0xFC)
        return 4;
    return 5;
}

} // namespace

bool VToUnicodeConverter_UTF8::Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                                       UniChar* destination, int32_t destinationMaxUnits, int32_t* outUnitsProduced)
{
    const uint8_t* s = static_cast<const uint8_t*>(source);
    const uint8_t* const end = s + sourceBytes;
    UniChar* d = destination;
    UniChar* const dEnd = d + Room(destination, destinationMaxUnits);
    bool ok = true;

    while (s < end && d < dEnd) {
        uint32_t c = *s;
        if (c < 0x80) {
            // ASCII runs are the common case in every text: after the first byte, 16 then 8
            // bytes at a time; a word with a non-ASCII byte copies the bytes before it. A lone
            // space between words of other scripts skips the word tests.
            *d++ = UniChar(c);
            ++s;
            if (s == end || *s >= 0x80 || d == dEnd)
                continue;
            while (end - s >= 16 && dEnd - d >= 16 && ((Load64(s) | Load64(s + 8)) & kHighBits8) == 0) {
                for (int k = 0; k < 16; ++k)
                    d[k] = s[k];
                s += 16;
                d += 16;
            }
            for (;;) {
                if (end - s < 8 || dEnd - d < 8) {
                    while (s < end && d < dEnd && *s < 0x80)
                        *d++ = *s++;
                    break;
                }
                const uint64_t high = Load64(s) & kHighBits8;
                const int count = high == 0 ? 8 : FirstMarkedByte(high);
                for (int k = 0; k < 8; ++k)
                    d[k] = s[k];  // the units past count are overwritten or lie beyond the result
                s += count;
                d += count;
                if (count < 8)
                    break;
            }
            continue;
        }
        int trailing;
        if (c >= 0xC0 && c < 0xE0) {
            if (end - s < 2)
                break;  // incomplete: left for the caller to supply again with more input
            trailing = 1;
            c = (c << 6) + s[1];
        } else if (c >= 0xE0 && c < 0xF0) {
            if (end - s < 3)
                break;
            trailing = 2;
            c = (c << 12) + (uint32_t(s[1]) << 6) + s[2];
        } else {
            trailing = TrailingBytes(c);
            if (end - s <= trailing)
                break;
            for (int k = 1; k <= trailing; ++k)
                c = c * 64 + s[k];
        }
        c -= kUTF8Offsets[trailing];
        if (c < 0x10000) [[likely]] {
            *d++ = UniChar(c);
        } else if (c < 0x110000) {
            if (dEnd - d < 2)
                break;
            d[0] = UniChar(((c - 0x10000) >> 10) + 0xD800);
            d[1] = UniChar((c & 0x3FF) | 0xDC00);
            d += 2;
        } else {
            *d++ = u'?';
            ok = false;
        }
        s += trailing + 1;
    }
    SetResults(outBytesConsumed, size_t(s - static_cast<const uint8_t*>(source)), outUnitsProduced,
               int32_t(d - destination));
    return ok;
}

namespace {

// Bytes needed by the UTF-8 form of source; stops before a final high surrogate.
void MeasureUTF8(const UniChar* source, int32_t count, int32_t* outUnitsConsumed, size_t* outBytesProduced)
{
    int32_t i = 0;
    size_t bytes = 0;
    while (i < count) {
        uint32_t c = source[i];
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= count)
                break;
            c = (c << 10) + source[i + 1] - 0x35FDC00;
            bytes += c < 0x10000 ? 3 : 4;
            ++i;
        } else {
            bytes += 3;
        }
        ++i;
    }
    SetResults(outUnitsConsumed, i, outBytesProduced, bytes);
}

} // namespace

bool VFromUnicodeConverter_UTF8::Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed,
                                         void* destination, size_t destinationBytes, size_t* outBytesProduced)
{
    const int32_t count = std::max(sourceUnits, 0);
    if (destination == nullptr) {
        MeasureUTF8(source, count, outUnitsConsumed, outBytesProduced);
        return true;
    }
    const UniChar* s = source;
    const UniChar* const end = source + count;
    uint8_t* const start = static_cast<uint8_t*>(destination);
    uint8_t* d = start;
    uint8_t* const dEnd = start + destinationBytes;

    while (s < end) {
        uint32_t c = *s;
        if (c < 0x80 && end - s >= 4 && dEnd - d >= 4 && (Load64(s) & kNonASCIIUnits4) == 0) {
            // An ASCII run: words of 4 units at a time; a word with another unit copies the
            // units before it.
            while (end - s >= 8 && dEnd - d >= 8 && ((Load64(s) | Load64(s + 4)) & kNonASCIIUnits4) == 0) {
                for (int k = 0; k < 8; ++k)
                    d[k] = uint8_t(s[k]);
                s += 8;
                d += 8;
            }
            for (;;) {
                if (end - s < 4 || dEnd - d < 4) {
                    while (s < end && d < dEnd && *s < 0x80)
                        *d++ = uint8_t(*s++);
                    break;
                }
                const uint64_t high = Load64(s) & kNonASCIIUnits4;
                const int units = high == 0 ? 4 : FirstMarkedByte(high) / 2;
                for (int k = 0; k < 4; ++k)
                    d[k] = uint8_t(s[k]);
                s += units;
                d += units;
                if (units < 4)
                    break;
            }
            if (s < end && d == dEnd && *s < 0x80)
                break;
            continue;
        }
        if (c < 0x80 && (end - s == 1 || s[1] >= 0x800)) {
            // A lone ASCII unit between characters of other scripts (the space between CJK
            // words).
            if (d == dEnd)
                break;
            *d++ = uint8_t(c);
            ++s;
            continue;
        }
        if (c < 0x800) {
            // Latin text alternates one- and two-byte characters: write both bytes of either
            // form and advance by the right length, without a branch per character.
            const UniChar* runEnd = s + std::min<ptrdiff_t>(end - s, (dEnd - d) / 2);
            if (runEnd == s) {
                if (c >= 0x80 || d == dEnd)
                    break;
                *d++ = uint8_t(c);
                ++s;
                continue;
            }
            do {
                const bool twoBytes = c >= 0x80;
                d[0] = twoBytes ? uint8_t(0xC0 | (c >> 6)) : uint8_t(c);
                d[1] = uint8_t(0x80 | (c & 0x3F));
                d += 1 + int(twoBytes);
                ++s;
            } while (s < runEnd && (c = *s) < 0x800);
            continue;
        }
        if (c - 0xD800 >= 0x400) {
            // Anything else but a high surrogate takes three bytes; CJK text comes in runs of
            // them, converted without rechecking the room for each.
            const UniChar* runEnd = s + std::min<ptrdiff_t>(end - s, (dEnd - d) / 3);
            if (runEnd == s)
                break;
            do {
                d[0] = uint8_t(0xE0 | (c >> 12));
                d[1] = uint8_t(0x80 | ((c >> 6) & 0x3F));
                d[2] = uint8_t(0x80 | (c & 0x3F));
                d += 3;
                ++s;
            } while (s < runEnd && (c = *s) >= 0x800 && c - 0xD800 >= 0x400);
            continue;
        }
        // A high surrogate takes the next unit, whatever it is, as its low half. Emoji come in
        // runs of pairs, converted here until another kind of unit comes.
        bool stopped = false;
        do {
            if (end - s < 2) {
                stopped = true;  // the low half may come with the next input
                break;
            }
            c = (c << 10) + s[1] - 0x35FDC00;
            if (c >= 0x10000 && dEnd - d >= 4) [[likely]] {
                d[0] = uint8_t(0xF0 | (c >> 18));
                d[1] = uint8_t(0x80 | ((c >> 12) & 0x3F));
                d[2] = uint8_t(0x80 | ((c >> 6) & 0x3F));
                d[3] = uint8_t(0x80 | (c & 0x3F));
                d += 4;
            } else if (c < 0x10000 && dEnd - d >= 3) {
                d[0] = uint8_t(0xE0 | (c >> 12));
                d[1] = uint8_t(0x80 | ((c >> 6) & 0x3F));
                d[2] = uint8_t(0x80 | (c & 0x3F));
                d += 3;
            } else {
                stopped = true;
                break;
            }
            s += 2;
        } while (s < end && (c = *s) - 0xD800 < 0x400);
        if (stopped)
            break;
    }
    SetResults(outUnitsConsumed, int32_t(s - source), outBytesProduced, size_t(d - start));
    return true;
}

// Void --------------------------------------------------------------------------------------

bool VToUnicodeConverter_Void::Convert(const void*, size_t, size_t* outBytesConsumed, UniChar*, int32_t,
                                       int32_t* outUnitsProduced)
{
    SetResults(outBytesConsumed, 0, outUnitsProduced, 0);
    return false;
}

bool VFromUnicodeConverter_Void::Convert(const UniChar*, int32_t, int32_t* outUnitsConsumed, void*, size_t,
                                         size_t* outBytesProduced)
{
    SetResults(outUnitsConsumed, 0, outBytesProduced, 0);
    return false;
}

} // namespace nuvo::Private
