#include "kernel/values/VLong8.h"

#include <cstring>

#include "kernel/text/VString.h"
#include "kernel/values/ValueConversions.h"

namespace nuvo {

void VLong8::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out.FromLong8(fValue);
}

void VLong8::FromString(const VString& text)
{
    Set(text.GetLong8());
}

int32_t VLong8::GetLong() const
{
    return Private::SaturateInteger<int32_t>(fValue);
}

void VLong8::FromReal(double value)
{
    Set(Private::RealToInteger<int64_t>(value));
}

void VLong8::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = 0;
        SetNull(true);
    } else {
        Set(other.GetLong8());
    }
}

void* VLong8::WriteToPtr(void* data) const
{
    std::memcpy(data, &fValue, sizeof fValue);
    return static_cast<char*>(data) + sizeof fValue;
}

const void* VLong8::LoadFromPtr(const void* data)
{
    int64_t value;
    std::memcpy(&value, data, sizeof value);
    Set(value);
    return static_cast<const char*>(data) + sizeof value;
}

void VLong8::DebugDump(VString& out) const
{
    out.AppendLong8(fValue);
}

} // namespace nuvo
