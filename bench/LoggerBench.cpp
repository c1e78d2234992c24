// Cost of handing one log line to the process logger: LogBag of a prepared 3-attribute bag
// (message, level, component) from one thread and from two at once, and the same with the bag
// built per line as the updater does. The two-thread rate per thread is printed against the
// one-thread rate of the same run.
#include <cstdio>

#include <benchmark/benchmark.h>

#include "bench/BenchmarkRecorder.h"

#include "kernel/base/VRefPtr.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/text/VString.h"
#include "kernel/values/VValueBag.h"

namespace {

using namespace nuvo;

VLogger* sLogger = nullptr;

VRefPtr<VValueBag> MakeLine()
{
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(ILoggerBagKeys::message, VString("Moving the outdated bundle aside"));
    bag->SetLong(ILoggerBagKeys::level, EML_Error);
    bag->SetLong(ILoggerBagKeys::component_signature, int32_t(MakeOsType("QZUP")));
    return bag;
}

void BM_LogBag(benchmark::State& state)
{
    const VRefPtr<VValueBag> bag = MakeLine();
    for (auto _ : state)
        sLogger->LogBag(bag.Get());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogBag)->Threads(1)->Threads(2);

void BM_BuildAndLogBag(benchmark::State& state)
{
    for (auto _ : state)
        sLogger->LogBag(MakeLine().Get());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAndLogBag)->Threads(1)->Threads(2);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // No listener: the ring simply wraps, which is the logging thread's whole cost.
    sLogger = new VLogger;
    sLogger->Start();
    nuvo::bench::BenchmarkRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    // With threads the CPU time is summed over the threads, so the CPU time per iteration is what
    // one call costs its thread, and its inverse each thread's rate while both run. (Wall time
    // says little on a shared machine whose cores are busy with other work.)
    for (const char* name : {"BM_LogBag", "BM_BuildAndLogBag"}) {
        const double one = reporter.CpuNanoseconds(std::string(name) + "/threads:1");
        const double two = reporter.CpuNanoseconds(std::string(name) + "/threads:2");
        if (one > 0 && two > 0)
            std::printf("%-18s one thread %6.1f ns/call   two threads %6.1f ns/call each   per-thread rate two/one %4.2f\n",
                        name, one, two, one / two);
    }
    sLogger->Release();
    benchmark::Shutdown();
    return 0;
}
