#pragma once

#include <initializer_list>
#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/values/VValueBag.h"

// Codes spelled from their signatures (not from the toolkit's constants), records and the codes
// of a context, shared by the error tests.
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
