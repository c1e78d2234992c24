#include "kernel/values/VValueSingle.h"

#include "kernel/text/VString.h"

namespace nuvo {

// The default text forms are the plain text form; kinds whose XML or JSON spelling differs
// (reals, booleans) override them.

void VValueSingle::GetXMLString(VString& out) const
{
    GetString(out);
}

bool VValueSingle::FromXMLString(const VString& text)
{
    FromString(text);
    return true;
}

void VValueSingle::GetJSONString(VString& out) const
{
    GetString(out);
}

bool VValueSingle::FromJSONString(const VString& text)
{
    FromString(text);
    return true;
}

} // namespace nuvo
