#pragma once

#include <cstdint>

#include "kernel/values/VIntegerValue.h"

namespace nuvo {

// A 64-bit signed integer value; pointer form: 8 bytes in native order.
// Conversions saturate (see VIntegerValue). Not thread-safe.
class VLong8 : public Private::VIntegerValue<int64_t, ValueKind::Long8> {
public:
    using VIntegerValue::VIntegerValue;

    [[nodiscard]] VLong8* Clone() const override { return new VLong8(*this); }
};

} // namespace nuvo
