#pragma once

#include <string>

#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/text/VString.h"
#include "kernel/values/VValueBag.h"

namespace nuvo::test {

inline VError Xmlc(int32_t n) { return MakeVError(MakeOsType("xmlc"), n); }

// The bag as one element named p, without line breaks: attributes in order, then elements.
inline std::string BagText(const VValueBag& bag)
{
    VString out;
    bag.DumpXML(out, VString("p"), false);
    return to_string(out);
}

} // namespace nuvo::test
