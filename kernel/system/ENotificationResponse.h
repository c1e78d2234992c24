#pragma once
// The button the user chose in an alert shown by VSystem::DisplayNotification.

#include <cstdint>

namespace nuvo {

enum ENotificationResponse : uint32_t {
    eNotificationResponseNone = 0, // the answer could not be read
    eNotificationResponseOK = 1,
    eNotificationResponseCancel = 2,
    eNotificationResponseYes = 3,
    eNotificationResponseNo = 4,
    eNotificationResponseAbort = 5,
    eNotificationResponseRetry = 6,
    eNotificationResponseIgnore = 7,
    eNotificationResponseDismissed = 8 // closed without any of its buttons
};

// Alert options: the kind in the low four bits, the default-button choice, the caution level.
inline constexpr uint32_t kNotificationKindMask = 15;
inline constexpr uint32_t kNotificationKindOK = 0;
inline constexpr uint32_t kNotificationKindOKCancel = 1;
inline constexpr uint32_t kNotificationKindYesNo = 2;
inline constexpr uint32_t kNotificationKindYesNoCancel = 4;
inline constexpr uint32_t kNotificationKindRetryIgnoreAbort = 5;
inline constexpr uint32_t kNotificationDefaultFirst = 16;
inline constexpr uint32_t kNotificationDefaultSecond = 32;
inline constexpr uint32_t kNotificationCaution = 0x200;

} // namespace nuvo
