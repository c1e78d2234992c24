#pragma once
// Linux platform layer: copies the extended attributes of one open file or folder to another.
// Only file descriptors, no paths.

#include <vector>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Copies every extended attribute of source onto destination. Attributes the destination
// refuses (a file system without user xattrs, a security label the process may not set) are
// dropped, as `cp -a` does; any other failure is returned as a native POSIX error. Keeps its
// name and value buffers between calls so that a tree copy allocates them once. Not
// thread-safe: one object per copy operation.
class XLinuxAttributeCopier {
public:
    [[nodiscard]] VError Copy(int source, int destination);

private:
    std::vector<char> fNames;
    std::vector<char> fValue;
};

} // namespace nuvo
