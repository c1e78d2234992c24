#pragma once

#include <cstdint>

namespace nuvo {

// The kinds of the value family. The number is the 16-bit tag that a value bag stores in front
// of each serialised value, so existing numbers never change.
enum class ValueKind : uint16_t {
    Void = 0,
    Boolean = 1,
    Byte = 2,
    Word = 3,
    Long = 4,     // 32-bit signed integer
    Long8 = 5,    // 64-bit signed integer
    Real = 6,     // double
    String = 7,
    Time = 8,
    Duration = 9,
};

} // namespace nuvo
