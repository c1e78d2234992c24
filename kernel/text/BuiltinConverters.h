#pragma once
// The converters of the Unicode encodings, written out here rather than left to ICU: they follow
// the toolkit's own lenient rules (see each class) and are stateless, so one instance of each
// can be shared by every thread.

#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VToUnicodeConverter.h"

namespace nuvo::Private {

// UTF-16 in native order (copied) or byte-swapped; an odd trailing byte is left unconsumed.
class VToUnicodeConverter_UTF16 final : public VToUnicodeConverter {
public:
    explicit VToUnicodeConverter_UTF16(bool swapped) : fSwapped(swapped) {}
    bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed, UniChar* destination,
                 int32_t destinationMaxUnits, int32_t* outUnitsProduced) override;

private:
    bool fSwapped;
};

class VFromUnicodeConverter_UTF16 final : public VFromUnicodeConverter {
public:
    explicit VFromUnicodeConverter_UTF16(bool swapped) : fSwapped(swapped) {}
    bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed, void* destination,
                 size_t destinationBytes, size_t* outBytesProduced) override;
    int32_t GetCharSize() const override { return 2; }

private:
    bool fSwapped;
};

// UTF-32 (native or swapped units): surrogate code points stop with failure, values from
// 0x110000 on are skipped with failure.
class VToUnicodeConverter_UTF32 final : public VToUnicodeConverter {
public:
    explicit VToUnicodeConverter_UTF32(bool swapped) : fSwapped(swapped) {}
    bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed, UniChar* destination,
                 int32_t destinationMaxUnits, int32_t* outUnitsProduced) override;

private:
    bool fSwapped;
};

// Unpaired surrogates stop the encoding with failure.
class VFromUnicodeConverter_UTF32 final : public VFromUnicodeConverter {
public:
    explicit VFromUnicodeConverter_UTF32(bool swapped) : fSwapped(swapped) {}
    bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed, void* destination,
                 size_t destinationBytes, size_t* outBytesProduced) override;
    int32_t GetCharSize() const override { return 4; }

private:
    bool fSwapped;
};

// Raw 32-bit units (wchar_t): each unit keeps its low 16 bits; no surrogate handling.
class VToUnicodeConverter_Raw32 final : public VToUnicodeConverter {
public:
    explicit VToUnicodeConverter_Raw32(bool swapped) : fSwapped(swapped) {}
    bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed, UniChar* destination,
                 int32_t destinationMaxUnits, int32_t* outUnitsProduced) override;

private:
    bool fSwapped;
};

class VFromUnicodeConverter_Raw32 final : public VFromUnicodeConverter {
public:
    explicit VFromUnicodeConverter_Raw32(bool swapped) : fSwapped(swapped) {}
    bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed, void* destination,
                 size_t destinationBytes, size_t* outBytesProduced) override;
    int32_t GetCharSize() const override { return 4; }

private:
    bool fSwapped;
};

// Lenient UTF-8: trailing bytes are not checked and overlong forms are accepted; an incomplete
// sequence at the end of the input stays unconsumed; values from 0x110000 on become '?' and
// make the result false.
class VToUnicodeConverter_UTF8 final : public VToUnicodeConverter {
public:
    bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed, UniChar* destination,
                 int32_t destinationMaxUnits, int32_t* outUnitsProduced) override;
};

// A high surrogate is combined with whatever unit follows; one at the very end stays
// unconsumed. Never fails.
class VFromUnicodeConverter_UTF8 final : public VFromUnicodeConverter {
public:
    bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed, void* destination,
                 size_t destinationBytes, size_t* outBytesProduced) override;
    int32_t GetCharSize() const override { return 1; }
};

// For set 0 and sets that cannot be converted: converts nothing and reports failure.
class VToUnicodeConverter_Void final : public VToUnicodeConverter {
public:
    bool IsValid() const override { return false; }
    bool Convert(const void* source, size_t sourceBytes, size_t* outBytesConsumed, UniChar* destination,
                 int32_t destinationMaxUnits, int32_t* outUnitsProduced) override;
};

class VFromUnicodeConverter_Void final : public VFromUnicodeConverter {
public:
    bool IsValid() const override { return false; }
    bool Convert(const UniChar* source, int32_t sourceUnits, int32_t* outUnitsConsumed, void* destination,
                 size_t destinationBytes, size_t* outBytesProduced) override;
    int32_t GetCharSize() const override { return 1; }
};

} // namespace nuvo::Private
