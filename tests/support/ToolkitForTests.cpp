#include "tests/support/ToolkitForTests.h"

#include <cstdio>
#include <cstdlib>

#include "kernel/process/VProcess.h"

namespace nuvo::test {

namespace {

// The thread that calls InitToolkitForTests (the test main) becomes the main task, and the
// process logger exists so that pushed errors are logged.
VProcess* sProcess = nullptr;

} // namespace

void InitToolkitForTests()
{
    if (sProcess)
        return;
    sProcess = new VProcess;
    if (!sProcess->Init(kProcessInitWithLogger)) {
        std::fputs("InitToolkitForTests: the process object could not be initialised\n", stderr);
        std::abort();
    }
}

void DeInitToolkitForTests()
{
    delete sProcess;
    sProcess = nullptr;
}

} // namespace nuvo::test
