#include "updater/VUpdateEngine.h"

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/VFolder.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "updater/UpdaterErrors.h"

namespace nuvo {

namespace {

// Pushes code with one "path" parameter holding the path's text as VFilePath keeps it.
void ThrowPathError(VError code, const VFilePath& path)
{
    VErrorBase* error = new VErrorBase(code);
    error->GetBag()->SetString(StPackedDictionaryKey("path"), path.GetPath());
    _PushRetainedError(error);
}

} // namespace

VUpdateEngine::VUpdateEngine() = default;

VUpdateEngine::~VUpdateEngine() = default;

bool VUpdateEngine::Init(uint32_t flags)
{
    bool ok = VProcessIPC::Init(flags);
    if (ok)
        (void) _InitLocalizationManager();
    return ok;
}

void VUpdateEngine::DoRun()
{
    // Every error of the run lands here; when the installer goes, they pass to the main task,
    // where the entry point reads the last one.
    StErrorContextInstaller errorContext(true, true);
    if (!_InitLog() && errorContext.GetLastError() != VE_OK)
        fSilent = false;  // a log that cannot be opened always ends with the notification
    if (errorContext.GetLastError() == VE_OK)
        _ApplyUpdate();
    DumpErrorStack(errorContext.GetContext(), true);
}

void VUpdateEngine::_ApplyUpdate()
{
    StErrorContextInstaller errorContext(true, true);

    auto outdated = VRefPtr<VFolder>::Adopt(new VFolder(fOutdatedApplication));
    auto upToDate = VRefPtr<VFolder>::Adopt(new VFolder(fUpToDateApplication));
    // Both checks run before the test, so that both missing bundles are reported.
    if (!outdated->Exists())
        ThrowPathError(VE_UPDATER_OUTDATED_APP_NOT_FOUND, fOutdatedApplication);
    if (!upToDate->Exists())
        ThrowPathError(VE_UPDATER_UPTODATE_APP_NOT_FOUND, fUpToDateApplication);
    if (errorContext.GetLastError() != VE_OK)
        return;

    if (fClientInfoFile.IsFile() && (!_FinishClientCustomization() || errorContext.GetLastError() != VE_OK))
        return;
}

void VUpdateEngine::DoQuit()
{
    _DeInitLog();
}

} // namespace nuvo
