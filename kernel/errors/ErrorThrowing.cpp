#include "kernel/errors/ErrorThrowing.h"

// Placeholder until the error model lands: errors are dropped, as before the process exists.
namespace nuvo {

void _ThrowError(VError, const VString*, const VString*, const VString*) {}
void _PushRetainedError(VErrorBase*, VError) {}
VError vThrowUserGeneratedError(VError code, const VString&) { return code; }

} // namespace nuvo
