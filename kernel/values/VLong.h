#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

// A 32-bit signed integer value. Wider integers and reals saturate at the type's limits when
// converted into it (reals are truncated toward zero, NaN gives 0). Pointer form: 4 bytes in
// native order. Not thread-safe.
class VLong : public VValueSingle {
public:
    VLong() = default;
    explicit VLong(int32_t value) : fValue(value) {}

    int32_t Get() const { return fValue; }
    void Set(int32_t value) { fValue = value; SetNull(false); }

    ValueKind GetValueKind() const override { return ValueKind::Long; }
    [[nodiscard]] VLong* Clone() const override { return new VLong(*this); }
    void Clear() override { Set(0); }

    void GetString(VString& out) const override;
    void FromString(const VString& text) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override { return fValue; }
    int64_t GetLong8() const override { return fValue; }
    double GetReal() const override { return fValue; }
    void FromBoolean(bool value) override { Set(value ? 1 : 0); }
    void FromLong(int32_t value) override { Set(value); }
    void FromLong8(int64_t value) override;
    void FromReal(double value) override;
    void FromValue(const VValueSingle& other) override;

    size_t GetSpace() const override { return sizeof(int32_t); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    int32_t fValue = 0;
};

} // namespace nuvo
