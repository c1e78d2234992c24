#pragma once
// POSIX side of the command-line process frame: handlers for SIGTERM, SIGINT and SIGQUIT, and
// the closing of the standard streams.
// Holds no data; the handlers reach the process object through VProcess::Get().

#include "kernel/base/VObject.h"

namespace nuvo {

// Installs the termination handlers (process-wide; the last installation wins). The handlers
// are async-signal-safe: they write one fixed line with write(2) and mark the main task dying
// through VProcess::QuitAsynchronously, which takes no lock and allocates nothing.
class XPosixProcessIPC : public VObject {
public:
    // Ignores SIGPIPE, then sigaction for SIGTERM, SIGINT, SIGQUIT in that order; false at the
    // first that fails.
    [[nodiscard]] bool Init();

    // The exact bytes written on standard output when SIGINT arrives.
    static constexpr char kCtrlCLine[] = "\n (ctrl-c has been received - quit)\n\n";

    // Closes the three standard streams (the peer reading them sees end of file) and leaves
    // descriptors 0, 1 and 2 open on /dev/null, so that no file opened later takes one of those
    // numbers and becomes a child's standard stream. The stdio objects stay usable (writes to
    // them are discarded).
    static void CloseStandardStreams();
};

} // namespace nuvo
