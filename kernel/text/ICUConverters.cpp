#include "kernel/text/ICUConverters.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>

namespace nuvo::Private {

namespace {

// Longest output ICU may keep back for one character after filling the target.
constexpr int32_t kMaxCharOverflow = 32;

UConverter* OpenConverter(const char* icuName)
{
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(icuName, &error);
    if (U_FAILURE(error)) {
        if (converter != nullptr)
            ucnv_close(converter);
        return nullptr;
    }
    return converter;
}

} // namespace

// To Unicode ---------------------------------------------------------------------------------

VToUnicodeConverter_ICU* VToUnicodeConverter_ICU::Create(const char* icuName)
{
    UConverter* converter = OpenConverter(icuName);
    if (converter == nullptr)
        return nullptr;
    bool stateful = false;
    switch (ucnv_getType(converter)) {
    case UCNV_ISO_2022:
    case UCNV_UTF7:
    case UCNV_HZ:
    case UCNV_IMAP_MAILBOX:
    case UCNV_SCSU:
    case UCNV_BOCU1:
    case UCNV_EBCDIC_STATEFUL:
    case UCNV_ISCII:
        stateful = true;
        break;
    default:
        break;
    }
    return new VToUnicodeConverter_ICU(converter, stateful);
}

VToUnicodeConverter_ICU::~VToUnicodeConverter_ICU()
{
    ucnv_close(fConverter);
}

bool VToUnicodeConverter_ICU::Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed,
                                      UniChar* destination, int32_t destinationMaxUnits, int32_t* outUnitsProduced)
{
    const int32_t room = destination != nullptr ? std::max(destinationMaxUnits, 0) : 0;
    const char* const start = static_cast<const char*>(source);
    const char* const limit = start + sourceBytes;
    size_t consumed = 0;
    int32_t produced = 0;
    bool ok = true;

    if (room > 0 && sourceBytes > 0) {
        // A stateless decoder starts afresh every time (what it held back was given back to the
        // caller); a stateful one goes on in the shift state the previous call left, kept in a
        // copy in case this call must end before the end of its input.
        UConverter* before = nullptr;
        if (fStateful) {
            UErrorCode cloneError = U_ZERO_ERROR;
            before = ucnv_clone(fConverter, &cloneError);
            if (U_FAILURE(cloneError))
                before = nullptr;
        } else {
            ucnv_resetToUnicode(fConverter);
        }
        const char* s = start;
        UChar* target = destination;
        UErrorCode error = U_ZERO_ERROR;
        ucnv_toUnicode(fConverter, &target, destination + room, &s, limit, nullptr, false, &error);
        if (error == U_BUFFER_OVERFLOW_ERROR) {
            // Decode again into a scratch buffer a little larger than the room, with the source
            // offset of every unit: the units that fit, minus those of a character cut by the
            // boundary, are kept; the consumed count is where that character starts.
            UConverter* again = fConverter;
            if (before != nullptr) {
                ucnv_close(fConverter);
                fConverter = before;
                UErrorCode cloneError = U_ZERO_ERROR;
                again = ucnv_clone(before, &cloneError);
                before = nullptr;
                if (U_FAILURE(cloneError))
                    again = nullptr;
            } else {
                ucnv_resetToUnicode(fConverter);
            }
            const int32_t scratchUnits = room + kMaxCharOverflow;
            std::unique_ptr<UChar[]> scratch(new UChar[size_t(scratchUnits)]);
            std::unique_ptr<int32_t[]> offsets(new int32_t[size_t(scratchUnits)]);
            int32_t total = 0;
            if (again != nullptr) {
                s = start;
                target = scratch.get();
                error = U_ZERO_ERROR;
                ucnv_toUnicode(again, &target, scratch.get() + scratchUnits, &s, limit, offsets.get(), false, &error);
                total = int32_t(target - scratch.get());
            }
            if (total > room) {
                int32_t boundary = offsets[room];
                produced = room;
                while (produced > 0 && offsets[produced - 1] == boundary)
                    --produced;
                consumed = boundary >= 0 ? size_t(boundary) : 0;
                if (boundary < 0)
                    produced = 0;
            } else {
                produced = std::min(total, room);
                consumed = size_t(s - start);
            }
            std::copy(scratch.get(), scratch.get() + produced, destination);
            if (again != fConverter) {
                if (again != nullptr)
                    ucnv_close(again);
                // Bring the kept decoder to the shift state at the boundary.
                s = start;
                target = scratch.get();
                error = U_ZERO_ERROR;
                ucnv_toUnicode(fConverter, &target, scratch.get() + scratchUnits, &s, start + consumed, nullptr, false,
                               &error);
            }
        } else {
            produced = int32_t(target - destination);
            consumed = size_t(s - start);
            ok = U_SUCCESS(error);
            if (!fStateful) {
                // ICU swallows an incomplete trailing sequence into its state; give it back to
                // the caller, who supplies it again with the bytes that complete it.
                UErrorCode pendingError = U_ZERO_ERROR;
                int32_t pending = ucnv_toUCountPending(fConverter, &pendingError);
                if (U_SUCCESS(pendingError) && pending > 0 && size_t(pending) <= consumed)
                    consumed -= size_t(pending);
            }
        }
        if (before != nullptr)
            ucnv_close(before);
    }
    if (outBytesConsumed)
        *outBytesConsumed = consumed;
    if (outUnitsProduced)
        *outUnitsProduced = produced;
    return ok;
}

// From Unicode -------------------------------------------------------------------------------

VFromUnicodeConverter_ICU* VFromUnicodeConverter_ICU::Create(const char* icuName)
{
    UConverter* converter = OpenConverter(icuName);
    if (converter == nullptr)
        return nullptr;
    return new VFromUnicodeConverter_ICU(converter, std::max<int32_t>(ucnv_getMinCharSize(converter), 1));
}

VFromUnicodeConverter_ICU::~VFromUnicodeConverter_ICU()
{
    ucnv_close(fConverter);
}

bool VFromUnicodeConverter_ICU::_ConvertAll(const UniChar* source, int32_t units, char* destination, size_t bytes,
                                            size_t* outProduced, int32_t* offsets, bool* outOverflow)
{
    ucnv_resetFromUnicode(fConverter);
    const UChar* s = source;
    char* target = destination;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_fromUnicode(fConverter, &target, destination + bytes, &s, source + units, offsets, true, &error);
    *outProduced = size_t(target - destination);
    *outOverflow = error == U_BUFFER_OVERFLOW_ERROR;
    return U_SUCCESS(error);
}

bool VFromUnicodeConverter_ICU::Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed,
                                        void* destination, size_t destinationBytes, size_t* outBytesProduced)
{
    const int32_t units = std::max(sourceUnits, 0);
    int32_t consumed = 0;
    size_t produced = 0;
    bool ok = true;
    bool overflow = false;

    if (destination == nullptr) {
        // Measure through a small scratch buffer.
        char scratch[1024];
        ucnv_resetFromUnicode(fConverter);
        const UChar* s = source;
        UErrorCode error = U_BUFFER_OVERFLOW_ERROR;
        while (error == U_BUFFER_OVERFLOW_ERROR) {
            error = U_ZERO_ERROR;
            char* target = scratch;
            ucnv_fromUnicode(fConverter, &target, scratch + sizeof scratch, &s, source + units, nullptr, true, &error);
            produced += size_t(target - scratch);
        }
        ok = U_SUCCESS(error);
        consumed = int32_t(s - source);
    } else {
        char* d = static_cast<char*>(destination);
        const size_t room = std::min(destinationBytes, size_t(INT32_MAX) - kMaxCharOverflow);
        ok = _ConvertAll(source, units, d, room, &produced, nullptr, &overflow);
        consumed = units;
        if (overflow) {
            // Find the character cut by the end of the room from the offsets of a conversion
            // into a scratch buffer, then convert only the characters before it, so that a
            // stateful set also gets its closing sequence. Should that not fit, give up one
            // more character at a time.
            const size_t scratchBytes = room + kMaxCharOverflow;
            std::unique_ptr<char[]> scratch(new char[scratchBytes]);
            std::unique_ptr<int32_t[]> offsets(new int32_t[scratchBytes]);
            size_t total = 0;
            bool scratchOverflow = false;
            (void)_ConvertAll(source, units, scratch.get(), scratchBytes, &total, offsets.get(), &scratchOverflow);
            int32_t keep = units;
            if (total > room && offsets[room] >= 0)
                keep = offsets[room];
            for (;;) {
                if (keep > 0 && keep < units && source[keep] >= 0xDC00 && source[keep] <= 0xDFFF
                    && source[keep - 1] >= 0xD800 && source[keep - 1] <= 0xDBFF)
                    --keep;
                if (keep <= 0) {
                    keep = 0;
                    produced = 0;
                    ok = true;
                    break;
                }
                ok = _ConvertAll(source, keep, d, room, &produced, nullptr, &overflow);
                if (!overflow)
                    break;
                --keep;
            }
            consumed = keep;
        }
    }
    if (outUnitsConsumed)
        *outUnitsConsumed = consumed;
    if (outBytesProduced)
        *outBytesProduced = produced;
    return ok;
}

} // namespace nuvo::Private
