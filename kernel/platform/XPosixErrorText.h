#pragma once
// POSIX platform layer: the C library's message texts for errno values. Holds no other OS calls.
// Texts cross this boundary as UTF-8 std::string.

#include <string>

namespace nuvo {

// Stateless and thread-safe (uses the reentrant XSI form of strerror_r).
class XPosixErrorText {
public:
    // The C library's text for errnoValue, or an empty text when the library has none (an
    // unknown number, or a text that does not fit 1024 bytes and came back empty).
    static std::string GetText(int errnoValue);
};

} // namespace nuvo
