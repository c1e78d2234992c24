#pragma once
// POSIX calls of the command-line parser: whether standard output is a terminal, and canonical
// paths. Texts cross this boundary as UTF-8 std::string; no toolkit error records are pushed here.

#include <string>

namespace nuvo {

// Static queries; every function is thread-safe.
class XPosixCommandLine {
public:
    // True when standard output is a terminal and NO_COLOR is unset or empty.
    static bool IsColourTerminalOutput();

    // realpath of path; isFolder tells whether it names a directory. False when it cannot be
    // resolved (missing, a loop, a component that is not a folder, no access).
    static bool ResolvePath(const std::string& path, std::string& canonical, bool& isFolder);
};

} // namespace nuvo
