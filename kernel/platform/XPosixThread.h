#pragma once
// POSIX platform layer: starting detached system threads and naming the calling thread.
// Holds no other OS calls. Texts cross this boundary as UTF-8.

#include <cstddef>
#include <string>

namespace nuvo {

// Stateless and thread-safe.
class XPosixThread {
public:
    using EntryFunction = void (*)(void* argument);

    // Starts a detached thread running entry(argument) on a stack of at least stackSize bytes
    // (the system's default when that is larger). Returns 0, or the errno value of the failure,
    // in which case entry never runs.
    [[nodiscard]] static int StartDetached(size_t stackSize, EntryFunction entry, void* argument);

    // Names the calling thread for debuggers and /proc. The kernel keeps at most 15 bytes; a
    // longer name is cut on a UTF-8 character boundary.
    static void SetCurrentThreadName(const std::string& utf8Name);

    // The name as the kernel will keep it (exposed for tests).
    static std::string TruncateThreadName(const std::string& utf8Name);
};

} // namespace nuvo
