// The restart: the bundle opener run on the installed application, with the restart-params file
// and the headless switch for the application.

#include <map>
#include <vector>

#include "kernel/base/VMemoryBuffer.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/process/VProcessLauncher.h"
#include "updater/UpdaterErrors.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

namespace {

// The launcher's splitter drops a backslash and keeps the character after it: a path holding a
// double quote or a backslash would otherwise end its token early or lose a character.
void AppendQuotedPath(VString& command, const VFilePath& path)
{
    VString posix;
    path.GetPosixPath(posix);
    command.AppendUniChar(u'"');
    for (int32_t pos = 1; pos <= posix.GetLength(); ++pos) {
        const UniChar c = posix.GetUniChar(pos);
        if (c == u'"' || c == u'\\')
            command.AppendUniChar(u'\\');
        command.AppendUniChar(c);
    }
    command.AppendUniChar(u'"');
}

} // namespace

bool VUpdateEngine::_LaunchApplication(const VFilePath& appPath)
{
    // The quotes keep paths with blanks one argument each when the launcher splits the line.
    VString command("open -a ");
    AppendQuotedPath(command, appPath);
    if (!fRestartParamsFile.GetPath().IsEmpty()) {
        command.AppendCString(" --args ");
        AppendQuotedPath(command, fRestartParamsFile);
        if (fRestartHeadless)
            command.AppendCString(" --headless");
    } else if (fRestartHeadless) {
        command.AppendCString(" --args --headless");
    }
    LogInfo("Restarting installed application (%S)...", &command);

    // The opener's output is read so that it never blocks on a full pipe, then dropped.
    VMemoryBuffer output;
    VMemoryBuffer errors;
    int exitStatus = 0;
    const int result = VProcessLauncher::ExecuteCommandLine(command, 0, nullptr, &output, &errors, nullptr,
        nullptr, &exitStatus, nullptr, nullptr, true, false);
    if (result != 0) {
        LogError("Failed to restart updated application (returned error %d - exit status %d)", result, exitStatus);
        _ThrowError(VE_UPDATER_RESTART_FAILED);
        return false;
    }
    LogInfo("Updated application restarted, returned %d", exitStatus);
    return true;
}

} // namespace nuvo
