// Build tool: writes the updater's manual page. Its OPTIONS section comes from the same
// declarations as the command line, so the page cannot drift from the program.
// Usage: updater_manual_page_writer OUTPUT

#include <cstdio>
#include <fstream>
#include <string>

#include "updater/VUpdateEngine.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "updater_manual_page_writer");
        return 1;
    }
    nuvo::VString options;
    nuvo::VUpdateEngine::ExportOptionsAsManPage(options);

    std::string page =
        ".TH UPDATER 1 \"\" \"QZ Updater " QZ_MANUAL_VERSION "\" \"User Commands\"\n"
        ".SH NAME\n"
        "updater \\- replace an installed QZ application bundle by a newer one and restart it\n"
        ".SH SYNOPSIS\n"
        ".B updater\n"
        "[\\fIOPTION\\fR]... \\fIoutdated-bundle\\fR \\fIup-to-date-bundle\\fR\n"
        ".SH DESCRIPTION\n"
        "Waits until the calling application (\\fB\\-\\-pid\\fR) has quit, sets the outdated bundle aside, "
        "copies the up-to-date bundle to its place (rolling back when the copy fails), restarts the "
        "application and moves the old bundle to the Trash. Every step is logged in the folder given "
        "with \\fB\\-\\-log\\-dir\\fR.\n";
    page += nuvo::to_string(options);
    page +=
        ".SH EXIT STATUS\n"
        ".TP\n0\nThe update succeeded, or the help or the version was printed.\n"
        ".TP\n1\nThe command line is wrong, or the program could not start.\n"
        ".TP\n2\nThe update failed; the log file tells why.\n";

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << page;
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
