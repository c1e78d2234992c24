#pragma once

#include "kernel/text/VString.h"

namespace nuvo {

// A VString with room for N code units inside the object: no heap allocation while the text
// fits. Longer texts move to a heap buffer as in VString and come back inline when they shrink
// enough on reallocation.
template <int N> class VStr : public VString {
    static_assert(N > 0);

public:
    VStr() : VString(InlineBufferTag{}, fBuffer, N) {}
    VStr(const char* text) : VStr() { AppendCString(text); }
    VStr(const UniChar* text) : VStr() { FromString(VString(text)); }
    VStr(const VString& other) : VStr() { FromString(other); }
    VStr(const VStr& other) : VStr() { FromString(other); }
    VStr(VString&& other) : VStr() { _MoveFrom(static_cast<VString&&>(other)); }

    VStr& operator=(const VString& other) { FromString(other); return *this; }
    VStr& operator=(const VStr& other) { FromString(other); return *this; }
    VStr& operator=(const char* text) { FromCString(text); return *this; }

private:
    UniChar fBuffer[N + 1];
};

using VStr4 = VStr<4>;
using VStr15 = VStr<15>;
using VStr31 = VStr<31>;
using VStr50 = VStr<50>;
using VStr63 = VStr<63>;
using VStr80 = VStr<80>;
using VStr100 = VStr<100>;
using VStr255 = VStr<255>;
using VStr1000 = VStr<1000>;

} // namespace nuvo
