#pragma once
// The value of one hexadecimal digit, for the readers of escaped text (JSON, dates).

#include "kernel/base/VTypes.h"

namespace nuvo {

// 0-15 for 0-9, a-f, A-F; -1 for anything else.
constexpr int HexDigitValue(UniChar c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace nuvo
