// POSIX platform layer: the C library's message texts for errno values. Holds no other OS calls.

#include "kernel/platform/XPosixErrorText.h"

#include <cerrno>
#include <cstddef>

// The compiler defines _GNU_SOURCE, which turns strerror_r into the GNU variant: that one never
// reports an unknown number and may ignore the buffer. The XSI variant is exported by glibc under
// this name; it reports EINVAL for numbers without a text and ERANGE for a short buffer.
extern "C" int __xpg_strerror_r(int errnum, char* buffer, size_t size);

namespace nuvo {

std::string XPosixErrorText::GetText(int errnoValue)
{
    char buffer[1024];
    buffer[0] = 0;
    int result = __xpg_strerror_r(errnoValue, buffer, sizeof(buffer));
    // ERANGE leaves a truncated but terminated text, which is still worth showing.
    if ((result == 0 || result == ERANGE) && buffer[0] != 0)
        return std::string(buffer);
    return std::string();
}

} // namespace nuvo
