#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

// A double value. Reading it as an integer truncates toward zero and saturates at the
// integer's limits (NaN gives 0). Its XML and JSON texts are the locale-independent real forms
// ("INF", "NaN"; "null" in JSON). Pointer form: 8 bytes in native order. Not thread-safe.
class VReal : public VValueSingle {
public:
    VReal() = default;
    explicit VReal(double value) : fValue(value) {}

    double Get() const { return fValue; }
    void Set(double value) { fValue = value; SetNull(false); }

    ValueKind GetValueKind() const override { return ValueKind::Real; }
    [[nodiscard]] VReal* Clone() const override { return new VReal(*this); }
    void Clear() override { Set(0); }

    void GetString(VString& out) const override;
    void FromString(const VString& text) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override;
    double GetReal() const override { return fValue; }
    void FromBoolean(bool value) override { Set(value ? 1 : 0); }
    void FromLong(int32_t value) override { Set(value); }
    void FromLong8(int64_t value) override { Set(double(value)); }
    void FromReal(double value) override { Set(value); }

    void GetXMLString(VString& out) const override;
    bool FromXMLString(const VString& text) override;
    void GetJSONString(VString& out) const override;
    void FromValue(const VValueSingle& other) override;

    size_t GetSpace() const override { return sizeof(double); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    double fValue = 0;
};

} // namespace nuvo
