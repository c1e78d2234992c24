// A command-line program built on VProcessIPC for the process tests. Arguments:
//   answer=N  DoParseCommandLine returns N (0 when absent); it prints each argument it receives
//             as "argI=TEXT len=UNITS"
//   mode=M    plain: DoRun prints "run"; interactive: DoRun prints "ready", answers each input
//             line with "running=<IsRunning()>" (it never polls on its own), then "done";
//             base-run: "ready", the base message loop, "done"; throw=N: DoRun pushes 'nuvo' N;
//             init-twice, run-after-failed-init, old-system: print what Init left
// The exit code follows the updater's entry point.

#include <cstdio>
#include <cstring>
#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/process/VProcessIPC.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VValueBag.h"

using namespace nuvo;

namespace {

std::string sMode = "plain";
int sThrowNumber = 0;

void PrintLine(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class ProbeProcess : public VProcessIPC {
public:
    int fChecks = 0;
    int fParses = 0;
    int fRuns = 0;
    SystemVersion fCheckedVersion = 0;

protected:
    bool DoCheckSystemVersion(SystemVersion version) override
    {
        ++fChecks;
        fCheckedVersion = version;
        return sMode != "old-system" && VProcessIPC::DoCheckSystemVersion(version);
    }

    int DoParseCommandLine(VCommandLineParser& parser) override
    {
        ++fParses;
        int answer = 0;
        const std::vector<VString>& args = parser.GetArgs();
        for (size_t i = 1; i < args.size(); ++i) {
            std::string text = to_string(args[i]);
            PrintLine("arg" + std::to_string(i) + "=" + text + " len=" + std::to_string(args[i].GetLength()));
            std::sscanf(text.c_str(), "answer=%d", &answer);
        }
        return answer;
    }

    void DoRun() override
    {
        ++fRuns;
        if (sMode == "throw") {
            _ThrowError(MakeNuvoError(sThrowNumber));
        } else if (sMode == "plain") {
            PrintLine("run");
        } else {
            PrintLine("ready");
            char line[256];
            while (sMode == "interactive" && std::fgets(line, sizeof(line), stdin))
                PrintLine(std::string("running=") + (IsRunning() ? "1" : "0"));
            if (sMode == "base-run")
                VProcessIPC::DoRun();
            PrintLine("done");
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::sscanf(argv[i], "mode=throw=%d", &sThrowNumber) == 1)
            sMode = "throw";
        else if (std::strncmp(argv[i], "mode=", 5) == 0)
            sMode = argv[i] + 5;
    }
    sProcessCommandLineArgc = argc;
    sProcessCommandLineArgv = argv;

    ProbeProcess process;
    constexpr uint32_t kFlags = kProcessInitWithLogger | kProcessInitWithFileSystemNotifier;

    if (sMode == "init-twice") {
        bool first = process.Init(kFlags);
        int exitAfterFirst = process.GetExitCode();
        bool second = process.Init(kFlags);
        std::printf("first=%d second=%d checks=%d parses=%d exit=%d/%d\n", int(first), int(second),
                    process.fChecks, process.fParses, exitAfterFirst, process.GetExitCode());
        return 0;
    }
    if (sMode == "run-after-failed-init") {
        bool ok = process.Init(kFlags);
        process.Run();
        VTask* task = VTask::GetCurrent();
        VError error = task ? task->GetLastError() : VE_OK;
        VString parameter;
        VErrorTaskContext* context = task ? task->GetErrorContext(false) : nullptr;
        if (VErrorBase* record = context ? context->GetLast() : nullptr)
            record->GetBag()->GetString(ErrorBagKeys::p1, parameter);
        std::printf("init=%d runs=%d error=%s/%d p1=%s\n", int(ok), process.fRuns,
                    ComponentOf(error) == kComponentNuvo ? "nuvo" : "other", NumberOf(error),
                    to_string(parameter).c_str());
        return 0;
    }

    if (sMode == "old-system") {
        bool ok = process.Init(kFlags);
        std::printf("init=%d exit=%d version=%d instance=%d task=%d logger=%d parses=%d\n", int(ok),
                    process.GetExitCode(), int(process.fCheckedVersion), int(VProcess::Get() == &process),
                    int(VTask::GetCurrent() != nullptr), int(process.GetLogger() != nullptr), process.fParses);
        return ok ? 0 : process.GetExitCode();
    }

    if (!process.Init(kFlags))
        return process.GetExitCode();
    process.SetExitCode(0);
    process.Run();
    VError error = VTask::GetCurrent() ? VTask::GetCurrent()->GetLastError() : VE_OK;
    if (error != VE_OK)
        process.SetExitCode(error == VE_INIT_FAILED ? 1 : 2);
    return process.GetExitCode();
}
