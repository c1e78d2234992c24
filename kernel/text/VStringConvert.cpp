// VString's conversions from and to blocks of other character sets.

#include <cstring>
#include <cwchar>

#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VString.h"
#include "kernel/text/VTextConverters.h"
#include "kernel/text/VToUnicodeConverter.h"

namespace nuvo {

VString::VString(const void* block, size_t bytes, CharSet set) : VString()
{
    FromBlock(block, bytes, set);
}

VString::VString(const wchar_t* text) : VString()
{
    static_assert(sizeof(wchar_t) == 4, "wide strings are 32-bit units here");
    if (text == nullptr)
        return;
    VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(CharSet::UTF32_Raw);
    size_t consumed = 0;
    (void)converter->ConvertString(text, std::wcslen(text) * sizeof(wchar_t), &consumed, *this);
    converter->Release();
}

void VString::FromBlock(const void* block, size_t bytes, CharSet set)
{
    (void)VTextConverters::Get()->ConvertToVString(block, bytes, set, *this);
}

CharSet VString::FromBlockWithOptionalBOM(const void* block, size_t bytes, CharSet defaultSet)
{
    size_t bomSize = 0;
    CharSet found = CharSet::Unknown;
    if (VTextConverters::ParseBOM(block, bytes, &bomSize, &found)) {
        FromBlock(static_cast<const char*>(block) + bomSize, bytes - bomSize, found);
        return found;
    }
    FromBlock(block, bytes, defaultSet);
    return defaultSet;
}

void VString::AppendBlock(const void* block, size_t bytes, CharSet set)
{
    VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(set);
    size_t consumed = 0;
    (void)converter->ConvertString(block, bytes, &consumed, *this);
    converter->Release();
}

size_t VString::ToBlock(void* buffer, size_t size, CharSet set, bool withTrailingZero, bool withLengthPrefix) const
{
    const bool utf16 = set == CharSet::UTF16 || set == CharSet::UTF16_BigEndian;
    const size_t unitSize = utf16 ? 2 : 1;
    const size_t prefixSize = withLengthPrefix ? unitSize : 0;
    const size_t zeroSize = withTrailingZero ? unitSize : 0;
    if (buffer == nullptr || size < prefixSize + zeroSize)
        return 0;

    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    int32_t consumed = 0;
    size_t produced = 0;
    (void)VTextConverters::Get()->ConvertFromVString(*this, &consumed, bytes + prefixSize,
                                                     size - prefixSize - zeroSize, &produced, set);
    if (withLengthPrefix) {
        // A count that does not fit the prefix is written as 0.
        if (utf16) {
            uint16_t count = produced >= 0x20000 ? 0 : uint16_t(produced / 2);
            if (set == CharSet::UTF16_BigEndian)
                count = uint16_t((count << 8) | (count >> 8));
            std::memcpy(bytes, &count, 2);
        } else {
            bytes[0] = produced >= 256 ? 0 : uint8_t(produced);
        }
    }
    if (withTrailingZero)
        std::memset(bytes + prefixSize + produced, 0, zeroSize);
    return produced;
}

} // namespace nuvo
