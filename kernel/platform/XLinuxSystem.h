#pragma once
// Linux system queries for the process frame: kernel version, executable location, home folder.
// Texts cross this boundary as UTF-8 std::string; no toolkit error records are pushed here.

#include <string>

namespace nuvo {

// Static queries; every function is thread-safe.
class XLinuxSystem {
public:
    // Reads "major.minor" at the start of a kernel release text such as "6.1.0-18-amd64".
    // False when the text does not begin with two dot-separated numbers.
    static bool ParseKernelRelease(const char* release, int& major, int& minor);

    // True when the running kernel is major.minor or later. False also when uname fails.
    static bool IsKernelVersionOrAbove(int major, int minor);

    // Full path of the running executable (/proc/self/exe, symbolic links resolved).
    static bool GetExecutablePath(std::string& path);

    // $HOME when it is a full path, else the password database's home of the real user.
    static bool GetHomeDirectory(std::string& path);
};

} // namespace nuvo
