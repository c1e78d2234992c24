// The bundle opener: open -a APP [--args ARG...]. Starts the application detached from the
// caller and exits 0 once its executable really started, 1 with a one-line message otherwise.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/platform/XPosixProcessLauncher.h"
#include "updater/open/BundleExecutable.h"
#include "xml/VXMLParser.h"

namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "open: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "-a") != 0 || (argc > 3 && std::strcmp(argv[3], "--args") != 0))
        return Fail("usage: open -a APP [--args ARG...]");

    // The application starts in "/": a relative APP must be made absolute first.
    std::error_code error;
    std::filesystem::path app = std::filesystem::absolute(argv[2], error).lexically_normal();
    if (error || argv[2][0] == 0)
        return Fail(std::string("cannot find application '") + argv[2] + "'");
    std::string appPath = app.string();
    while (appPath.size() > 1 && appPath.back() == '/')
        appPath.pop_back();

    std::string binary;
    if (std::filesystem::is_directory(appPath, error)) {
        binary = nuvo::BundleExecutablePath(appPath);
        nuvo::VXMLParser::DeInit();
    }
    else if (std::filesystem::is_regular_file(appPath, error))
        binary = appPath;
    else
        return Fail(std::string("cannot find application '") + argv[2] + "'");

    std::vector<std::string> args { binary };
    for (int i = 4; i < argc; ++i)
        args.push_back(argv[i]);
    int savedErrno = 0;
    if (nuvo::XPosixProcessLauncher::SpawnDetached(binary, args, savedErrno) < 0)
        return Fail("cannot start '" + binary + "': " + std::strerror(savedErrno));
    return 0;
}
