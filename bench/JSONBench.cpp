// Parsing and writing of generated JSON documents of three shapes (tweets-like text with
// Unicode, number-heavy geometry, a deeply structured catalogue) at 1 MB and 10 MB, by the
// toolkit and by nlohmann::json and RapidJSON (simdjson parses for reference), in one run.
// Prints MB/s (of the UTF-8 document) and the toolkit's ratios against each library.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include "bench/BenchmarkRecorder.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"
#include "kernel/text/VString.h"

namespace {

using nuvo::VJSONImporter;
using nuvo::VJSONValue;
using nuvo::VString;

// A small deterministic generator, so that every run measures the same documents.
class Random {
public:
    uint32_t Next() { fState = fState * 6364136223846793005ull + 1442695040888963407ull; return uint32_t(fState >> 33); }
    uint32_t Below(uint32_t n) { return Next() % n; }
    double Real(double low, double high) { return low + (high - low) * (Next() / 4294967296.0); }

private:
    uint64_t fState = 0x2545F4914F6CDD1Dull;
};

const char* const kWords[] = {"update", "caf\xC3\xA9", "na\xC3\xAFve", "\xE6\x9B\xB4\xE6\x96\xB0", "release",
                              "\xF0\x9F\x9A\x80", "server", "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                              "bundle", "\\\"quoted\\\"", "line\\nbreak", "\xCE\xB1\xCE\xB2\xCE\xB3", "ok", "client"};

std::string Sentence(Random& random, int words)
{
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (i)
            text += ' ';
        text += kWords[random.Below(sizeof(kWords) / sizeof(kWords[0]))];
    }
    return text;
}

std::string Tweet(Random& random, int id)
{
    char number[64];
    std::string t = "{\"id\":" + std::to_string(1000000000 + id) + ",\"text\":\"" + Sentence(random, 8 + int(random.Below(12)))
        + "\",\"created_at\":\"2024-03-0" + std::to_string(1 + random.Below(9)) + "T10:2" + std::to_string(random.Below(10))
        + ":00Z\",\"user\":{\"id\":" + std::to_string(random.Below(1000000)) + ",\"name\":\"" + Sentence(random, 2)
        + "\",\"screen_name\":\"user_" + std::to_string(random.Below(100000)) + "\",\"followers_count\":"
        + std::to_string(random.Below(50000)) + ",\"verified\":" + (random.Below(2) ? "true" : "false")
        + ",\"location\":null},\"entities\":{\"hashtags\":[";
    int tags = int(random.Below(4));
    for (int i = 0; i < tags; ++i)
        t += std::string(i ? "," : "") + "{\"text\":\"" + Sentence(random, 1) + "\",\"indices\":[" + std::to_string(i * 7)
            + "," + std::to_string(i * 7 + 6) + "]}";
    std::snprintf(number, sizeof(number), "%.6f", random.Real(0, 1));
    t += "]},\"retweet_count\":" + std::to_string(random.Below(5000)) + ",\"favorited\":false,\"score\":" + number + "}";
    return t;
}

std::string Feature(Random& random)
{
    std::string f = "{\"type\":\"Feature\",\"properties\":{\"name\":\"parcel\",\"area\":";
    char number[64];
    std::snprintf(number, sizeof(number), "%.4f", random.Real(10, 10000));
    f += number;
    f += "},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[[";
    int points = 20 + int(random.Below(30));
    for (int i = 0; i < points; ++i) {
        std::snprintf(number, sizeof(number), "%s[%.9f,%.9f]", i ? "," : "", random.Real(-180, 180), random.Real(-90, 90));
        f += number;
    }
    f += "]]}}";
    return f;
}

std::string Product(Random& random, int depth)
{
    char price[32];
    std::snprintf(price, sizeof(price), "%.2f", random.Real(1, 999));
    std::string p = "{\"sku\":\"P" + std::to_string(random.Below(1000000)) + "\",\"price\":" + price
        + ",\"tags\":[\"a\",\"b\"],\"dimensions\":{\"w\":" + std::to_string(random.Below(100)) + ",\"h\":"
        + std::to_string(random.Below(100)) + ",\"unit\":\"cm\"},\"available\":true";
    if (depth > 0) {
        p += ",\"variants\":[";
        for (int i = 0; i < 2; ++i)
            p += std::string(i ? "," : "") + Product(random, depth - 1);
        p += "]";
    }
    return p + "}";
}

std::string Category(Random& random, int depth)
{
    std::string c = "{\"name\":\"" + Sentence(random, 1) + "\",\"products\":[" + Product(random, 3) + "]";
    if (depth > 0) {
        c += ",\"children\":[";
        for (int i = 0; i < 2; ++i)
            c += std::string(i ? "," : "") + Category(random, depth - 1);
        c += "]";
    }
    return c + "}";
}

std::string Generate(const std::string& shape, size_t size)
{
    Random random;
    std::string document = shape == "geometry" ? "{\"type\":\"FeatureCollection\",\"features\":[" : "[";
    for (int i = 0; document.size() < size; ++i) {
        if (i)
            document += ',';
        if (shape == "tweets")
            document += Tweet(random, i);
        else if (shape == "geometry")
            document += Feature(random);
        else
            document += Category(random, 4);
    }
    return document + (shape == "geometry" ? "]}" : "]");
}

struct Document {
    std::string utf8;
    VString text;        // the toolkit parses UTF-16 text
    VJSONValue value;
    nlohmann::json nlohmannValue;
    rapidjson::Document rapidValue;
    simdjson::padded_string padded;
};

Document& DocumentFor(const std::string& shape, size_t size)
{
    static std::map<std::string, Document> documents;
    Document& document = documents[shape + std::to_string(size)];
    if (document.utf8.empty()) {
        document.utf8 = Generate(shape, size);
        document.text = VString(document.utf8.data(), document.utf8.size(), nuvo::CharSet::UTF8);
        if (VJSONImporter::ParseString(document.text, document.value) != nuvo::VE_OK)
            std::fprintf(stderr, "generated %s document does not parse\n", shape.c_str());
        document.nlohmannValue = nlohmann::json::parse(document.utf8);
        document.rapidValue.Parse(document.utf8.c_str());
        document.padded = simdjson::padded_string(document.utf8);
    }
    return document;
}

void SetRate(benchmark::State& state, const Document& document)
{
    state.counters["MB/s"] = benchmark::Counter(double(document.utf8.size()) * double(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
}

const char* const kShapes[] = {"tweets", "geometry", "catalogue"};
const size_t kSizes[] = {1u << 20, 10u << 20};
const char* const kSizeNames[] = {"1MB", "10MB"};

void Register()
{
    for (const char* shape : kShapes) {
        for (int s = 0; s < 2; ++s) {
            const std::string suffix = std::string("/") + shape + "/" + kSizeNames[s];
            const size_t size = kSizes[s];
            benchmark::RegisterBenchmark(("parse" + suffix + "/nuvo_utf16").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state) {
                    VJSONValue value;
                    benchmark::DoNotOptimize(VJSONImporter::ParseString(d.text, value));
                }
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("parse" + suffix + "/nuvo_utf8").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state) {
                    VJSONValue value;
                    VString text(d.utf8.data(), d.utf8.size(), nuvo::CharSet::UTF8);
                    benchmark::DoNotOptimize(VJSONImporter::ParseString(text, value));
                }
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("parse" + suffix + "/nlohmann").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state)
                    benchmark::DoNotOptimize(nlohmann::json::parse(d.utf8));
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("parse" + suffix + "/rapidjson").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state) {
                    rapidjson::Document value;
                    value.Parse(d.utf8.c_str());
                    benchmark::DoNotOptimize(value.HasParseError());
                }
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("parse" + suffix + "/simdjson").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                simdjson::dom::parser parser;
                for (auto _ : state) {
                    auto element = parser.parse(d.padded);
                    benchmark::DoNotOptimize(element.error());
                }
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("write" + suffix + "/nuvo").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state) {
                    VString out;
                    benchmark::DoNotOptimize(d.value.Stringify(out, nuvo::kJSONWriteQuoted));
                }
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("write" + suffix + "/nlohmann").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state)
                    benchmark::DoNotOptimize(d.nlohmannValue.dump());
                SetRate(state, d);
            });
            benchmark::RegisterBenchmark(("write" + suffix + "/rapidjson").c_str(), [=](benchmark::State& state) {
                Document& d = DocumentFor(shape, size);
                for (auto _ : state) {
                    rapidjson::StringBuffer buffer;
                    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
                    d.rapidValue.Accept(writer);
                    benchmark::DoNotOptimize(buffer.GetSize());
                }
                SetRate(state, d);
            });
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    nuvo::bench::BenchmarkRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    std::printf("\n%-34s %9s %9s %9s\n", "toolkit vs", "nlohmann", "rapidjson", "simdjson");
    for (const char* shape : kShapes) {
        for (const char* size : kSizeNames) {
            const std::string suffix = std::string("/") + shape + "/" + size;
            auto rate = [&](const std::string& name) { return recorder.Counter(name, "MB/s"); };
            auto ratio = [&](const std::string& ours, const std::string& theirs) {
                return rate(theirs) > 0 ? rate(ours) / rate(theirs) : 0.0;
            };
            for (const char* form : {"nuvo_utf16", "nuvo_utf8"}) {
                const std::string ours = "parse" + suffix + "/" + form;
                if (rate(ours) == 0)
                    continue;
                std::printf("%-34s %8.2fx %8.2fx %8.2fx\n", ours.c_str(), ratio(ours, "parse" + suffix + "/nlohmann"),
                            ratio(ours, "parse" + suffix + "/rapidjson"), ratio(ours, "parse" + suffix + "/simdjson"));
            }
            const std::string ours = "write" + suffix + "/nuvo";
            if (rate(ours) != 0)
                std::printf("%-34s %8.2fx %8.2fx %9s\n", ours.c_str(), ratio(ours, "write" + suffix + "/nlohmann"),
                            ratio(ours, "write" + suffix + "/rapidjson"), "-");
        }
    }
    benchmark::Shutdown();
    return 0;
}
