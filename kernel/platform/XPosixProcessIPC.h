#pragma once
// POSIX signal set-up of the process frame: handlers for SIGTERM, SIGINT and SIGQUIT.
// Holds no data; the handlers reach the process object through VProcess::Get().

#include "kernel/base/VObject.h"

namespace nuvo {

// Installs the termination handlers (process-wide; the last installation wins). The handlers
// are async-signal-safe: they write one fixed line with write(2) and mark the main task dying
// through VProcess::QuitAsynchronously, which takes no lock and allocates nothing.
class XPosixProcessIPC : public VObject {
public:
    // sigaction for SIGTERM, SIGINT, SIGQUIT in that order; false at the first that fails.
    [[nodiscard]] bool Init();

    // The exact bytes written on standard output when SIGINT arrives.
    static constexpr char kCtrlCLine[] = "\n (ctrl-c has been received - quit)\n\n";
};

} // namespace nuvo
