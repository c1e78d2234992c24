#pragma once

#include <cstdint>
#include <vector>

#include "kernel/process/VProcess.h"

namespace nuvo {

class VCommandLineParser;
class XPosixProcessIPC;
class VFileSystemNotifier;
class VSleepNotifier;

// The process object of a program started from a command line. On top of VProcess it hands
// the arguments to the application's DoParseCommandLine, keeps the exit code the entry point
// returns when initialisation stops the program, and installs the termination-signal handlers
// (SIGTERM, SIGINT and SIGQUIT mark the main task dying). Init is cached at this level too.
// Owns the signal set-up and the notifiers. Same threading rules as VProcess.
class VProcessIPC : public VProcess {
public:
    VProcessIPC();
    ~VProcessIPC() override;

    static VProcessIPC* Get() { return sInstance; }

    [[nodiscard]] bool Init(uint32_t flags) override;

    // 1 from construction; 0 or 1 after a stopped Init (see DoParseCommandLine).
    int32_t GetExitCode() const { return fExitCode; }
    void SetExitCode(int32_t code) { fExitCode = code; }

    // The command line as the application sees it: argv in order, entry 0 kept, without the
    // arguments whose first five bytes are "-psn_" (the desktop's process serial number).
    static std::vector<VString> BuildArgumentVector(int argc, char* const* argv);

    // Closes standard input, output and error for good (a reader of our output sees end of
    // file); descriptors 0-2 stay taken by the null device so that they never leak a later file
    // into a child's standard streams.
    static void CloseStandardStreams();

protected:
    // Waits for messages until the main task is dying.
    void DoRun() override;
    // The application declares its options and parses. 0: go on; 2: stop without failure (help or
    // version printed, exit code 0); any other value: stop with failure (exit code 1).
    virtual int DoParseCommandLine(VCommandLineParser& parser);
    bool IsInitSucceeded() const override { return fInitOK; }

private:
    static VProcessIPC* sInstance;

    bool fInitCalled = false;
    bool fInitOK = false;
    XPosixProcessIPC* fIPC = nullptr;
    VFileSystemNotifier* fFileSystemNotifier = nullptr;
    VSleepNotifier* fSleepNotifier = nullptr;
    int32_t fExitCode = 1;
};

} // namespace nuvo
