#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>

#include "kernel/files/FilePathStyle.h"
#include "kernel/logging/EMessageLevel.h"
#include "kernel/files/VFilePath.h"
#include "kernel/process/VProcessIPC.h"

namespace nuvo {

class VErrorContext;
class VFolder;
class VJSONObject;
class VLog4jMsgFileLogger;
class VLocalizationManager;

// The updater's process object: replaces an outdated application bundle by an up-to-date one.
// The command line fills the members during Init; DoRun runs the update once on the main task,
// every error landing in one keeping, silent error context whose errors reach the main task
// when DoRun ends (the entry point turns the last one into the exit code). Lives on the entry
// point's stack; main task only.
class VUpdateEngine : public VProcessIPC {
public:
    VUpdateEngine();
    ~VUpdateEngine() override;

    [[nodiscard]] bool Init(uint32_t flags) override;

    // text as a folder path: a '/' is appended when missing; an empty text clears path.
    static void FixFolderPathSpec(const VString& text, FilePathStyle style, VFilePath& path);

    const VFilePath& GetOutdatedApplication() const { return fOutdatedApplication; }
    const VFilePath& GetUpToDateApplication() const { return fUpToDateApplication; }
    const VFilePath& GetInstallPath() const { return fInstallPath; }
    const VFilePath& GetLogFolder() const { return fLogFolder; }
    const VFilePath& GetClientInfoFile() const { return fClientInfoFile; }
    const VFilePath& GetRestartParamsFile() const { return fRestartParamsFile; }
    int32_t GetCallerPid() const { return fCallerPid; }
    bool IsReportingProgressToCaller() const { return fReportProgressToCaller; }
    bool IsSilent() const { return fSilent; }
    bool IsRestartingHeadless() const { return fRestartHeadless; }

    // The "OPTIONS" section of the manual page, from the same declarations as the command line.
    static void ExportOptionsAsManPage(VString& out);

protected:
    void DoRun() override;
    void DoQuit() override;
    int DoParseCommandLine(VCommandLineParser& parser) override;

    // Log lines of the run (component 'QZUP'), handed to the process logger; VPrintf formats.
    void Log(EMessageLevel level, const char* format, va_list args);
    void LogInfo(const char* format, ...);
    void LogError(const char* format, ...);
    void DumpErrorStack(VErrorContext* context, bool newestFirst);

    // Caller handshake and wait (VUpdateEngineWait.cpp). One "%s,%d\n" line on standard output
    // when the caller asked for progress.
    void _LogProgressToCaller(const char* step, int value);
    // When progress is still reported: closes the standard streams and stops reporting.
    void _CloseStandardStreams();
    // True when there is no pid to wait for or the process left the list within 60 s.
    [[nodiscard]] bool _WaitForPidToQuit();

    // Swap (VUpdateEngineSwap.cpp). outPath: a sibling of source named after it with "_",
    // suffix and a four-digit counter; true when no folder exists there.
    static bool _ComputeTempFolderPath(const VFilePath& source, VFilePath& outPath, const VString* suffix);
    // The outdated bundle set aside under a free sibling name (the caller releases it), the
    // up-to-date bundle's copy in its place; null after a failure, rolled back.
    [[nodiscard]] VFolder* _SwapApplications(VFolder& outdated, VFolder& uptodate, VFolder& install);
    // Removes the hidden staging sibling of the install path that a killed run left behind.
    void _RemoveLeftoverStaging();

    // Restart (VUpdateEngineRestart.cpp): runs the bundle opener on appPath; false with
    // 'UPQZ' 120 when the launcher failed.
    [[nodiscard]] bool _LaunchApplication(const VFilePath& appPath);

private:
    // Tests drive single stages with members set directly.
    friend class VUpdateEngineTestAccess;

    // The stages live in one source file each: VUpdateEngine.cpp (run sequence),
    // VUpdateEngineCommandLine.cpp, VUpdateEngineLog.cpp, VUpdateEngineCustomization.cpp,
    // VUpdateEngineWait.cpp, VUpdateEngineSwap.cpp, VUpdateEngineRestart.cpp.
    void _ApplyUpdate();

    bool _InitLog();
    void _DeInitLog();
    bool _InitLocalizationManager();
    // The failure notification's pointer to the log file: appends "\r\n" and the localized
    // text naming the log file to message when there is a log file logger.
    void _AppendLogFileReference(VString& message) const;
    // Opens the log file with the desktop's default application (the notification's Yes).
    void _OpenLogFile() const;
    // The one notification after a failed run: the last error's text and the log file's name,
    // as a Yes/No question whose Yes opens the log file.
    void _ShowFailureNotification(VErrorContext* context);
    // The log file the logger writes first: its folder, its log name and "_1.txt".
    [[nodiscard]] bool _GetLogFilePath(VFilePath& out) const;
    static void _ReleaseLocalizationManager(VLocalizationManager* manager);

    bool _FinishClientCustomization();
    // Writes the server link file "Contents/Database/EnginedServer.QZlink" of uptodateBundle from
    // clientInfo; always true (failures are on the error context).
    bool _SetIPAdressOnClientPref(const VJSONObject& clientInfo, const VFilePath& uptodateBundle);
    // Adds the execute bits to the up-to-date bundle's executable (the file its Info.plist
    // names); no bundle or no executable is no error. clientInfo is not read.
    bool _FinishMacClientCustomization(const VJSONObject& clientInfo);

    VFilePath fLogFolder;
    VFilePath fClientInfoFile;
    VFilePath fOutdatedApplication;
    VFilePath fUpToDateApplication;
    VFilePath fInstallPath;
    VLog4jMsgFileLogger* fLogFileLogger = nullptr;       // owned; created by the log stage
    // One reference, created by localization; unregistered as localizer and released with the
    // engine.
    std::unique_ptr<VLocalizationManager, void (*)(VLocalizationManager*)> fLocalizationManager{
        nullptr, &_ReleaseLocalizationManager};
    int32_t fCallerPid = -1;
    bool fReportProgressToCaller = false;
    bool fSilent = false;
    VFilePath fRestartParamsFile;
    bool fRestartHeadless = false;
};

} // namespace nuvo
