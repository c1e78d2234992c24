// VString growth and localized equality against the obvious alternatives: std::u16string for
// building text, a direct ICU collator call for comparisons. After the runs the program prints
// the ratios that matter ("ratio ... = x.xx").

#include <benchmark/benchmark.h>

#include "bench/BenchmarkRecorder.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unicode/ucol.h>

#include "kernel/text/VCollator.h"
#include "kernel/text/VString.h"

using nuvo::UniChar;
using nuvo::VString;

namespace {

// 1 MiB of UTF-16 text.
constexpr int32_t kUnits = (1 << 20) / int32_t(sizeof(UniChar));
constexpr int32_t kPiece = 64;

const UniChar* Piece()
{
    static UniChar piece[kPiece];
    for (int32_t i = 0; i < kPiece; ++i)
        piece[i] = UniChar(u'a' + i % 26);
    return piece;
}

void BM_AppendUnit_VString(benchmark::State& state)
{
    for (auto _ : state) {
        VString s;
        for (int32_t i = 0; i < kUnits; ++i)
            s.AppendUniChar(UniChar(u'a' + (i & 15)));
        benchmark::DoNotOptimize(s.GetCPointer());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kUnits * 2);
}
BENCHMARK(BM_AppendUnit_VString);

void BM_AppendUnit_u16string(benchmark::State& state)
{
    for (auto _ : state) {
        std::u16string s;
        for (int32_t i = 0; i < kUnits; ++i)
            s.push_back(char16_t(u'a' + (i & 15)));
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kUnits * 2);
}
BENCHMARK(BM_AppendUnit_u16string);

void BM_AppendPiece_VString(benchmark::State& state)
{
    const UniChar* piece = Piece();
    for (auto _ : state) {
        VString s;
        for (int32_t i = 0; i < kUnits / kPiece; ++i)
            s.AppendUniChars(piece, kPiece);
        benchmark::DoNotOptimize(s.GetCPointer());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kUnits * 2);
}
BENCHMARK(BM_AppendPiece_VString);

void BM_AppendPiece_u16string(benchmark::State& state)
{
    const UniChar* piece = Piece();
    for (auto _ : state) {
        std::u16string s;
        for (int32_t i = 0; i < kUnits / kPiece; ++i)
            s.append(piece, kPiece);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kUnits * 2);
}
BENCHMARK(BM_AppendPiece_u16string);

struct Pair {
    VString a;
    VString b;
};

std::vector<Pair> AsciiKeys()
{
    return {
        {VString(u"content-type"), VString(u"Content-Type")},
        {VString(u"pid"), VString(u"PID")},
        {VString(u"log-dir"), VString(u"log-dir")},
        {VString(u"install-path"), VString(u"install_path")},
        {VString(u"silent"), VString(u"SILENT")},
        {VString(u"caller-log"), VString(u"caller-lag")},
        {VString(u"outdated-app"), VString(u"uptodate-app")},
        {VString(u"version"), VString(u"Version")},
    };
}

std::vector<Pair> AccentedTexts()
{
    return {
        {VString(u"Cr\u00e8me br\u00fbl\u00e9e"), VString(u"CREME BRULEE")},
        {VString(u"\u00c9t\u00e9"), VString(u"ete")},
        {VString(u"Stra\u00dfe"), VString(u"strasse")},
        {VString(u"na\u00efve caf\u00e9"), VString(u"Naive Cafe")},
        {VString(u"\u00c5ngstr\u00f6m"), VString(u"angstrom")},
        {VString(u"se\u00f1or"), VString(u"senor")},
        {VString(u"\u00fcber"), VString(u"Uber")},
        {VString(u"r\u00e9sum\u00e9"), VString(u"resume")},
    };
}

// The collator a caller would open by hand: same language and strength as the string's.
UCollator* PrimaryCollator()
{
    static UCollator* collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open(nuvo::VCollator::GetDefault().GetLanguage().c_str(), &status);
        ucol_setAttribute(c, UCOL_STRENGTH, UCOL_PRIMARY, &status);
        return c;
    }();
    return collator;
}

void RunEqualVString(benchmark::State& state, const std::vector<Pair>& pairs)
{
    int equal = 0;
    for (auto _ : state) {
        for (const Pair& pair : pairs)
            equal += pair.a.EqualToString(pair.b, false) ? 1 : 0;
    }
    benchmark::DoNotOptimize(equal);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pairs.size()));
}

void RunEqualICU(benchmark::State& state, const std::vector<Pair>& pairs)
{
    UCollator* collator = PrimaryCollator();
    int equal = 0;
    for (auto _ : state) {
        for (const Pair& pair : pairs) {
            equal += ucol_strcoll(collator, pair.a.GetCPointer(), pair.a.GetLength(), pair.b.GetCPointer(),
                                  pair.b.GetLength()) == UCOL_EQUAL;
        }
    }
    benchmark::DoNotOptimize(equal);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pairs.size()));
}

void BM_EqualAscii_VString(benchmark::State& state) { RunEqualVString(state, AsciiKeys()); }
void BM_EqualAscii_ICU(benchmark::State& state) { RunEqualICU(state, AsciiKeys()); }
void BM_EqualAccented_VString(benchmark::State& state) { RunEqualVString(state, AccentedTexts()); }
void BM_EqualAccented_ICU(benchmark::State& state) { RunEqualICU(state, AccentedTexts()); }
BENCHMARK(BM_EqualAscii_VString);
BENCHMARK(BM_EqualAscii_ICU);
BENCHMARK(BM_EqualAccented_VString);
BENCHMARK(BM_EqualAccented_ICU);

void PrintRatio(const nuvo::bench::BenchmarkRecorder& recorder, const char* label, const std::string& numerator,
                const std::string& denominator)
{
    const double n = recorder.CpuNanoseconds(numerator);
    const double d = recorder.CpuNanoseconds(denominator);
    if (n > 0 && d > 0) // both ran (not filtered out)
        std::printf("ratio %s = %.2f\n", label, n / d);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    nuvo::bench::BenchmarkRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nlanguage: \"%s\", ASCII shortcut: %s\n", nuvo::VCollator::GetDefault().GetLanguage().c_str(),
                nuvo::VCollator::GetDefault().HasAsciiShortcut() ? "yes" : "no");
    PrintRatio(reporter, "VString/u16string append unit (target <= 1.5)", "BM_AppendUnit_VString",
                        "BM_AppendUnit_u16string");
    PrintRatio(reporter, "VString/u16string append 64 units (target <= 1.5)", "BM_AppendPiece_VString",
                        "BM_AppendPiece_u16string");
    PrintRatio(reporter, "ICU/VString equal ASCII keys (target >= 5)", "BM_EqualAscii_ICU", "BM_EqualAscii_VString");
    PrintRatio(reporter, "ICU/VString equal accented (overhead, ~1)", "BM_EqualAccented_ICU",
                        "BM_EqualAccented_VString");
    benchmark::Shutdown();
    return 0;
}
