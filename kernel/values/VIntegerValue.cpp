#include "kernel/values/VIntegerValue.h"

#include <cstring>

#include "kernel/text/VString.h"
#include "kernel/values/ValueConversions.h"

namespace nuvo::Private {

template <class T, ValueKind K>
void VIntegerValue<T, K>::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out.FromLong8(fValue);
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromString(const VString& text)
{
    FromLong8(text.GetLong8());
}

template <class T, ValueKind K>
int32_t VIntegerValue<T, K>::GetLong() const
{
    return SaturateInteger<int32_t>(fValue);
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromLong8(int64_t value)
{
    Set(SaturateInteger<T>(value));
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromReal(double value)
{
    Set(RealToInteger<T>(value));
}

// Through GetLong8 for every kind: a real truncates and saturates at 64 bits, then at T's
// limits, which gives the same result as FromReal.
template <class T, ValueKind K>
void VIntegerValue<T, K>::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = 0;
        SetNull(true);
    } else {
        FromLong8(other.GetLong8());
    }
}

template <class T, ValueKind K>
void* VIntegerValue<T, K>::WriteToPtr(void* data) const
{
    std::memcpy(data, &fValue, sizeof fValue);
    return static_cast<char*>(data) + sizeof fValue;
}

template <class T, ValueKind K>
const void* VIntegerValue<T, K>::LoadFromPtr(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    Set(value);
    return static_cast<const char*>(data) + sizeof value;
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::DebugDump(VString& out) const
{
    out.AppendLong8(fValue);
}

template class VIntegerValue<int8_t, ValueKind::Byte>;
template class VIntegerValue<int16_t, ValueKind::Word>;
template class VIntegerValue<int32_t, ValueKind::Long>;
template class VIntegerValue<int64_t, ValueKind::Long8>;

} // namespace nuvo::Private
