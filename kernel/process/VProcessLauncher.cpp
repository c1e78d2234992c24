#include "kernel/process/VProcessLauncher.h"

#include "kernel/base/VMemoryBuffer.h"
#include "kernel/files/VFilePath.h"
#include "kernel/platform/XPosixProcessLauncher.h"

namespace nuvo {

namespace {

constexpr long kReadChunk = 4096;

// Appends what one read returned; a buffer that cannot grow drops the bytes rather than stall
// the child on a full pipe.
long ReadInto(VMemoryBuffer* buffer, long (VProcessLauncher::*read)(char*, long), VProcessLauncher& launcher)
{
    char chunk[kReadChunk];
    long count = (launcher.*read)(chunk, kReadChunk);
    if (count > 0 && buffer)
        (void)buffer->PutData(buffer->GetDataSize(), chunk, size_t(count));
    return count;
}

} // namespace

VProcessLauncher::VProcessLauncher()
    : fImpl(std::make_unique<XPosixProcessLauncher>())
{
}

VProcessLauncher::~VProcessLauncher() = default;

int VProcessLauncher::ExecuteCommandLine(const VString& commandLine, int options, VMemoryBuffer* stdinData,
    VMemoryBuffer* stdoutBuffer, VMemoryBuffer* stderrBuffer, VProcessEnvironment* environment,
    VFilePath* defaultFolder, int* exitStatus, VProcessLauncher** outLauncher,
    std::vector<VString>* extraArguments, bool quoteArgumentsIfNeeded, bool killProcessTree)
{
    auto launcher = std::make_unique<VProcessLauncher>();
    launcher->CreateArgumentsFromFullCommandLine(commandLine);
    if (environment)
        launcher->SetEnvironmentVariables(*environment);
    if (defaultFolder)
        launcher->SetDefaultDirectory(*defaultFolder);
    const bool doNotWait = (options & kDoNotWait) != 0;
    if (doNotWait)
        launcher->SetWaitClosingChildProcess(0);
    launcher->SetQuoteArgumentsIfNeeded(quoteArgumentsIfNeeded);
    if (extraArguments) {
        for (const VString& argument : *extraArguments)
            launcher->AddArgument(argument, quoteArgumentsIfNeeded);
    }
    if (killProcessTree)
        launcher->EnableProcessTreeKill();

    int error = launcher->Start();
    if (error != 0)
        return error;

    if (stdinData && stdinData->GetDataSize() > 0)
        (void)launcher->WriteToChild(stdinData->GetDataPtr(), uint32_t(stdinData->GetDataSize()));
    launcher->CloseStandardInput();

    if (!doNotWait && (stdoutBuffer || stderrBuffer)) {
        for (;;) {
            long outRead = ReadInto(stdoutBuffer, &VProcessLauncher::ReadFromChild, *launcher);
            long errRead = ReadInto(stderrBuffer, &VProcessLauncher::ReadErrorFromChild, *launcher);
            // Both read to their end, so that nothing the child wrote last is lost.
            if (outRead < 0 && errRead < 0)
                break;
            // Both quiet: sleep in poll rather than spin until one of them speaks or ends.
            if (outRead <= 0 && errRead <= 0)
                launcher->WaitForData();
        }
    }

    if (outLauncher) {
        *outLauncher = launcher.release();
        return 0;
    }
    if (launcher->Shutdown(false, killProcessTree) == 0 && exitStatus)
        *exitStatus = launcher->GetExitStatus();
    return 0;
}

void VProcessLauncher::SetDefaultDirectory(const VFilePath& folder)
{
    VString posix;
    folder.GetPosixPath(posix);
    fImpl->SetDefaultDirectory(to_string(posix));
}

void VProcessLauncher::SetEnvironmentVariable(const VString& name, const VString& value) { fImpl->SetEnvironmentVariable(name, value); }
void VProcessLauncher::SetEnvironmentVariables(const VProcessEnvironment& variables) { fImpl->SetEnvironmentVariables(variables); }
void VProcessLauncher::SetBinaryPath(const VString& path) { fImpl->SetBinaryPath(path); }
void VProcessLauncher::CreateArgumentsFromFullCommandLine(const VString& commandLine) { fImpl->CreateArgumentsFromFullCommandLine(commandLine); }
void VProcessLauncher::AddArgument(const VString& argument, bool quoteIfNeeded) { fImpl->AddArgument(argument, quoteIfNeeded); }
void VProcessLauncher::ClearArguments() { fImpl->ClearArguments(); }
void VProcessLauncher::SetWaitClosingChildProcess(int milliseconds) { fImpl->SetWaitClosingChildProcess(milliseconds); }
void VProcessLauncher::SetRedirectStandardInput(bool redirect) { fImpl->SetRedirectStandardInput(redirect); }
void VProcessLauncher::SetRedirectStandardOutput(bool redirect) { fImpl->SetRedirectStandardOutput(redirect); }
void VProcessLauncher::SetQuoteArgumentsIfNeeded(bool quote) { fImpl->SetQuoteArgumentsIfNeeded(quote); }
void VProcessLauncher::EnableProcessTreeKill() { fImpl->EnableProcessTreeKill(); }

int VProcessLauncher::Start() { return fImpl->Start(); }

int VProcessLauncher::Start(const VProcessEnvironment& environment)
{
    fImpl->SetEnvironmentVariables(environment);
    return fImpl->Start();
}

bool VProcessLauncher::IsRunning() const { return fImpl->IsRunning(); }
int VProcessLauncher::WriteToChild(const void* data, uint32_t size, bool closeInputAfterwards) { return fImpl->WriteToChild(data, size, closeInputAfterwards); }
void VProcessLauncher::CloseStandardInput() { fImpl->CloseStandardInput(); }
void VProcessLauncher::WaitForData() { fImpl->WaitForData(); }
long VProcessLauncher::ReadFromChild(char* buffer, long size) { return fImpl->ReadFromChild(buffer, size); }
long VProcessLauncher::ReadErrorFromChild(char* buffer, long size) { return fImpl->ReadErrorFromChild(buffer, size); }

int VProcessLauncher::ReadFromChildAndShutdown(std::function<void(const void*, size_t)> out,
    std::function<void(const void*, size_t)> err)
{
    return fImpl->ReadFromChildAndShutdown(out, err);
}

int VProcessLauncher::Shutdown(bool force, bool killProcessTree) { return fImpl->Shutdown(force, killProcessTree); }
int VProcessLauncher::GetPid() const { return fImpl->GetPid(); }
int VProcessLauncher::GetExitStatus() const { return fImpl->GetExitStatus(); }
bool VProcessLauncher::KillProcess(int pid) { return XPosixProcessLauncher::KillProcess(pid); }
const std::vector<VString>& VProcessLauncher::GetArguments() const { return fImpl->GetArguments(); }
VString VProcessLauncher::GetBinaryPath() const { return fImpl->GetBinaryPath(); }

} // namespace nuvo
