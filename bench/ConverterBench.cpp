// UTF-8 <-> UTF-16 throughput of the toolkit's converters against ICU's ucnv UTF-8 converter and
// glibc's iconv, on four 1 MiB corpora. After the runs, prints our throughput divided by ICU's
// for every corpus and direction (above 1: we are faster).

#include <benchmark/benchmark.h>

#include "bench/BenchmarkRecorder.h"
#include <iconv.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VTextConverters.h"
#include "kernel/text/VToUnicodeConverter.h"

using namespace nuvo;

namespace {

constexpr size_t kCorpusBytes = 1 << 20;

struct Corpus {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

// A deterministic text made of words drawn from a list, separated by spaces and the odd line
// break, cut at a word boundary just under 1 MiB.
std::string MakeText(const std::vector<std::string>& words)
{
    std::string text;
    uint32_t seed = 12345;
    for (;;) {
        seed = seed * 1103515245u + 12345u;
        const std::string& word = words[(seed >> 8) % words.size()];
        if (text.size() + word.size() + 1 > kCorpusBytes)
            break;
        text += word;
        text += ((seed >> 4) % 13 == 0) ? '\n' : ' ';
    }
    return text;
}

std::u16string ToUTF16(const std::string& utf8)
{
    std::u16string out(utf8.size() + 1, u'\0');
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("UTF-8", &error);
    int32_t length = ucnv_toUChars(converter, out.data(), int32_t(out.size()), utf8.data(), int32_t(utf8.size()), &error);
    ucnv_close(converter);
    if (U_FAILURE(error))
        std::abort();
    out.resize(size_t(length));
    return out;
}

std::vector<Corpus>& Corpora()
{
    static std::vector<Corpus> corpora = [] {
        std::vector<Corpus> list;
        list.push_back({"ascii", MakeText({"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog,",
                                           "update", "bundle", "application", "restart.", "copy", "folder", "of",
                                           "and", "a", "settings", "(server)", "log-file", "2024"}), {}});
        list.push_back({"latin", MakeText({"été", "déjà", "garçon", "forêt", "naïve", "über", "Straße", "año",
                                           "crème", "brûlée", "le", "la", "de", "et", "mise", "à", "jour", "réussie",
                                           "Größe", "où", "cœur", "Ærø"}), {}});
        list.push_back({"cjk", MakeText({"更新", "应用程序", "文件夹", "日本語", "テキスト", "変換", "서버", "설정",
                                         "한국어", "中文", "복사", "ファイル", "ログ", "成功", "失敗しました", "、", "。"}),
                        {}});
        list.push_back({"emoji", MakeText({"😀", "😂🤣", "👍", "🎉🎊", "❤️", "🚀", "ok", "🙂", "🔥🔥", "yes!",
                                           "👨‍👩‍👧", "🌍", "✨", "🍕", "😎"}), {}});
        for (Corpus& corpus : list)
            corpus.utf16 = ToUTF16(corpus.utf8);
        return list;
    }();
    return corpora;
}

// Decoding --------------------------------------------------------------------------------------

void DecodeOurs(benchmark::State& state, const Corpus* corpus)
{
    VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(CharSet::UTF8);
    std::vector<UniChar> out(corpus->utf8.size() + 1);
    for (auto _ : state) {
        size_t consumed = 0;
        int32_t produced = 0;
        converter->Convert(corpus->utf8.data(), corpus->utf8.size(), &consumed, out.data(), int32_t(out.size()),
                           &produced);
        benchmark::DoNotOptimize(produced);
        benchmark::DoNotOptimize(out.data());
    }
    converter->Release();
    state.SetBytesProcessed(int64_t(state.iterations() * corpus->utf8.size()));
}

void DecodeICU(benchmark::State& state, const Corpus* corpus)
{
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("UTF-8", &error);
    std::vector<UChar> out(corpus->utf8.size() + 1);
    for (auto _ : state) {
        ucnv_resetToUnicode(converter);
        const char* source = corpus->utf8.data();
        UChar* target = out.data();
        error = U_ZERO_ERROR;
        ucnv_toUnicode(converter, &target, out.data() + out.size(), &source, source + corpus->utf8.size(), nullptr,
                       true, &error);
        benchmark::DoNotOptimize(target);
    }
    ucnv_close(converter);
    state.SetBytesProcessed(int64_t(state.iterations() * corpus->utf8.size()));
}

void DecodeIconv(benchmark::State& state, const Corpus* corpus)
{
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::vector<char> out(corpus->utf8.size() * 2 + 2);
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* source = const_cast<char*>(corpus->utf8.data());
        size_t sourceLeft = corpus->utf8.size();
        char* target = out.data();
        size_t targetLeft = out.size();
        iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        benchmark::DoNotOptimize(target);
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations() * corpus->utf8.size()));
}

// Encoding --------------------------------------------------------------------------------------

void EncodeOurs(benchmark::State& state, const Corpus* corpus)
{
    VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::UTF8);
    std::vector<char> out(corpus->utf16.size() * 3 + 4);
    for (auto _ : state) {
        int32_t consumed = 0;
        size_t produced = 0;
        converter->Convert(corpus->utf16.data(), int32_t(corpus->utf16.size()), &consumed, out.data(), out.size(),
                           &produced);
        benchmark::DoNotOptimize(produced);
        benchmark::DoNotOptimize(out.data());
    }
    converter->Release();
    state.SetBytesProcessed(int64_t(state.iterations() * corpus->utf8.size()));
}

void EncodeICU(benchmark::State& state, const Corpus* corpus)
{
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("UTF-8", &error);
    std::vector<char> out(corpus->utf16.size() * 3 + 4);
    for (auto _ : state) {
        ucnv_resetFromUnicode(converter);
        const UChar* source = corpus->utf16.data();
        char* target = out.data();
        error = U_ZERO_ERROR;
        ucnv_fromUnicode(converter, &target, out.data() + out.size(), &source, source + corpus->utf16.size(),
                         nullptr, true, &error);
        benchmark::DoNotOptimize(target);
    }
    ucnv_close(converter);
    state.SetBytesProcessed(int64_t(state.iterations() * corpus->utf8.size()));
}

void EncodeIconv(benchmark::State& state, const Corpus* corpus)
{
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    std::vector<char> out(corpus->utf16.size() * 3 + 4);
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* source = reinterpret_cast<char*>(const_cast<char16_t*>(corpus->utf16.data()));
        size_t sourceLeft = corpus->utf16.size() * 2;
        char* target = out.data();
        size_t targetLeft = out.size();
        iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        benchmark::DoNotOptimize(target);
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations() * corpus->utf8.size()));
}

// Our output must be ICU's on valid text, or the figures mean nothing.
void CheckAgreement()
{
    VToUnicodeConverter* decoder = VTextConverters::Get()->RetainToUnicodeConverter(CharSet::UTF8);
    VFromUnicodeConverter* encoder = VTextConverters::Get()->RetainFromUnicodeConverter(CharSet::UTF8);
    for (const Corpus& corpus : Corpora()) {
        std::vector<UniChar> units(corpus.utf8.size() + 1);
        size_t consumed = 0;
        int32_t produced = 0;
        decoder->Convert(corpus.utf8.data(), corpus.utf8.size(), &consumed, units.data(), int32_t(units.size()),
                         &produced);
        std::vector<char> bytes(corpus.utf16.size() * 3 + 4);
        int32_t unitsConsumed = 0;
        size_t bytesProduced = 0;
        encoder->Convert(corpus.utf16.data(), int32_t(corpus.utf16.size()), &unitsConsumed, bytes.data(), bytes.size(),
                         &bytesProduced);
        if (std::u16string(units.data(), size_t(produced)) != corpus.utf16
            || std::string(bytes.data(), bytesProduced) != corpus.utf8) {
            std::fprintf(stderr, "converters disagree with ICU on the %s corpus\n", corpus.name);
            std::exit(1);
        }
    }
    decoder->Release();
    encoder->Release();
}

void PrintRatios(const nuvo::bench::BenchmarkRecorder& recorder)
{
    auto rate = [&](const std::string& name) { return recorder.Counter(name, "bytes_per_second"); };
    std::printf("\nthroughput ratio ours / ICU (above 1: ours faster), and ours / iconv\n");
    for (const Corpus& corpus : Corpora()) {
        for (const char* direction : {"decode_utf8", "encode_utf8"}) {
            std::string base = std::string(direction) + "/" + corpus.name + "/";
            double ours = rate(base + "ours"), icu = rate(base + "icu"), iconv = rate(base + "iconv");
            if (ours > 0 && icu > 0 && iconv > 0)
                std::printf("  %-26s ours %8.1f MB/s  icu %8.1f MB/s  iconv %8.1f MB/s  ours/icu %5.2f  ours/iconv %5.2f\n",
                            (base.substr(0, base.size() - 1)).c_str(), ours / 1e6, icu / 1e6, iconv / 1e6,
                            ours / icu, ours / iconv);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    CheckAgreement();
    for (const Corpus& corpus : Corpora()) {
        std::string decode = std::string("decode_utf8/") + corpus.name + "/";
        std::string encode = std::string("encode_utf8/") + corpus.name + "/";
        benchmark::RegisterBenchmark((decode + "ours").c_str(), DecodeOurs, &corpus);
        benchmark::RegisterBenchmark((decode + "icu").c_str(), DecodeICU, &corpus);
        benchmark::RegisterBenchmark((decode + "iconv").c_str(), DecodeIconv, &corpus);
        benchmark::RegisterBenchmark((encode + "ours").c_str(), EncodeOurs, &corpus);
        benchmark::RegisterBenchmark((encode + "icu").c_str(), EncodeICU, &corpus);
        benchmark::RegisterBenchmark((encode + "iconv").c_str(), EncodeIconv, &corpus);
    }
    benchmark::Initialize(&argc, argv);
    nuvo::bench::BenchmarkRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
