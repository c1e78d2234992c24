#pragma once
// Basic types shared by the whole toolkit: code units, four-character codes and error codes.

#include <cstddef>
#include <cstdint>

namespace nuvo {

// One UTF-16 code unit. char16_t so that u"..." literals and ICU's UChar need no casts.
using UniChar = char16_t;

// A four-character code held as a 32-bit integer, first character in the most significant byte.
using OsType = uint32_t;

// Builds a four-character code from a four-letter literal: MakeOsType("nuvo").
consteval OsType MakeOsType(const char (&text)[5])
{
    return (OsType(uint8_t(text[0])) << 24) | (OsType(uint8_t(text[1])) << 16)
        | (OsType(uint8_t(text[2])) << 8) | OsType(uint8_t(text[3]));
}

// A 64-bit error code: component signature in the high 32 bits, the component's (signed) number
// in the low 32 bits. 0 is "no error".
using VError = uint64_t;

inline constexpr VError VE_OK = 0;

constexpr VError MakeVError(OsType component, int32_t number)
{
    return (VError(component) << 32) | VError(uint32_t(number));
}
constexpr OsType ComponentOf(VError error) { return OsType(error >> 32); }
constexpr int32_t NumberOf(VError error) { return int32_t(uint32_t(error & 0xFFFFFFFFu)); }

// Component signatures of the error codes.
inline constexpr OsType kComponentNuvo = MakeOsType("nuvo");
inline constexpr OsType kComponentUpdater = MakeOsType("UPQZ");
inline constexpr OsType kComponentPosix = MakeOsType("POSX");
inline constexpr OsType kComponentCarbon = MakeOsType("CARB");
inline constexpr OsType kComponentMach = MakeOsType("MACH");
inline constexpr OsType kComponentCocoa = MakeOsType("COCO");
inline constexpr OsType kComponentXml = MakeOsType("xmlc");

constexpr VError MakeNuvoError(int32_t number) { return MakeVError(kComponentNuvo, number); }
constexpr VError MakePosixError(int32_t errnoValue) { return MakeVError(kComponentPosix, errnoValue); }

} // namespace nuvo
