#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/values/VValueBag.h"

// Codes spelled from their signatures (not from the toolkit's constants), records, the codes of
// a context and a bag's contents as one text, shared by the error tests.
namespace nuvo::test {

inline VError Nuvo(int32_t n) { return MakeVError(MakeOsType("nuvo"), n); }
inline VError Posix(int32_t n) { return MakeVError(MakeOsType("POSX"), n); }
inline VError Updater(int32_t n) { return MakeVError(MakeOsType("UPQZ"), n); }

using Codes = std::vector<VError>;

inline Codes CodesOf(const VErrorContext* context)
{
    Codes codes;
    for (const VRefPtr<VErrorBase>& record : context->GetErrorStack())
        codes.push_back(record->GetError());
    return codes;
}

// The bag as an element named p, without line breaks inside: attributes in order, then elements.
inline std::string Xml(const VValueBag& bag)
{
    VString out;
    bag.DumpXML(out, VString("p"), false);
    return to_string(out);
}

struct Parameter {
    const char* name;
    const char* value;
};

inline VRefPtr<VErrorBase> MakeRecord(VError code, std::initializer_list<Parameter> parameters = {})
{
    auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(code));
    for (const Parameter& parameter : parameters)
        record->GetBag()->SetString(StPackedDictionaryKey(VString(parameter.name)), VString(parameter.value));
    return record;
}

} // namespace nuvo::test
