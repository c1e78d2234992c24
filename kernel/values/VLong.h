#pragma once

#include <cstdint>

#include "kernel/values/VIntegerValue.h"

namespace nuvo {

// A 32-bit signed integer value; pointer form: 4 bytes in native order.
// Conversions saturate (see VIntegerValue). Not thread-safe.
class VLong : public Private::VIntegerValue<int32_t, ValueKind::Long> {
public:
    using VIntegerValue::VIntegerValue;

    [[nodiscard]] VLong* Clone() const override { return new VLong(*this); }
};

} // namespace nuvo
