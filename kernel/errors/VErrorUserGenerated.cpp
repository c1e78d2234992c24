#include "kernel/errors/VErrorUserGenerated.h"

namespace nuvo {

VErrorUserGenerated::VErrorUserGenerated(VError code, const VString& message) : VErrorBase(code), fMessage(message) {}

void VErrorUserGenerated::GetErrorDescription(VString& out) const
{
    out = fMessage;
}

void VErrorUserGenerated::DumpToString(VString& out) const
{
    out = fMessage;
}

} // namespace nuvo
