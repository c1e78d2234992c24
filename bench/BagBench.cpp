// Value bag costs against a standard hash map of strings: the log-line round trip (three
// attributes set then read back) and attribute look-up in small and larger bags.

#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/BenchmarkRecorder.h"

#include "kernel/text/VString.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VValueBag.h"

namespace {

using namespace nuvo;

constexpr StPackedDictionaryKey kMessage{"message"};
constexpr StPackedDictionaryKey kLevel{"level"};
constexpr StPackedDictionaryKey kComponent{"component_signature"};

void BM_Bag_LogLineRoundTrip(benchmark::State& state)
{
    const VString message("Update successful - 2026-12-06 - 01:12:00");
    VString readMessage;
    for (auto _ : state) {
        VValueBag bag;
        bag.SetString(kMessage, message);
        bag.SetLong(kLevel, 4);
        bag.SetLong8(kComponent, int64_t(MakeOsType("QZUP")));
        int32_t level = 0;
        int64_t component = 0;
        bag.GetString(kMessage, readMessage);
        bag.GetLong(kLevel, level);
        bag.GetLong8(kComponent, component);
        benchmark::DoNotOptimize(level);
        benchmark::DoNotOptimize(component);
        benchmark::DoNotOptimize(readMessage.GetCPointer());
    }
}
BENCHMARK(BM_Bag_LogLineRoundTrip);

void BM_Map_LogLineRoundTrip(benchmark::State& state)
{
    const std::string message("Update successful - 2026-12-06 - 01:12:00");
    std::string readMessage;
    for (auto _ : state) {
        std::unordered_map<std::string, std::string> map;
        map["message"] = message;
        map["level"] = std::to_string(4);
        map["component_signature"] = std::to_string(int64_t(MakeOsType("QZUP")));
        readMessage = map.find("message")->second;
        int32_t level = std::stoi(map.find("level")->second);
        int64_t component = std::stoll(map.find("component_signature")->second);
        benchmark::DoNotOptimize(level);
        benchmark::DoNotOptimize(component);
        benchmark::DoNotOptimize(readMessage.data());
    }
}
BENCHMARK(BM_Map_LogLineRoundTrip);

std::string KeyName(int64_t i)
{
    return "attribute_" + std::to_string(i);
}

void BM_Bag_Lookup(benchmark::State& state)
{
    const int64_t count = state.range(0);
    VValueBag bag;
    std::vector<StPackedDictionaryKey> keys;
    for (int64_t i = 0; i < count; ++i) {
        std::string name = KeyName(i);
        keys.emplace_back(name.data(), name.size());
        bag.SetLong(keys.back(), int32_t(i));
    }
    size_t next = 0;
    for (auto _ : state) {
        const VValueSingle* value = bag.GetAttribute(keys[next]);
        benchmark::DoNotOptimize(value);
        if (++next == keys.size())
            next = 0;
    }
}
BENCHMARK(BM_Bag_Lookup)->Arg(4)->Arg(40);

void BM_Bag_LookupInto(benchmark::State& state)
{
    const int64_t count = state.range(0);
    VValueBag bag;
    std::vector<StPackedDictionaryKey> keys;
    for (int64_t i = 0; i < count; ++i) {
        std::string name = KeyName(i);
        keys.emplace_back(name.data(), name.size());
        bag.SetLong(keys.back(), int32_t(i));
    }
    size_t next = 0;
    for (auto _ : state) {
        int32_t value = 0;
        bag.GetLong(keys[next], value);
        benchmark::DoNotOptimize(value);
        if (++next == keys.size())
            next = 0;
    }
}
BENCHMARK(BM_Bag_LookupInto)->Arg(4)->Arg(40);

void BM_Map_Lookup(benchmark::State& state)
{
    const int64_t count = state.range(0);
    std::unordered_map<std::string, std::string> map;
    std::vector<std::string> keys;
    for (int64_t i = 0; i < count; ++i) {
        keys.push_back(KeyName(i));
        map[keys.back()] = std::to_string(i);
    }
    size_t next = 0;
    for (auto _ : state) {
        auto found = map.find(keys[next]);
        benchmark::DoNotOptimize(found);
        if (++next == keys.size())
            next = 0;
    }
}
BENCHMARK(BM_Map_Lookup)->Arg(4)->Arg(40);

void PrintRatio(const nuvo::bench::BenchmarkRecorder& recorder, const char* label, const std::string& bag,
                const std::string& map)
{
    const double b = recorder.CpuNanoseconds(bag);
    const double m = recorder.CpuNanoseconds(map);
    if (b > 0 && m > 0)
        std::printf("%-34s bag %9.1f ns   map %9.1f ns   bag/map %5.2f\n", label, b, m, b / m);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    nuvo::bench::BenchmarkRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    PrintRatio(reporter, "log line round trip (3 attributes)", "BM_Bag_LogLineRoundTrip", "BM_Map_LogLineRoundTrip");
    PrintRatio(reporter, "look-up, 4 attributes", "BM_Bag_Lookup/4", "BM_Map_Lookup/4");
    PrintRatio(reporter, "look-up, 40 attributes", "BM_Bag_Lookup/40", "BM_Map_Lookup/40");
    PrintRatio(reporter, "look-up and read, 4 attributes", "BM_Bag_LookupInto/4", "BM_Map_Lookup/4");
    PrintRatio(reporter, "look-up and read, 40 attributes", "BM_Bag_LookupInto/40", "BM_Map_Lookup/40");
    benchmark::Shutdown();
    return 0;
}
