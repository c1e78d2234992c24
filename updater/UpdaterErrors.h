#pragma once
// The updater's own error numbers (component 'UPQZ'). Their texts come from the localization
// files under the keys "ERR_UPQZ_<number>".

#include "kernel/base/VTypes.h"

namespace nuvo {

inline constexpr VError VE_UPDATER_WAIT_FAILED = MakeVError(kComponentUpdater, 1);
inline constexpr VError VE_UPDATER_UPTODATE_APP_NOT_FOUND = MakeVError(kComponentUpdater, 2);   // "path"
inline constexpr VError VE_UPDATER_OUTDATED_APP_NOT_FOUND = MakeVError(kComponentUpdater, 3);   // "path"
inline constexpr VError VE_UPDATER_CANNOT_SET_ASIDE = MakeVError(kComponentUpdater, 11);        // "srcPath", "dstPath"
inline constexpr VError VE_UPDATER_CANNOT_CREATE_INSTALL_PARENT = MakeVError(kComponentUpdater, 12); // "path"
inline constexpr VError VE_UPDATER_COPY_FAILED = MakeVError(kComponentUpdater, 13);             // "from", "to"
inline constexpr VError VE_UPDATER_UPTODATE_INSIDE_OUTDATED = MakeVError(kComponentUpdater, 14); // "path"
inline constexpr VError VE_UPDATER_BAD_CLIENT_INFO = MakeVError(kComponentUpdater, 41);
inline constexpr VError VE_UPDATER_INSTALL_FAILED = MakeVError(kComponentUpdater, 100);
inline constexpr VError VE_UPDATER_LOG_NOT_STARTED = MakeVError(kComponentUpdater, 101);
inline constexpr VError VE_UPDATER_RESTART_FAILED = MakeVError(kComponentUpdater, 120);

} // namespace nuvo
