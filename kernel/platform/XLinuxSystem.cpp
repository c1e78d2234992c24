// Linux system queries: uname, /proc, clocks, sleeps, the environment, and the dialog and
// opener programs of the desktop (started through XPosixProcessLauncher).

#include "kernel/platform/XLinuxSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "kernel/platform/XPosixProcessLauncher.h"

namespace nuvo {

namespace {

bool ParseNumber(const char*& p, int& out)
{
    if (*p < '0' || *p > '9')
        return false;
    long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > 1000000)
            return false;
        ++p;
    }
    out = int(value);
    return true;
}

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// The state letter of /proc/PID/stat comes after the command name, which may hold ')' itself:
// take the last one.
char ReadProcessState(int pid)
{
    char path[64];
    if (std::snprintf(path, sizeof path, "/proc/%d/stat", pid) >= static_cast<int>(sizeof path))
        return 0;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[512];
    ssize_t size = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (size <= 0)
        return 0;
    buffer[size] = 0;
    const char* close = std::strrchr(buffer, ')');
    return close && close[1] == ' ' ? close[2] : 0;
}

// Dialogs shown without waiting, by pid. A pid leaves the set, under the lock, before it is
// reaped, so CancelPendingAlerts never signals a reused pid.
std::mutex sPendingMutex;
std::set<int>& PendingAlerts()
{
    static std::set<int> pending;
    return pending;
}

void WatchPendingAlert(int pid)
{
    {
        std::lock_guard lock(sPendingMutex);
        PendingAlerts().insert(pid);
    }
    std::thread([pid] {
        siginfo_t info;
        while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        std::lock_guard lock(sPendingMutex);
        PendingAlerts().erase(pid);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

enum class DialogTool { Zenity, KDialog, XMessage };

// Where the default and the alternate button stand in a two-button row: the one earlier in
// the toolkit's answer order (OK, Cancel, Yes, No, Abort, Retry, Ignore) first, so that OK and
// Yes come before their partners; the default is then marked on its own.
struct ButtonOrder {
    int first;
    int second;
};

int AnswerRank(const std::string& title)
{
    static const char* const kOrder[] = { "OK", "Cancel", "Yes", "No", "Abort", "Retry", "Ignore" };
    for (int i = 0; i < 7; ++i) {
        if (title == kOrder[i])
            return i;
    }
    return 7;
}

ButtonOrder NaturalOrder(const XLinuxSystem::Alert& alert)
{
    if (AnswerRank(alert.buttons[1]) < AnswerRank(alert.buttons[0]))
        return { 1, 0 };
    return { 0, 1 };
}

std::vector<std::string> DialogArguments(DialogTool tool, const std::string& program, const XLinuxSystem::Alert& alert)
{
    std::vector<std::string> args { program };
    const bool single = alert.buttons[1].empty();
    const bool three = !single && !alert.buttons[2].empty();
    const ButtonOrder order = NaturalOrder(alert);
    switch (tool) {
    case DialogTool::Zenity:
        args.push_back(single ? (alert.caution ? "--warning" : "--info") : "--question");
        if (!alert.title.empty())
            args.push_back("--title=" + alert.title);
        args.push_back("--text=" + alert.message);
        if (!single) {
            args.push_back("--ok-label=" + alert.buttons[order.first]);
            args.push_back("--cancel-label=" + alert.buttons[order.second]);
            if (three)
                args.push_back("--extra-button=" + alert.buttons[2]);
            if (order.first != 0)
                args.push_back("--default-cancel");
            if (alert.caution)
                args.push_back("--icon-name=dialog-warning");
        }
        args.push_back("--no-markup");
        break;
    case DialogTool::KDialog:
        // kdialog cannot choose its default button: the default goes on the yes button.
        if (!alert.title.empty()) {
            args.push_back("--title");
            args.push_back(alert.title);
        }
        if (single) {
            args.push_back(alert.caution ? "--sorry" : "--msgbox");
            args.push_back(alert.message);
            break;
        }
        args.push_back(std::string(alert.caution ? "--warning" : "--") + (three ? "yesnocancel" : "yesno"));
        args.push_back(alert.message);
        args.push_back("--yes-label");
        args.push_back(alert.buttons[0]);
        args.push_back("--no-label");
        args.push_back(alert.buttons[1]);
        if (three) {
            args.push_back("--cancel-label");
            args.push_back(alert.buttons[2]);
        }
        break;
    case DialogTool::XMessage: {
        if (!alert.title.empty()) {
            args.push_back("-title");
            args.push_back(alert.title);
        }
        // Exit status 1 also means "closed" or "error": no button gets it.
        std::string buttons = alert.buttons[order.first] + ":0";
        if (!single)
            buttons += "," + alert.buttons[order.second] + ":2";
        if (three)
            buttons += "," + alert.buttons[2] + ":3";
        args.push_back("-buttons");
        args.push_back(buttons);
        args.push_back("-default");
        args.push_back(alert.buttons[0]);
        args.push_back("-center");
        args.push_back(alert.message);
        break;
    }
    }
    return args;
}

int DecodeDialogAnswer(DialogTool tool, const XLinuxSystem::Alert& alert, int exitStatus, const std::string& output)
{
    const bool single = alert.buttons[1].empty();
    const ButtonOrder order = NaturalOrder(alert);
    switch (tool) {
    case DialogTool::Zenity:
        if (exitStatus == 0)
            return single ? 0 : order.first;
        if (exitStatus == 1) {
            if (single)
                return XLinuxSystem::kAlertClosed;
            // The extra button also exits with 1, printing its title.
            std::string printed = output;
            while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r'))
                printed.pop_back();
            if (!alert.buttons[2].empty() && printed == alert.buttons[2])
                return 2;
            return order.second;
        }
        return XLinuxSystem::kAlertNoAnswer;
    case DialogTool::KDialog:
        if (exitStatus == 0)
            return 0;
        if (exitStatus == 1)
            return single ? XLinuxSystem::kAlertNoAnswer : 1;
        if (exitStatus == 2)
            return !single && !alert.buttons[2].empty() ? 2 : XLinuxSystem::kAlertClosed;
        return XLinuxSystem::kAlertNoAnswer;
    case DialogTool::XMessage:
        if (exitStatus == 0)
            return order.first;
        if (exitStatus == 2 && !single)
            return order.second;
        if (exitStatus == 3 && !alert.buttons[2].empty())
            return 2;
        return XLinuxSystem::kAlertNoAnswer;
    }
    return XLinuxSystem::kAlertNoAnswer;
}

} // namespace

bool XLinuxSystem::ParseKernelRelease(const char* release, int& major, int& minor)
{
    if (!release)
        return false;
    const char* p = release;
    int maj = 0;
    int min = 0;
    if (!ParseNumber(p, maj) || *p != '.')
        return false;
    ++p;
    if (!ParseNumber(p, min))
        return false;
    major = maj;
    minor = min;
    return true;
}

bool XLinuxSystem::IsKernelVersionOrAbove(int major, int minor)
{
    struct utsname names;
    if (::uname(&names) != 0)
        return false;
    int runningMajor = 0;
    int runningMinor = 0;
    if (!ParseKernelRelease(names.release, runningMajor, runningMinor))
        return false;
    return runningMajor > major || (runningMajor == major && runningMinor >= minor);
}

bool XLinuxSystem::GetExecutablePath(std::string& path)
{
    // readlink does not say whether the result was truncated: grow until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (size_t(length) < buffer.size()) {
            path.assign(buffer.data(), size_t(length));
            return true;
        }
        if (buffer.size() >= 65536)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool XLinuxSystem::GetHomeDirectory(std::string& path)
{
    // A relative HOME names no folder: the password database answers instead.
    if (const char* home = std::getenv("HOME"); home && *home == '/') {
        path = home;
        return true;
    }
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 4096);
    struct passwd entry;
    struct passwd* found = nullptr;
    for (;;) {
        int result = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (result == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (result != 0 || !found || !found->pw_dir || !*found->pw_dir)
            return false;
        path = found->pw_dir;
        return true;
    }
}

std::string XLinuxSystem::GetKernelRelease()
{
    struct utsname names;
    return ::uname(&names) == 0 ? std::string(names.release) : std::string();
}

std::string XLinuxSystem::GetKernelBuild()
{
    struct utsname names;
    return ::uname(&names) == 0 ? std::string(names.version) : std::string();
}

std::string XLinuxSystem::GetDistributionName()
{
    for (const char* file : { "/etc/os-release", "/usr/lib/os-release" }) {
        std::ifstream stream(file);
        std::string line;
        while (std::getline(stream, line)) {
            if (line.rfind("PRETTY_NAME=", 0) != 0)
                continue;
            std::string value = line.substr(12);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            if (!value.empty())
                return value;
        }
    }
    return "Linux";
}

uint64_t XLinuxSystem::GetMonotonicMilliseconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

bool XLinuxSystem::GetProcessList(std::vector<int>& pids)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    std::vector<int> found;
    while (const dirent* entry = ::readdir(proc)) {
        const char* name = entry->d_name;
        long value = 0;
        const char* p = name;
        for (; *p >= '0' && *p <= '9' && value <= 0x7FFFFFFF; ++p)
            value = value * 10 + (*p - '0');
        if (p == name || *p != 0 || value > 0x7FFFFFFF)
            continue;
        // A zombie holds no files any more; a process gone since readdir has no stat.
        char state = ReadProcessState(int(value));
        if (state == 0 || state == 'Z' || state == 'X')
            continue;
        found.push_back(int(value));
    }
    ::closedir(proc);
    pids.insert(pids.end(), found.begin(), found.end());
    return true;
}

void XLinuxSystem::Delay(int32_t milliseconds)
{
    if (milliseconds <= 0)
        return;
    timespec wait { milliseconds / 1000, long(milliseconds % 1000) * 1000000L };
    timespec left {};
    while (::nanosleep(&wait, &left) != 0 && errno == EINTR)
        wait = left;
}

int XLinuxSystem::ShowAlert(const Alert& alert, bool wait)
{
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY"))
        return kAlertCannotShow;
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const bool kde = desktop && std::strstr(desktop, "KDE");
    const DialogTool kdeOrder[] = { DialogTool::KDialog, DialogTool::Zenity, DialogTool::XMessage };
    const DialogTool usualOrder[] = { DialogTool::Zenity, DialogTool::KDialog, DialogTool::XMessage };
    const char* path = std::getenv("PATH");
    DialogTool tool = DialogTool::Zenity;
    std::string program;
    bool found = false;
    for (DialogTool candidate : kde ? kdeOrder : usualOrder) {
        const char* name = candidate == DialogTool::Zenity ? "zenity" : candidate == DialogTool::KDialog ? "kdialog" : "xmessage";
        if (XPosixProcessLauncher::FindOnPath(name, path, program)) {
            tool = candidate;
            found = true;
            break;
        }
    }
    if (!found)
        return kAlertCannotShow;

    std::vector<std::string> args = DialogArguments(tool, program, alert);
    if (!wait) {
        int savedErrno = 0;
        int pid = XPosixProcessLauncher::SpawnDetached(program, args, savedErrno);
        if (pid < 0)
            return kAlertNoAnswer;
        WatchPendingAlert(pid);
        return 0;
    }

    XPosixProcessLauncher launcher;
    VString binary;
    binary.FromCString(program.c_str());
    launcher.SetBinaryPath(binary);
    for (size_t i = 1; i < args.size(); ++i) {
        VString text;
        text.FromCString(args[i].c_str());
        launcher.AddArgument(text, false);
    }
    if (launcher.Start() != 0)
        return kAlertNoAnswer;
    launcher.CloseStandardInput();
    std::string output;
    launcher.ReadFromChildAndShutdown([&](const void* data, size_t size) { output.append(static_cast<const char*>(data), size); }, nullptr);
    return DecodeDialogAnswer(tool, alert, launcher.GetExitStatus(), output);
}

void XLinuxSystem::CancelPendingAlerts()
{
    std::lock_guard lock(sPendingMutex);
    for (int pid : PendingAlerts())
        ::kill(pid, SIGTERM);
}

int XLinuxSystem::OpenWithDefaultApplication(const std::string& path)
{
    int savedErrno = 0;
    int pid = XPosixProcessLauncher::SpawnDetached("xdg-open", { "xdg-open", path }, savedErrno);
    if (pid < 0)
        return savedErrno;
    int exitStatus = 0;
    // A desktop that opens the file slowly is left running after about 3 s.
    if (XPosixProcessLauncher::WaitForChild(pid, 3000, exitStatus) && exitStatus != 0)
        return EIO;
    return 0;
}

bool XLinuxSystem::PrependToPath(const std::string& folder)
{
    if (folder.empty())
        return false;
    const char* current = std::getenv("PATH");
    std::string value = folder;
    if (current && *current) {
        std::string existing(current);
        if (existing == folder || existing.rfind(folder + ":", 0) == 0)
            return true;
        value += ":" + existing;
    }
    return ::setenv("PATH", value.c_str(), 1) == 0;
}

} // namespace nuvo
