#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"

namespace nuvo {

class VString;

// Decodes bytes of one character set into UTF-16. Obtained retained from VTextConverters and
// released by the caller. Invalid input never throws: a converter substitutes or stops and
// reports false, always returning the partial result and the consumed counts. The built-in
// converters are stateless and may be shared between threads; a converter of a legacy set keeps
// a per-instance decoder state and belongs to one thread at a time.
class VToUnicodeConverter : public VObject, public IRefCountable {
public:
    // False only for the void converter (set 0 and sets that cannot be converted).
    virtual bool IsValid() const { return true; }

    // Appends the decoded text to inOutString. Bytes of an incomplete trailing sequence may be
    // left unconsumed. On failure of a continuation step the string gets back its length from
    // before the call. An allocation failure throws 'nuvo' 300.
    virtual bool ConvertString(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                               VString& inOutString);

    // Decodes at most destinationMaxUnits code units; stops when the input or the room runs out.
    // Units of the room past the produced count may have been written to.
    virtual bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                         UniChar* destination, int32_t destinationMaxUnits,
                         int32_t* outUnitsProduced) = 0;

    // Bytes per produced unit: always 2.
    virtual int32_t GetCharSize() const { return 2; }

protected:
    ~VToUnicodeConverter() override = default;
    // Deletes through this class, whose VObject base comes first in the object.
    void DoOnRefCountZero() override { delete this; }
};

} // namespace nuvo
