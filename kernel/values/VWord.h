#pragma once

#include <cstdint>

#include "kernel/values/VIntegerValue.h"

namespace nuvo {

// A 16-bit signed integer value; pointer form: 2 bytes in native order.
// Conversions saturate (see VIntegerValue). Not thread-safe.
class VWord : public Private::VIntegerValue<int16_t, ValueKind::Word> {
public:
    using VIntegerValue::VIntegerValue;

    [[nodiscard]] VWord* Clone() const override { return new VWord(*this); }
};

} // namespace nuvo
