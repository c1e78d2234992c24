#include "kernel/system/VSystem.h"

#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFilePath.h"
#include "kernel/platform/XLinuxErrno.h"
#include "kernel/platform/XLinuxSystem.h"
#include "kernel/text/VString.h"

namespace nuvo {

namespace {

// The kernel that renameat2 needs; every version this toolkit asks for maps to it.
constexpr int kMinimumKernelMajor = 3;
constexpr int kMinimumKernelMinor = 15;

struct ButtonRow {
    const char* titles[3]; // default, alternate, other
    ENotificationResponse answers[3];
};

// Which buttons an alert shows, by kind and default-button flags.
ButtonRow ButtonsFor(uint32_t flags)
{
    const uint32_t defaultChoice = flags & (kNotificationDefaultFirst | kNotificationDefaultSecond);
    switch (flags & kNotificationKindMask) {
    case kNotificationKindOKCancel:
        if (flags & kNotificationDefaultFirst)
            return { { "OK", "Cancel", nullptr }, { eNotificationResponseOK, eNotificationResponseCancel } };
        return { { "Cancel", "OK", nullptr }, { eNotificationResponseCancel, eNotificationResponseOK } };
    case kNotificationKindYesNo:
        if (flags & kNotificationDefaultFirst)
            return { { "Yes", "No", nullptr }, { eNotificationResponseYes, eNotificationResponseNo } };
        return { { "No", "Yes", nullptr }, { eNotificationResponseNo, eNotificationResponseYes } };
    case kNotificationKindYesNoCancel:
        if (defaultChoice == kNotificationDefaultSecond)
            return { { "No", "Yes", "Cancel" },
                { eNotificationResponseNo, eNotificationResponseYes, eNotificationResponseCancel } };
        if (defaultChoice == kNotificationDefaultFirst)
            return { { "Yes", "No", "Cancel" },
                { eNotificationResponseYes, eNotificationResponseNo, eNotificationResponseCancel } };
        return { { "Cancel", "No", "Yes" },
            { eNotificationResponseCancel, eNotificationResponseNo, eNotificationResponseYes } };
    case kNotificationKindRetryIgnoreAbort:
        return { { "Retry", "Ignore", "Abort" },
            { eNotificationResponseRetry, eNotificationResponseIgnore, eNotificationResponseAbort } };
    default:
        // The desktop's own single button; there is no title to choose.
        return { { "OK", nullptr, nullptr }, { eNotificationResponseOK } };
    }
}

} // namespace

uint64_t VSystem::GetCurrentTime()
{
    return XLinuxSystem::GetMonotonicMilliseconds();
}

void VSystem::GetProcessList(std::vector<int>& pids)
{
    (void)XLinuxSystem::GetProcessList(pids);
}

void VSystem::Delay(int32_t milliseconds)
{
    XLinuxSystem::Delay(milliseconds);
}

bool VSystem::DisplayNotification(const VString& title, const VString& message, uint32_t flags,
    ENotificationResponse* response)
{
    const ButtonRow row = ButtonsFor(flags);
    XLinuxSystem::Alert alert;
    // Without a title the message alone is the alert's header: no window title is set.
    alert.title = to_string(title);
    alert.message = to_string(message);
    for (int i = 0; i < 3; ++i) {
        if (row.titles[i])
            alert.buttons[i] = row.titles[i];
    }
    alert.caution = (flags & kNotificationCaution) != 0;

    int answer = XLinuxSystem::ShowAlert(alert, response != nullptr);
    if (answer == XLinuxSystem::kAlertCannotShow)
        return false;
    if (response) {
        if (answer >= 0 && answer < 3 && row.titles[answer])
            *response = row.answers[answer];
        else if (answer == XLinuxSystem::kAlertClosed)
            *response = eNotificationResponseDismissed;
        else
            *response = eNotificationResponseNone;
    }
    return true;
}

void VSystem::CancelAllPendingUserNotifications()
{
    XLinuxSystem::CancelPendingAlerts();
}

bool VSystem::IsSystemVersionOrAbove(SystemVersion /*version*/)
{
    return XLinuxSystem::IsKernelVersionOrAbove(kMinimumKernelMajor, kMinimumKernelMinor);
}

void VSystem::GetOSVersionString(VString& out)
{
    out.FromCString(XLinuxSystem::GetKernelRelease().c_str());
}

void VSystem::GetFullOSName(VString& out)
{
    std::string name = XLinuxSystem::GetDistributionName();
    std::string release = XLinuxSystem::GetKernelRelease();
    if (!release.empty())
        name += " (Linux " + release + ")";
    out.FromCString(name.c_str());
}

void VSystem::GetSystemBuildNumber(VString& out)
{
    out.FromCString(XLinuxSystem::GetKernelBuild().c_str());
}

bool VSystem::OpenWithDefaultApplication(const VFilePath& path)
{
    VString posix;
    path.GetPosixPath(posix);
    int savedErrno = XLinuxSystem::OpenWithDefaultApplication(to_string(posix));
    if (savedErrno == 0)
        return true;
    _PushRetainedError(new VFileError(path, VE_FILE_CANNOT_OPEN), XLinuxErrnoToError(savedErrno));
    return false;
}

bool VSystem::PrependExecutableFolderToPath()
{
    std::string executable;
    if (!XLinuxSystem::GetExecutablePath(executable))
        return false;
    size_t slash = executable.rfind('/');
    if (slash == std::string::npos)
        return false;
    return XLinuxSystem::PrependToPath(slash == 0 ? "/" : executable.substr(0, slash));
}

} // namespace nuvo
