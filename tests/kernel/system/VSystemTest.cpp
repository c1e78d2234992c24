#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/VFilePath.h"
#include "kernel/system/VSystem.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

using test::StEnvVar;
using test::StTempFolder;

// Polls for a file another process writes; no deadline, so a loaded machine cannot fail it.
std::string WaitForFile(const std::string& path)
{
    while (!std::filesystem::exists(path))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return test::ReadFile(path);
}

char StateOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return 0;
    return line[line.rfind(')') + 2];
}

bool Contains(const std::vector<int>& pids, int pid)
{
    return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

// A fake dialog program: records its arguments one per line in DIR/args (written whole, then
// renamed), prints output and exits with status.
void WriteFakeTool(const StTempFolder& temp, const std::string& name, int status, const std::string& output)
{
    test::WriteFile(temp / ("bin/" + name),
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + temp / "args.tmp" + "\n"
        "/bin/mv " + temp / "args.tmp" + " " + temp / "args" + "\n"
        "printf '%s' '" + output + "'\nexit " + std::to_string(status) + "\n", 0755);
}

TEST(VSystem, ClockAndDelay)
{
    uint64_t before = VSystem::GetCurrentTime();
    VSystem::Delay(300);
    uint64_t after = VSystem::GetCurrentTime();
    EXPECT_GE(after - before, 300u);
    VSystem::Delay(0);
    VSystem::Delay(-5);
    EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(14));
}

TEST(VSystem, ProcessListSkipsZombies)
{
    pid_t live = ::fork();
    if (live == 0) {
        for (;;)
            ::pause();
    }
    pid_t zombie = ::fork();
    if (zombie == 0)
        ::_exit(0);
    ASSERT_GT(live, 0);
    ASSERT_GT(zombie, 0);
    while (StateOf(zombie) != 'Z')
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    std::vector<int> pids { -5 };
    VSystem::GetProcessList(pids);
    ASSERT_FALSE(pids.empty());
    EXPECT_EQ(pids.front(), -5) << "existing entries are kept";
    EXPECT_TRUE(Contains(pids, int(::getpid())));
    EXPECT_TRUE(Contains(pids, int(live)));
    EXPECT_FALSE(Contains(pids, int(zombie)));

    ::kill(live, SIGKILL);
    ::waitpid(live, nullptr, 0);
    ::waitpid(zombie, nullptr, 0);
}

TEST(VSystem, NotificationThroughDialogPrograms)
{
    struct Row {
        const char* name;
        const char* tool;
        uint32_t flags;
        const char* title;
        int status;
        const char* output;
        ENotificationResponse response;
        const char* args; // one per line
    };
    const Row rows[] = {
        { "failure alert, Yes", "zenity", 2, "", 0, "", eNotificationResponseYes,
          "--question\n--text=Update failed\n--ok-label=Yes\n--cancel-label=No\n--default-cancel\n--no-markup\n" },
        { "failure alert, No", "zenity", 2, "", 1, "", eNotificationResponseNo, nullptr },
        { "Yes is the default", "zenity", 2 | 16, "Title", 0, "", eNotificationResponseYes,
          "--question\n--title=Title\n--text=Update failed\n--ok-label=Yes\n--cancel-label=No\n--no-markup\n" },
        { "one button, caution", "zenity", 0x200, "", 0, "", eNotificationResponseOK,
          "--warning\n--text=Update failed\n--no-markup\n" },
        { "one button, closed", "zenity", 3, "", 1, "", eNotificationResponseDismissed, nullptr },
        { "extra button", "zenity", 4, "", 1, "Yes\n", eNotificationResponseYes,
          "--question\n--text=Update failed\n--ok-label=Cancel\n--cancel-label=No\n--extra-button=Yes\n--no-markup\n" },
        { "retry", "zenity", 5, "", 0, "", eNotificationResponseRetry, nullptr },
        { "ignore", "zenity", 5, "", 1, "", eNotificationResponseIgnore, nullptr },
        { "tool error", "zenity", 1, "", 5, "", eNotificationResponseNone, nullptr },
        { "kdialog on KDE, closed", "kdialog", 2, "", 2, "", eNotificationResponseDismissed,
          "--yesno\nUpdate failed\n--yes-label\nNo\n--no-label\nYes\n" },
        { "kdialog third button", "kdialog", 4 | 32, "T", 2, "", eNotificationResponseCancel,
          "--title\nT\n--yesnocancel\nUpdate failed\n--yes-label\nNo\n--no-label\nYes\n--cancel-label\nCancel\n" },
        { "xmessage", "xmessage", 2, "", 2, "", eNotificationResponseNo,
          "-buttons\nYes:0,No:2\n-default\nNo\n-center\nUpdate failed\n" },
        { "xmessage closed", "xmessage", 2, "", 1, "", eNotificationResponseNone, nullptr },
    };
    StTempFolder temp;
    std::filesystem::create_directories(temp / "bin");
    StEnvVar path("PATH", temp / "bin");
    StEnvVar display("DISPLAY", ":9");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(temp / "bin");
        std::filesystem::create_directories(temp / "bin");
        std::filesystem::remove(temp / "args");
        // kdialog rows also have a zenity, which KDE must not pick.
        const bool kde = std::string(row.tool) == "kdialog";
        if (kde)
            WriteFakeTool(temp, "zenity", 0, "");
        WriteFakeTool(temp, row.tool, row.status, row.output);
        StEnvVar desktop("XDG_CURRENT_DESKTOP", kde ? std::optional<std::string>("ubuntu:KDE") : std::nullopt);

        auto response = ENotificationResponse(99);
        EXPECT_TRUE(VSystem::DisplayNotification(VString(row.title), VString("Update failed"), row.flags, &response));
        EXPECT_EQ(response, row.response);
        if (row.args) {
            EXPECT_EQ(test::ReadFile(temp / "args"), row.args);
        }
    }
}

TEST(VSystem, NotificationThatCannotBeShown)
{
    StTempFolder temp;
    std::filesystem::create_directories(temp / "bin");
    StEnvVar path("PATH", temp / "bin");
    StEnvVar wayland("WAYLAND_DISPLAY", std::nullopt);
    auto response = ENotificationResponse(99);
    {
        SCOPED_TRACE("no display");
        StEnvVar display("DISPLAY", std::nullopt);
        WriteFakeTool(temp, "zenity", 0, "");
        EXPECT_FALSE(VSystem::DisplayNotification(VString(), VString("m"), 2, &response));
        EXPECT_FALSE(std::filesystem::exists(temp / "args"));
    }
    {
        SCOPED_TRACE("no dialog program");
        StEnvVar display("DISPLAY", std::nullopt);
        StEnvVar waylandSet("WAYLAND_DISPLAY", "wayland-0");
        std::filesystem::remove(temp / "bin/zenity");
        EXPECT_FALSE(VSystem::DisplayNotification(VString(), VString("m"), 2, &response));
    }
    EXPECT_EQ(response, ENotificationResponse(99));
}

TEST(VSystem, NotificationWithoutResponseRunsDetachedUntilCancelled)
{
    StTempFolder temp;
    std::filesystem::create_directories(temp / "bin");
    // Records its pid, its session and where its output goes, then waits to be answered.
    test::WriteFile(temp / "bin/zenity",
        "#!/bin/sh\nread -r p c s pp pg sid rest < /proc/$$/stat\n"
        "out=$(/bin/readlink /proc/$$/fd/1)\n"
        "printf '%s %s %s\\n' $$ $sid $out > " + temp / "info.tmp" + "\n"
        "/bin/mv " + temp / "info.tmp" + " " + temp / "info" + "\nexec /bin/sleep 600\n", 0755);
    StEnvVar path("PATH", temp / "bin");
    StEnvVar display("DISPLAY", ":9");
    EXPECT_TRUE(VSystem::DisplayNotification(VString("t"), VString("m"), 0));

    std::istringstream info(WaitForFile(temp / "info"));
    int pid = 0;
    int session = 0;
    std::string output;
    info >> pid >> session >> output;
    EXPECT_EQ(pid, session) << "the dialog leads its own session";
    EXPECT_EQ(output, "/dev/null");
    VSystem::CancelAllPendingUserNotifications();
    while (StateOf(pid) != 0 && StateOf(pid) != 'Z')
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST(VSystem, OpenWithDefaultApplication)
{
    struct Row {
        const char* name;
        int status; // -1: no xdg-open at all
        std::vector<VError> errors;
    };
    const Row rows[] = {
        { "opened", 0, {} },
        { "opener reports failure", 4, { MakePosixError(EIO), VE_FILE_CANNOT_OPEN } },
        { "no opener", -1, { MakePosixError(ENOENT), VE_FILE_CANNOT_OPEN } },
    };
    StTempFolder temp;
    StEnvVar path("PATH", temp / "bin");
    const std::string log = temp / "my logs/Updater_1.txt";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(temp / "bin");
        std::filesystem::create_directories(temp / "bin");
        std::filesystem::remove(temp / "args");
        if (row.status >= 0)
            WriteFakeTool(temp, "xdg-open", row.status, "");
        StErrorContextInstaller errors;
        EXPECT_EQ(VSystem::OpenWithDefaultApplication(VFilePath(VString(log.c_str()), FilePathStyle::Posix)),
            row.errors.empty());
        std::vector<VError> codes;
        for (const auto& record : errors.GetContext()->GetErrorStack())
            codes.push_back(record->GetError());
        EXPECT_EQ(codes, row.errors);
        if (row.status >= 0) {
            EXPECT_EQ(WaitForFile(temp / "args"), log + "\n");
        }
    }
}

TEST(VSystem, ExecutableFolderGoesFirstOnPathOnce)
{
    std::string folder = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    StEnvVar path("PATH", "/usr/bin:/bin");
    ASSERT_TRUE(VSystem::PrependExecutableFolderToPath());
    ASSERT_TRUE(VSystem::PrependExecutableFolderToPath());
    EXPECT_EQ(std::string(std::getenv("PATH")), folder + ":/usr/bin:/bin");
    StEnvVar unset("PATH", std::nullopt);
    ASSERT_TRUE(VSystem::PrependExecutableFolderToPath());
    EXPECT_EQ(std::string(std::getenv("PATH")), folder);
}

} // namespace
} // namespace nuvo
