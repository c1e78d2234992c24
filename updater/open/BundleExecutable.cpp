#include "updater/open/BundleExecutable.h"

#include <cstdint>
#include <fstream>

namespace nuvo {

namespace {

constexpr size_t kMaxPlistSize = 1024 * 1024;

void AppendUTF8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// XML character data: the five named entities and numeric references. False on a malformed one.
bool DecodeText(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        size_t end = text.find(';', i);
        if (end == std::string::npos)
            return false;
        std::string name = text.substr(i + 1, end - i - 1);
        i = end + 1;
        static const struct { const char* name; char value; } kNamed[] = {
            { "amp", '&' }, { "lt", '<' }, { "gt", '>' }, { "quot", '"' }, { "apos", '\'' } };
        bool done = false;
        for (const auto& entity : kNamed) {
            if (name == entity.name) {
                out += entity.value;
                done = true;
            }
        }
        if (done)
            continue;
        if (name.size() < 2 || name[0] != '#')
            return false;
        const bool hex = name[1] == 'x';
        uint32_t code = 0;
        size_t digits = 0;
        for (size_t k = hex ? 2 : 1; k < name.size(); ++k, ++digits) {
            char c = name[k];
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = uint32_t(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                digit = uint32_t(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                digit = uint32_t(c - 'A' + 10);
            else
                return false;
            code = code * (hex ? 16 : 10) + digit;
            if (code > 0x10FFFF)
                return false;
        }
        if (digits == 0 || code == 0 || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        AppendUTF8(out, code);
    }
    return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

std::string ReadBundleExecutableName(const std::string& plistText)
{
    const std::string key = "<key>CFBundleExecutable</key>";
    size_t at = plistText.find(key);
    if (at == std::string::npos)
        return {};
    at += key.size();
    while (at < plistText.size() && IsSpace(plistText[at]))
        ++at;
    const std::string open = "<string>";
    if (plistText.compare(at, open.size(), open) != 0)
        return {};
    at += open.size();
    size_t end = plistText.find("</string>", at);
    std::string name;
    if (end == std::string::npos || !DecodeText(plistText.substr(at, end - at), name))
        return {};
    // The executable lives directly in Contents/MacOS.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos
        || name.find('\0') != std::string::npos)
        return {};
    return name;
}

std::string BundleExecutablePath(const std::string& bundlePath)
{
    std::string name;
    std::ifstream stream(bundlePath + "/Contents/Info.plist", std::ios::binary);
    if (stream) {
        std::string text;
        char buffer[4096];
        while (text.size() < kMaxPlistSize && stream.read(buffer, sizeof buffer).gcount() > 0)
            text.append(buffer, size_t(stream.gcount()));
        name = ReadBundleExecutableName(text);
    }
    if (name.empty()) {
        size_t slash = bundlePath.rfind('/');
        name = bundlePath.substr(slash == std::string::npos ? 0 : slash + 1);
        // "Client.app" starts "Client"; a name that is all extension (".app") stays whole.
        size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0)
            name.erase(dot);
    }
    return bundlePath + "/Contents/MacOS/" + name;
}

} // namespace nuvo
