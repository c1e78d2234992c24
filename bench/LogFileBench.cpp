// A run that logs 100,000 lines to a file: the file logger (bags built per line, logged to the
// process logger and drained every 1000 lines so that the ring never drops one) against spdlog's
// basic file sink with the same texts, in the same run. Prints the median of five alternated
// rounds of each and their ratio; checks that every line reached each file.
//
// Usage: bench_log_file [folder]   (default: a new folder under /tmp, removed afterwards)

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFolder.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLog4jMsgFileLogger.h"
#include "kernel/logging/VLogger.h"
#include "kernel/values/VValueBag.h"

namespace {

using namespace nuvo;
// Process CPU time: on a shared, loaded machine wall time mostly measures the neighbours.
double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

constexpr int kLines = 100000;
constexpr int kRounds = 5;

size_t CountLines(const std::string& path)
{
    std::ifstream in(path);
    return size_t(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// withFile false: the same run without a file logger, which is the cost of building and logging
// the bags alone.
double RunFileLogger(const std::string& folder, int round, bool withFile = true)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    logger->Start();
    auto where = VRefPtr<VFolder>::Adopt(new VFolder(VString((folder + "/").c_str()), FilePathStyle::Posix));
    const std::string name = "nuvo" + std::to_string(round);
    const double start = CpuSeconds();
    {
        VLog4jMsgFileLogger file(*where, VString(name.c_str()), logger.Get());
        if (withFile)
            file.Start();
        char text[64];
        for (int i = 0; i < kLines; ++i) {
            std::snprintf(text, sizeof(text), "Copying bundle item %d of the run", i);
            auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
            bag->SetString(ILoggerBagKeys::message, VString(text));
            bag->SetLong(ILoggerBagKeys::component_signature, int32_t(MakeOsType("QZUP")));
            logger->LogBag(bag.Get());
            if (i % 1000 == 999)
                logger->Flush();
        }
        file.Stop();
    }
    const double seconds = CpuSeconds() - start;
    const size_t lines = withFile ? CountLines(folder + "/" + name + "_1.txt") : size_t(kLines);
    if (lines != size_t(kLines))
        std::printf("file logger wrote %zu lines instead of %d\n", lines, kLines);
    return seconds;
}

double RunSpdlog(const std::string& folder, int round)
{
    const std::string path = folder + "/spdlog" + std::to_string(round) + ".txt";
    const double start = CpuSeconds();
    {
        auto logger = spdlog::basic_logger_mt("bench" + std::to_string(round), path);
        // The same fields as the log4j-style lines: sequence stand-in, local time, source, level.
        logger->set_pattern("%i %Y-%m-%dT%H:%M:%S.%e [%n.QZUP] %^%l%$ - %v ()");
        for (int i = 0; i < kLines; ++i)
            logger->info("Copying bundle item {} of the run", i);
        logger->flush();
        spdlog::drop(logger->name());
    }
    const double seconds = CpuSeconds() - start;
    const size_t lines = CountLines(path);
    if (lines != size_t(kLines))
        std::printf("spdlog wrote %zu lines instead of %d\n", lines, kLines);
    return seconds;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    bool own = argc < 2;
    if (own) {
        char pattern[] = "/tmp/bench_log_file.XXXXXX";
        if (!mkdtemp(pattern))
            return 1;
        folder = pattern;
    } else {
        folder = argv[1];
    }
    std::vector<double> ours, theirs, callers;
    for (int round = 0; round < kRounds; ++round) {
        ours.push_back(RunFileLogger(folder, round));
        theirs.push_back(RunSpdlog(folder, round));
        callers.push_back(RunFileLogger(folder, round + kRounds, false));
    }
    const double a = Median(ours), b = Median(theirs), c = Median(callers);
    std::printf("%d lines, CPU time, median of %d rounds: file logger %.1f ms (%.0f ns/line)   spdlog basic file sink %.1f ms "
                "(%.0f ns/line)   file logger/spdlog %.2f\n",
                kLines, kRounds, a * 1e3, a * 1e9 / kLines, b * 1e3, b * 1e9 / kLines, a / b);
    std::printf("of the file logger's time, building and logging the bags without a file: %.0f ns/line; writing "
                "them: %.0f ns/line (writing/spdlog %.2f)\n",
                c * 1e9 / kLines, (a - c) * 1e9 / kLines, (a - c) / b);
    if (own)
        std::system(("rm -rf '" + folder + "'").c_str());
    return 0;
}
