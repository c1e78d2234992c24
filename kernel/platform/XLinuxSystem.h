#pragma once
// Linux system queries: kernel version, executable location, home folder, clock, process list,
// sleep, dialogs through desktop dialog programs, xdg-open, PATH.
// Texts cross this boundary as UTF-8 std::string; no toolkit error records are pushed here.

#include <cstdint>
#include <string>
#include <vector>

namespace nuvo {

// Static queries; every function is thread-safe.
class XLinuxSystem {
public:
    // Reads "major.minor" at the start of a kernel release text such as "6.1.0-18-amd64".
    // False when the text does not begin with two dot-separated numbers.
    static bool ParseKernelRelease(const char* release, int& major, int& minor);

    // True when the running kernel is major.minor or later. False also when uname fails.
    static bool IsKernelVersionOrAbove(int major, int minor);

    // Full path of the running executable (/proc/self/exe, symbolic links resolved).
    static bool GetExecutablePath(std::string& path);

    // $HOME when it is a full path, else the password database's home of the real user.
    static bool GetHomeDirectory(std::string& path);

    // Kernel release ("6.1.0-18-amd64"), the distribution's PRETTY_NAME from os-release (or
    // "Linux") and the kernel's build text. Empty when unknown.
    static std::string GetKernelRelease();
    static std::string GetDistributionName();
    static std::string GetKernelBuild();

    // CLOCK_MONOTONIC in milliseconds.
    static uint64_t GetMonotonicMilliseconds();

    // Appends the all-digit entries of /proc whose state is neither Z nor X. False, pids
    // unchanged, when /proc cannot be read.
    static bool GetProcessList(std::vector<int>& pids);

    // nanosleep, resumed for the remaining time after a signal.
    static void Delay(int32_t milliseconds);

    // An alert to show with a dialog program. Buttons: [0] the default one, [1] the alternate,
    // [2] the other; an empty title means no such button. With only [0] the dialog is a plain
    // message box with the desktop's own button.
    struct Alert {
        std::string title;
        std::string message;
        std::string buttons[3];
        bool caution = false;
    };
    // Results of ShowAlert besides a button index 0..2.
    static constexpr int kAlertCannotShow = -1;
    static constexpr int kAlertNoAnswer = -2;
    static constexpr int kAlertClosed = -3;

    // Shows the alert with zenity, kdialog or xmessage (kdialog first on KDE) when DISPLAY or
    // WAYLAND_DISPLAY is set. With wait, blocks and returns the button pressed; without, the
    // program runs detached and the result is 0 once it started.
    static int ShowAlert(const Alert& alert, bool wait);
    // Ends the dialogs shown without waiting that are still up.
    static void CancelPendingAlerts();

    // xdg-open PATH in its own session, waited for at most about 3 s. 0, or the errno of the
    // failed start (EIO when it reported a failure).
    static int OpenWithDefaultApplication(const std::string& path);

    // Puts folder first on PATH (not again when it already is first).
    static bool PrependToPath(const std::string& folder);
};

} // namespace nuvo
