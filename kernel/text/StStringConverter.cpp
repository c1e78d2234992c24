#include "kernel/text/StStringConverter.h"

#include <algorithm>
#include <cstring>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemory.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VString.h"
#include "kernel/text/VTextConverters.h"

namespace nuvo {

namespace {
constexpr OsType kTag = MakeOsType("conv");
}

StStringConverterBase::StStringConverterBase(CharSet set, ECarriageReturnMode mode)
    : fConverter(VTextConverters::Get()->RetainFromUnicodeConverter(set))
    , fCharSet(set)
    , fMode(mode)
    , fBuffer(fInlineBuffer)
    , fCapacity(kInlineBytes)
{
    std::memset(fInlineBuffer, 0, sizeof(uint32_t));
}

StStringConverterBase::~StStringConverterBase()
{
    if (fBuffer != fInlineBuffer)
        VMemory::DisposePtr(fBuffer);
    fConverter->Release();
}

bool StStringConverterBase::IsValid() const
{
    return fConverter->IsValid();
}

bool StStringConverterBase::ConvertString(const VString& text)
{
    if (fMode == eCRM_NONE)
        return _Convert(text.GetCPointer(), text.GetLength());
    VString converted(text);
    converted.ConvertCarriageReturns(fMode);
    return _Convert(converted.GetCPointer(), converted.GetLength());
}

bool StStringConverterBase::_Grow(size_t bytes)
{
    if (bytes <= fCapacity)
        return true;
    char* bigger;
    if (fBuffer == fInlineBuffer) {
        bigger = static_cast<char*>(VMemory::NewPtr(bytes, kTag));
        if (bigger != nullptr)
            std::memcpy(bigger, fInlineBuffer, fSize);
    } else {
        bigger = static_cast<char*>(VMemory::SetPtrSize(fBuffer, bytes, kTag));
    }
    if (bigger == nullptr) {
        VString reason("mem failure");
        _ThrowError(VE_CONVERSION_FAILED, &reason);
        return false;
    }
    fBuffer = bigger;
    fCapacity = bytes;
    return true;
}

bool StStringConverterBase::_Convert(const UniChar* units, int32_t count)
{
    const size_t charSize = size_t(std::max(fConverter->GetCharSize(), 1));
    fSize = 0;
    int32_t consumed = 0;
    bool measured = false;
    bool ok = true;
    // Start with room for the likely size so that most texts convert in a single step.
    if (!_Grow(size_t(count) * charSize + charSize))
        ok = false;
    while (ok) {
        int32_t stepConsumed = 0;
        size_t stepProduced = 0;
        ok = fConverter->Convert(units + consumed, count - consumed, &stepConsumed, fBuffer + fSize,
                                 fCapacity - charSize - fSize, &stepProduced);
        consumed += stepConsumed;
        fSize += stepProduced;
        if (consumed >= count || stepProduced == 0)
            break;
        if (!measured) {
            // Too small: measure the whole text and convert it again in one piece (the pieces
            // of a stateful set do not always concatenate into a valid text).
            measured = true;
            int32_t measuredUnits = 0;
            size_t total = 0;
            if (fConverter->Convert(units, count, &measuredUnits, nullptr, 0, &total) && measuredUnits == count) {
                if (!_Grow(total + charSize)) {
                    ok = false;
                    break;
                }
                consumed = 0;
                fSize = 0;
                continue;
            }
        }
        size_t needed = fSize + (size_t(count - consumed) + 2) * charSize * 3 + charSize;
        if (!_Grow(std::max(needed, fCapacity * 2)))
            ok = false;
    }
    std::memset(fBuffer + fSize, 0, charSize);
    fOK = ok;
    return ok;
}

} // namespace nuvo
