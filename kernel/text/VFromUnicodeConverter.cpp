#include "kernel/text/VFromUnicodeConverter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemory.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/text/VString.h"

namespace nuvo {

namespace {

void ThrowMemFailure()
{
    VString reason("mem failure");
    _ThrowError(VE_CONVERSION_FAILED, &reason);
}

// The conversion loop shared by ConvertRealloc and ConvertToBuffer. grow(bytes) makes the
// storage at least that large and returns its start, or null when the allocation failed.
template <class Grow>
bool ConvertGrowing(VFromUnicodeConverter& converter, const UniChar* source, int32_t units,
                    size_t trailingZeroBytes, size_t& outProduced, Grow&& grow)
{
    const size_t charSize = size_t(std::max(converter.GetCharSize(), 1));
    units = std::max(units, 0);
    size_t capacity = charSize * (size_t(units) + 2) + trailingZeroBytes;
    char* storage = grow(capacity);
    size_t produced = 0;
    int32_t consumed = 0;
    bool measured = false;
    bool ok = storage != nullptr;
    while (ok) {
        int32_t stepConsumed = 0;
        size_t stepProduced = 0;
        ok = converter.Convert(source + consumed, units - consumed, &stepConsumed, storage + produced,
                               capacity - trailingZeroBytes - produced, &stepProduced);
        consumed += stepConsumed;
        produced += stepProduced;
        if (consumed >= units || stepProduced == 0)
            break;
        if (!measured) {
            // The guess was too small: measure the whole text and convert it again in one
            // piece, since the pieces of a stateful set do not always concatenate into a text
            // that its decoders accept.
            measured = true;
            int32_t measuredUnits = 0;
            size_t total = 0;
            if (converter.Convert(source, units, &measuredUnits, nullptr, 0, &total) && measuredUnits == units) {
                capacity = std::max(capacity, total + trailingZeroBytes);
                storage = grow(capacity);
                if (storage == nullptr) {
                    ok = false;
                    break;
                }
                consumed = 0;
                produced = 0;
                continue;
            }
        }
        // Room for the rest at a few bytes per unit, and at least half as much again, so that
        // a text that keeps overflowing grows geometrically.
        size_t needed = produced + (size_t(units - consumed) + 2) * charSize * 3 + trailingZeroBytes;
        capacity = std::max(needed, capacity + capacity / 2);
        storage = grow(capacity);
        if (storage == nullptr)
            ok = false;
    }
    if (storage == nullptr) {
        ThrowMemFailure();
        outProduced = produced;
        return false;
    }
    std::memset(storage + produced, 0, trailingZeroBytes);
    outProduced = produced;
    return ok;
}

} // namespace

bool VFromUnicodeConverter::ConvertRealloc(const UniChar* source, int32_t units, void*& buffer, size_t& bufferBytes,
                                           size_t trailingZeroBytes)
{
    size_t blockSize = buffer != nullptr ? bufferBytes : 0;
    auto grow = [&](size_t bytes) -> char* {
        if (buffer != nullptr && blockSize >= bytes)
            return static_cast<char*>(buffer);
        void* bigger = VMemory::SetPtrSize(buffer, bytes, MakeOsType("conv"));
        if (bigger == nullptr)
            return nullptr;
        buffer = bigger;
        blockSize = bytes;
        return static_cast<char*>(buffer);
    };
    return ConvertGrowing(*this, source, units, trailingZeroBytes, bufferBytes, grow);
}

bool VFromUnicodeConverter::ConvertToBuffer(const UniChar* source, int32_t units, std::vector<char>& outBuffer,
                                            size_t trailingZeroBytes)
{
    auto grow = [&](size_t bytes) -> char* {
        try {
            if (outBuffer.size() < bytes)
                outBuffer.resize(bytes);
        } catch (const std::bad_alloc&) {
            return nullptr;
        } catch (const std::length_error&) {
            return nullptr;
        }
        return outBuffer.data();
    };
    size_t produced = 0;
    bool ok = ConvertGrowing(*this, source, units, trailingZeroBytes, produced, grow);
    outBuffer.resize(std::min(outBuffer.size(), produced + trailingZeroBytes));
    return ok;
}

} // namespace nuvo
