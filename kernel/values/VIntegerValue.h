#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo::Private {

// What the signed integer values (VByte, VWord, VLong, VLong8) share. Whatever is read into one
// saturates at T's limits: a wider integer, a text as VString::GetLong8 reads it, a real after
// truncation toward zero (NaN gives 0). Pointer form: sizeof(T) bytes in native order.
// Not thread-safe.
template <class T, ValueKind KIND>
class VIntegerValue : public VValueSingle {
public:
    VIntegerValue() = default;
    explicit VIntegerValue(T value) : fValue(value) {}

    T Get() const { return fValue; }
    void Set(T value) { fValue = value; SetNull(false); }

    ValueKind GetValueKind() const override { return KIND; }
    void Clear() override { Set(0); }

    void GetString(VString& out) const override;
    void FromString(const VString& text) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return fValue; }
    double GetReal() const override { return double(fValue); }
    void FromBoolean(bool value) override { Set(value ? T(1) : T(0)); }
    void FromLong(int32_t value) override { FromLong8(value); }
    void FromLong8(int64_t value) override;
    void FromReal(double value) override;
    void FromValue(const VValueSingle& other) override;

    size_t GetSpace() const override { return sizeof(T); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    T fValue = 0;
};

// Instantiated once, in VIntegerValue.cpp.
extern template class VIntegerValue<int8_t, ValueKind::Byte>;
extern template class VIntegerValue<int16_t, ValueKind::Word>;
extern template class VIntegerValue<int32_t, ValueKind::Long>;
extern template class VIntegerValue<int64_t, ValueKind::Long8>;

} // namespace nuvo::Private
