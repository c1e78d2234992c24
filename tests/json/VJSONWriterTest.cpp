#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "json/IJSONObject.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "kernel/text/RealText.h"
#include "tests/json/JSONTestSupport.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/support/StEnvVar.h"

namespace nuvo::test {
namespace {

VJSONValue Parsed(const char* text)
{
    VJSONValue value;
    EXPECT_EQ(VJSONImporter::ParseString(U8(text), value), VE_OK) << text;
    return value;
}

struct Written {
    VError result;
    std::string text;
    std::vector<std::string> records;
};

Written Write(const VJSONValue& value, unsigned int options)
{
    StErrorContextInstaller errors;
    VString text;
    VError result = value.Stringify(text, options);
    Written written{result, to_string(text), RecordsOf(errors)};
    errors.GetContext()->Flush();
    return written;
}

TEST(VJSONWriterTest, GoldenTextsPerOption)
{
    const VJSONValue simple = Parsed("{\"a\":1,\"b\":\"x\"}");
    const VJSONValue nested = Parsed("{\"a\":[1,{}],\"b\":{\"c\":[]},\"d\":null}");
    const VJSONValue empties = Parsed("[{},[]]");
    struct Row { const char* name; const VJSONValue& value; unsigned int options; const char* text; };
    const Row rows[] = {
        {"quoted", simple, 0x1, "{\"a\":1,\"b\":\"x\"}"},
        {"quoted, indented", simple, 0x9, "{\n\t\"a\": 1,\n\t\"b\": \"x\"\n}"},
        {"bare", simple, 0x0, "{a:1,b:x}"},
        {"bare, indented", simple, 0x8, "{\n\ta: 1,\n\tb: x\n}"},
        {"nested, indented", nested, 0x9,
         "{\n\t\"a\": [\n\t\t1,\n\t\t{}\n\t],\n\t\"b\": {\n\t\t\"c\": []\n\t},\n\t\"d\": null\n}"},
        {"empties, quoted", empties, 0x1, "[{},[]]"},
        {"empties, indented", empties, 0x9, "[\n\t{},\n\t[]\n]"},
        {"empty object, bare", VJSONValue(JSON_object), 0x0, "{}"},
        {"empty array, indented", VJSONValue(JSON_array), 0x8, "[]"},
        {"undefined", VJSONValue(), 0x1, "null"},
        {"booleans", Parsed("[true,false]"), 0x9, "[\n\ttrue,\n\tfalse\n]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Written written = Write(row.value, row.options);
        EXPECT_EQ(written.result, VE_OK);
        EXPECT_EQ(written.text, row.text);
    }
}

TEST(VJSONWriterTest, NumbersAndStrings)
{
    struct NumberRow { double value; const char* text; };
    const NumberRow numbers[] = {
        {1e21, "1E+21"}, {0.1, "0.1"}, {9007199254740992.0, "9.007199254741E+15"},
        {9007199254740991.0, "9007199254740991"}, {-9007199254740991.0, "-9007199254740991"},
        {-0.0, "0"}, {3.0, "3"}, {-1.5e-7, "-1.5E-07"}, {123456.789, "123456.789"},
        {std::nan(""), "null"}, {-std::numeric_limits<double>::infinity(), "null"},
    };
    for (const NumberRow& row : numbers) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Json(VJSONValue(row.value)), row.text);
        VString text;
        RealToJSONString(row.value, text);
        EXPECT_EQ(to_string(text), row.text);
    }

    const VString text = U8("\t\x01/\x7F&'\"\\\xC3\xA9\b\f\n\r");
    struct StringRow { unsigned int options; const char* text; };
    const StringRow strings[] = {
        {0x1, "\"\\t\\u0001/\\u007F&'\\\"\\\\\xC3\xA9\\b\\f\\n\\r\""},
        {0x401, "\"\\t\\u0001/\\u007F\\u0026\\u0027\\\"\\\\\xC3\xA9\\b\\f\\n\\r\""},
        {0x0, "\\t\\u0001/\\u007F&'\\\"\\\\\xC3\xA9\\b\\f\\n\\r"},
        {0x11, "\"\t\x01/\x7F&'\"\\\xC3\xA9\b\f\n\r\""},
    };
    for (const StringRow& row : strings) {
        SCOPED_TRACE(row.options);
        VString out("old");
        EXPECT_EQ(text.GetJSONString(out, row.options), VE_OK);
        EXPECT_EQ(to_string(out), row.text);
        EXPECT_EQ(Json(VJSONValue(text), row.options), row.text);
        // Keys follow the same rules.
        VJSONValue object(JSON_object);
        object.SetProperty(text, VJSONValue(JSON_null));
        EXPECT_EQ(Json(object, row.options), std::string("{") + row.text + ":null}");
    }
    VString back;
    EXPECT_TRUE(back.FromJSONString(U8("\"\\t\\u0001/\\u007F\\u0026'\\\"\\\\\xC3\xA9\\b\\f\\n\\r\"")));
    EXPECT_EQ(to_string(back), to_string(text));
    EXPECT_FALSE(back.FromJSONString(VString("a\\u12")));
}

TEST(VJSONWriterTest, FifteenDigitNumberSettlesAfterOneRewrite)
{
    // Found by fuzzing: 14 significant digits turn this number into exponent form, which reads
    // back as a whole number and is then written as one.
    VJSONValue value = Parsed("[888888888888888.888]");
    const std::string first = Json(value);
    EXPECT_EQ(first, "[8.8888888888889E+14]");
    const std::string second = Json(Parsed(first.c_str()));
    EXPECT_EQ(second, "[888888888888890]");
    EXPECT_EQ(Json(Parsed(second.c_str())), second);
}

// A native object: answers one property itself and may write itself or refuse to be written.
class FakeHook : public IJSONObject {
public:
    FakeHook(bool stringifiable, const char* ownText) : fStringifiable(stringifiable), fOwnText(ownText) {}
    bool GetProperty(const VString& name, void*, VJSONValue& out) const override
    {
        if (!name.EqualToUSASCIICString("native"))
            return false;
        out.SetNumber(42);
        return true;
    }
    bool IsStringifiable() const override { return fStringifiable; }
    bool Stringify(VString& out, unsigned int, VError& outError) const override
    {
        if (fOwnText == nullptr)
            return false;
        out = VString(fOwnText);
        outError = VE_OK;
        return true;
    }

private:
    bool fStringifiable;
    const char* fOwnText;
};

TEST(VJSONWriterTest, CyclesRepeatsAndNativeObjectsFailWithTheirCodes)
{
    VJSONValue cyclic = Parsed("{\"a\":1}");
    cyclic.SetProperty(VString("self"), cyclic);
    VJSONValue looping = Parsed("[1]");
    looping.GetArray()->Push(looping);
    VJSONValue once(JSON_object);
    VJSONValue repeated = Parsed("[]");
    repeated.GetArray()->Push(once);
    repeated.GetArray()->Push(once);
    FakeHook refusing(false, nullptr), writing(true, "<native>");
    VJSONValue refused = Parsed("{\"p\":1}"), native(JSON_object);
    refused.GetObject()->SetImplementation(&refusing);
    native.GetObject()->SetImplementation(&writing);
    EXPECT_EQ(native.GetProperty(VString("native")).GetNumber(), 42);

    struct Row { const char* name; const VJSONValue& value; unsigned int options; VError result; std::string text; };
    const Row rows[] = {
        {"object in itself", cyclic, 0x1, Nuvo(900), "{\"a\":1,\"self\":"},
        {"object in itself as text", cyclic, 0x2001, VE_OK, "{\"a\":1,\"self\":\"[circular]\"}"},
        {"array in itself", looping, 0x2001, Nuvo(900), "[1,"},
        {"object written twice", repeated, 0x10001, Nuvo(916), "[{},"},
        {"object repeated without the option", repeated, 0x1, VE_OK, "[{},{}]"},
        {"refusing hook", refused, 0x101, Nuvo(911), ""},
        {"refusing hook without the option", refused, 0x1, VE_OK, "{\"p\":1}"},
        {"native object, generic only", native, 0x8001, Nuvo(914), ""},
        {"native object writing itself", native, 0x1, VE_OK, "<native>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Written written = Write(row.value, row.options);
        EXPECT_EQ(written.result, row.result);
        EXPECT_EQ(written.text, row.text);
        EXPECT_EQ(written.records, row.result ? std::vector<std::string>{std::to_string(NumberOf(row.result))}
                                              : std::vector<std::string>{});
    }
    cyclic.GetObject()->RemoveProperty(VString("self"));
    looping.GetArray()->Clear();
}

TEST(VJSONWriterTest, TruncationCutsContainersAndMarksOnce)
{
    // Each element is 12 characters; the cut comes after the first element met with more than
    // 512 characters already counted, the 44th.
    std::string elements;
    for (int i = 0; i < 60; ++i)
        elements += std::string(i ? "," : "") + "\"0123456789\"";
    std::string first44;
    for (int i = 0; i < 44; ++i)
        first44 += std::string(i ? "," : "") + "\"0123456789\"";
    VJSONValue flat = Parsed(("[" + elements + "]").c_str());
    VJSONValue twice = Parsed(("[[" + elements + "],[" + elements + "]]").c_str());
    EXPECT_EQ(Write(flat, 0x4001).text, "[" + first44 + "...");
    EXPECT_EQ(Write(twice, 0x4001).text, "[[" + first44 + "...");
    EXPECT_EQ(Write(Parsed("[1,2]"), 0x4001).text, "[1,2]");
}

TEST(VJSONWriterTest, DatesInUTCOrAsLocalMidnight)
{
    VJSONValue date;
    date.SetDate(2024, 3, 5);
    struct Row { const char* zone; unsigned int options; const char* text; };
    const Row rows[] = {
        {"UTC-2", 0x1, "\"2024-03-05T00:00:00.000Z\""},
        {"UTC", 0x0, "2024-03-05T00:00:00.000Z"},
        {"UTC-2", 0x81, "\"2024-03-04T22:00:00.000Z\""},
        {"UTC+5", 0x81, "\"2024-03-05T05:00:00.000Z\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.zone);
        StEnvVar zone("TZ", std::string(row.zone));
        EXPECT_EQ(Json(date, row.options), row.text);
    }
}

TEST(VJSONWriterTest, ValueToFile)
{
    StTempFolder temp;
    VJSONValue value = Parsed("{\"\xC3\xA9\":[1,\"a\\r\\nb\"]}");
    EXPECT_EQ(value.SaveToFile(FileAt(temp / "out.json").Get(), 0x9), VE_OK);
    EXPECT_EQ(ReadFile(temp / "out.json"), "{\n\t\"\xC3\xA9\": [\n\t\t1,\n\t\t\"a\\r\\nb\"\n\t]\n}");
    // Written even when writing failed: what was built goes to the file.
    value.SetProperty(VString("self"), value);
    StErrorContextInstaller errors;
    EXPECT_EQ(VJSONWriter::StringifyValueToFile(FileAt(temp / "cut.json").Get(), value, 0x1), VE_OK);
    EXPECT_EQ(ReadFile(temp / "cut.json"), "{\"\xC3\xA9\":[1,\"a\\r\\nb\"],\"self\":");
    EXPECT_EQ(errors.GetLastError(), Nuvo(900));
    errors.GetContext()->Flush();
    value.GetObject()->RemoveProperty(VString("self"));
    EXPECT_EQ(VJSONWriter::StringifyValueToFile(nullptr, value, 0x1), VE_OK);
}

} // namespace
} // namespace nuvo::test
