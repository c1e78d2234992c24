#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

// A 64-bit signed integer value. Reals saturate at the type's limits when converted into it
// (truncated toward zero, NaN gives 0); reading it as a 32-bit integer saturates too. Pointer
// form: 8 bytes in native order. Not thread-safe.
class VLong8 : public VValueSingle {
public:
    VLong8() = default;
    explicit VLong8(int64_t value) : fValue(value) {}

    int64_t Get() const { return fValue; }
    void Set(int64_t value) { fValue = value; SetNull(false); }

    ValueKind GetValueKind() const override { return ValueKind::Long8; }
    [[nodiscard]] VLong8* Clone() const override { return new VLong8(*this); }
    void Clear() override { Set(0); }

    void GetString(VString& out) const override;
    void FromString(const VString& text) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return fValue; }
    double GetReal() const override { return double(fValue); }
    void FromBoolean(bool value) override { Set(value ? 1 : 0); }
    void FromLong(int32_t value) override { Set(value); }
    void FromLong8(int64_t value) override { Set(value); }
    void FromReal(double value) override;
    void FromValue(const VValueSingle& other) override;

    size_t GetSpace() const override { return sizeof(int64_t); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    int64_t fValue = 0;
};

} // namespace nuvo
