#pragma once
// Operating-system queries: clock, process list, sleep, alerts, system version, opening a file
// with the desktop's default application.

#include <cstdint>
#include <vector>

#include "kernel/system/ENotificationResponse.h"

namespace nuvo {

class VFilePath;
class VString;

using SystemVersion = int32_t;

// Static facade over the platform layer. GetCurrentTime, GetProcessList and Delay are safe from
// any thread; the pending-alert list is guarded by its own lock. Only OpenWithDefaultApplication
// pushes error records; the others report failure through their result.
class VSystem {
public:
    VSystem() = delete;

    // Milliseconds of a monotonic clock that starts at boot; never goes backwards.
    static uint64_t GetCurrentTime();

    // Appends the identifier of every live process (zombies count as gone). On failure pids is
    // left unchanged.
    static void GetProcessList(std::vector<int>& pids);

    // Sleeps that long, sleeping again for the rest when interrupted. 0 or less returns at once.
    static void Delay(int32_t milliseconds);

    // Shows an alert (flags: ENotificationResponse.h). With a response the call blocks until the
    // user answers; without, the alert stays up and the call returns at once. False when the
    // alert cannot be shown (no display, no dialog program), response untouched then.
    static bool DisplayNotification(const VString& title, const VString& message, uint32_t flags,
        ENotificationResponse* response = nullptr);

    // Closes every alert still shown without waiting.
    static void CancelAllPendingUserNotifications();

    // The system's own version tests and texts (the kernel on Linux). Every SystemVersion value
    // this toolkit knows maps to the minimum kernel it needs.
    static bool IsSystemVersionOrAbove(SystemVersion version);
    static void GetOSVersionString(VString& out);
    static void GetFullOSName(VString& out);
    static void GetSystemBuildNumber(VString& out);

    // Opens the file with the desktop's default application and returns without waiting for it
    // to finish. False with an error record when no opener could be started or it failed early.
    [[nodiscard]] static bool OpenWithDefaultApplication(const VFilePath& path);

    // Puts the running executable's folder first on PATH so that programs shipped beside it are
    // found by the launcher's PATH search. False when the executable's path is unknown.
    [[nodiscard]] static bool PrependExecutableFolderToPath();
};

} // namespace nuvo
