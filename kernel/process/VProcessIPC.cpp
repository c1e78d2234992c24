#include "kernel/process/VProcessIPC.h"

#include <cstring>

#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/platform/XPosixProcessIPC.h"
#include "kernel/process/VTask.h"

namespace nuvo {

// Watches the file systems for changes. Nothing in this program consults it yet.
class VFileSystemNotifier {
};

// Tells the process when the machine goes to sleep and wakes. Nothing in this program consults
// it yet.
class VSleepNotifier {
public:
    bool Init() { return true; }
};

VProcessIPC* VProcessIPC::sInstance = nullptr;

VProcessIPC::VProcessIPC()
{
    sInstance = this;
}

VProcessIPC::~VProcessIPC()
{
    delete fFileSystemNotifier;
    fFileSystemNotifier = nullptr;
    delete fSleepNotifier;
    fSleepNotifier = nullptr;
    delete fIPC;
    fIPC = nullptr;
    if (sInstance == this)
        sInstance = nullptr;
}

void VProcessIPC::CloseStandardStreams()
{
    XPosixProcessIPC::CloseStandardStreams();
}

std::vector<VString> VProcessIPC::BuildArgumentVector(int argc, char* const* argv)
{
    std::vector<VString> args;
    if (!argv)
        return args;
    args.reserve(size_t(argc > 0 ? argc : 0));
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        // The desktop's process serial number (-psn_0_12345) is not the application's business.
        if (std::strncmp(arg, "-psn_", 5) == 0)
            continue;
        args.emplace_back(arg);
    }
    return args;
}

bool VProcessIPC::Init(uint32_t flags)
{
    if (fInitCalled)
        return fInitOK;

    fInitOK = VProcess::Init(flags);
    if (!fInitOK) {
        fExitCode = 1;
        return false;
    }
    fInitCalled = true;

    int result;
    {
        std::vector<VString> args = BuildArgumentVector(sProcessCommandLineArgc, sProcessCommandLineArgv);
        VCommandLineParser parser(args);
        result = DoParseCommandLine(parser);
    }
    fExitCode = (result == 0 || result == 2) ? 0 : 1;
    fInitOK = (result == 0);
    if (result != 0)
        return false;

    fIPC = new XPosixProcessIPC;
    fInitOK = fIPC->Init();
    if (!fInitOK) {
        fExitCode = 1;
        return false;
    }

    if (flags & kProcessInitWithFileSystemNotifier)
        fFileSystemNotifier = new VFileSystemNotifier;

    fSleepNotifier = new VSleepNotifier;
    fInitOK = fSleepNotifier->Init();
    if (!fInitOK) {
        fExitCode = 1;
        return false;
    }
    return true;
}

void VProcessIPC::DoRun()
{
    while (IsRunning())
        VTask::ExecuteMessagesWithTimeout(100);
}

int VProcessIPC::DoParseCommandLine(VCommandLineParser&)
{
    return 0;
}

} // namespace nuvo
