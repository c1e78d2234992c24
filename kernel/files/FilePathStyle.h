#pragma once

#include <cstdint>

namespace nuvo {

// The style of a path text given to or taken from the toolkit. On Linux the native style is the
// POSIX form itself, so the two differ only in how relative texts are combined.
enum class FilePathStyle : int32_t {
    Native = 0,
    Posix = 1,
};

} // namespace nuvo
