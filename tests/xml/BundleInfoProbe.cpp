// Prints the process's product name and version on two lines: run by VInfoPlistTest from inside
// bundles that the test lays out.
#include <cstdio>

#include "kernel/process/VProcess.h"

int main()
{
    nuvo::VProcess process;
    std::printf("%s\n%s\n", to_string(process.GetProductName()).c_str(), to_string(process.GetProductVersion()).c_str());
    return 0;
}
