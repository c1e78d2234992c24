#pragma once

#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kernel/base/VTypes.h"
#include "kernel/text/CharSet.h"
#include "kernel/values/VValueSingle.h"

namespace nuvo {

class VCollator;
class VValueBag;

// The toolkit's string: a mutable sequence of UTF-16 code units with value semantics.
//
// Storage: the inline buffer (VStr<N> adds N code units of it; a plain VString has room for the
// terminator only), a heap buffer shared by copies through a reference count stored after the
// text (copy-on-write, atomic count), an exclusive heap buffer, or a foreign buffer that the
// string never frees. Every mutator goes through _PrepareWrite, the single detach point; const
// members never copy. The buffer is always followed by a 0 code unit.
//
// Positions are 1-based; 0 in a result means "none". Allocation failures throw 'nuvo' 107 on the
// current task's error context and leave the string unchanged.
//
// A VString object is not thread-safe; two strings sharing a heap buffer may live on different
// threads.
class VString : public VValueSingle {
public:
    // Construction.
    VString();
    // Plain ASCII is copied unit by unit; any byte >= 0x80 makes the whole text decoded with
    // the standard-library set (CharSet::StdLib, UTF-8 on Linux).
    VString(const char* text);
    // Wraps a foreign buffer without copying. bufferSizeInBytes == SIZE_MAX makes a read-only
    // view whose first growing write copies it. A null buffer gives a null, empty string.
    VString(UniChar* buffer, int32_t length, size_t bufferSizeInBytes);
    VString(const UniChar* text);                    // zero-terminated, copied
    VString(const UniChar* text, int32_t length);    // copied
    VString(const wchar_t* text);                    // UTF-32 code points (raw converter)
    explicit VString(UniChar unit);
    VString(const void* block, size_t bytes, CharSet set);
    VString(const VString& other);
    VString(VString&& other) noexcept;
    ~VString() override;

    VString& operator=(const VString& other);
    VString& operator=(VString&& other) noexcept;
    VString& operator=(const char* text) { FromCString(text); return *this; }

    // Like the const char* constructor but non-ASCII text is decoded as UTF-8.
    void FromCString(const char* text);
    void FromUniString(const UniChar* text, int32_t length);
    void FromUniChar(UniChar unit);
    void FromBlock(const void* block, size_t bytes, CharSet set);
    // A byte-order mark, when present, overrides defaultSet; returns the set used.
    CharSet FromBlockWithOptionalBOM(const void* block, size_t bytes, CharSet defaultSet);

    // Reading.
    int32_t GetLength() const { return fLength; }
    bool IsEmpty() const { return fLength == 0; }
    const UniChar* GetCPointer() const { return fString; }
    // 0 when null or pos outside 1..length.
    UniChar GetUniChar(int32_t pos) const;
    uint32_t GetHashValue() const;

    // Converts into buffer; returns the bytes written, prefix and terminator excluded. The room
    // for the optional length prefix and terminator is taken from size.
    size_t ToBlock(void* buffer, size_t size, CharSet set, bool withTrailingZero, bool withLengthPrefix) const;

    // Low-level access for converters: make room for length units (keeping the content), write
    // through the pointer, then Validate the new length. Null on allocation failure.
    [[nodiscard]] UniChar* GetCPointerForWrite(int32_t length);
    bool Validate(int32_t newLength);
    [[nodiscard]] bool EnsureSize(int32_t length, bool keepContent = true);
    int32_t GetMaxLength() const { return fMaxLength; }

    // Localized comparisons: diacritical false ignores case and diacritics, true respects both;
    // character width is always ignored.
    bool EqualToString(const VString& other, bool diacritical = false) const;
    int CompareToString(const VString& other, bool diacritical = false) const; // -1, 0, 1
    bool BeginsWith(const VString& other, bool diacritical = false) const;
    bool EndsWith(const VString& other, bool diacritical = false) const;
    int32_t Find(const VString& other, int32_t startPos = 1, bool diacritical = false) const;

    // Raw comparisons: code units, no locale.
    bool EqualToStringRaw(const VString& other) const;
    int CompareToStringRaw(const VString& other) const;      // -1, 0, 1 in code-unit order
    int CompareToStringRawCase(const VString& other) const;  // after mapping A-Z to a-z only
    int32_t FindRawString(const VString& other, int32_t startPos = 1) const;
    bool BeginsWithRawString(const VString& other) const;
    bool EndsWithRawString(const VString& other) const;
    bool EqualToUSASCIICString(const char* text) const;
    int32_t FindUniChar(UniChar unit, int32_t startPos = 1, bool reverse = false) const;

    // Exact (raw) equality, as std containers expect.
    bool operator==(const VString& other) const { return EqualToStringRaw(other); }

    // Modifying.
    void AppendUniChar(UniChar unit);
    void AppendUniChars(const UniChar* units, int32_t count);
    void AppendString(const VString& other);
    // Same rule as the const char* constructor (standard-library set for non-ASCII).
    void AppendCString(const char* text);
    void AppendBlock(const void* block, size_t bytes, CharSet set);
    VString& operator+=(const VString& other) { AppendString(other); return *this; }
    VString& operator+=(UniChar unit) { AppendUniChar(unit); return *this; }

    void Insert(const VString& text, int32_t pos);
    void Insert(UniChar unit, int32_t pos);
    void Remove(int32_t pos, int32_t count);
    void Replace(const VString& text, int32_t pos, int32_t count);
    void Truncate(int32_t length, bool keepSurrogatePairs = false);
    void SubString(int32_t pos, int32_t count);
    void GetSubString(int32_t pos, int32_t count, VString& out) const;

    void Exchange(const VString& find, const VString& replacement, int32_t startPos = 1,
                  int32_t maxCount = INT32_MAX, bool diacritical = false, VCollator* collator = nullptr);
    void Exchange(UniChar find, UniChar replacement, int32_t startPos = 1, int32_t maxCount = INT32_MAX);
    void ExchangeRawString(const VString& find, const VString& replacement, int32_t startPos = 1,
                           int32_t maxCount = INT32_MAX);

    // Full-string case mapping for the current language; the argument has no effect.
    void ToLowerCase(bool stripDiacritics = false);
    void ToUpperCase(bool stripDiacritics = false);
    void Compose() {}
    void Decompose() {}
    void TrimeSpaces();
    void RemoveWhiteSpaces(bool leading = true, bool trailing = true);
    void ConvertCarriageReturns(ECarriageReturnMode mode);

    bool GetSubStrings(UniChar separator, std::vector<VString>& out, bool keepEmpty = false, bool trim = false) const;
    bool GetSubStrings(const VString& separator, std::vector<VString>& out, bool keepEmpty = false, bool trim = false) const;
    // Replaces the content by the pieces joined with the separator.
    void Join(const std::vector<VString>& pieces, UniChar separator);
    void Join(const std::vector<VString>& pieces, const VString& separator);

    // Formatting (printf-style with the toolkit's %S, %A and %V). No format attribute: the
    // compiler would read %S as a wide string, %A as a double and reject %V.
    void Printf(const char* format, ...);
    void VPrintf(const char* format, va_list args);
    void AppendPrintf(const char* format, ...);
    // Replaces {name} placeholders by the bag's attributes; unknown ones are removed when
    // removeUnknown is true.
    VString& Format(const VValueBag* bag, bool removeUnknown);

    // Number text.
    void FromLong(int32_t value) override;
    void FromLong8(int64_t value) override;
    void FromULong8(uint64_t value);
    void FromByte(int8_t value);
    void FromWord(int16_t value);
    void AppendLong(int32_t value);
    void AppendLong8(int64_t value);
    void AppendULong8(uint64_t value);
    void FromReal(double value) override;  // "%.14G"
    void AppendReal(double value);
    void FromBoolean(bool value) override; // "true" / "false"
    void FromHexLong(int8_t value, bool pad = false);
    void FromHexLong(uint8_t value, bool pad = false);
    void FromHexLong(int32_t value, bool pad = false);
    void FromHexLong(uint32_t value, bool pad = false);
    void FromHexLong(int64_t value, bool pad = false);
    void FromHexLong(uint64_t value, bool pad = false);
    void FromOsType(OsType value);
    void AppendOsType(OsType value);
    OsType GetOsType() const;

    int64_t GetLong8() const override;
    int32_t GetLong() const override;
    int16_t GetWord() const;
    double GetReal() const override;
    double GetRealCheckOverflow(bool* outOverflow) const;
    bool GetBoolean() const override;
    uint64_t GetHexLong() const;

    // The value family.
    ValueKind GetValueKind() const override { return ValueKind::String; }
    [[nodiscard]] VString* Clone() const override { return new VString(*this); }
    void Clear() override;
    void GetString(VString& out) const override { out.FromString(*this); }
    void FromString(const VString& text) override;
    void FromValue(const VValueSingle& other) override;
    size_t GetSpace() const override;
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    // JSON string forms. Options are the JSON writer's: 0x1 adds the double quotes, 0x10 copies
    // the text unescaped, 0x400 also escapes '&' and '\''. 'nuvo' 107 when out cannot hold
    // the escaped text. The one-argument form writes the quoted form.
    VError GetJSONString(VString& out, unsigned int options) const;
    void GetJSONString(VString& out) const override { (void)GetJSONString(out, 1); }
    // Reads a JSON string's text, with or without its double quotes, undoing its escapes.
    bool FromJSONString(const VString& text) override;

    void DebugDump(VString& out) const override;

protected:
    // For VStr<N>: inlineBuffer holds inlineCapacity + 1 code units. The tag keeps this
    // constructor from being picked for VString(const UniChar*, int32_t) with a non-const pointer.
    struct InlineBufferTag {};
    VString(InlineBufferTag, UniChar* inlineBuffer, int32_t inlineCapacity);
    void _CopyFrom(const VString& other);
    void _MoveFrom(VString&& other) noexcept;

private:
    friend class VStringFormatter;

    bool _IsInline() const { return fString == fInlineBuffer; }
    bool _IsShareable() const;
    // The single detach point: afterwards the string may write newLength units in place.
    [[nodiscard]] bool _PrepareWrite(int32_t newLength);
    [[nodiscard]] bool _ReallocBuffer(int32_t length, bool keepContent);
    void _ReleaseBuffer();
    void _SetLength(int32_t length);   // terminator, null cleared, changed set

    UniChar* fString;
    int32_t fLength = 0;
    int32_t fMaxLength;
    int32_t fInlineCapacity;
    UniChar* fInlineBuffer;
    UniChar fTerminatorOnly[1] = {0};   // the inline buffer of a plain VString
};

// Capacity rule of the heap buffers (code units, including the terminator and the count):
// returns 0 on overflow. Exposed for tests.
int32_t ComputeProgressiveResize(int32_t requestedLength, int32_t currentLength);

VString operator+(const VString& a, const VString& b);

// The escaped JSON form of length units of text appended to out (VString::GetJSONString's
// rules for options 0x1, 0x10 and 0x400), for writers that build their text in one buffer.
void AppendJSONEscapedText(const UniChar* text, int32_t length, unsigned int options, std::u16string& out);

// Free number-text helpers.
VString ToString(int value);
VString ToString(long long value);
VString ToString(unsigned long long value);
VString ToString(unsigned long value);
// The UTF-8 form.
std::string to_string(const VString& text);

// Strict code-unit order, for ordered containers.
struct VStringLessCompareStrict {
    bool operator()(const VString& a, const VString& b) const { return a.CompareToStringRaw(b) < 0; }
};

} // namespace nuvo
