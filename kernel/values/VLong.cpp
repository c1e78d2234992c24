#include "kernel/values/VLong.h"

#include <cstring>

#include "kernel/text/VString.h"
#include "kernel/values/ValueConversions.h"

namespace nuvo {

void VLong::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out.FromLong(fValue);
}

void VLong::FromString(const VString& text)
{
    Set(text.GetLong());
}

void VLong::FromLong8(int64_t value)
{
    Set(Private::SaturateInteger<int32_t>(value));
}

void VLong::FromReal(double value)
{
    Set(Private::RealToInteger<int32_t>(value));
}

void VLong::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = 0;
        SetNull(true);
    } else {
        Set(other.GetLong());
    }
}

void* VLong::WriteToPtr(void* data) const
{
    std::memcpy(data, &fValue, sizeof fValue);
    return static_cast<char*>(data) + sizeof fValue;
}

const void* VLong::LoadFromPtr(const void* data)
{
    int32_t value;
    std::memcpy(&value, data, sizeof value);
    Set(value);
    return static_cast<const char*>(data) + sizeof value;
}

void VLong::DebugDump(VString& out) const
{
    out.AppendLong(fValue);
}

} // namespace nuvo
