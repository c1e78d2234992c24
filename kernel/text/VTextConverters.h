#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernel/base/VTypes.h"
#include "kernel/text/CharSet.h"

namespace nuvo {

class VString;
class VToUnicodeConverter;
class VFromUnicodeConverter;

// The registry of text converters and of the character-set names: one process-wide instance,
// created on first use (thread-safe) and never destroyed, so that code running at exit may
// still convert. It owns one shared instance of each stateless built-in converter (UTF-16, UTF-8
// and -2 which is UTF-8 here, UTF-32 and raw 32-bit in native order); the other converters are
// created per request. Retain... results are never null (an unknown set yields a void
// converter) and the caller releases them. All members are thread-safe.
class VTextConverters {
public:
    static VTextConverters* Get();

    [[nodiscard]] VToUnicodeConverter* RetainToUnicodeConverter(CharSet set);
    [[nodiscard]] VFromUnicodeConverter* RetainFromUnicodeConverter(CharSet set);
    // The shared converters of CharSet::StdLib, not retained.
    VToUnicodeConverter* GetStdLibToUnicodeConverter() const { return fUTF8ToUnicode; }
    VFromUnicodeConverter* GetStdLibFromUnicodeConverter() const { return fUTF8FromUnicode; }

    // out is emptied, then receives the decoded text.
    bool ConvertToVString(const void* source, size_t sourceBytes, CharSet set, VString& out);
    bool ConvertFromVString(const VString& text, int32_t* outUnitsConsumed, void* buffer, size_t bufferBytes,
                            size_t* outBytesProduced, CharSet set);

    // Recognises a byte-order mark at the start of bytes: UTF-8, then UTF-32 (so that FF FE 00
    // 00 reads as UTF-32), then UTF-16. Without one: false, size 0, CharSet::Unknown.
    static bool ParseBOM(const void* bytes, size_t size, size_t* outBOMSize, CharSet* outCharSet);
    // The mark's bytes, or null with size 0 for a set that has none.
    static const void* GetBOMForCharSet(CharSet set, size_t* outSize);

    // Names compare ignoring case and diacritics; the first matching row wins; no match gives
    // CharSet::Unknown, MIB 0 or an empty name.
    static CharSet GetCharSetFromName(const VString& name);
    static int32_t GetMIBEnumFromName(const VString& name);
    static bool GetNameFromCharSet(CharSet set, VString& outName);
    static int32_t GetMIBEnumFromCharSet(CharSet set);
    static CharSet GetCharSetFromMIBEnum(int32_t mibEnum);
    static bool GetNameFromMIBEnum(int32_t mibEnum, VString& outName);
    // Every row of the table, in order (names and sets side by side); the outputs are replaced.
    static void EnumCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets);
    // The rows with the web flag.
    static void EnumWebCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets);

    VTextConverters(const VTextConverters&) = delete;
    VTextConverters& operator=(const VTextConverters&) = delete;

private:
    VTextConverters();
    ~VTextConverters() = delete;

    VToUnicodeConverter* fUTF16ToUnicode;
    VToUnicodeConverter* fUTF16SwappedToUnicode;
    VToUnicodeConverter* fUTF32ToUnicode;
    VToUnicodeConverter* fRaw32ToUnicode;
    VToUnicodeConverter* fUTF8ToUnicode;
    VFromUnicodeConverter* fUTF16FromUnicode;
    VFromUnicodeConverter* fUTF16SwappedFromUnicode;
    VFromUnicodeConverter* fUTF32FromUnicode;
    VFromUnicodeConverter* fRaw32FromUnicode;
    VFromUnicodeConverter* fUTF8FromUnicode;
};

} // namespace nuvo
