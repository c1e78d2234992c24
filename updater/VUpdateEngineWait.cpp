// The caller handshake: the progress line on standard output, the standard streams closed, and
// the wait for the caller's process to leave the process list.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "kernel/errors/ErrorThrowing.h"
#include "kernel/process/VTask.h"
#include "kernel/system/VSystem.h"
#include "updater/UpdaterErrors.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

namespace {

constexpr int32_t kPollInterval = 500;
constexpr uint32_t kLastPollingElapsed = 59999;
constexpr uint32_t kMaximumWait = 60000;
// The system may still hold the caller's files for a moment after its process is gone.
constexpr int32_t kSettleDelay = 1000;

} // namespace

void VUpdateEngine::_LogProgressToCaller(const char* step, int value)
{
    if (!fReportProgressToCaller)
        return;
    std::printf("%s,%d\n", step, value);
    std::fflush(stdout);
}

void VUpdateEngine::_CloseStandardStreams()
{
    if (!fReportProgressToCaller)
        return;
    VProcessIPC::CloseStandardStreams();
    fReportProgressToCaller = false;
}

bool VUpdateEngine::_WaitForPidToQuit()
{
    if (fCallerPid < 0) {
        LogInfo("Skipping process wait (negative pid)");
        return true;
    }
    LogInfo("Waiting for process %d to quit", fCallerPid);

    // 32-bit on purpose: the difference stays right across a wrap of the low bits.
    const uint32_t start = static_cast<uint32_t>(VSystem::GetCurrentTime());
    uint32_t now = start;
    uint32_t elapsed = 0;
    bool found = true;
    for (;;) {
        elapsed = now - start;
        if (!found || elapsed > kLastPollingElapsed)
            break;
        std::vector<int> pids;
        VSystem::GetProcessList(pids);
        // An unreadable (empty) list proves nothing: the process counts as still there.
        if (!pids.empty())
            found = std::find(pids.begin(), pids.end(), fCallerPid) != pids.end();
        VTask::Sleep(kPollInterval);
        now = static_cast<uint32_t>(VSystem::GetCurrentTime());
    }

    if (!found || elapsed < kMaximumWait) {
        VTask::Sleep(kSettleDelay);
        LogInfo("Process %d has quit. Proceeding.", fCallerPid);
        return true;
    }
    LogError("Process %d still exists after maximum wait time. Giving up.", fCallerPid);
    _ThrowError(VE_UPDATER_WAIT_FAILED);
    return false;
}

} // namespace nuvo
