// The updater's log lines, its error stack in the log, the log file and the localizer.

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/logging/VLog4jMsgFileLogger.h"
#include "kernel/process/VComponentManager.h"
#include "kernel/system/VSystem.h"
#include "kernel/time/VTime.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/values/VValueBag.h"
#include "updater/UpdaterErrors.h"
#include "updater/VUpdateEngine.h"
#include "xml/VLocalizationManager.h"

namespace nuvo {

namespace {

constexpr OsType kLogComponent = MakeOsType("QZUP");
// The error components whose messages come from the updater's localization files.
constexpr OsType kLocalizedComponents[] = {kComponentNuvo, kComponentXml, MakeOsType("PW32"), kComponentUpdater};

} // namespace

void VUpdateEngine::Log(EMessageLevel level, const char* format, va_list args)
{
    VLogger* logger = GetLogger();
    if (logger == nullptr || !logger->ShouldLog(level))
        return;
    VString text;
    text.VPrintf(format, args);
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(ILoggerBagKeys::message, text);
    // INFO is the key's default, so an INFO line carries no "level".
    if (level != EML_Information)
        bag->SetLong(ILoggerBagKeys::level, static_cast<int32_t>(level));
    bag->SetLong(ILoggerBagKeys::component_signature, static_cast<int32_t>(kLogComponent));
    logger->LogBag(bag.Get());
}

void VUpdateEngine::LogInfo(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Log(EML_Information, format, args);
    va_end(args);
}

void VUpdateEngine::LogError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Log(EML_Error, format, args);
    va_end(args);
}

void VUpdateEngine::DumpErrorStack(VErrorContext* context, bool newestFirst)
{
    if (context == nullptr || context->GetErrorCount() == 0)
        return;
    const auto& errors = context->GetErrorStack();
    auto dump = [this](const VErrorBase* error) {
        VString text;
        error->GetErrorDescription(text);
        if (text.IsEmpty())
            error->GetErrorString(text);
        LogError("%S", &text);
    };
    if (newestFirst) {
        for (auto it = errors.rbegin(); it != errors.rend(); ++it)
            dump(it->Get());
    } else {
        for (const auto& error : errors)
            dump(error.Get());
    }
}

bool VUpdateEngine::_InitLog()
{
    // No "log-dir": the run has no log file, and that is not an error.
    if (!fLogFolder.IsValid() || !fLogFolder.IsFolder())
        return false;
    auto folder = VRefPtr<VFolder>::Adopt(new VFolder(fLogFolder));
    if (!folder->Exists() && folder->CreateRecursive(false) != VE_OK)
        return false;

    VTime now;
    VTime::Now(now);
    int16_t year, month, day, hour, minute, second, millisecond;
    now.GetLocalTime(year, month, day, hour, minute, second, millisecond);
    VString logName;
    logName.Printf("%04d-%02d-%02d_%02d-%02d-%02d_log", int(year), int(month), int(day), int(hour), int(minute),
                   int(second));

    // Kept even when it does not start: the failure dialog still names the file it would use.
    fLogFileLogger = new VLog4jMsgFileLogger(*folder, logName);
    fLogFileLogger->Start();
    if (!fLogFileLogger->IsStarted())
        _ThrowError(VE_UPDATER_LOG_NOT_STARTED);
    return fLogFileLogger->IsStarted();
}

void VUpdateEngine::_DeInitLog()
{
    if (VLogger* logger = GetLogger())
        logger->Flush();
    if (fLogFileLogger != nullptr) {
        fLogFileLogger->Stop();
        delete fLogFileLogger;
        fLogFileLogger = nullptr;
    }
}

bool VUpdateEngine::_InitLocalizationManager()
{
    auto bundle = VRefPtr<VFolder>::Adopt(RetainFolder(kFolderBundle));
    DialectCode language = VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 0);
    fLocalizationManager.reset(new VLocalizationManager(language));
    {
        // A bundle without localization files leaves the manager empty: every text falls back
        // to its built-in default and errors to their error strings. A damaged file must not
        // fail the update either, so its XML errors are reported to the logger and dropped.
        StErrorContextInstaller dropped(false, false);
        (void) fLocalizationManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get());
    }
    // There is no type-identifier manager on this platform to hand the manager to.
    SetLocalizer(fLocalizationManager.get());
    for (OsType component : kLocalizedComponents)
        VErrorBase::RegisterLocalizer(component, fLocalizationManager.get());
    return true;
}

void VUpdateEngine::_ReleaseLocalizationManager(VLocalizationManager* manager)
{
    // Error texts may still be asked for after the engine is gone (the frame logs the errors
    // left on the main task): nobody may keep a pointer to the released manager.
    for (OsType component : kLocalizedComponents) {
        if (VErrorBase::GetLocalizer(component) == manager)
            VErrorBase::UnregisterLocalizer(component);
    }
    VProcess* process = VProcess::Get();
    if (process != nullptr && process->GetLocalizer() == manager)
        process->SetLocalizer(nullptr);
    manager->Release();
}

bool VUpdateEngine::_GetLogFilePath(VFilePath& out) const
{
    if (fLogFileLogger == nullptr)
        return false;
    VString name;
    fLogFileLogger->GetLogFolderPath(out);
    fLogFileLogger->GetLogName(name);
    name.AppendCString("_1.txt");
    out.ToSubFile(name);
    return out.IsValid();
}

void VUpdateEngine::_AppendLogFileReference(VString& message) const
{
    VFilePath logFile;
    if (!_GetLogFilePath(logFile))
        return;
    VString text = LocalizeString(VString("MoreInformationsAvailableInLogFile"),
                                  "More information is available in the log file '{LogFilePath}'");
    if (text.IsEmpty())
        return;
    VString posixPath;
    logFile.GetPosixPath(posixPath);
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(StPackedDictionaryKey("LogFilePath"), posixPath);
    text.Format(bag.Get(), true);
    message.AppendCString("\r\n");
    message.AppendString(text);
}

void VUpdateEngine::_OpenLogFile() const
{
    // A logger that never started may have no file: there is nothing to open then.
    VFilePath logFile;
    if (!_GetLogFilePath(logFile) || !VRefPtr<VFile>::Adopt(new VFile(logFile))->Exists())
        return;
    // A failure is on the run's error context, which the process logger still receives.
    (void) VSystem::OpenWithDefaultApplication(logFile);
}

} // namespace nuvo
