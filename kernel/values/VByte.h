#pragma once

#include <cstdint>

#include "kernel/values/VIntegerValue.h"

namespace nuvo {

// An 8-bit signed integer value; pointer form: 1 byte.
// Conversions saturate (see VIntegerValue). Not thread-safe.
class VByte : public Private::VIntegerValue<int8_t, ValueKind::Byte> {
public:
    using VIntegerValue::VIntegerValue;

    [[nodiscard]] VByte* Clone() const override { return new VByte(*this); }
};

} // namespace nuvo
