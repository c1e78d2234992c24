#include "kernel/base/VObject.h"

#include <typeinfo>

#include "kernel/text/VString.h"

namespace nuvo {

void VObject::DebugDump(VString& out) const
{
    out.AppendPrintf("%s@%p", typeid(*this).name(), static_cast<const void*>(this));
}

} // namespace nuvo
