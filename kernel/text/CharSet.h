#pragma once

#include <cstdint>

namespace nuvo {

// Character sets known to the text converters. The numbers are stable identifiers (stored in
// files and passed across the toolkit), not IANA MIB numbers; VTextConverters maps between the
// two and to the sets' names.
enum class CharSet : int32_t {
    StdLib = -2,            // the C library's 8-bit set: UTF-8 on Linux
    Unknown = 0,
    UTF16_BigEndian = 1,
    UTF16 = 2,              // UTF-16 in native byte order
    UTF32_BigEndian = 3,
    UTF32 = 4,              // UTF-32 in native byte order
    UTF32_Raw_Swapped = 5,  // raw 32-bit units, byte-swapped (no surrogate handling)
    UTF32_Raw = 6,          // raw 32-bit units, native order (wchar_t)
    UTF8 = 7,
    UTF7 = 8,
    US_ASCII = 9,
    IBM037 = 10,
    IBM437 = 11,
    MacRoman = 100,
    Windows1252 = 101,
    MacCentralEurope = 102,
    Windows1250 = 103,
    MacCyrillic = 104,
    Windows1251 = 105,
    MacGreek = 106,
    Windows1253 = 107,
    MacTurkish = 108,
    Windows1254 = 109,
    MacArabic = 110,
    Windows1256 = 111,
    MacHebrew = 112,
    Windows1255 = 113,
    MacBaltic = 114,
    Windows1257 = 115,
    MacChineseSimplified = 116,
    GBK = 117,
    MacJapanese = 120,
    ShiftJIS = 1000,
    ISO2022JP = 1001,
    Big5 = 1002,
    EUC_KR = 1003,
    KOI8_R = 1004,
    ISO8859_1 = 1005,
    ISO8859_2 = 1006,
    ISO8859_3 = 1007,
    ISO8859_4 = 1008,
    ISO8859_5 = 1009,
    ISO8859_6 = 1010,
    ISO8859_7 = 1011,
    ISO8859_8 = 1012,
    ISO8859_9 = 1013,
    ISO8859_10 = 1014,
    ISO8859_13 = 1015,
    GB2312 = 1016,
    GB2312_80 = 1017,
    ISO8859_15 = 1018,
    Windows31J = 1019,
};

// Line-end conventions for text conversions.
enum ECarriageReturnMode : int32_t {
    eCRM_NONE = 0,  // leave line ends as they are
    eCRM_CR = 1,
    eCRM_LF = 2,
    eCRM_CRLF = 3,
    eCRM_NATIVE = eCRM_LF,
};

} // namespace nuvo
