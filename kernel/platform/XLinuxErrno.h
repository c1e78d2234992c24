#pragma once
// Linux platform layer: the one place where errno becomes a toolkit error code for the folder,
// tree-copy, trash and iteration code. Holds no other OS calls.

#include "kernel/base/VTypes.h"

namespace nuvo {

// Turns a saved errno value into a native POSIX error code. Callers save errno right after the
// failing call, before any clean-up that could change it. A zero errno (a call that failed
// without saying why) becomes EIO so that a failure is never reported as success.
inline VError XLinuxErrnoToError(int savedErrno)
{
    return MakePosixError(savedErrno != 0 ? savedErrno : 5 /* EIO */);
}

} // namespace nuvo
