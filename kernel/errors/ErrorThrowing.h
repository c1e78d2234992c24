#pragma once
// Reporting errors: the free functions that create error records and push them on the current
// task's error context.

#include "kernel/base/VTypes.h"

namespace nuvo {

class VString;
class VErrorBase;

// Pushes a new record for code with the optional text parameters "p1", "p2", "p3". Does nothing
// before the process object exists.
void _ThrowError(VError code, const VString* p1 = nullptr, const VString* p2 = nullptr, const VString* p3 = nullptr);

// Pushes a record the caller created and gives up the caller's reference to it. A non-zero cause
// is pushed first as its own record, unless the current context filters error's code.
void _PushRetainedError(VErrorBase* error, VError cause = VE_OK);

// Pushes a user-generated record carrying message; returns code.
VError vThrowUserGeneratedError(VError code, const VString& message);

} // namespace nuvo
