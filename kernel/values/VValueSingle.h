#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/values/ValueKind.h"
#include "kernel/values/VValue.h"

namespace nuvo {

class VString;

// A single value (string, number, boolean, time...). Every kind converts to and from the
// others through the Get/From families, which is how a bag reads an attribute into a value of
// another kind (the text "42" read into a 32-bit integer gives 42). The "pointer form"
// (GetSpace/WriteToPtr/LoadFromPtr) is the serialised form that value bags store.
// Not thread-safe.
class VValueSingle : public VValue {
public:
    virtual ValueKind GetValueKind() const = 0;
    // A new object of the same kind and value; the caller deletes it.
    [[nodiscard]] virtual VValueSingle* Clone() const = 0;
    // Back to the kind's empty value, not null.
    virtual void Clear() = 0;

    virtual void GetString(VString& out) const = 0;
    virtual void FromString(const VString& text) = 0;

    virtual bool GetBoolean() const = 0;
    virtual int32_t GetLong() const = 0;
    virtual int64_t GetLong8() const = 0;
    virtual double GetReal() const = 0;
    virtual void FromBoolean(bool value) = 0;
    virtual void FromLong(int32_t value) = 0;
    virtual void FromLong8(int64_t value) = 0;
    virtual void FromReal(double value) = 0;

    // Converts other's value into this value's kind (null stays null).
    virtual void FromValue(const VValueSingle& other) = 0;

    // Serialised form: GetSpace() bytes written by WriteToPtr, read back by LoadFromPtr, which
    // returns the address just past what it read.
    virtual size_t GetSpace() const = 0;
    virtual void* WriteToPtr(void* data) const = 0;
    virtual const void* LoadFromPtr(const void* data) = 0;

    // Text forms used by the XML and JSON layers; the defaults use GetString/FromString.
    virtual void GetXMLString(VString& out) const;
    virtual bool FromXMLString(const VString& text);
    virtual void GetJSONString(VString& out) const;
    virtual bool FromJSONString(const VString& text);
};

} // namespace nuvo
