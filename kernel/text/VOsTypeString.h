#pragma once

#include "kernel/base/VTypes.h"
#include "kernel/text/VStr.h"

namespace nuvo {

// The text of a four-character code ('TEXT' gives "TEXT"), held without heap allocation: the
// four bytes, most significant first, decoded as UTF-8, trailing zero bytes dropped.
// Not thread-safe, like any VString.
class VOsTypeString : public VStr4 {
public:
    explicit VOsTypeString(OsType value) { FromOsType(value); }
};

} // namespace nuvo
