#include "kernel/system/VSystem.h"

namespace nuvo {

uint64_t VSystem::GetCurrentTime() { return 0; }
void VSystem::GetProcessList(std::vector<int>&) {}
void VSystem::Delay(int32_t) {}
bool VSystem::DisplayNotification(const VString&, const VString&, uint32_t, ENotificationResponse*) { return false; }
void VSystem::CancelAllPendingUserNotifications() {}
bool VSystem::IsSystemVersionOrAbove(SystemVersion) { return true; }
void VSystem::GetOSVersionString(VString&) {}
void VSystem::GetFullOSName(VString&) {}
void VSystem::GetSystemBuildNumber(VString&) {}
bool VSystem::OpenWithDefaultApplication(const VFilePath&) { return false; }
bool VSystem::PrependExecutableFolderToPath() { return false; }

} // namespace nuvo
