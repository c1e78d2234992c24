#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

// A boolean value. Its text is "true" or "false"; a number converts to true when it is not 0,
// a text as the string's GetBoolean reads it. Pointer form: 1 byte, 0 or 1. Not thread-safe.
class VBoolean : public VValueSingle {
public:
    VBoolean() = default;
    explicit VBoolean(bool value) : fValue(value) {}

    bool Get() const { return fValue; }
    void Set(bool value) { fValue = value; SetNull(false); }

    ValueKind GetValueKind() const override { return ValueKind::Boolean; }
    [[nodiscard]] VBoolean* Clone() const override { return new VBoolean(*this); }
    void Clear() override { Set(false); }

    void GetString(VString& out) const override;
    void FromString(const VString& text) override;

    bool GetBoolean() const override { return fValue; }
    int32_t GetLong() const override { return fValue ? 1 : 0; }
    int64_t GetLong8() const override { return fValue ? 1 : 0; }
    double GetReal() const override { return fValue ? 1.0 : 0.0; }
    void FromBoolean(bool value) override { Set(value); }
    void FromLong(int32_t value) override { Set(value != 0); }
    void FromLong8(int64_t value) override { Set(value != 0); }
    void FromReal(double value) override { Set(value != 0.0); }
    void FromValue(const VValueSingle& other) override;

    void GetXMLString(VString& out) const override;
    bool FromXMLString(const VString& text) override;
    void GetJSONString(VString& out) const override;

    size_t GetSpace() const override { return 1; }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    bool fValue = false;
};

} // namespace nuvo
