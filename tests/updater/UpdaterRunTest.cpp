// The updater program doing its job: a copy of the built bundle run on sample bundles the tests
// make, with HOME, the Trash and the dialog programs inside the test's folder.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/kernel/files/FileTestSupport.h"
#include "tests/kernel/process/StChildProcess.h"
#include "tests/support/StEnvVar.h"
#include "tests/updater/UpdaterTestSupport.h"

namespace nuvo {
namespace {

using test::Manifest;
using test::NamesIn;
using Names = std::set<std::string>;

// The restarted application writes its line on its own, after the opener returned: wait for
// it (bounded generously, so that a loaded machine does not fail the test).
std::string WaitForLines(const std::string& path, size_t count)
{
    std::string content;
    for (int i = 0; i < 600; ++i) {
        if (test::EntryExists(path)) {
            content = test::ReadFile(path);
            if (size_t(std::count(content.begin(), content.end(), '\n')) >= count)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return content;
}

class UpdaterRun : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(fTemp / "Install Folder");
        std::filesystem::copy(NUVO_UPDATER_BUNDLE, fUpdaterBundle, std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(fTemp / "home");
        std::filesystem::create_directories(fTemp / "bin");
        test::MakeSampleBundle(fOld, "1", fRecord);
        test::MakeSampleBundle(fNew, "2", fRecord);
        fOldManifest = Manifest(fOld);
        fNewManifest = Manifest(fNew);
    }

    int Run(std::vector<std::string> args, std::string& out, std::string& err)
    {
        args.push_back(fOld);
        args.push_back(fNew);
        return test::ExitCodeOf(test::RunChild(fUpdaterBundle + "/Contents/MacOS/updater", args, out, err));
    }

    // A dialog program first on PATH that records its arguments, one per line, and answers
    // with exitCode.
    void FakeDialog(const char* name, int exitCode)
    {
        test::WriteFile(fTemp / "bin/" + name,
            "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done >> '" + fTemp / "dialog" + "'\nexit "
                + std::to_string(exitCode) + "\n", 0755);
    }

    std::string Trashed(const std::string& name) const { return fTemp / "home/.local/share/Trash/files/" + name; }

    test::StTempFolder fTemp;
    std::string fUpdaterBundle = fTemp / "Install Folder/Updater.app";
    std::string fOld = fTemp / "My Apps/Client.app";
    std::string fNew = fTemp / "Down Load/Client.app";
    std::string fRecord = fTemp / "record";
    std::string fOldManifest, fNewManifest;
    test::StEnvVar fHome{"HOME", fTemp / "home"};
    test::StEnvVar fDataHome{"XDG_DATA_HOME", fTemp / "home/.local/share"};
    test::StEnvVar fDisplay{"DISPLAY", std::nullopt};
    test::StEnvVar fWayland{"WAYLAND_DISPLAY", std::nullopt};
    test::StEnvVar fPath{"PATH", fTemp / "bin:/usr/bin:/bin"};
    // Messages in English unless a test asks for another language.
    test::StEnvVar fLanguage{"LANGUAGE", std::nullopt};
    test::StEnvVar fAllLocale{"LC_ALL", std::nullopt};
    test::StEnvVar fMessagesLocale{"LC_MESSAGES", std::nullopt};
    test::StEnvVar fLang{"LANG", "C.UTF-8"};
};

TEST_F(UpdaterRun, ReplacesRestartsAndTrashes)
{
    test::WriteFile(fTemp / "Server Link.QZlink", "link");
    const std::string link = fTemp / "Server Link.QZlink";
    const std::string oddLink = fTemp / "Say \"Hi\" \\ bye.QZlink";
    struct Row {
        const char* name;
        std::vector<std::string> options;
        std::string restartedWith;
    };
    const std::vector<Row> rows = {
        {"plain", {}, "2"},
        {"headless", {"--restart-headless"}, "2 [--headless]"},
        {"params", {"--restart-params=" + link}, "2 [" + link + "]"},
        {"params and headless", {"--restart-headless", "--restart-params=" + link}, "2 [" + link + "] [--headless]"},
        {"empty params and headless", {"--restart-params=", "--restart-headless"}, "2 [--headless]"},
        {"params with a quote and a backslash", {"--restart-params=" + oddLink}, "2 [" + oddLink + "]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(fOld);
        test::MakeSampleBundle(fOld, "1", fRecord);
        std::filesystem::remove_all(fTemp / "home");
        std::filesystem::remove(fRecord);

        std::string out, err;
        EXPECT_EQ(Run(row.options, out, err), 0);
        EXPECT_EQ(out + err, "");
        EXPECT_EQ(WaitForLines(fRecord, 1), row.restartedWith + "\n");
        EXPECT_EQ(Manifest(fOld), fNewManifest);
        EXPECT_EQ(Manifest(fNew), fNewManifest);
        EXPECT_EQ(NamesIn(fTemp / "My Apps"), (Names{"Client.app"}));
        EXPECT_EQ(Manifest(Trashed("Client_old0001.app")), fOldManifest);
    }
}

TEST_F(UpdaterRun, LeftoverStagingFolderIsRemoved)
{
    test::MakeTree(fTemp / "My Apps/.Client.app.staging", {"Contents/", "Contents/half=written"});
    test::MakeTree(fTemp / "My Apps/Client_old0001.app", {"kept=1"});
    std::string out, err;
    EXPECT_EQ(Run({}, out, err), 0);
    EXPECT_EQ(Manifest(fOld), fNewManifest);
    EXPECT_EQ(NamesIn(fTemp / "My Apps"), (Names{"Client.app", "Client_old0001.app"}));
    EXPECT_EQ(Manifest(Trashed("Client_old0002.app")), fOldManifest);
}

TEST_F(UpdaterRun, HandshakeThenWaitForTheCaller)
{
    // The caller stands in as a child that lives until the test has seen the updater's output
    // end: the streams must close before the wait, not after it.
    const pid_t caller = ::fork();
    ASSERT_GE(caller, 0);
    if (caller == 0) {
        ::pause();
        ::_exit(0);
    }
    test::StChildProcess updater(fUpdaterBundle + "/Contents/MacOS/updater",
        {"--caller-log=yes", "--pid=" + std::to_string(caller), fOld, fNew});
    std::string line;
    EXPECT_TRUE(updater.ReadLine(line));
    EXPECT_EQ(line, "waitquit,-1");
    EXPECT_FALSE(updater.ReadLine(line)) << "end of file right after the line";
    EXPECT_EQ(Manifest(fOld), fOldManifest) << "nothing changes while the caller lives";
    // The numbers stay taken, so that no later file becomes a child's standard stream. The end
    // of file may be seen a moment before the last of the three is reopened: poll.
    const std::string fds = "/proc/" + std::to_string(updater.GetPid()) + "/fd/";
    auto onNull = [&] {
        std::error_code error;
        for (const char* fd : {"0", "1", "2"}) {
            if (std::filesystem::read_symlink(fds + fd, error) != "/dev/null")
                return false;
        }
        return true;
    };
    for (int i = 0; i < 600 && !onNull(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(onNull()) << "descriptors 0-2 on /dev/null while the updater waits";

    ::kill(caller, SIGKILL);
    ::waitpid(caller, nullptr, 0);
    std::string out, err;
    EXPECT_EQ(test::ExitCodeOf(updater.Finish(out, err)), 0);
    EXPECT_EQ(out + err, "");
    EXPECT_EQ(Manifest(fOld), fNewManifest);
}

TEST_F(UpdaterRun, SampleCallerOfTheGuide)
{
    std::string out, err;
    const std::string updater = fUpdaterBundle + "/Contents/MacOS/updater";
    const int status = test::RunChild(NUVO_SAMPLE_CALLER, {updater, fOld, fNew}, out, err);
    EXPECT_EQ(test::ExitCodeOf(status), 0);
    EXPECT_EQ(out.rfind("the updater is waiting for us (pid ", 0), 0u) << out;
    EXPECT_EQ(WaitForLines(fRecord, 1), "2\n") << "the new version restarted once the caller quit";
    EXPECT_EQ(Manifest(fOld), fNewManifest);
    // The updater outlives its caller: let it finish with the old bundle before going on.
    for (int i = 0; i < 600 && !test::EntryExists(Trashed("Client_old0001.app")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Manifest(Trashed("Client_old0001.app")), fOldManifest);

    // Missing bundles: the updater stops before the handshake and the caller reports its code.
    std::filesystem::remove_all(fNew);
    EXPECT_EQ(test::ExitCodeOf(test::RunChild(NUVO_SAMPLE_CALLER, {updater, fOld, fNew}, out, err)), 2);
    EXPECT_EQ(out, "the updater ended without waiting for us, exit code 2\n");
}

TEST_F(UpdaterRun, PidThatIsGoneAndNoCallerLog)
{
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    std::string out, err;
    EXPECT_EQ(Run({"--pid=" + std::to_string(gone)}, out, err), 0);
    EXPECT_EQ(out, "") << "no progress line without --caller-log";
    EXPECT_EQ(Manifest(fOld), fNewManifest);
}

// A caller may quit without reading the progress line: the write must not kill the update.
TEST_F(UpdaterRun, CallerThatClosedItsEndOfThePipe)
{
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    const std::string updater = fUpdaterBundle + "/Contents/MacOS/updater";
    const std::string callerLog = "--caller-log=" + fTemp / "caller.log";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::execl(updater.c_str(), updater.c_str(), "--pid=-1", callerLog.c_str(), fOld.c_str(), fNew.c_str(),
            static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(test::ExitCodeOf(status), 0);
    EXPECT_EQ(Manifest(fOld), fNewManifest);
}

TEST_F(UpdaterRun, RestartFailureKeepsTheOldBundleAside)
{
    // Without the opener, the launcher cannot start the restart command.
    std::filesystem::remove(fUpdaterBundle + "/Contents/MacOS/open");
    test::StEnvVar path("PATH", fTemp / "bin");
    std::string out, err;
    EXPECT_EQ(Run({"--silent"}, out, err), 2);
    EXPECT_EQ(Manifest(fOld), fNewManifest);
    EXPECT_EQ(Manifest(fTemp / "My Apps/Client_old0001.app"), fOldManifest);
    EXPECT_FALSE(test::EntryExists(fTemp / "home/.local/share/Trash"));
}

TEST_F(UpdaterRun, TrashRefusedDeletesTheOldBundle)
{
    // A file where the Trash folder would go: the move fails, the old bundle is deleted, and
    // the move's error still makes the run a failure although the update is in place.
    test::WriteFile(fTemp / "not a folder", "");
    test::StEnvVar dataHome("XDG_DATA_HOME", fTemp / "not a folder");
    std::string out, err;
    EXPECT_EQ(Run({"--silent"}, out, err), 2);
    EXPECT_EQ(WaitForLines(fRecord, 1), "2\n");
    EXPECT_EQ(Manifest(fOld), fNewManifest);
    EXPECT_EQ(NamesIn(fTemp / "My Apps"), (Names{"Client.app"}));
}

TEST_F(UpdaterRun, FailureNotification)
{
    std::filesystem::remove_all(fNew);
    const std::vector<std::string> expected = {"--question",
        "--text=The new version of the application was not found at '" + fNew
            + "/'. Nothing was changed. Download the update again, then retry.",
        "--ok-label=Yes",
                                               "--cancel-label=No", "--default-cancel", "--no-markup"};
    struct Row {
        const char* name;
        std::optional<std::string> display;
        std::vector<std::string> options;
        bool shown;
    };
    const std::vector<Row> rows = {
        {"failure", ":99", {}, true},
        {"silent", ":99", {"--silent"}, false},
        {"no display", std::nullopt, {}, false},
    };
    FakeDialog("zenity", 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(fTemp / "dialog");
        test::StEnvVar display("DISPLAY", row.display);
        std::string out, err;
        EXPECT_EQ(Run(row.options, out, err), 2);
        EXPECT_EQ(out + err, "");
        std::string shown;
        for (const std::string& arg : expected)
            shown += arg + "\n";
        EXPECT_EQ(test::EntryExists(fTemp / "dialog") ? test::ReadFile(fTemp / "dialog") : "", row.shown ? shown : "");
        EXPECT_EQ(Manifest(fOld), fOldManifest);
    }
}

} // namespace

namespace {

// The log files of folder, each as its lines with the temporary folder shown as "T", the
// timestamps as "TIME" and the date and time of the first and last lines as "D" and "H".
std::map<std::string, std::vector<std::string>> Logs(const std::string& folder, const std::string& temp)
{
    static const std::regex stamp("^(\\d+) \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    static const std::regex dated("(Updater starting|Update successful|Update failed) - .+ - .+ \\(\\)$");
    static const std::regex name("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_log_1\\.txt$");
    std::map<std::string, std::vector<std::string>> logs;
    for (const std::string& file : test::NamesIn(folder)) {
        std::vector<std::string>& lines = logs[std::regex_match(file, name) ? "NAME_1.txt" : file];
        std::istringstream content(test::ReadFile(folder + "/" + file));
        for (std::string line; std::getline(content, line);) {
            for (size_t at; (at = line.find(temp)) != std::string::npos;)
                line.replace(at, temp.size(), "T");
            line = std::regex_replace(line, stamp, "$1 TIME ");
            lines.push_back(std::regex_replace(line, dated, "$1 - D - H ()"));
        }
    }
    return logs;
}

} // namespace

TEST_F(UpdaterRun, LogOfEachRun)
{
    const std::string info = " [QZ Updater.QZUP] INFO - ";
    const std::string error = " [QZ Updater.QZUP] ERROR - ";
    const std::string task = " (task=1, taskName=Main)";
    const std::string missingNew = "The new version of the application was not found at 'T/Down Load/Client.app/'. "
                                   "Nothing was changed. Download the update again, then retry.";
    const std::string missingOld = "The application to update was not found at 'T/My Apps/Client.app/'. Nothing "
                                   "was changed. Check that the application is still installed there, then retry the update.";
    const std::string notRestarted = "The application was updated but could not be started again. Start it yourself.";
    struct Row {
        const char* name;
        std::function<void()> prepare;
        int exitCode;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"success", [] {}, 0,
         {"1 TIME" + info + "Updater starting - D - H ()", "2 TIME" + info + "Waiting for external process to quit ()",
          "3 TIME" + info + "Skipping process wait (negative pid) ()",
          "4 TIME" + info + "Proceeding with up-to-date application install... ()",
          "5 TIME" + info + "Proceeding with up-to-date application restart... ()",
          "6 TIME" + info + "Restarting installed application (open -a \"T/My Apps/Client.app/\")... ()",
          "7 TIME" + info + "Updated application restarted, returned 0 ()",
          "8 TIME" + info + "Up-to-date application restarted ()", "9 TIME" + info + "Update successful - D - H ()"}},
        {"both bundles missing", [this] { std::filesystem::remove_all(fOld); std::filesystem::remove_all(fNew); }, 2,
         {"1 TIME" + info + "Updater starting - D - H ()", "2 TIME" + error + missingNew + " ()",
          "3 TIME" + error + missingOld + " ()", "4 TIME" + info + "Update failed - D - H ()",
          "5 TIME [QZ Updater.UPQZ] ERROR - [3] " + missingOld + task,
          "6 TIME [QZ Updater.UPQZ] ERROR - [2] " + missingNew + task}},
        {"restart failure",
         [this] {
             std::filesystem::remove(fUpdaterBundle + "/Contents/MacOS/open");
             std::filesystem::remove_all(fTemp / "home/.local");
         },
         2,
         {"1 TIME" + info + "Updater starting - D - H ()", "2 TIME" + info + "Waiting for external process to quit ()",
          "3 TIME" + info + "Skipping process wait (negative pid) ()",
          "4 TIME" + info + "Proceeding with up-to-date application install... ()",
          "5 TIME" + info + "Proceeding with up-to-date application restart... ()",
          "6 TIME" + info + "Restarting installed application (open -a \"T/My Apps/Client.app/\")... ()",
          "7 TIME" + error + "Failed to restart updated application (returned error 2 - exit status 0) ()",
          "8 TIME" + error + "Up-to-date application restart failed ()", "9 TIME" + error + notRestarted + " ()",
          "10 TIME" + info + "Update failed - D - H ()",
          "11 TIME [QZ Updater.UPQZ] ERROR - [120] " + notRestarted + task}},
    };
    test::StEnvVar path("PATH", fTemp / "bin");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(fTemp / "logs");
        for (const std::string& bundle : {fOld, fNew}) {
            std::filesystem::remove_all(bundle);
            test::MakeSampleBundle(bundle, bundle == fOld ? "1" : "2", fRecord);
        }
        row.prepare();
        std::string out, err;
        EXPECT_EQ(Run({"--silent", "--log-dir=" + fTemp / "logs/run"}, out, err), row.exitCode);
        EXPECT_EQ(out + err, "");
        EXPECT_EQ(Logs(fTemp / "logs/run", fTemp.Path()), (std::map<std::string, std::vector<std::string>>{{"NAME_1.txt", row.lines}}));
    }
}

// Bundle, restart-params and log folder names that are not UTF-8 (or hold the launcher's quote
// and escape characters) reach the system as the same bytes all the way: a lossy decoding would
// act on the "\xef\xbf\xbd" (U+FFFD) names instead.
TEST_F(UpdaterRun, NamesThatAreNotUTF8KeepTheirBytes)
{
    fOld = fTemp / "My\xff \"Apps\\/Cli\xff" "ent.app";
    fNew = fTemp / "Down\xfe/Cli\xff" "ent.app";
    test::MakeSampleBundle(fOld, "1", fRecord);
    test::MakeSampleBundle(fNew, "2", fRecord);
    const std::string link = fTemp / "L\xff.QZlink";
    test::WriteFile(link, "link");
    std::string out, err;
    EXPECT_EQ(Run({"--silent", "--restart-params=" + link, "--log-dir=" + fTemp / "logs\xff"}, out, err), 0);
    EXPECT_EQ(out + err, "");
    EXPECT_EQ(WaitForLines(fRecord, 1), "2 [" + link + "]\n");
    EXPECT_EQ(Manifest(fOld), fNewManifest);
    EXPECT_EQ(NamesIn(fTemp / "My\xff \"Apps\\"), (Names{"Cli\xff" "ent.app"}));
    EXPECT_EQ(Manifest(Trashed("Cli\xff" "ent_old0001.app")), fOldManifest);
    auto logs = Logs(fTemp / "logs\xff", fTemp.Path());
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_TRUE(logs.count("NAME_1.txt"));
    EXPECT_EQ(logs["NAME_1.txt"].back(), "9 TIME [QZ Updater.QZUP] INFO - Update successful - D - H ()");
    EXPECT_EQ(NamesIn(fTemp.Path()), (Names{"Install Folder", "home", "bin", "My Apps", "Down Load", "record",
                                            "My\xff \"Apps\\", "Down\xfe", "L\xff.QZlink", "logs\xff"}));
}

TEST_F(UpdaterRun, FailureDialogInTheUsersLanguageNamesTheLogFile)
{
#define NBSP "\xC2\xA0"
    std::filesystem::remove_all(fNew);
    FakeDialog("zenity", 1);
    test::StEnvVar display("DISPLAY", ":99");
    struct Row { const char* name; const char* lang; std::string text; };
    const Row rows[] = {
        {"English", "C.UTF-8",
         "The new version of the application was not found at 'T/Down Load/Client.app/'. Nothing was changed. "
         "Download the update again, then retry.\r\nMore information is available in the log file "
         "'T/logs/NAME_1.txt'. Do you want to open it?"},
        {"French", "fr_CA.UTF-8",
         // French typography: no-break spaces inside the quotation marks and before '?'.
         "La nouvelle version de l’application est introuvable à l’emplacement «" NBSP "T/Down Load/Client.app/" NBSP
         "». Rien n’a été modifié. Téléchargez de nouveau la mise à jour, puis réessayez.\r\nVous trouverez plus "
         "d’informations dans le fichier journal «" NBSP "T/logs/NAME_1.txt" NBSP "». Voulez-vous l’ouvrir" NBSP "?"},
        {"no text of that language", "de_DE.UTF-8",
         "The new version of the application was not found at 'T/Down Load/Client.app/'. Nothing was changed. "
         "Download the update again, then retry.\r\nMore information is available in the log file "
         "'T/logs/NAME_1.txt'. Do you want to open it?"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(fTemp / "dialog");
        std::filesystem::remove_all(fTemp / "logs");
        test::StEnvVar lang("LANG", row.lang);
        std::string out, err;
        EXPECT_EQ(Run({"--log-dir=" + fTemp / "logs"}, out, err), 2);
        std::string text = test::ReadFile(fTemp / "dialog");
        text = std::regex_replace(text, std::regex(fTemp.Path()), "T");
        text = std::regex_replace(text, std::regex("\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_log"), "NAME");
        EXPECT_EQ(text, "--question\n--text=" + row.text + "\n--ok-label=Yes\n--cancel-label=No\n--default-cancel\n--no-markup\n");
    }
#undef NBSP
}

TEST_F(UpdaterRun, LogFolderThatCannotBeMadeStillShowsTheDialog)
{
    FakeDialog("zenity", 0);
    FakeDialog("xdg-open", 0);
    test::StEnvVar display("DISPLAY", ":99");
    test::WriteFile(fTemp / "plain", "a file where a folder should be");
    std::string out, err;
    EXPECT_EQ(Run({"--silent", "--log-dir=" + fTemp / "plain/logs"}, out, err), 2);
    EXPECT_EQ(test::ReadFile(fTemp / "dialog"),
              "--question\n--text=The folder '" + fTemp / "plain/" + "' could not be created. Check that you may write in its "
              "parent folder and that the disk is not full.\n--ok-label=Yes\n--cancel-label=No\n--default-cancel\n--no-markup\n")
        << "no log file to name, nor to open on Yes";
    EXPECT_EQ(Manifest(fOld), fOldManifest);
}

TEST_F(UpdaterRun, YesOpensTheLogFileAndNoLogDirWritesNoFile)
{
    std::filesystem::remove_all(fNew);
    FakeDialog("zenity", 0);
    FakeDialog("xdg-open", 0);
    test::StEnvVar display("DISPLAY", ":99");
    std::string out, err;
    EXPECT_EQ(Run({"--log-dir=" + fTemp / "logs"}, out, err), 2);
    const std::set<std::string> logs = NamesIn(fTemp / "logs");
    ASSERT_EQ(logs.size(), 1u);
    // The dialog's lines, then the opener's argument: the log file itself.
    const std::string dialog = test::ReadFile(fTemp / "dialog");
    EXPECT_EQ(dialog.substr(dialog.rfind("--no-markup\n") + 12), fTemp / "logs/" + *logs.begin() + "\n");

    std::filesystem::remove_all(fTemp / "logs");
    const std::string before = Manifest(fTemp.Path());
    EXPECT_EQ(Run({"--silent"}, out, err), 2);
    EXPECT_EQ(Manifest(fTemp.Path()), before) << "without --log-dir no file is written anywhere";
}

} // namespace nuvo
