// POSIX process launcher.
#include "kernel/platform/XPosixProcessLauncher.h"

namespace nuvo {

struct XPosixProcessLauncher::ChildState {};

XPosixProcessLauncher::XPosixProcessLauncher() = default;
XPosixProcessLauncher::~XPosixProcessLauncher() = default;
void XPosixProcessLauncher::SetBinaryPath(const VString& path) { fBinaryPath = path; }
void XPosixProcessLauncher::CreateArgumentsFromFullCommandLine(const VString&) {}
void XPosixProcessLauncher::AddArgument(const VString& argument, bool) { fArguments.push_back(argument); }
int XPosixProcessLauncher::Start() { return -1; }
int XPosixProcessLauncher::WriteToChild(const void*, uint32_t, bool) { return -1; }
void XPosixProcessLauncher::CloseStandardInput() {}
void XPosixProcessLauncher::WaitForData() {}
int XPosixProcessLauncher::ReadFromChildAndShutdown(const std::function<void(const void*, size_t)>&,
    const std::function<void(const void*, size_t)>&) { return -1; }
int XPosixProcessLauncher::Shutdown(bool, bool) { return 0; }
bool XPosixProcessLauncher::KillProcess(int) { return false; }
std::vector<std::string> XPosixProcessLauncher::SplitCommandLine(const std::string&) { return {}; }
int XPosixProcessLauncher::SpawnDetached(const std::string&, const std::vector<std::string>&, int& e) { e = 38; return -1; }
bool XPosixProcessLauncher::WaitForChild(int, int, int&) { return false; }
void XPosixProcessLauncher::ReapInBackground(int) {}
long XPosixProcessLauncher::_Read(int, char*, long) { return -1; }

} // namespace nuvo
