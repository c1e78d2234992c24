#pragma once

#include <atomic>

namespace nuvo {

class VErrorBase;

// The debug manager's error hook: every error record pushed unfiltered on a task comes here and
// is logged through the process logger while error messages are enabled. The hook never blocks
// on anything but the logger's short lock and never re-enters itself on the same thread (a record
// pushed while logging is not logged again). Thread-safe singleton.
class VDebugMgr {
public:
    static VDebugMgr* Get();

    bool Init();
    void DeInit();

    void ErrorThrown(VErrorBase* error);

    // Enabled by default. Returns the previous state.
    bool SetErrorMessagesEnabled(bool enabled);
    bool AreErrorMessagesEnabled() const { return fErrorMessagesEnabled.load(std::memory_order_acquire); }

private:
    VDebugMgr() = default;

    std::atomic<bool> fErrorMessagesEnabled{true};
};

} // namespace nuvo
