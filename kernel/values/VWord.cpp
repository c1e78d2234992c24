#include "kernel/values/VWord.h"

#include <cstring>

#include "kernel/text/VString.h"
#include "kernel/values/ValueConversions.h"

namespace nuvo {

void VWord::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out.FromWord(fValue);
}

void VWord::FromString(const VString& text)
{
    Set(text.GetWord());
}

void VWord::FromLong(int32_t value)
{
    Set(Private::SaturateInteger<int16_t>(value));
}

void VWord::FromLong8(int64_t value)
{
    Set(Private::SaturateInteger<int16_t>(value));
}

void VWord::FromReal(double value)
{
    Set(Private::RealToInteger<int16_t>(value));
}

void VWord::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = 0;
        SetNull(true);
    } else {
        Set(Private::SaturateInteger<int16_t>(other.GetLong8()));
    }
}

void* VWord::WriteToPtr(void* data) const
{
    std::memcpy(data, &fValue, sizeof fValue);
    return static_cast<char*>(data) + sizeof fValue;
}

const void* VWord::LoadFromPtr(const void* data)
{
    int16_t value;
    std::memcpy(&value, data, sizeof value);
    Set(value);
    return static_cast<const char*>(data) + sizeof value;
}

void VWord::DebugDump(VString& out) const
{
    out.AppendLong(fValue);
}

} // namespace nuvo
