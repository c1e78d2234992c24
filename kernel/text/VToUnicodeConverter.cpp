#include "kernel/text/VToUnicodeConverter.h"

#include <algorithm>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/text/VString.h"

namespace nuvo {

bool VToUnicodeConverter::ConvertString(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                                        VString& inOutString)
{
    const int32_t oldLength = inOutString.GetLength();
    // One unit per source byte (plus one) covers every built-in decoding in a single step; the
    // cap keeps the length an int32_t, and the recursion below picks up what did not fit.
    const size_t maxRoom = oldLength < INT32_MAX - 8 ? size_t(INT32_MAX - 8 - oldLength) : 0;
    const size_t room = std::min(sourceBytes + 1, maxRoom);
    UniChar* units = room > 0 ? inOutString.GetCPointerForWrite(oldLength + int32_t(room)) : nullptr;
    if (units == nullptr) {
        VString reason("conversion failed (EnsureSize failed).");
        _ThrowError(VE_CONVERSION_FAILED, &reason);
        if (outBytesConsumed)
            *outBytesConsumed = 0;
        return false;
    }

    size_t consumed = 0;
    int32_t produced = 0;
    bool ok = Convert(source, sourceBytes, &consumed, units + oldLength, int32_t(room), &produced);
    inOutString.Validate(oldLength + produced);

    if (consumed < sourceBytes && produced > 0) {
        size_t moreConsumed = 0;
        if (ConvertString(static_cast<const char*>(source) + consumed, sourceBytes - consumed, &moreConsumed,
                          inOutString)) {
            consumed += moreConsumed;
        } else {
            inOutString.Validate(oldLength);
            consumed = 0;
            ok = false;
        }
    }
    if (outBytesConsumed)
        *outBytesConsumed = consumed;
    return ok;
}

} // namespace nuvo
