// VString's printf-style formatting, placeholder substitution and number text.

#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/text/RealText.h"
#include "kernel/text/VString.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "kernel/values/VValueSingle.h"

namespace nuvo {

namespace {

// Both limits include room for the terminating zero.
constexpr size_t kRewrittenFormatSize = 1024;
constexpr size_t kFormattedOutputSize = 1024;

// Printed by vsnprintf in place of each toolkit object, then replaced by the object's text.
constexpr char kObjectMarker[] = ";;;%p;;;";
constexpr UniChar kMarkerFence[] = u";;;";
constexpr int32_t kMarkerFenceLength = 3;

// va_list is an array type on some ABIs; wrapping it lets helpers advance it through a reference.
struct ArgumentCursor {
    va_list args;
};

enum class LengthModifier { None, Char, Short, Long, LongLong, LongDouble, IntMax, Size, PtrDiff };

void SkipSignedArgument(ArgumentCursor& cursor, LengthModifier length)
{
    switch (length) {
    case LengthModifier::Long: (void)va_arg(cursor.args, long); break;
    case LengthModifier::LongLong:
    case LengthModifier::LongDouble: (void)va_arg(cursor.args, long long); break;
    case LengthModifier::IntMax: (void)va_arg(cursor.args, intmax_t); break;
    case LengthModifier::Size: (void)va_arg(cursor.args, size_t); break;
    case LengthModifier::PtrDiff: (void)va_arg(cursor.args, ptrdiff_t); break;
    default: (void)va_arg(cursor.args, int); break;  // char and short arrive promoted to int
    }
}

void SkipUnsignedArgument(ArgumentCursor& cursor, LengthModifier length)
{
    switch (length) {
    case LengthModifier::Long: (void)va_arg(cursor.args, unsigned long); break;
    case LengthModifier::LongLong:
    case LengthModifier::LongDouble: (void)va_arg(cursor.args, unsigned long long); break;
    case LengthModifier::IntMax: (void)va_arg(cursor.args, uintmax_t); break;
    case LengthModifier::Size: (void)va_arg(cursor.args, size_t); break;
    case LengthModifier::PtrDiff: (void)va_arg(cursor.args, ptrdiff_t); break;
    default: (void)va_arg(cursor.args, unsigned int); break;
    }
}

// Takes the argument of one standard conversion off the cursor, with the type vsnprintf will
// read, so that a later %S, %A or %V finds its own argument whatever came before it.
void SkipConversionArgument(ArgumentCursor& cursor, char conversion, LengthModifier length)
{
    switch (conversion) {
    case 'd': case 'i':
        SkipSignedArgument(cursor, length);
        break;
    case 'o': case 'u': case 'x': case 'X': case 'b': case 'B':
        SkipUnsignedArgument(cursor, length);
        break;
    case 'c':
        if (length == LengthModifier::Long)
            (void)va_arg(cursor.args, wint_t);
        else
            (void)va_arg(cursor.args, int);
        break;
    case 'C':
        (void)va_arg(cursor.args, wint_t);
        break;
    case 's': case 'S': case 'p': case 'n':
        (void)va_arg(cursor.args, void*);
        break;
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        if (length == LengthModifier::LongDouble)
            (void)va_arg(cursor.args, long double);
        else
            (void)va_arg(cursor.args, double);
        break;
    default:
        break;  // %%, %m and unknown letters take no argument
    }
}

// The text printed for the object of a %S, %A or %V conversion.
void GetObjectText(char conversion, const void* pointer, VString& out)
{
    // Callers pass the object's own pointer; every toolkit class has its VObject base first.
    const VObject* object = static_cast<const VObject*>(pointer);
    if (object == nullptr) {
        out.FromCString("@@invalid VObject@@");
        return;
    }
    switch (conversion) {
    case 'S':
        if (const VString* text = dynamic_cast<const VString*>(object))
            out.FromString(*text);
        else
            out.FromCString("@@invalid VString@@");
        break;
    case 'A':
        if (const VValueSingle* value = dynamic_cast<const VValueSingle*>(object))
            value->GetString(out);
        else
            out.FromCString("@@invalid VValueSingle@@");
        break;
    default:
        object->DebugDump(out);
        break;
    }
}

// The format handed to vsnprintf. A piece that does not fit ends it: a conversion is never cut
// in the middle, so vsnprintf never reads an argument the caller did not mean.
class RewrittenFormat {
public:
    RewrittenFormat() { fBuffer[0] = '\0'; }

    // All or nothing: for conversions.
    bool Append(const char* bytes, size_t count)
    {
        if (fFull || fLength + count >= kRewrittenFormatSize) {
            fFull = true;
            return false;
        }
        _Copy(bytes, count);
        return true;
    }
    // As much as fits: for plain text.
    void AppendCut(const char* bytes, size_t count)
    {
        size_t room = kRewrittenFormatSize - 1 - fLength;
        if (count > room) {
            count = room;
            fFull = true;
        }
        _Copy(bytes, count);
    }
    bool IsFull() const { return fFull; }
    const char* Get() const { return fBuffer; }

private:
    void _Copy(const char* bytes, size_t count)
    {
        std::memcpy(fBuffer + fLength, bytes, count);
        fLength += count;
        fBuffer[fLength] = '\0';
    }

    char fBuffer[kRewrittenFormatSize];
    size_t fLength = 0;
    bool fFull = false;
};

bool IsFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\'' || c == 'I';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Parses the conversion that starts at format[0] == '%', takes its arguments off the cursor and
// returns its length in bytes.
size_t SkipStandardConversion(const char* format, ArgumentCursor& cursor)
{
    size_t i = 1;
    while (IsFlag(format[i]))
        ++i;
    if (format[i] == '*') {
        (void)va_arg(cursor.args, int);
        ++i;
    } else {
        while (IsDigit(format[i]))
            ++i;
    }
    if (format[i] == '.') {
        ++i;
        if (format[i] == '*') {
            (void)va_arg(cursor.args, int);
            ++i;
        } else {
            while (IsDigit(format[i]))
                ++i;
        }
    }
    LengthModifier length = LengthModifier::None;
    switch (format[i]) {
    case 'h':
        ++i;
        length = LengthModifier::Short;
        if (format[i] == 'h') {
            ++i;
            length = LengthModifier::Char;
        }
        break;
    case 'l':
        ++i;
        length = LengthModifier::Long;
        if (format[i] == 'l') {
            ++i;
            length = LengthModifier::LongLong;
        }
        break;
    case 'q': ++i; length = LengthModifier::LongLong; break;
    case 'L': ++i; length = LengthModifier::LongDouble; break;
    case 'j': ++i; length = LengthModifier::IntMax; break;
    case 'z': case 'Z': ++i; length = LengthModifier::Size; break;
    case 't': ++i; length = LengthModifier::PtrDiff; break;
    default: break;
    }
    if (format[i] == '\0')
        return i;  // cut short: vsnprintf prints what is there and reads nothing
    SkipConversionArgument(cursor, format[i], length);
    return i + 1;
}

// Formats into the string: the standard conversions through vsnprintf, then the recorded
// texts of the toolkit's objects in place of their markers. With replace, the old content goes
// only once the objects' texts are taken, so a string may print itself.
void FormatToString(VString& target, bool replace, const char* format, va_list args)
{
    assert(format != nullptr);
    if (format == nullptr)
        return;

    RewrittenFormat rewritten;
    std::vector<VString> objectTexts;
    ArgumentCursor cursor;
    va_copy(cursor.args, args);
    for (const char* p = format; *p != '\0' && !rewritten.IsFull();) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            size_t count = next == nullptr ? std::strlen(p) : size_t(next - p);
            rewritten.AppendCut(p, count);
            p += count;
            continue;
        }
        char letter = p[1];
        if (letter == 'S' || letter == 'A' || letter == 'V') {
            const void* object = va_arg(cursor.args, const void*);
            if (!rewritten.Append(kObjectMarker, sizeof kObjectMarker - 1))
                break;
            objectTexts.emplace_back();
            GetObjectText(letter, object, objectTexts.back());
            p += 2;
        } else if (letter == '%') {
            if (!rewritten.Append(p, 2))
                break;
            p += 2;
        } else {
            size_t count = SkipStandardConversion(p, cursor);
            if (!rewritten.Append(p, count))
                break;
            p += count;
        }
    }
    va_end(cursor.args);

    char output[kFormattedOutputSize];
    va_list printArgs;
    va_copy(printArgs, args);
    int printed = std::vsnprintf(output, sizeof output, rewritten.Get(), printArgs);
    va_end(printArgs);
    if (printed < 0)
        output[0] = '\0';

    if (replace)
        target.Truncate(0);
    int32_t searchFrom = target.GetLength() + 1;
    target.AppendCString(output);

    if (objectTexts.empty())
        return;
    const VString fence(kMarkerFence, kMarkerFenceLength);
    for (const VString& text : objectTexts) {
        int32_t open = target.FindRawString(fence, searchFrom);
        if (open == 0)
            break;
        int32_t close = target.FindRawString(fence, open + kMarkerFenceLength);
        if (close == 0)
            break;
        target.Replace(text, open, close + kMarkerFenceLength - open);
        searchFrom = open + text.GetLength();
    }
}

} // namespace

void VString::Printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatToString(*this, true, format, args);
    va_end(args);
}

void VString::VPrintf(const char* format, va_list args)
{
    FormatToString(*this, true, format, args);
}

void VString::AppendPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatToString(*this, false, format, args);
    va_end(args);
}

// ---------------------------------------------------------------------------------------------
// Placeholders

namespace {

bool ContainsSpace(const UniChar* units, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        if (units[i] == u' ')
            return true;
    }
    return false;
}

} // namespace

VString& VString::Format(const VValueBag* bag, bool removeUnknown)
{
    if (bag == nullptr || bag->IsEmpty() || fLength < 2)
        return *this;
    VString name;
    VString value;
    int32_t pos = 1;
    while (pos <= fLength) {
        int32_t open = FindUniChar(u'{', pos);
        if (open == 0)
            break;
        if (GetUniChar(open + 1) == u'{') {
            pos = open + 2;
            continue;
        }
        int32_t close = FindUniChar(u'}', open + 1);
        if (close == 0)
            break;
        if (GetUniChar(close + 1) == u'}') {
            pos = close + 2;
            continue;
        }
        int32_t nameLength = close - open - 1;
        if (nameLength == 0 || ContainsSpace(fString + open, nameLength)) {
            pos = open + 1;
            continue;
        }
        GetSubString(open + 1, nameLength, name);
        // Attributes only: an element list of the same name is not a value.
        const VValueSingle* attribute = bag->GetAttribute(StPackedDictionaryKey(name));
        if (attribute != nullptr) {
            attribute->GetString(value);
            Replace(value, open, nameLength + 2);
            // The inserted text is never searched again.
            pos = open + value.GetLength();
        } else if (removeUnknown) {
            Remove(open, nameLength + 2);
            pos = open;
        } else {
            pos = open + 1;
        }
    }
    return *this;
}

// ---------------------------------------------------------------------------------------------
// Number text

namespace {

// Room for "-9223372036854775808" or "18446744073709551615" and the terminator.
constexpr size_t kDecimalBufferSize = 24;

// Writes the digits backwards from the end of buffer; returns the first character. The
// magnitude is unsigned so that the most negative values need no special case.
const char* DecimalText(uint64_t magnitude, bool negative, char (&buffer)[kDecimalBufferSize])
{
    char* p = buffer + kDecimalBufferSize - 1;
    *p = '\0';
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = '-';
    return p;
}

const char* SignedDecimalText(int64_t value, char (&buffer)[kDecimalBufferSize])
{
    uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    return DecimalText(magnitude, value < 0, buffer);
}

void HexText(uint64_t value, bool pad, VString& out)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char digits[16];
    int count = 0;
    do {
        digits[count++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    int width = count;
    if (pad)
        width = count <= 4 ? 4 : (count <= 8 ? 8 : (count + 7) / 8 * 8);
    char text[17];
    int length = 0;
    for (int zeros = width - count; zeros > 0; --zeros)
        text[length++] = '0';
    while (count > 0)
        text[length++] = digits[--count];
    text[length] = '\0';
    out.FromCString(text);
}

// The bytes of a four-character code, most significant first, without trailing zero bytes.
size_t OsTypeBytes(OsType value, char (&bytes)[4])
{
    bytes[0] = char(value >> 24);
    bytes[1] = char(value >> 16);
    bytes[2] = char(value >> 8);
    bytes[3] = char(value);
    size_t count = 4;
    while (count > 0 && bytes[count - 1] == '\0')
        --count;
    return count;
}

void AppendOsTypeBytes(VString& out, OsType value)
{
    char bytes[4];
    size_t count = OsTypeBytes(value, bytes);
    bool ascii = true;
    for (size_t i = 0; i < count; ++i)
        ascii = ascii && uint8_t(bytes[i]) < 0x80;
    if (ascii) {
        for (size_t i = 0; i < count; ++i)
            out.AppendUniChar(UniChar(uint8_t(bytes[i])));
    } else {
        out.AppendBlock(bytes, count, CharSet::UTF8);
    }
}

// There are no per-task international settings yet: the decimal separator is the period.
constexpr UniChar kDecimalSeparator = u'.';

} // namespace

void VString::FromLong(int32_t value)
{
    VString::FromLong8(value);
}

void VString::FromLong8(int64_t value)
{
    Truncate(0);
    VString::AppendLong8(value);
}

void VString::FromULong8(uint64_t value)
{
    Truncate(0);
    AppendULong8(value);
}

void VString::FromByte(int8_t value)
{
    VString::FromLong8(value);
}

void VString::FromWord(int16_t value)
{
    VString::FromLong8(value);
}

void VString::AppendLong(int32_t value)
{
    AppendLong8(value);
}

void VString::AppendLong8(int64_t value)
{
    char buffer[kDecimalBufferSize];
    AppendCString(SignedDecimalText(value, buffer));
}

void VString::AppendULong8(uint64_t value)
{
    char buffer[kDecimalBufferSize];
    AppendCString(DecimalText(value, false, buffer));
}

void VString::FromReal(double value)
{
    Truncate(0);
    AppendReal(value);
}

void VString::AppendReal(double value)
{
    char buffer[255];
    std::snprintf(buffer, sizeof buffer, "%.14G", value);
    AppendCString(buffer);
}

void VString::FromBoolean(bool value)
{
    FromCString(value ? "true" : "false");
}

void VString::FromHexLong(int8_t value, bool pad)
{
    HexText(uint8_t(value), pad, *this);
}

void VString::FromHexLong(uint8_t value, bool pad)
{
    HexText(value, pad, *this);
}

void VString::FromHexLong(int32_t value, bool pad)
{
    HexText(uint32_t(value), pad, *this);
}

void VString::FromHexLong(uint32_t value, bool pad)
{
    HexText(value, pad, *this);
}

void VString::FromHexLong(int64_t value, bool pad)
{
    HexText(uint64_t(value), pad, *this);
}

void VString::FromHexLong(uint64_t value, bool pad)
{
    HexText(value, pad, *this);
}

void VString::FromOsType(OsType value)
{
    Truncate(0);
    AppendOsTypeBytes(*this, value);
}

void VString::AppendOsType(OsType value)
{
    AppendOsTypeBytes(*this, value);
}

OsType VString::GetOsType() const
{
    std::string bytes = to_string(*this);
    if (bytes.size() > 4)
        return 0;
    OsType value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | (i < bytes.size() ? uint8_t(bytes[i]) : 0u);
    return value;
}

int64_t VString::GetLong8() const
{
    // Unsigned arithmetic: a text with too many digits wraps instead of overflowing.
    uint64_t accumulator = 0;
    bool negative = false;
    bool sawDigit = false;
    for (int32_t i = 0; i < fLength; ++i) {
        UniChar unit = fString[i];
        if (unit >= u'0' && unit <= u'9') {
            accumulator = accumulator * 10 + uint64_t(unit - u'0');
            sawDigit = true;
        } else if (unit == u'-') {
            if (!sawDigit)
                negative = true;
        } else if (unit == kDecimalSeparator) {
            break;
        }
    }
    return int64_t(negative ? uint64_t(0) - accumulator : accumulator);
}

int32_t VString::GetLong() const
{
    int64_t value = GetLong8();
    return (value >= INT32_MIN && value <= INT32_MAX) ? int32_t(value) : 0;
}

int16_t VString::GetWord() const
{
    int64_t value = GetLong8();
    return (value >= INT16_MIN && value <= INT16_MAX) ? int16_t(value) : 0;
}

double VString::GetReal() const
{
    return GetRealCheckOverflow(nullptr);
}

double VString::GetRealCheckOverflow(bool* outOverflow) const
{
    std::string bytes = to_string(*this);
    int savedErrno = errno;
    errno = 0;
    char* end = nullptr;
    double value = StrToRealC(bytes.c_str(), &end);
    if (outOverflow != nullptr)
        *outOverflow = (std::isinf(value) || value == 0) && errno == ERANGE;
    errno = savedErrno;
    return value;
}

bool VString::GetBoolean() const
{
    static constexpr UniChar kTrue[] = u"true";
    return EqualToString(VString(kTrue, 4), false);
}

uint64_t VString::GetHexLong() const
{
    uint64_t value = 0;
    for (int32_t i = 0; i < fLength; ++i) {
        UniChar unit = fString[i];
        if (unit >= u'0' && unit <= u'9')
            value = (value << 4) | uint64_t(unit - u'0');
        else if (unit >= u'A' && unit <= u'F')
            value = (value << 4) | uint64_t(unit - u'A' + 10);
        else if (unit >= u'a' && unit <= u'f')
            value = (value << 4) | uint64_t(unit - u'a' + 10);
    }
    return value;
}

VString ToString(long long value)
{
    VString text;
    text.AppendLong8(value);
    return text;
}

VString ToString(unsigned long long value)
{
    VString text;
    text.AppendULong8(value);
    return text;
}

VString ToString(int value)
{
    return ToString(static_cast<long long>(value));
}

VString ToString(unsigned long value)
{
    return ToString(static_cast<unsigned long long>(value));
}

std::string to_string(const VString& text)
{
    const UniChar* units = text.GetCPointer();
    int32_t length = text.GetLength();
    std::string bytes;
    bool ascii = true;
    for (int32_t i = 0; i < length && ascii; ++i)
        ascii = units[i] < 0x80;
    if (ascii) {
        bytes.resize(size_t(length));
        for (int32_t i = 0; i < length; ++i)
            bytes[size_t(i)] = char(units[i]);
        return bytes;
    }
    // A UTF-16 code unit never needs more than 3 UTF-8 bytes (a surrogate pair takes 4 for two).
    bytes.resize(size_t(length) * 3 + 1);
    size_t written = text.ToBlock(bytes.data(), bytes.size(), CharSet::UTF8, true, false);
    bytes.resize(written);
    return bytes;
}

} // namespace nuvo
