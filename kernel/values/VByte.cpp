#include "kernel/values/VByte.h"

#include <cstring>

#include "kernel/text/VString.h"
#include "kernel/values/ValueConversions.h"

namespace nuvo {

void VByte::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out.FromByte(fValue);
}

void VByte::FromString(const VString& text)
{
    Set(Private::SaturateInteger<int8_t>(text.GetLong8()));
}

void VByte::FromLong(int32_t value)
{
    Set(Private::SaturateInteger<int8_t>(value));
}

void VByte::FromLong8(int64_t value)
{
    Set(Private::SaturateInteger<int8_t>(value));
}

void VByte::FromReal(double value)
{
    Set(Private::RealToInteger<int8_t>(value));
}

void VByte::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = 0;
        SetNull(true);
    } else {
        Set(Private::SaturateInteger<int8_t>(other.GetLong8()));
    }
}

void* VByte::WriteToPtr(void* data) const
{
    std::memcpy(data, &fValue, sizeof fValue);
    return static_cast<char*>(data) + sizeof fValue;
}

const void* VByte::LoadFromPtr(const void* data)
{
    int8_t value;
    std::memcpy(&value, data, sizeof value);
    Set(value);
    return static_cast<const char*>(data) + sizeof value;
}

void VByte::DebugDump(VString& out) const
{
    out.AppendLong(fValue);
}

} // namespace nuvo
