// POSIX calls of the command-line parser: isatty, realpath, stat.

#include "kernel/platform/XPosixCommandLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace nuvo {

bool XPosixCommandLine::IsColourTerminalOutput()
{
    // https://no-color.org: any non-empty NO_COLOR turns colour off.
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour && noColour[0] != '\0')
        return false;
    return ::isatty(STDOUT_FILENO) == 1;
}

bool XPosixCommandLine::ResolvePath(const std::string& path, std::string& canonical, bool& isFolder)
{
    isFolder = false;
    char resolved[PATH_MAX];
    if (path.empty() || !::realpath(path.c_str(), resolved))
        return false;
    canonical = resolved;
    struct stat st;
    isFolder = ::stat(resolved, &st) == 0 && S_ISDIR(st.st_mode);
    return true;
}

} // namespace nuvo
