// The updater's command line: its options, the two bundle paths and the members they fill.

#include <vector>

#include "kernel/commandline/VCommandLineParser.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

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

} // namespace nuvo
