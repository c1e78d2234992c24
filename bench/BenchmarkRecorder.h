#pragma once
// Shared by the benchmark programs: keeps the console output and remembers each benchmark's
// results, so that a program can print its ratios against a baseline measured in the same run.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace nuvo::bench {

class BenchmarkRecorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            // Plain runs, or the median when repetitions are asked for.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string name = run.run_name.str();
            if (!median && (run.run_type != Run::RT_Iteration || fResults.count(name) != 0))
                continue;
            Result& result = fResults[name];
            // CPU time: less disturbed than wall time on a shared machine.
            result.cpuNanoseconds = run.GetAdjustedCPUTime();
            for (const auto& [counter, value] : run.counters)
                result.counters[counter] = value.value;
        }
    }

    // CPU nanoseconds per iteration; 0 when the benchmark did not run.
    double CpuNanoseconds(const std::string& name) const
    {
        auto it = fResults.find(name);
        return it != fResults.end() ? it->second.cpuNanoseconds : 0;
    }
    // A counter's value (rates are per second); 0 when absent.
    double Counter(const std::string& name, const std::string& counter) const
    {
        auto it = fResults.find(name);
        if (it == fResults.end())
            return 0;
        auto c = it->second.counters.find(counter);
        return c != it->second.counters.end() ? c->second : 0;
    }

private:
    struct Result {
        double cpuNanoseconds = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Result> fResults;
};

} // namespace nuvo::bench
