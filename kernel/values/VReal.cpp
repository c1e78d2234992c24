#include "kernel/values/VReal.h"

#include <cstring>

#include "kernel/text/RealText.h"
#include "kernel/text/VString.h"
#include "kernel/values/ValueConversions.h"

namespace nuvo {

void VReal::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out.FromReal(fValue);
}

void VReal::FromString(const VString& text)
{
    Set(text.GetReal());
}

int32_t VReal::GetLong() const
{
    return Private::RealToInteger<int32_t>(fValue);
}

int64_t VReal::GetLong8() const
{
    return Private::RealToInteger<int64_t>(fValue);
}

void VReal::GetXMLString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        RealToXMLString(fValue, out);
}

bool VReal::FromXMLString(const VString& text)
{
    double value;
    if (!RealFromXMLString(text, value))
        return false;
    Set(value);
    return true;
}

void VReal::GetJSONString(VString& out) const
{
    if (IsNull())
        out = "null";
    else
        RealToJSONString(fValue, out);
}

void VReal::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = 0;
        SetNull(true);
    } else {
        Set(other.GetReal());
    }
}

void* VReal::WriteToPtr(void* data) const
{
    std::memcpy(data, &fValue, sizeof fValue);
    return static_cast<char*>(data) + sizeof fValue;
}

const void* VReal::LoadFromPtr(const void* data)
{
    double value;
    std::memcpy(&value, data, sizeof value);
    Set(value);
    return static_cast<const char*>(data) + sizeof value;
}

void VReal::DebugDump(VString& out) const
{
    out.AppendReal(fValue);
}

} // namespace nuvo
