#include "kernel/errors/VErrorImported.h"

namespace nuvo {

VErrorImported::VErrorImported(VError code, const VString& description) : VErrorBase(code), fDescription(description) {}

void VErrorImported::GetErrorDescription(VString& out) const
{
    out = fDescription;
}

void VErrorImported::GetLocation(VString& out) const
{
    out = "REST Imported Error";
}

void VErrorImported::DumpToString(VString& out) const
{
    out = fDescription;
}

} // namespace nuvo
