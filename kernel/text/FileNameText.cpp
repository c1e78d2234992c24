#include "kernel/text/FileNameText.h"

#include "kernel/text/VString.h"

namespace nuvo {

namespace {

constexpr UniChar kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at bytes[i] and its code point; 0 when it is not one
// (overlong forms, surrogates, values above U+10FFFF and truncated sequences are not).
size_t DecodeOne(const unsigned char* bytes, size_t length, size_t i, char32_t& out)
{
    const unsigned char lead = bytes[i];
    size_t count;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
        minimum = 0x80;
        out = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        minimum = 0x800;
        out = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        minimum = 0x10000;
        out = lead & 0x07;
    } else {
        return 0;
    }
    if (length - i < count)
        return 0;
    for (size_t k = 1; k < count; ++k) {
        const unsigned char next = bytes[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        out = (out << 6) | (next & 0x3F);
    }
    if (out < minimum || out > 0x10FFFF || (out >= 0xD800 && out <= 0xDFFF))
        return 0;
    return count;
}

void AppendUtf8(std::string& bytes, char32_t c)
{
    if (c < 0x80) {
        bytes.push_back(char(c));
    } else if (c < 0x800) {
        bytes.push_back(char(0xC0 | (c >> 6)));
        bytes.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        bytes.push_back(char(0xE0 | (c >> 12)));
        bytes.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        bytes.push_back(char(0x80 | (c & 0x3F)));
    } else {
        bytes.push_back(char(0xF0 | (c >> 18)));
        bytes.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        bytes.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        bytes.push_back(char(0x80 | (c & 0x3F)));
    }
}

} // namespace

void FileNameBytesToString(const char* bytes, size_t length, VString& out)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    // Never more units than bytes.
    UniChar* units = out.GetCPointerForWrite(int32_t(length));
    if (!units) {
        out.Clear();
        return;
    }
    int32_t written = 0;
    for (size_t i = 0; i < length;) {
        if (in[i] < 0x80) {
            units[written++] = in[i++];
            continue;
        }
        char32_t c;
        if (size_t count = DecodeOne(in, length, i, c)) {
            if (c >= 0x10000) {
                c -= 0x10000;
                units[written++] = UniChar(0xD800 + (c >> 10));
                units[written++] = UniChar(0xDC00 + (c & 0x3FF));
            } else {
                units[written++] = UniChar(c);
            }
            i += count;
        } else {
            units[written++] = UniChar(kEscapeBase + in[i++]);
        }
    }
    (void)out.Validate(written);
}

VString FileNameBytesToString(const std::string& bytes)
{
    VString text;
    FileNameBytesToString(bytes.data(), bytes.size(), text);
    return text;
}

std::string FileNameStringToBytes(const VString& text)
{
    const UniChar* units = text.GetCPointer();
    const int32_t length = text.GetLength();
    std::string bytes;
    bytes.reserve(size_t(length));
    for (int32_t i = 0; i < length; ++i) {
        const UniChar unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(bytes, 0x10000 + ((char32_t(unit - 0xD800) << 10) | (units[i + 1] - 0xDC00)));
            ++i;
        } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            bytes.push_back(char(unit - kEscapeBase));
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace nuvo
