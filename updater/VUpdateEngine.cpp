#include "updater/VUpdateEngine.h"

#include <optional>
#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/StFolderLock.h"
#include "kernel/files/VFolder.h"
#include "kernel/system/VSystem.h"
#include "kernel/time/VTime.h"
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

// The current date and time in the system's short styles, local time.
void GetDateAndTime(VString& date, VString& time)
{
    VTime now;
    VTime::Now(now);
    now.FormatByOS(date, time, false);
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

    VString date, time;
    GetDateAndTime(date, time);
    LogInfo("Updater starting - %S - %S", &date, &time);
    if (errorContext.GetLastError() == VE_OK)
        _ApplyUpdate();
    DumpErrorStack(errorContext.GetContext(), true);

    GetDateAndTime(date, time);
    if (errorContext.GetLastError() == VE_OK) {
        LogInfo("Update successful - %S - %S", &date, &time);
        return;
    }
    LogInfo("Update failed - %S - %S", &date, &time);
    if (!fSilent)
        _ShowFailureNotification(errorContext.GetContext());
}

void VUpdateEngine::_ShowFailureNotification(VErrorContext* context)
{
    VString message;
    const auto& errors = context->GetErrorStack();
    if (!errors.empty()) {
        errors.back()->GetErrorDescription(message);
        if (message.IsEmpty())
            errors.back()->GetErrorString(message);
    }
    _AppendLogFileReference(message);
    // An empty title makes the message the alert's header; No is the default button.
    ENotificationResponse response = eNotificationResponseNone;
    if (VSystem::DisplayNotification(VString(), message, kNotificationKindYesNo, &response)
        && response == eNotificationResponseYes)
        _OpenLogFile();
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

    // A second updater of the same bundle would take this run's staging folder for a leftover
    // and delete it under the swap: runs on one install folder take their turns.
    auto installParent = VRefPtr<VFolder>::Adopt(outdated->RetainParentFolder());
    std::optional<StFolderLock> installLock;
    if (installParent)
        installLock.emplace(*installParent);

    // Before anything else changes on disk, so that the swap finds its staging name free.
    _RemoveLeftoverStaging();
    if (errorContext.GetLastError() != VE_OK)
        return;

    if (fClientInfoFile.IsFile() && (!_FinishClientCustomization() || errorContext.GetLastError() != VE_OK))
        return;

    if (fReportProgressToCaller) {
        _LogProgressToCaller("waitquit", -1);
        _CloseStandardStreams();
    }

    LogInfo("Waiting for external process to quit");
    (void) _WaitForPidToQuit();
    if (errorContext.GetLastError() != VE_OK) {
        LogError("External process wait failed");
        _ThrowError(VE_UPDATER_WAIT_FAILED);
        return;
    }

    LogInfo("Proceeding with up-to-date application install...");
    auto install = VRefPtr<VFolder>::Adopt(new VFolder(fInstallPath));
    auto setAside = VRefPtr<VFolder>::Adopt(_SwapApplications(*outdated, *upToDate, *install));
    if (errorContext.GetLastError() != VE_OK) {
        // Whatever the swap left in place stays there.
        LogError("Up-to-date application install failed");
        _ThrowError(VE_UPDATER_INSTALL_FAILED);
        return;
    }

    LogInfo("Proceeding with up-to-date application restart...");
    if (!_LaunchApplication(fInstallPath) || errorContext.GetLastError() != VE_OK) {
        // The outdated bundle stays under its temporary name.
        LogError("Up-to-date application restart failed");
        return;
    }

    LogInfo("Up-to-date application restarted");
    if (setAside) {
        if (setAside->MoveToTrash() != VE_OK)
            (void) setAside->DeleteForced();  // the move's error stays: the run ends as failed
    }
}

void VUpdateEngine::DoQuit()
{
    _DeInitLog();
}

} // namespace nuvo
