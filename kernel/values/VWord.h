#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

// A 16-bit signed integer value. Wider integers and reals saturate at the type's limits when
// converted into it (reals are truncated toward zero, NaN gives 0). Pointer form: 2 bytes in
// native order. Not thread-safe.
class VWord : public VValueSingle {
public:
    VWord() = default;
    explicit VWord(int16_t value) : fValue(value) {}

    int16_t Get() const { return fValue; }
    void Set(int16_t value) { fValue = value; SetNull(false); }

    ValueKind GetValueKind() const override { return ValueKind::Word; }
    [[nodiscard]] VWord* Clone() const override { return new VWord(*this); }
    void Clear() override { Set(0); }

    void GetString(VString& out) const override;
    void FromString(const VString& text) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override { return fValue; }
    int64_t GetLong8() const override { return fValue; }
    double GetReal() const override { return fValue; }
    void FromBoolean(bool value) override { Set(value ? 1 : 0); }
    void FromLong(int32_t value) override;
    void FromLong8(int64_t value) override;
    void FromReal(double value) override;
    void FromValue(const VValueSingle& other) override;

    size_t GetSpace() const override { return sizeof(int16_t); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    int16_t fValue = 0;
};

} // namespace nuvo
