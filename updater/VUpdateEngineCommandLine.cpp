// The updater's command line: its options, the two bundle paths and the members they fill.

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/files/VFolder.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

namespace {

// The variables bound to the options that are turned into members only once the whole command
// line has been checked.
struct CommandLineTexts {
    VString installPath;   // accepted for the callers' sake; the install path is the outdated bundle's
    VString restartParams;
    VString callerLog;
    VString logDir;
    VString clientInfo;
    VString outdated;
    VString upToDate;
    std::vector<VString> arguments;
    bool version = false;
};

// The help listing shows the declarations in this order. The texts are what callers and their
// scripts have always seen, spelling included.
void DeclareOptions(VCommandLineParser& parser, int32_t& pid, bool& silent, bool& restartHeadless,
                    CommandLineTexts& texts)
{
    parser.AddParagraph(VString("\nQZ Updater\n\t\tUpdates an existing QZ application residing at <path of app to "
                                "update> using \t\tnewer versions tored <path of update>\n\n"));
    pid = -1;
    parser.AddOption(u' ', VString("pid"), pid, VString("Wait for the caller's pid"));
    silent = false;
    parser.AddOption(u' ', VString("silent"), silent,
                     VString("ensure that no message is displayed in case of error. Errors are still logged though"));
    parser.AddOption(u' ', VString("install-path"), texts.installPath,
                     VString("indicates where the updated app should be installed instead of <path of app to update>."));
    parser.AddOption(u' ', VString("restart-params"), texts.restartParams,
                     VString("indicates the full path to the QZLink \t\tfile that will be passed back to the restarted "
                             "application. This does not \t\tapply if the application is started as a service"));
    parser.AddOption(u' ', VString("caller-log"), texts.callerLog, VString("Restart params"));
    parser.AddOption(u' ', VString("log-dir"), texts.logDir,
                     VString("specifies a folder for the updater where log file should be written"));
    parser.AddOption(u' ', VString("client-info"), texts.clientInfo,
                     VString("path of the client customization file. Using this \t\toption IMPLIES that application is "
                             "a QZ-based client, which incurs special processing."));
    parser.AddOption(u' ', VString("outdated-app"), texts.outdated, VString("Outdated application bundle path"));
    parser.AddOption(u' ', VString("uptodate-app"), texts.upToDate, VString("Up-to-date application bundle path"));
    parser.AddArguments(texts.arguments);
    restartHeadless = false;
    parser.AddOption(u' ', VString("restart-headless"), restartHeadless,
                     VString("Restart the application in headless mode."));
    parser.AddParagraph(VString("\nHelp:\n"));
    parser.AddOption(u' ', VString("version"), texts.version, VString("Print the version and exits"));
}

// An option given alongside the plain argument must name the same bundle (letter case and
// accents aside); the option's own text is kept.
bool TakeArgument(VString& text, const VString& argument)
{
    if (text.IsEmpty()) {
        text = argument;
        return true;
    }
    return text.EqualToString(argument, false);
}

// A path given relative to the current folder (a person at a terminal, a caller's relative
// path) made an invalid member: the bundles were "not found" and a relative log folder silently
// gave no log. Such texts are taken from the current folder.
VString FromCurrentFolder(const VString& text)
{
    if (text.IsEmpty() || text.GetUniChar(1) == u'/')
        return text;
    auto current = VRefPtr<VFolder>::Adopt(VFolder::RetainCurrentFolder());
    if (!current)
        return text;
    VString full;
    current->GetPathRef().GetPosixPath(full);
    full.AppendString(text);
    return full;
}

} // namespace

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

void VUpdateEngine::ExportOptionsAsManPage(VString& out)
{
    // Options are declared only when the command line holds more than the program path.
    const std::vector<VString> args = {VString("updater"), VString("--help")};
    VCommandLineParser parser(args);
    int32_t pid;
    bool silent;
    bool restartHeadless;
    CommandLineTexts texts;
    DeclareOptions(parser, pid, silent, restartHeadless, texts);
    parser.ExportAsManPage(&out);
}

int VUpdateEngine::DoParseCommandLine(VCommandLineParser& parser)
{
    CommandLineTexts texts;
    DeclareOptions(parser, fCallerPid, fSilent, fRestartHeadless, texts);

    const int result = parser.Parse();
    if (texts.version && result == VCommandLineParser::kParseContinue) {
        VCommandLineParser::Print(GetProductVersion());
        return VCommandLineParser::kParseStopped;
    }
    if (result != VCommandLineParser::kParseContinue)
        return result;

    const std::vector<VString>& arguments = texts.arguments;
    if (arguments.size() == 1)
        return VCommandLineParser::PrintArgumentError(
            VString("not enough arguments from the command line (required <dest> <src>)\n"));
    if (arguments.size() >= 3)
        return VCommandLineParser::PrintArgumentError(VString("two many arguments from the command line"));
    if (arguments.size() == 2) {
        const bool outdatedMatches = TakeArgument(texts.outdated, arguments[0]);
        if (!outdatedMatches)
            VCommandLineParser::PrintArgumentError(VString("mismatched value for option --outdated-app\n"));
        if (!TakeArgument(texts.upToDate, arguments[1]))
            return VCommandLineParser::PrintArgumentError(VString("mismatched value for option --uptodate-app\n"));
        if (!outdatedMatches)
            return VCommandLineParser::kParseFailed;
    }

    bool failed = false;
    if (texts.upToDate.IsEmpty()) {
        VCommandLineParser::PrintArgumentError(VString("mismatched value for option --uptodate-app\n"));
        failed = true;
    }
    if (texts.outdated.IsEmpty())
        return VCommandLineParser::PrintArgumentError(VString("mismatched value for option --outdated-app\n"));
    if (failed)
        return VCommandLineParser::kParseFailed;

    FixFolderPathSpec(FromCurrentFolder(texts.outdated), FilePathStyle::Posix, fOutdatedApplication);
    FixFolderPathSpec(FromCurrentFolder(texts.upToDate), FilePathStyle::Posix, fUpToDateApplication);
    fInstallPath = fOutdatedApplication;
    fRestartParamsFile.FromFullPath(FromCurrentFolder(texts.restartParams), FilePathStyle::Posix);
    fReportProgressToCaller = !texts.callerLog.IsEmpty();
    FixFolderPathSpec(FromCurrentFolder(texts.logDir), FilePathStyle::Posix, fLogFolder);
    if (!texts.clientInfo.IsEmpty())
        fClientInfoFile.FromFullPath(FromCurrentFolder(texts.clientInfo), FilePathStyle::Posix);
    return VCommandLineParser::kParseContinue;
}

} // namespace nuvo
