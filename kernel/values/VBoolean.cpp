#include "kernel/values/VBoolean.h"

#include "kernel/text/VString.h"

namespace nuvo {

void VBoolean::GetString(VString& out) const
{
    if (IsNull())
        out.Clear();
    else
        out = fValue ? "true" : "false";
}

void VBoolean::FromString(const VString& text)
{
    Set(text.GetBoolean());
}

void VBoolean::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fValue = false;
        SetNull(true);
    } else {
        Set(other.GetBoolean());
    }
}

void VBoolean::GetXMLString(VString& out) const
{
    GetString(out);
}

// XML documents spell booleans "true"/"false" or "1"/"0"; anything else is refused so that a
// typo does not silently read as false.
bool VBoolean::FromXMLString(const VString& text)
{
    if (text.EqualToUSASCIICString("true") || text.EqualToUSASCIICString("1"))
        Set(true);
    else if (text.EqualToUSASCIICString("false") || text.EqualToUSASCIICString("0"))
        Set(false);
    else
        return false;
    return true;
}

void VBoolean::GetJSONString(VString& out) const
{
    if (IsNull())
        out = "null";
    else
        out = fValue ? "true" : "false";
}

void* VBoolean::WriteToPtr(void* data) const
{
    *static_cast<uint8_t*>(data) = fValue ? 1 : 0;
    return static_cast<uint8_t*>(data) + 1;
}

const void* VBoolean::LoadFromPtr(const void* data)
{
    Set(*static_cast<const uint8_t*>(data) != 0);
    return static_cast<const uint8_t*>(data) + 1;
}

void VBoolean::DebugDump(VString& out) const
{
    out.AppendCString(fValue ? "true" : "false");
}

} // namespace nuvo
