#include "kernel/errors/VDebugMgr.h"

#include "kernel/logging/ILogger.h"

namespace nuvo {

namespace {

// Set while this thread is inside the hook: logging may itself fail and push a record, which
// must not come back here.
thread_local bool tInErrorHook = false;

} // namespace

VDebugMgr* VDebugMgr::Get()
{
    static VDebugMgr sInstance;
    return &sInstance;
}

bool VDebugMgr::Init()
{
    return true;
}

void VDebugMgr::DeInit() {}

void VDebugMgr::ErrorThrown(VErrorBase* error)
{
    if (!error || tInErrorHook || !AreErrorMessagesEnabled())
        return;
    tInErrorHook = true;
    ILogger::LogErrorIfNecessary(error);
    tInErrorHook = false;
}

bool VDebugMgr::SetErrorMessagesEnabled(bool enabled)
{
    return fErrorMessagesEnabled.exchange(enabled, std::memory_order_acq_rel);
}

} // namespace nuvo
