#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"

namespace nuvo {

// Encodes UTF-16 into one character set. Obtained retained from VTextConverters and released by
// the caller. Invalid input never throws: the converter stops and reports false, returning the
// partial result and the consumed counts. Built-in converters are stateless and shareable
// between threads; a converter of a legacy set belongs to one thread at a time.
class VFromUnicodeConverter : public VObject, public IRefCountable {
public:
    // False only for the void converter.
    virtual bool IsValid() const { return true; }

    // Encodes into destination (destinationBytes of room); stops when the input or the room runs
    // out, never splitting a character. A null destination only measures: outBytesProduced then
    // receives the bytes the whole conversion needs. Bytes of the room past the produced count
    // may have been written to.
    virtual bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed,
                         void* destination, size_t destinationBytes, size_t* outBytesProduced) = 0;

    // Bytes per output code unit: 1 for UTF-8 and byte-oriented sets, 2 for UTF-16, 4 for
    // UTF-32 and raw 32-bit units.
    virtual int32_t GetCharSize() const = 0;

    // Converts into a block of the toolkit allocator that grows as needed. buffer is null or a
    // VMemory block of bufferBytes bytes (ownership stays with the caller and follows any
    // reallocation); on return bufferBytes holds the converted byte count, followed in the block
    // by trailingZeroBytes zero bytes. An allocation failure throws 'nuvo' 300 ("mem failure")
    // and returns false, leaving buffer valid.
    [[nodiscard]] bool ConvertRealloc(const UniChar* source, int32_t units, void*& buffer,
                                      size_t& bufferBytes, size_t trailingZeroBytes);

    // The same into a byte vector: on return its size is the converted byte count plus
    // trailingZeroBytes zero bytes.
    [[nodiscard]] bool ConvertToBuffer(const UniChar* source, int32_t units, std::vector<char>& outBuffer,
                                       size_t trailingZeroBytes);

protected:
    ~VFromUnicodeConverter() override = default;
    // Deletes through this class, whose VObject base comes first in the object.
    void DoOnRefCountZero() override { delete this; }
};

} // namespace nuvo
