#pragma once
// Exact conversions between file-name bytes and VString text. Linux names are bytes, not text:
// the valid UTF-8 parts decode as usual and every other byte b becomes the lone surrogate
// U+DC00+b, which converts back to b. Any byte string therefore survives the round trip.

#include <cstddef>
#include <string>

namespace nuvo {

class VString;

// Replaces out with the decoded bytes. Thread-safe (no shared state).
void FileNameBytesToString(const char* bytes, size_t length, VString& out);
VString FileNameBytesToString(const std::string& bytes);

// The bytes of text: UTF-8, except that U+DC80..U+DCFF become the single bytes 0x80..0xFF.
// Other lone surrogates, which no name read from disk produces, are written as their 3-byte
// form so that no unit is lost silently.
std::string FileNameStringToBytes(const VString& text);

} // namespace nuvo
