#pragma once
// Converters of the legacy character sets, on top of ICU's ucnv converters. Characters a set
// cannot represent are substituted the way ICU does by default. Each instance owns one ICU
// converter and belongs to one thread at a time.

#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VToUnicodeConverter.h"

struct UConverter;

namespace nuvo::Private {

// Decodes a text given in pieces. For a stateless set, an incomplete sequence at the end of the
// input stays unconsumed, as in the built-in converters. A stateful set (ISO-2022-JP, UTF-7)
// keeps its shift state, and any incomplete sequence, from one call to the next, also when a
// call stops because the room ran out.
class VToUnicodeConverter_ICU final : public VToUnicodeConverter {
public:
    // Null when ICU does not know icuName.
    static VToUnicodeConverter_ICU* Create(const char* icuName);

    bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed, UniChar* destination,
                 int32_t destinationMaxUnits, int32_t* outUnitsProduced) override;

private:
    VToUnicodeConverter_ICU(UConverter* converter, bool stateful) : fConverter(converter), fStateful(stateful) {}
    ~VToUnicodeConverter_ICU() override;

    UConverter* fConverter;
    bool fStateful;
};

// Every call is a complete conversion: a stateful set ends it in its initial state. When the room
// runs out, the output ends at a character boundary and the consumed count says where to go on;
// the pieces of a stateful set then meet with back-to-back escape sequences, which ICU's own
// decoder refuses, so the growing helpers of VFromUnicodeConverter convert in one piece.
class VFromUnicodeConverter_ICU final : public VFromUnicodeConverter {
public:
    static VFromUnicodeConverter_ICU* Create(const char* icuName);

    bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed, void* destination,
                 size_t destinationBytes, size_t* outBytesProduced) override;
    int32_t GetCharSize() const override { return fCharSize; }

private:
    VFromUnicodeConverter_ICU(UConverter* converter, int32_t charSize) : fConverter(converter), fCharSize(charSize) {}
    ~VFromUnicodeConverter_ICU() override;

    // One complete conversion of source into [destination, destination + bytes); false on
    // overflow or error. offsets, when given, has room for bytes entries.
    bool _ConvertAll(const UniChar* source, int32_t units, char* destination, size_t bytes, size_t* outProduced,
                     int32_t* offsets, bool* outOverflow);

    UConverter* fConverter;
    int32_t fCharSize;
};

} // namespace nuvo::Private
