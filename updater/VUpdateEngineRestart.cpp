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

bool VUpdateEngine::_LaunchApplication(const VFilePath& appPath)
{
    // The quotes keep paths with blanks one argument each when the launcher splits the line.
    VString command("open -a \"");
    VString posix;
    appPath.GetPosixPath(posix);
    command.AppendString(posix);
    command.AppendCString("\"");
    if (!fRestartParamsFile.GetPath().IsEmpty()) {
        fRestartParamsFile.GetPosixPath(posix);
        command.AppendCString(" --args \"");
        command.AppendString(posix);
        command.AppendCString("\"");
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
