#include "updater/VUpdateEngine.h"

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/VFolder.h"
#include "kernel/logging/VLogger.h"
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

bool VUpdateEngine::_InitLocalizationManager()
{
    // No localization files are read yet: error texts fall back to their error strings.
    return true;
}

void VUpdateEngine::FixFolderPathSpec(const VString& text, FilePathStyle style, VFilePath& path)
{
    if (text.IsEmpty()) {
        path.Clear();
        return;
    }
    VString folderText(text);
    if (folderText.GetUniChar(folderText.GetLength()) != u'/')
        folderText.AppendUniChar(u'/');
    path.FromFullPath(folderText, style);
}

int VUpdateEngine::DoParseCommandLine(VCommandLineParser& parser)
{
    VString outdatedText;
    VString upToDateText;
    std::vector<VString> arguments;
    parser.AddArguments(arguments);

    int result = parser.Parse();
    if (result != 0)
        return result;

    if (arguments.size() == 1)
        return VCommandLineParser::PrintArgumentError(
            VString("not enough arguments from the command line (required <dest> <src>)\n"));
    if (arguments.size() >= 3)
        return VCommandLineParser::PrintArgumentError(VString("two many arguments from the command line"));
    if (arguments.size() == 2) {
        outdatedText = arguments[0];
        upToDateText = arguments[1];
    }

    bool failed = false;
    if (upToDateText.IsEmpty()) {
        VCommandLineParser::PrintArgumentError(VString("mismatched value for option --uptodate-app\n"));
        failed = true;
    }
    if (outdatedText.IsEmpty())
        return VCommandLineParser::PrintArgumentError(VString("mismatched value for option --outdated-app\n"));
    if (failed)
        return 1;

    FixFolderPathSpec(outdatedText, FilePathStyle::Posix, fOutdatedApplication);
    FixFolderPathSpec(upToDateText, FilePathStyle::Posix, fUpToDateApplication);
    fInstallPath = fOutdatedApplication;
    fRestartParamsFile.FromFullPath(VString(), FilePathStyle::Posix);
    return 0;
}

void VUpdateEngine::DoRun()
{
    // Every error of the run lands here; when the installer goes, they pass to the main task,
    // where the entry point reads the last one.
    StErrorContextInstaller errorContext(true, true);
    _ApplyUpdate();
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
}

void VUpdateEngine::DoQuit()
{
    if (VLogger* logger = GetLogger())
        logger->Flush();
}

} // namespace nuvo
