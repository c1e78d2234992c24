// Linux system queries for the process frame.
// Holds uname, /proc/self/exe and getpwuid_r calls only.

#include "kernel/platform/XLinuxSystem.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace nuvo {

namespace {

bool ParseNumber(const char*& p, int& out)
{
    if (*p < '0' || *p > '9')
        return false;
    long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > 1000000)
            return false;
        ++p;
    }
    out = int(value);
    return true;
}

} // namespace

bool XLinuxSystem::ParseKernelRelease(const char* release, int& major, int& minor)
{
    if (!release)
        return false;
    const char* p = release;
    int maj = 0;
    int min = 0;
    if (!ParseNumber(p, maj) || *p != '.')
        return false;
    ++p;
    if (!ParseNumber(p, min))
        return false;
    major = maj;
    minor = min;
    return true;
}

bool XLinuxSystem::IsKernelVersionOrAbove(int major, int minor)
{
    struct utsname names;
    if (::uname(&names) != 0)
        return false;
    int runningMajor = 0;
    int runningMinor = 0;
    if (!ParseKernelRelease(names.release, runningMajor, runningMinor))
        return false;
    return runningMajor > major || (runningMajor == major && runningMinor >= minor);
}

bool XLinuxSystem::GetExecutablePath(std::string& path)
{
    // readlink does not say whether the result was truncated: grow until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (size_t(length) < buffer.size()) {
            path.assign(buffer.data(), size_t(length));
            return true;
        }
        if (buffer.size() >= 65536)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool XLinuxSystem::GetHomeDirectory(std::string& path)
{
    // A relative HOME names no folder: the password database answers instead.
    if (const char* home = std::getenv("HOME"); home && *home == '/') {
        path = home;
        return true;
    }
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 4096);
    struct passwd entry;
    struct passwd* found = nullptr;
    for (;;) {
        int result = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (result == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (result != 0 || !found || !found->pw_dir || !*found->pw_dir)
            return false;
        path = found->pw_dir;
        return true;
    }
}

} // namespace nuvo
