#pragma once

#include "kernel/base/VTypes.h"

namespace nuvo {

class VString;
class VJSONValue;

// A hook through which native code serves a VJSONObject's properties or its text form itself.
// An object with a hook is not generic (writer option 0x8000 refuses it).
class IJSONObject {
public:
    virtual ~IJSONObject() = default;
    // True when the hook answered for name (out holds the value); false lets the object look in
    // its own properties.
    virtual bool GetProperty(const VString& name, void* languageContext, VJSONValue& out) const = 0;
    // False when the object cannot be written as text (writer option 0x100 then fails).
    virtual bool IsStringifiable() const { return true; }
    // True when the hook wrote the object itself into out (result in outError); false lets the
    // writer write the own properties.
    virtual bool Stringify(VString& out, unsigned int options, VError& outError) const
    {
        (void)out; (void)options; (void)outError;
        return false;
    }
};

} // namespace nuvo
