#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/base/VTypes.h"
#include "kernel/text/CharSet.h"

namespace nuvo {

class VString;
class VFromUnicodeConverter;

// Holds the bytes of a string converted into one character set, followed by a zero code unit,
// for the lifetime of the scope. Short results live in a 512-byte buffer inside the object;
// longer ones move to the heap. Owns one reference to the set's from-Unicode converter. A
// failed conversion (invalid input, or 'nuvo' 300 "mem failure" when the heap refuses) leaves
// IsOK() false with the bytes converted so far. Not thread-safe.
class StStringConverterBase {
public:
    static constexpr size_t kInlineBytes = 512;

    StStringConverterBase(CharSet set, ECarriageReturnMode mode);
    ~StStringConverterBase();
    StStringConverterBase(const StStringConverterBase&) = delete;
    StStringConverterBase& operator=(const StStringConverterBase&) = delete;

    // Replaces the held bytes by the conversion of text; line ends are first converted to the
    // carriage-return mode unless it is eCRM_NONE.
    bool ConvertString(const VString& text);

    bool IsOK() const { return fOK; }
    // Bytes held, the terminator excluded.
    size_t GetSize() const { return fSize; }
    CharSet GetCharSet() const { return fCharSet; }
    bool IsValid() const;

protected:
    const void* _GetBytes() const { return fBuffer; }

private:
    bool _Convert(const UniChar* units, int32_t count);
    bool _Grow(size_t bytes);

    VFromUnicodeConverter* fConverter;
    CharSet fCharSet;
    ECarriageReturnMode fMode;
    char* fBuffer;
    size_t fCapacity;
    size_t fSize = 0;
    bool fOK = false;
    alignas(8) char fInlineBuffer[kInlineBytes];
};

// The typed view of StStringConverterBase: StStringConverter<char> for 8-bit sets.
template <class T> class StStringConverter : public StStringConverterBase {
public:
    explicit StStringConverter(CharSet set, ECarriageReturnMode mode = eCRM_NONE) : StStringConverterBase(set, mode) {}
    StStringConverter(const VString& text, CharSet set, ECarriageReturnMode mode = eCRM_NONE)
        : StStringConverterBase(set, mode)
    {
        ConvertString(text);
    }

    // Zero-terminated; valid until the next conversion or the end of the scope.
    const T* GetCPointer() const { return static_cast<const T*>(_GetBytes()); }
    // Code units held, the terminator excluded.
    size_t GetLength() const { return GetSize() / sizeof(T); }
};

} // namespace nuvo
