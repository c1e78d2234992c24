#include <gtest/gtest.h>

#include <vector>

#include "kernel/commandline/Argument.h"
#include "kernel/commandline/VCommandLineParser.h"
#include "tests/json/JSONTestSupport.h"

namespace nuvo::test {
namespace {

TEST(JSONCommandLineArgumentTest, TextByTheValuesKind)
{
    std::vector<VString> args{VString("prog")};
    VCommandLineParser parser(args);
    // result: the value afterwards as text, or nullptr when the text is rejected (value unchanged).
    struct Row { const char* name; VJSONValue value; const char* text; const char* result; };
    const Row rows[] = {
        {"string takes the text", VJSONValue(JSON_string), "{\"a\":1}", "\"{\\\"a\\\":1}\""},
        {"undefined parses", VJSONValue(), "{\"a\":[1,true]}", "{\"a\":[1,true]}"},
        {"object parses", VJSONValue(JSON_object), "[2]", "[2]"},
        {"object rejects bad JSON", VJSONValue(JSON_object), "{\"a\":", nullptr},
        {"boolean on", VJSONValue(JSON_false), "on", "true"},
        {"boolean TRUE", VJSONValue(JSON_false), "TRUE", "true"},
        {"boolean 0", VJSONValue(JSON_true), "0", "false"},
        {"boolean off", VJSONValue(JSON_true), "off", "false"},
        {"boolean rejects yes", VJSONValue(JSON_true), "yes", nullptr},
        {"number rejects", VJSONValue(1.0), "2", nullptr},
        {"null rejects", VJSONValue(JSON_null), "null", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VJSONValue value(row.value);
        const std::string before = Json(value);
        StErrorContextInstaller errors;
        const bool accepted = Extension::CommandLineParser::Argument<VJSONValue>::Append(parser, value, VString(row.text));
        EXPECT_EQ(accepted, row.result != nullptr);
        EXPECT_EQ(Json(value), row.result ? row.result : before);
        EXPECT_EQ(errors.GetLastError(), VE_OK);
    }
}

} // namespace
} // namespace nuvo::test
