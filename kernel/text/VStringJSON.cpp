// The JSON string forms of VString (escaping for the JSON writer, unescaping for readers).

#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/text/VString.h"
#include "kernel/text/HexDigit.h"

namespace nuvo {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

} // namespace

void AppendJSONEscapedText(const UniChar* text, int32_t length, unsigned int options, std::u16string& out)
{
    const bool quoted = (options & 0x1) != 0;
    if (quoted)
        out.push_back(u'"');
    if (options & 0x10) {
        out.append(text, size_t(length));
    } else {
        const bool escapeAmpersand = (options & 0x400) != 0;
        int32_t run = 0;
        for (int32_t i = 0; i < length; ++i) {
            UniChar c = text[i];
            const bool special = c < 0x20 || c == u'"' || c == u'\\' || c == 0x7F
                || (escapeAmpersand && (c == u'&' || c == u'\''));
            if (!special)
                continue;
            out.append(text + run, size_t(i - run));
            run = i + 1;
            switch (c) {
            case 0x08: out.append(u"\\b"); break;
            case 0x09: out.append(u"\\t"); break;
            case 0x0A: out.append(u"\\n"); break;
            case 0x0C: out.append(u"\\f"); break;
            case 0x0D: out.append(u"\\r"); break;
            case u'"': out.append(u"\\\""); break;
            case u'\\': out.append(u"\\\\"); break;
            default:
                out.append(u"\\u00");
                out.push_back(UniChar(kHexDigits[c >> 4]));
                out.push_back(UniChar(kHexDigits[c & 0xF]));
                break;
            }
        }
        out.append(text + run, size_t(length - run));
    }
    if (quoted)
        out.push_back(u'"');
}

VError VString::GetJSONString(VString& out, unsigned int options) const
{
    if (!(options & 0x10) && int64_t(fLength) * 6 + 4 > 0x7FFFFFFF) {
        _ThrowError(VE_STRING_ALLOC_FAILED);
        return VE_STRING_ALLOC_FAILED;
    }
    std::u16string text;
    text.reserve(size_t(fLength) + 2);
    AppendJSONEscapedText(fString, fLength, options, text);
    out.FromUniString(text.data(), int32_t(text.size()));
    if (out.GetLength() != int32_t(text.size())) {
        _ThrowError(VE_STRING_ALLOC_FAILED);
        return VE_STRING_ALLOC_FAILED;
    }
    return VE_OK;
}

bool VString::FromJSONString(const VString& text)
{
    const UniChar* p = text.GetCPointer();
    int32_t length = text.GetLength();
    int32_t begin = 0;
    int32_t end = length;
    if (length >= 2 && p[0] == u'"' && p[length - 1] == u'"') {
        begin = 1;
        end = length - 1;
    }
    std::u16string result;
    result.reserve(size_t(end - begin));
    bool ok = true;
    for (int32_t i = begin; i < end; ++i) {
        UniChar c = p[i];
        if (c != u'\\') {
            result.push_back(c);
            continue;
        }
        if (++i >= end) {
            ok = false;
            break;
        }
        switch (p[i]) {
        case u'b': result.push_back(0x08); break;
        case u'f': result.push_back(0x0C); break;
        case u'n': result.push_back(0x0A); break;
        case u'r': result.push_back(0x0D); break;
        case u't': result.push_back(0x09); break;
        case u'u': {
            if (end - i - 1 < 4) {
                ok = false;
                i = end;
                break;
            }
            unsigned value = 0;
            for (int k = 1; k <= 4; ++k) {
                int digit = HexDigitValue(p[i + k]);
                if (digit < 0)
                    ok = false;
                value = value * 16 + unsigned(digit < 0 ? 0 : digit);
            }
            result.push_back(UniChar(value));
            i += 4;
            break;
        }
        default: result.push_back(p[i]); break;
        }
    }
    FromUniString(result.data(), int32_t(result.size()));
    return ok;
}

} // namespace nuvo
