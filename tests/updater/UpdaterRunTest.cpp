// The updater program doing its job: a copy of the built bundle run on sample bundles the tests
// make, with HOME, the Trash and the dialog programs inside the test's folder.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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
} // namespace nuvo
