// Entry point of the updater: one VUpdateEngine on the stack, initialised, run once; the main
// task's last error becomes the exit code.

#include "kernel/base/VErrorCodes.h"
#include "kernel/process/VTask.h"
#include "kernel/system/VSystem.h"
#include "updater/VUpdateEngine.h"

int main(int argc, char** argv)
{
    nuvo::sProcessCommandLineArgc = argc;
    nuvo::sProcessCommandLineArgv = argv;

    // The restart runs "open" through the launcher's PATH search: the one shipped beside the
    // updater must win over anything else of that name. Without it the restart reports its own
    // error, so a failure here is not fatal.
    (void)nuvo::VSystem::PrependExecutableFolderToPath();

    // The toolkit allocates with malloc (VMemory.h): there is no memory manager to create, so the
    // "cannot create it" exit is never taken.

    nuvo::VUpdateEngine engine;
    if (!engine.Init(nuvo::kProcessInitWithLogger | nuvo::kProcessInitWithFileSystemNotifier))
        return engine.GetExitCode();

    engine.SetExitCode(0);
    engine.Run();

    // Initialisation succeeded, so the main task exists.
    if (nuvo::VTask* task = nuvo::VTask::GetCurrent()) {
        nuvo::VError error = task->GetLastError();
        if (error != nuvo::VE_OK)
            engine.SetExitCode(error == nuvo::VE_INIT_FAILED ? 1 : 2);
    }
    return engine.GetExitCode();
}
