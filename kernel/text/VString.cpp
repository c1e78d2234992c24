#include "kernel/text/VString.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <utility>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemory.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/text/VCollator.h"

namespace nuvo {

namespace {

constexpr OsType kStringTag = MakeOsType("str ");

// A view of a literal (a foreign buffer of unknown size): never written, copied on the first
// write. Only VString uses this bit of the flags byte.
constexpr uint8_t kFlagReadOnlyView = 32;
constexpr uint8_t kBufferFlags = VValue::kFlagForeignBuffer | VValue::kFlagExclusiveBuffer | kFlagReadOnlyView;

constexpr int64_t kMaxCapacity = 0x80000002LL;

// The count slot sits after the terminator at an even code-unit index, so that it is 4-byte
// aligned in a block that malloc aligned.
inline int32_t CountIndex(int32_t maxLength)
{
    return (maxLength + 2) & ~1;
}

inline std::atomic_ref<int32_t> CountOf(UniChar* buffer, int32_t maxLength)
{
    return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(buffer + CountIndex(maxLength)));
}

inline size_t BlockBytes(int32_t maxLength)
{
    return (size_t(CountIndex(maxLength)) + 2) * sizeof(UniChar);
}

inline bool IsAsciiText(const char* text, size_t& outLength)
{
    size_t i = 0;
    bool ascii = true;
    for (; text[i] != 0; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            ascii = false;
    }
    outLength = i;
    return ascii;
}

inline bool IsSpace(UniChar c)
{
    return c == u' ';
}

inline UniChar FoldAsciiCase(UniChar c)
{
    return (c >= u'A' && c <= u'Z') ? UniChar(c + (u'a' - u'A')) : c;
}

void ThrowAllocFailed()
{
    _ThrowError(VE_STRING_ALLOC_FAILED);
}

// Length of a result that must fit in 32 bits; -1 when it does not.
inline int32_t CheckedLength(int64_t length)
{
    return (length < 0 || length > INT32_MAX) ? -1 : int32_t(length);
}

} // namespace

int32_t ComputeProgressiveResize(int32_t requestedLength, int32_t currentLength)
{
    if (requestedLength < 0)
        return 0;
    const int64_t n = requestedLength;
    if (n < 6)
        return 8;
    int64_t extra = 0;
    if (currentLength != 0 && currentLength != requestedLength)
        extra = std::min<int64_t>((n + 1) / 5, 0xA00000);
    if (extra < 3)
        extra = 2;
    int64_t capacity = (n + extra + 8) & ~int64_t(7);
    if (capacity >= 2147483651LL && n < 0x7FFFFFFD)
        capacity = n + 3;
    // Capacities between INT32_MAX and the hard limit cannot be expressed in the 32-bit fields
    // either; they count as overflow too.
    if (capacity > kMaxCapacity || capacity > INT32_MAX)
        return 0;
    return int32_t(capacity);
}

// ---------------------------------------------------------------------------------------------
// Construction and storage

VString::VString()
    : fString(fTerminatorOnly)
    , fMaxLength(0)
    , fInlineCapacity(0)
    , fInlineBuffer(fTerminatorOnly)
{
}

VString::VString(InlineBufferTag, UniChar* inlineBuffer, int32_t inlineCapacity)
    : fString(inlineBuffer)
    , fMaxLength(inlineCapacity)
    , fInlineCapacity(inlineCapacity)
    , fInlineBuffer(inlineBuffer)
{
    inlineBuffer[0] = 0;
}

VString::VString(const char* text)
    : VString()
{
    AppendCString(text);
}

VString::VString(UniChar* buffer, int32_t length, size_t bufferSizeInBytes)
    : VString()
{
    if (buffer == nullptr) {
        fFlags |= kFlagNull;
        return;
    }
    assert(length >= 0);
    fFlags |= kFlagChanged | kFlagForeignBuffer | kFlagExclusiveBuffer;
    fString = buffer;
    if (bufferSizeInBytes == SIZE_MAX) {
        fFlags |= kFlagReadOnlyView;
        fLength = length;
        fMaxLength = length;
        return;
    }
    const size_t units = bufferSizeInBytes / sizeof(UniChar);
    if (units == 0) {
        // No room even for the terminator: never written, like a view.
        assert(length == 0);
        fFlags |= kFlagReadOnlyView;
        fLength = 0;
        fMaxLength = 0;
        return;
    }
    fMaxLength = int32_t(std::min<size_t>(units - 1, INT32_MAX));
    assert(length <= fMaxLength);
    fLength = std::min(length, fMaxLength);
    fString[fLength] = 0;
}

VString::VString(const UniChar* text)
    : VString()
{
    if (text != nullptr) {
        size_t length = 0;
        while (text[length] != 0)
            ++length;
        if (length > size_t(INT32_MAX))
            ThrowAllocFailed();
        else
            AppendUniChars(text, int32_t(length));
    }
}

VString::VString(const UniChar* text, int32_t length)
    : VString()
{
    AppendUniChars(text, length);
}

VString::VString(UniChar unit)
    : VString()
{
    AppendUniChar(unit);
}

VString::VString(const VString& other)
    : VString()
{
    _CopyFrom(other);
    fFlags = uint8_t((fFlags & kBufferFlags) | (other.fFlags & (kFlagNull | kFlagChanged)));
}

VString::VString(VString&& other) noexcept
    : VString()
{
    _MoveFrom(std::move(other));
}

VString::~VString()
{
    _ReleaseBuffer();
}

VString& VString::operator=(const VString& other)
{
    FromString(other);
    return *this;
}

VString& VString::operator=(VString&& other) noexcept
{
    _MoveFrom(std::move(other));
    return *this;
}

bool VString::_IsShareable() const
{
    return !_IsInline() && (fFlags & (kFlagForeignBuffer | kFlagExclusiveBuffer | kFlagNull)) == 0;
}

void VString::_ReleaseBuffer()
{
    if (!_IsInline()) {
        if ((fFlags & kFlagForeignBuffer) != 0) {
            // someone else's memory
        } else if ((fFlags & kFlagExclusiveBuffer) != 0) {
            VMemory::DisposePtr(fString);
        } else if (CountOf(fString, fMaxLength).fetch_sub(1, std::memory_order_acq_rel) == 1) {
            VMemory::DisposePtr(fString);
        }
        fString = fInlineBuffer;
        fMaxLength = fInlineCapacity;
    }
    fFlags &= uint8_t(~kBufferFlags);
}

void VString::_SetLength(int32_t length)
{
    assert(length >= 0 && length <= fMaxLength);
    fLength = length;
    fString[length] = 0;
    fFlags = uint8_t((fFlags & ~kFlagNull) | kFlagChanged);
}

bool VString::_ReallocBuffer(int32_t length, bool keepContent)
{
    if (length < 0) {
        ThrowAllocFailed();
        return false;
    }
    const int32_t keep = keepContent ? std::min(fLength, length) : 0;

    if (length <= fInlineCapacity) {
        if (!_IsInline()) {
            std::memmove(fInlineBuffer, fString, size_t(keep) * sizeof(UniChar));
            _ReleaseBuffer();
        }
        fLength = keep;
        fString[keep] = 0;
        return true;
    }

    const int32_t capacity = ComputeProgressiveResize(length, fLength);
    if (capacity == 0) {
        ThrowAllocFailed();
        return false;
    }
    const int32_t maxLength = capacity - 3;

    // A heap buffer nobody else holds can grow in place, which spares the copy.
    const bool ownHeap = !_IsInline() && (fFlags & (kFlagForeignBuffer | kFlagExclusiveBuffer)) == 0
        && CountOf(fString, fMaxLength).load(std::memory_order_acquire) == 1;
    UniChar* buffer;
    if (ownHeap) {
        buffer = static_cast<UniChar*>(VMemory::SetPtrSize(fString, BlockBytes(maxLength), kStringTag));
        if (buffer == nullptr) {
            ThrowAllocFailed();
            return false;
        }
        fString = fInlineBuffer; // the old block is gone: nothing to release
    } else {
        buffer = static_cast<UniChar*>(VMemory::NewPtr(BlockBytes(maxLength), kStringTag));
        if (buffer == nullptr) {
            ThrowAllocFailed();
            return false;
        }
        std::memcpy(buffer, fString, size_t(keep) * sizeof(UniChar));
        _ReleaseBuffer();
    }
    fFlags &= uint8_t(~kBufferFlags);
    fString = buffer;
    fMaxLength = maxLength;
    CountOf(fString, fMaxLength).store(1, std::memory_order_relaxed);
    fLength = keep;
    fString[keep] = 0;
    return fMaxLength >= length;
}

bool VString::_PrepareWrite(int32_t newLength)
{
    if (newLength < 0) {
        ThrowAllocFailed();
        return false;
    }
    if (newLength <= fMaxLength) {
        if (_IsInline())
            return true;
        if ((fFlags & kFlagReadOnlyView) == 0) {
            if ((fFlags & (kFlagForeignBuffer | kFlagExclusiveBuffer)) != 0)
                return true;
            if (CountOf(fString, fMaxLength).load(std::memory_order_acquire) < 2)
                return true;
        }
    }
    return _ReallocBuffer(newLength, true);
}

void VString::_CopyFrom(const VString& other)
{
    if (&other == this)
        return;
    // A string over a caller's writable buffer keeps filling it while the text fits.
    const bool keepForeign = (fFlags & (kFlagForeignBuffer | kFlagReadOnlyView)) == kFlagForeignBuffer
        && other.fLength <= fMaxLength;
    if (other._IsShareable() && other.fLength > fInlineCapacity && !keepForeign) {
        if (fString != other.fString) {
            CountOf(other.fString, other.fMaxLength).fetch_add(1, std::memory_order_relaxed);
            _ReleaseBuffer();
            fString = other.fString;
            fMaxLength = other.fMaxLength;
        }
        fLength = other.fLength;
        fFlags = uint8_t((fFlags & ~kFlagNull) | kFlagChanged);
    } else {
        // The content may live in our own (shared) buffer: keep it readable until copied.
        const bool sameBuffer = fString == other.fString;
        const bool ready = (sameBuffer || other.fLength <= fMaxLength) ? _PrepareWrite(other.fLength)
                                                                        : _ReallocBuffer(other.fLength, false);
        if (!ready)
            return;
        if (fString != other.fString)
            std::memcpy(fString, other.fString, size_t(other.fLength) * sizeof(UniChar));
        _SetLength(other.fLength);
    }
    if (other.IsNull())
        fFlags |= kFlagNull;
}

void VString::_MoveFrom(VString&& other) noexcept
{
    if (&other == this)
        return;
    const bool takeable = !other._IsInline() && (other.fFlags & kFlagForeignBuffer) == 0;
    if (!takeable) {
        _CopyFrom(other);
        return;
    }
    _ReleaseBuffer();
    fString = other.fString;
    fLength = other.fLength;
    fMaxLength = other.fMaxLength;
    fFlags = uint8_t((fFlags & ~(kBufferFlags | kFlagNull)) | kFlagChanged
                     | (other.fFlags & (kFlagExclusiveBuffer | kFlagNull)));
    other.fString = other.fInlineBuffer;
    other.fMaxLength = other.fInlineCapacity;
    other.fFlags &= uint8_t(~(kBufferFlags | kFlagNull));
    other._SetLength(0);
}

void VString::Clear()
{
    _ReleaseBuffer();
    _SetLength(0);
}

void VString::FromString(const VString& text)
{
    _CopyFrom(text);
}

void VString::FromUniString(const UniChar* text, int32_t length)
{
    if (length < 0) {
        ThrowAllocFailed();
        return;
    }
    if (text == nullptr)
        length = 0;
    // text may point into our own buffer.
    if (text >= fString && text <= fString + fLength) {
        const int32_t offset = int32_t(text - fString);
        length = std::min(length, fLength - offset);
        if (!_PrepareWrite(fLength))
            return;
        std::memmove(fString, fString + offset, size_t(length) * sizeof(UniChar));
        _SetLength(length);
        return;
    }
    if (length <= fMaxLength ? !_PrepareWrite(length) : !_ReallocBuffer(length, false))
        return;
    if (length > 0)
        std::memcpy(fString, text, size_t(length) * sizeof(UniChar));
    _SetLength(length);
}

void VString::FromUniChar(UniChar unit)
{
    if (!_PrepareWrite(1))
        return;
    fString[0] = unit;
    _SetLength(1);
}

void VString::FromCString(const char* text)
{
    if (text == nullptr) {
        Truncate(0);
        return;
    }
    size_t length = 0;
    if (IsAsciiText(text, length)) {
        if (length > size_t(INT32_MAX)) {
            ThrowAllocFailed();
            return;
        }
        const int32_t n = int32_t(length);
        if (n <= fMaxLength ? !_PrepareWrite(n) : !_ReallocBuffer(n, false))
            return;
        for (int32_t i = 0; i < n; ++i)
            fString[i] = UniChar(static_cast<unsigned char>(text[i]));
        _SetLength(n);
        return;
    }
    Truncate(0);
    AppendBlock(text, length, CharSet::UTF8);
}

UniChar* VString::GetCPointerForWrite(int32_t length)
{
    return _PrepareWrite(length) ? fString : nullptr;
}

bool VString::Validate(int32_t newLength)
{
    if (newLength < 0 || newLength > fMaxLength || (fFlags & kFlagReadOnlyView) != 0)
        return false;
    _SetLength(newLength);
    return true;
}

bool VString::EnsureSize(int32_t length, bool keepContent)
{
    if (keepContent)
        return _PrepareWrite(length);
    if (length < 0) {
        ThrowAllocFailed();
        return false;
    }
    if (length <= fMaxLength && _PrepareWrite(length))
        return true;
    return _ReallocBuffer(length, false);
}

// ---------------------------------------------------------------------------------------------
// Reading

UniChar VString::GetUniChar(int32_t pos) const
{
    if (IsNull() || pos < 1 || pos > fLength)
        return 0;
    return fString[pos - 1];
}

uint32_t VString::GetHashValue() const
{
    const uint32_t n = uint32_t(fLength);
    uint32_t h = n;
    if (n <= 16) {
        for (uint32_t i = 0; i < n; ++i)
            h = h * 257 + fString[i];
    } else {
        for (uint32_t i = 0; i < 8; ++i)
            h = h * 257 + fString[i];
        for (uint32_t i = n - 8; i < n; ++i)
            h = h * 257 + fString[i];
    }
    return (h << (n % 32)) + h;
}

void VString::DebugDump(VString& out) const
{
    out.AppendString(*this);
}

// ---------------------------------------------------------------------------------------------
// Raw comparisons

bool VString::EqualToStringRaw(const VString& other) const
{
    return fLength == other.fLength
        && (fString == other.fString || std::memcmp(fString, other.fString, size_t(fLength) * sizeof(UniChar)) == 0);
}

int VString::CompareToStringRaw(const VString& other) const
{
    const int32_t n = std::min(fLength, other.fLength);
    for (int32_t i = 0; i < n; ++i) {
        if (fString[i] != other.fString[i])
            return fString[i] < other.fString[i] ? -1 : 1;
    }
    return fLength == other.fLength ? 0 : (fLength < other.fLength ? -1 : 1);
}

int VString::CompareToStringRawCase(const VString& other) const
{
    const int32_t n = std::min(fLength, other.fLength);
    for (int32_t i = 0; i < n; ++i) {
        const UniChar a = FoldAsciiCase(fString[i]);
        const UniChar b = FoldAsciiCase(other.fString[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return fLength == other.fLength ? 0 : (fLength < other.fLength ? -1 : 1);
}

int32_t VString::FindRawString(const VString& other, int32_t startPos) const
{
    const int32_t m = other.fLength;
    const int32_t start = std::max(startPos, 1) - 1;
    if (m == 0 || start > fLength - m)
        return 0;
    const UniChar* first = fString;
    const UniChar* last = fString + fLength;
    const UniChar* found = std::search(first + start, last, other.fString, other.fString + m);
    return found == last ? 0 : int32_t(found - first) + 1;
}

bool VString::BeginsWithRawString(const VString& other) const
{
    return other.fLength <= fLength
        && std::memcmp(fString, other.fString, size_t(other.fLength) * sizeof(UniChar)) == 0;
}

bool VString::EndsWithRawString(const VString& other) const
{
    return other.fLength <= fLength
        && std::memcmp(fString + (fLength - other.fLength), other.fString,
                       size_t(other.fLength) * sizeof(UniChar)) == 0;
}

bool VString::EqualToUSASCIICString(const char* text) const
{
    if (text == nullptr)
        return fLength == 0;
    int32_t i = 0;
    for (; i < fLength; ++i) {
        if (text[i] == 0 || fString[i] != UniChar(static_cast<unsigned char>(text[i])))
            return false;
    }
    return text[i] == 0;
}

int32_t VString::FindUniChar(UniChar unit, int32_t startPos, bool reverse) const
{
    if (fLength == 0 || startPos > fLength)
        return 0;
    if (reverse) {
        for (int32_t i = startPos; i >= 1; --i) {
            if (fString[i - 1] == unit)
                return i;
        }
        return 0;
    }
    for (int32_t i = std::max(startPos, 1); i <= fLength; ++i) {
        if (fString[i - 1] == unit)
            return i;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Localized comparisons (the collator holds the locale rules and the ASCII shortcuts)

bool VString::EqualToString(const VString& other, bool diacritical) const
{
    return VCollator::GetDefault().Equal(fString, fLength, other.fString, other.fLength, diacritical);
}

int VString::CompareToString(const VString& other, bool diacritical) const
{
    return VCollator::GetDefault().Compare(fString, fLength, other.fString, other.fLength, diacritical);
}

bool VString::BeginsWith(const VString& other, bool diacritical) const
{
    return VCollator::GetDefault().BeginsWith(fString, fLength, other.fString, other.fLength, diacritical);
}

bool VString::EndsWith(const VString& other, bool diacritical) const
{
    return VCollator::GetDefault().EndsWith(fString, fLength, other.fString, other.fLength, diacritical);
}

int32_t VString::Find(const VString& other, int32_t startPos, bool diacritical) const
{
    return VCollator::GetDefault().Find(fString, fLength, other.fString, other.fLength, startPos, diacritical,
                                        nullptr);
}

void VString::ToLowerCase(bool)
{
    VString result;
    if (VCollator::GetDefault().ToLowerCase(fString, fLength, result))
        FromString(result);
}

void VString::ToUpperCase(bool)
{
    VString result;
    if (VCollator::GetDefault().ToUpperCase(fString, fLength, result))
        FromString(result);
}

// ---------------------------------------------------------------------------------------------
// Modifying

void VString::AppendUniChar(UniChar unit)
{
    if (fLength == INT32_MAX) {
        ThrowAllocFailed();
        return;
    }
    const int32_t length = fLength;
    if (!_PrepareWrite(length + 1))
        return;
    fString[length] = unit;
    _SetLength(length + 1);
}

void VString::AppendUniChars(const UniChar* units, int32_t count)
{
    if (count < 0) {
        ThrowAllocFailed();
        return;
    }
    if (count == 0 || units == nullptr)
        return;
    const int32_t length = fLength;
    const int32_t newLength = CheckedLength(int64_t(length) + count);
    if (newLength < 0) {
        ThrowAllocFailed();
        return;
    }
    // The units may come from our own buffer, which _PrepareWrite may move.
    const bool inside = units >= fString && units < fString + length;
    const ptrdiff_t offset = inside ? units - fString : 0;
    if (!_PrepareWrite(newLength))
        return;
    if (inside)
        units = fString + offset;
    std::memmove(fString + length, units, size_t(count) * sizeof(UniChar));
    _SetLength(newLength);
}

void VString::AppendString(const VString& other)
{
    if (fLength == 0 && other.fLength > fInlineCapacity && other._IsShareable()
        && (fFlags & kFlagForeignBuffer) == 0) {
        _CopyFrom(other);
        fFlags &= uint8_t(~kFlagNull);
        return;
    }
    AppendUniChars(other.fString, other.fLength);
}

void VString::AppendCString(const char* text)
{
    if (text == nullptr)
        return;
    size_t length = 0;
    if (!IsAsciiText(text, length)) {
        AppendBlock(text, length, CharSet::StdLib);
        return;
    }
    const int32_t oldLength = fLength;
    const int32_t newLength = length > size_t(INT32_MAX) ? -1 : CheckedLength(int64_t(oldLength) + int64_t(length));
    if (newLength < 0) {
        ThrowAllocFailed();
        return;
    }
    if (!_PrepareWrite(newLength))
        return;
    UniChar* dst = fString + oldLength;
    for (size_t i = 0; i < length; ++i)
        dst[i] = UniChar(static_cast<unsigned char>(text[i]));
    _SetLength(newLength);
}

void VString::Replace(const VString& text, int32_t pos, int32_t count)
{
    if (&text == this) {
        const VString copy(text.GetCPointer(), text.fLength);
        Replace(copy, pos, count);
        return;
    }
    const int32_t start = int32_t(std::clamp<int64_t>(pos, 1, int64_t(fLength) + 1) - 1);
    const int32_t removed = std::clamp(count, 0, fLength - start);
    const int32_t newLength = CheckedLength(int64_t(fLength) - removed + text.fLength);
    if (newLength < 0) {
        ThrowAllocFailed();
        return;
    }
    const int32_t tail = fLength - start - removed;
    if (!_PrepareWrite(std::max(newLength, fLength)))
        return;
    std::memmove(fString + start + text.fLength, fString + start + removed, size_t(tail) * sizeof(UniChar));
    std::memcpy(fString + start, text.fString, size_t(text.fLength) * sizeof(UniChar));
    _SetLength(newLength);
}

void VString::Insert(const VString& text, int32_t pos)
{
    Replace(text, pos, 0);
}

void VString::Insert(UniChar unit, int32_t pos)
{
    Replace(VString(&unit, 1), pos, 0);
}

void VString::Remove(int32_t pos, int32_t count)
{
    if (pos < 1 || pos > fLength || count < 0)
        return;
    if (int64_t(pos) + count > fLength) {
        Truncate(pos - 1);
        return;
    }
    if (!_PrepareWrite(fLength))
        return;
    const int32_t start = pos - 1;
    std::memmove(fString + start, fString + start + count, size_t(fLength - start - count) * sizeof(UniChar));
    _SetLength(fLength - count);
}

void VString::Truncate(int32_t length, bool keepSurrogatePairs)
{
    int32_t newLength = std::clamp(length, 0, fLength);
    if (keepSurrogatePairs && newLength > 0 && fString[newLength - 1] >= 0xD800 && fString[newLength - 1] <= 0xDBFF)
        --newLength;
    // Give back most of a heap buffer that became much larger than its text.
    const bool shrink = !_IsInline() && (fFlags & kFlagForeignBuffer) == 0
        && int64_t(fMaxLength) > int64_t(newLength) + newLength / 8 + 32;
    if (!shrink && newLength == fLength) {
        // Nothing to cut: keep a shared buffer shared.
        fFlags = uint8_t((fFlags & ~kFlagNull) | kFlagChanged);
        return;
    }
    if (shrink ? !_ReallocBuffer(newLength, true) : !_PrepareWrite(newLength))
        return;
    _SetLength(newLength);
}

void VString::SubString(int32_t pos, int32_t count)
{
    if (pos < 1 || pos > fLength || count <= 0) {
        Truncate(0);
        return;
    }
    const int32_t n = int32_t(std::min<int64_t>(count, fLength - pos + 1));
    if (pos > 1) {
        if (!_PrepareWrite(fLength))
            return;
        std::memmove(fString, fString + pos - 1, size_t(n) * sizeof(UniChar));
    }
    Truncate(n);
}

void VString::GetSubString(int32_t pos, int32_t count, VString& out) const
{
    if (&out == this) {
        out.SubString(pos, count);
        return;
    }
    if (pos < 1 || pos > fLength || count < 0) {
        out.Clear();
        return;
    }
    const int32_t n = int32_t(std::min<int64_t>(count, fLength - pos + 1));
    out.FromUniString(fString + pos - 1, n);
}

void VString::Exchange(UniChar find, UniChar replacement, int32_t startPos, int32_t maxCount)
{
    if (fLength == 0 || IsNull() || startPos < 1 || maxCount < 1)
        return;
    int32_t pos = FindUniChar(find, startPos);
    if (pos == 0)
        return;
    if (!_PrepareWrite(fLength))
        return;
    for (int32_t i = pos - 1, done = 0; i < fLength && done < maxCount; ++i) {
        if (fString[i] == find) {
            fString[i] = replacement;
            ++done;
        }
    }
    _SetLength(fLength);
}

namespace {

// Rebuilds text with the matches that findNext reports (0-based start, length; start < 0 ends).
template <typename FindNext>
void ExchangeMatches(VString& text, const VString& replacement, int32_t startPos, int32_t maxCount, FindNext findNext)
{
    if (text.IsEmpty() || startPos < 1 || maxCount < 1)
        return;
    VString result;
    const UniChar* src = text.GetCPointer();
    int32_t copied = 0;
    int32_t from = startPos - 1;
    int32_t done = 0;
    while (done < maxCount && from <= text.GetLength()) {
        int32_t matchLength = 0;
        const int32_t at = findNext(from, matchLength);
        if (at < 0)
            break;
        result.AppendUniChars(src + copied, at - copied);
        result.AppendString(replacement);
        copied = at + matchLength;
        from = std::max(copied, at + 1);
        ++done;
    }
    if (done == 0)
        return;
    result.AppendUniChars(src + copied, text.GetLength() - copied);
    text.FromString(result);
}

} // namespace

void VString::ExchangeRawString(const VString& find, const VString& replacement, int32_t startPos, int32_t maxCount)
{
    if (find.IsEmpty())
        return;
    const VString pattern(find.GetCPointer(), find.GetLength());
    const VString with(replacement.GetCPointer(), replacement.GetLength());
    ExchangeMatches(*this, with, startPos, maxCount, [&](int32_t from, int32_t& matchLength) {
        const int32_t pos = FindRawString(pattern, from + 1);
        matchLength = pattern.GetLength();
        return pos - 1;
    });
}

void VString::Exchange(const VString& find, const VString& replacement, int32_t startPos, int32_t maxCount,
                       bool diacritical, VCollator* collator)
{
    if (find.IsEmpty())
        return;
    const VCollator& rules = collator != nullptr ? *collator : VCollator::GetDefault();
    const VString pattern(find.GetCPointer(), find.GetLength());
    const VString with(replacement.GetCPointer(), replacement.GetLength());
    ExchangeMatches(*this, with, startPos, maxCount, [&](int32_t from, int32_t& matchLength) {
        const int32_t pos = rules.Find(fString, fLength, pattern.fString, pattern.fLength, from + 1, diacritical,
                                       &matchLength);
        return pos - 1;
    });
}

void VString::TrimeSpaces()
{
    int32_t first = 0;
    while (first < fLength && IsSpace(fString[first]))
        ++first;
    int32_t last = fLength;
    while (last > first && IsSpace(fString[last - 1]))
        --last;
    if (first == 0 && last == fLength)
        return;
    SubString(first + 1, last - first);
}

void VString::RemoveWhiteSpaces(bool leading, bool trailing)
{
    int32_t first = 0;
    int32_t last = fLength;
    if (leading) {
        while (first < fLength && VCollator::IsWhiteSpace(fString[first]))
            ++first;
    }
    if (trailing) {
        while (last > first && VCollator::IsWhiteSpace(fString[last - 1]))
            --last;
    }
    if (first == 0 && last == fLength)
        return;
    SubString(first + 1, last - first);
}

void VString::ConvertCarriageReturns(ECarriageReturnMode mode)
{
    if (mode == eCRM_NONE)
        return;
    const UniChar* lineEnd = mode == eCRM_CR ? u"\r" : (mode == eCRM_LF ? u"\n" : u"\r\n");
    const int32_t lineEndLength = mode == eCRM_CRLF ? 2 : 1;

    // Leave the string alone (and shared) when it already uses the wanted line ends.
    bool needed = false;
    for (int32_t i = 0; i < fLength && !needed; ++i) {
        const UniChar c = fString[i];
        if (c == u'\r') {
            const bool crlf = i + 1 < fLength && fString[i + 1] == u'\n';
            needed = mode != (crlf ? eCRM_CRLF : eCRM_CR);
            i += crlf ? 1 : 0;
        } else if (c == u'\n') {
            needed = mode != eCRM_LF;
        }
    }
    if (!needed)
        return;

    VString result;
    int32_t copied = 0;
    for (int32_t i = 0; i < fLength; ++i) {
        const UniChar c = fString[i];
        if (c != u'\r' && c != u'\n')
            continue;
        result.AppendUniChars(fString + copied, i - copied);
        result.AppendUniChars(lineEnd, lineEndLength);
        if (c == u'\r' && i + 1 < fLength && fString[i + 1] == u'\n')
            ++i;
        copied = i + 1;
    }
    result.AppendUniChars(fString + copied, fLength - copied);
    FromString(result);
}

namespace {

template <typename FindSeparator>
bool SplitPieces(const VString& text, int32_t separatorLength, std::vector<VString>& out, bool keepEmpty, bool trim,
                 FindSeparator findSeparator)
{
    out.clear();
    bool found = false;
    const UniChar* src = text.GetCPointer();
    const int32_t length = text.GetLength();
    int32_t start = 0;
    while (true) {
        const int32_t at = start <= length ? findSeparator(start) : -1;
        const int32_t end = at < 0 ? length : at;
        int32_t first = start;
        int32_t last = end;
        if (trim) {
            while (first < last && IsSpace(src[first]))
                ++first;
            while (last > first && IsSpace(src[last - 1]))
                --last;
        }
        if (last > first || keepEmpty)
            out.emplace_back(src + first, last - first);
        if (at < 0)
            break;
        found = true;
        start = at + separatorLength;
    }
    return found;
}

} // namespace

bool VString::GetSubStrings(UniChar separator, std::vector<VString>& out, bool keepEmpty, bool trim) const
{
    return SplitPieces(*this, 1, out, keepEmpty, trim, [this, separator](int32_t from) {
        return FindUniChar(separator, from + 1) - 1;
    });
}

bool VString::GetSubStrings(const VString& separator, std::vector<VString>& out, bool keepEmpty, bool trim) const
{
    if (separator.IsEmpty())
        return SplitPieces(*this, 0, out, keepEmpty, trim, [](int32_t) { return -1; });
    return SplitPieces(*this, separator.GetLength(), out, keepEmpty, trim, [this, &separator](int32_t from) {
        return FindRawString(separator, from + 1) - 1;
    });
}

void VString::Join(const std::vector<VString>& pieces, UniChar separator)
{
    Join(pieces, VString(&separator, 1));
}

void VString::Join(const std::vector<VString>& pieces, const VString& separator)
{
    int64_t total = 0;
    for (const VString& piece : pieces)
        total += piece.GetLength();
    if (!pieces.empty())
        total += int64_t(separator.GetLength()) * int64_t(pieces.size() - 1);
    const int32_t length = CheckedLength(total);
    if (length < 0) {
        ThrowAllocFailed();
        return;
    }
    VString result;
    if (!result.EnsureSize(length, false))
        return;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            result.AppendUniChars(separator.GetCPointer(), separator.GetLength());
        result.AppendUniChars(pieces[i].GetCPointer(), pieces[i].GetLength());
    }
    result._SetLength(result.GetLength());
    FromString(result);
}

VString operator+(const VString& a, const VString& b)
{
    VString result;
    const int32_t length = CheckedLength(int64_t(a.GetLength()) + b.GetLength());
    if (length >= 0 && result.EnsureSize(length, false)) {
        result.AppendUniChars(a.GetCPointer(), a.GetLength());
        result.AppendUniChars(b.GetCPointer(), b.GetLength());
    } else if (length < 0) {
        _ThrowError(VE_STRING_ALLOC_FAILED);
    }
    return result;
}

} // namespace nuvo
