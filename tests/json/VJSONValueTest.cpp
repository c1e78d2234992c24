#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyConstOrderedIterator.h"
#include "json/VJSONPropertyIterator.h"
#include "tests/json/JSONTestSupport.h"
#include "kernel/time/VTime.h"
#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

std::string Names(const VJSONObject& object)
{
    std::string names;
    for (VJSONPropertyConstOrderedIterator it(&object); it.IsValid(); ++it)
        names += to_string(it.GetName()) + "@" + std::to_string(object.GetOrdinal(it.GetName())) + " ";
    return names;
}

VJSONValue Parsed(const char* text)
{
    VJSONValue value;
    EXPECT_EQ(VJSONImporter::ParseString(VString(text), value), VE_OK) << text;
    return value;
}

TEST(VJSONValueTest, KindsAndConversions)
{
    VJSONValue date;
    date.SetDate(2024, 3, 5);
    VString nullString;
    nullString.SetNull();
    struct Row { const char* name; VJSONValue value; JSONType kind; const char* text; double number; bool boolean; };
    const Row rows[] = {
        {"default", VJSONValue(), JSON_undefined, "", 0, false},
        {"null", VJSONValue(JSON_null), JSON_null, "", 0, false},
        {"null string", VJSONValue(nullString), JSON_null, "", 0, false},
        {"false", VJSONValue(JSON_false), JSON_false, "false", 0, false},
        {"true", VJSONValue(JSON_true), JSON_true, "true", 1, true},
        {"empty string", VJSONValue(JSON_string), JSON_string, "", 0, false},
        {"hex string", VJSONValue(VString("0x1F")), JSON_string, "0x1F", 31, true},
        {"hex skips non-digits", VJSONValue(VString("0Xg1z0")), JSON_string, "0Xg1z0", 16, true},
        {"exponent string", VJSONValue(VString("1e3")), JSON_string, "1e3", 1000, true},
        {"word string", VJSONValue(VString("abc")), JSON_string, "abc", 0, true},
        {"zero number", VJSONValue(0.0), JSON_number, "0", 0, false},
        {"real number", VJSONValue(2.5), JSON_number, "2.5", 2.5, true},
        {"object", VJSONValue(JSON_object), JSON_object, "[object Object]", 0, true},
        {"array", Parsed("[1, \"a\", [true, null], {}]"), JSON_array, "1,a,true,,[object Object]", 0, true},
        {"empty array", VJSONValue(JSON_array), JSON_array, "", 0, true},
        {"date", date, JSON_date, "2024-03-05T00:00:00.000Z", 0, true},
        {"zero date", VJSONValue(JSON_date), JSON_date, "0000-00-00T00:00:00.000Z", 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.value.GetType(), row.kind);
        VString text("previous");
        EXPECT_EQ(row.value.GetString(text), VE_OK);
        EXPECT_EQ(to_string(text), row.text);
        EXPECT_EQ(row.value.GetNumber(), row.number);
        EXPECT_EQ(row.value.GetBool(), row.boolean);
    }
}

TEST(VJSONValueTest, SettersClearAndStamps)
{
    VJSONValue value;
    value.SetBool(true);
    EXPECT_EQ(value.GetType(), JSON_true);
    value.Clear();
    EXPECT_EQ(value.GetType(), JSON_false);
    struct Row { const char* name; VJSONValue value; std::string cleared; };
    VJSONValue date;
    date.SetDate(1999, 12, 31);
    const Row rows[] = {
        {"string", VJSONValue(VString("x")), "\"\""},
        {"number", VJSONValue(7.0), "0"},
        {"object", Parsed("{\"a\":1}"), "null"},
        {"array", Parsed("[1]"), "null"},
        {"date", date, "\"0000-00-00T00:00:00.000Z\""},
        {"null", VJSONValue(JSON_null), "null"},
    };
    for (Row row : rows) {
        SCOPED_TRACE(row.name);
        row.value.Clear();
        EXPECT_EQ(Json(row.value), row.cleared);
    }
    // Every construction or copy takes a later stamp.
    VJSONValue first(1.0);
    VJSONValue copy(first);
    EXPECT_GT(copy.GetStamp(), first.GetStamp());
    // A string set from its own payload survives.
    VJSONValue self(VString("same"));
    self.SetString(*self.GetStringRef());
    EXPECT_EQ(Json(self), "\"same\"");
}

TEST(VJSONValueTest, DatesFromAndToTimes)
{
    VTime time;
    time.FromUTCTime(2024, 2, 29, 23, 59, 59, 999);
    VJSONValue value(time);
    EXPECT_EQ(Json(value), "\"2024-02-29T00:00:00.000Z\"");
    VTime back;
    EXPECT_TRUE(value.GetTime(back));
    VString text;
    back.GetRfc3339String(text, 1);
    EXPECT_EQ(to_string(text), "2024-02-29T00:00:00.000Z");
    VTime null;
    null.SetNull();
    EXPECT_TRUE(VJSONValue(null).IsNull());
    EXPECT_FALSE(VJSONValue(1.0).GetTime(back));
    EXPECT_TRUE(back.IsNull());
}

TEST(VJSONValueTest, ObjectsAreSharedAndOrdered)
{
    VJSONValue value(JSON_object);
    VJSONValue copy(value);
    copy.SetProperty(VString("Name"), VJSONValue(VString("x")));
    copy.SetProperty(VString("name"), VJSONValue(1.0));
    EXPECT_EQ(Json(value), "{\"Name\":\"x\",\"name\":1}");
    EXPECT_TRUE(value.GetProperty(VString("missing")).IsUndefined());
    EXPECT_TRUE(VJSONValue(VString("s")).GetProperty(VString("length")).IsUndefined());

    VJSONObject* object = value.RetainObject();
    object->Clear();
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(object->SetProperty(VString(name), VJSONValue(JSON_null)));
    object->RemoveProperty(VString("b"));
    ASSERT_TRUE(object->SetProperty(VString("d"), VJSONValue(JSON_null)));
    EXPECT_EQ(Names(*object), "a@0 c@1 d@2 ");
    ASSERT_TRUE(object->SetProperty(VString("a"), VJSONValue(2.0)));
    EXPECT_EQ(Json(value), "{\"a\":2,\"c\":null,\"d\":null}");
    object->Release();
    EXPECT_EQ(VJSONValue(JSON_string).RetainObject(), nullptr);
}

TEST(VJSONValueTest, LargeObjectsKeepLookupsAndOrdinalsThroughRemovals)
{
    // Past a few properties lookups go through a hash index, rebuilt on removal.
    VJSONValue value(JSON_object);
    VJSONObject* object = value.GetObject();
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(object->SetProperty(ToString(i), VJSONValue(double(i))));
    for (int i = 0; i < 200; i += 3)
        object->RemoveProperty(ToString(i));
    ASSERT_TRUE(object->SetProperty(VString("0"), VJSONValue(-1.0)));
    ASSERT_EQ(object->GetCount(), 134u);
    int64_t ordinal = 0;
    for (int i = 1; i < 200; ++i) {
        if (i % 3 == 0) {
            EXPECT_FALSE(object->HasOwnProperty(ToString(i))) << i;
            continue;
        }
        EXPECT_EQ(object->GetOrdinal(ToString(i)), ordinal++) << i;
        EXPECT_EQ(object->GetProperty(ToString(i)).GetNumber(), i);
    }
    EXPECT_EQ(object->GetOrdinal(VString("0")), 133);
    for (VJSONPropertyIterator it(object); it.IsValid(); ++it)
        it.SetValue(VJSONValue(JSON_true));
    EXPECT_TRUE(object->GetProperty(VString("199")).GetBool());
}

TEST(VJSONValueTest, PathsOfNames)
{
    VJSONValue value = Parsed("{\"a\":{\"b\":{\"c\":3}},\"s\":\"x\"}");
    VJSONObject* object = value.GetObject();
    EXPECT_EQ(object->GetPropertyWithPath(VString("a.b.c")).GetNumber(), 3);
    EXPECT_TRUE(object->GetPropertyWithPath(VString("a.x.c")).IsUndefined());
    EXPECT_TRUE(object->SetPropertyWithPath(VString("a.n.m"), VJSONValue(1.0)));
    EXPECT_FALSE(object->SetPropertyWithPath(VString("s.t"), VJSONValue(1.0)));
    EXPECT_EQ(Json(value), "{\"a\":{\"b\":{\"c\":3},\"n\":{\"m\":1}},\"s\":\"x\"}");
}

TEST(VJSONValueTest, ArrayEditsAndBounds)
{
    VJSONValue value = Parsed("[0, 1, 2, 3]");
    VJSONArray* array = value.GetArray();
    VJSONValue out(1.0);
    EXPECT_FALSE(array->GetAt(4, out));
    EXPECT_TRUE(out.IsUndefined());
    EXPECT_TRUE(array->GetAt(9).IsUndefined());
    array->SetAt(4, VJSONValue(9.0));   // past the end: nothing
    array->RemoveAt(1, 2);
    EXPECT_EQ(Json(value), "[0,3]");
    array->RemoveAt(1, 100);
    ASSERT_TRUE(array->Resize(3));
    ASSERT_TRUE(array->Resize(4, JSON_array));
    ASSERT_TRUE(array->Concatenate(*array));
    EXPECT_EQ(Json(value), "[0,null,null,[],0,null,null,[]]");
    // The concatenated array shares the element arrays.
    EXPECT_EQ(array->GetAt(3).GetArray(), array->GetAt(7).GetArray());
    VString joined;
    EXPECT_EQ(array->JoinAsString(VString("; "), joined), VE_OK);
    EXPECT_EQ(to_string(joined), "0; ; ; ; 0; ; ; ");
}

TEST(VJSONValueTest, ArrayContainingItselfFailsToConvert)
{
    VJSONValue value = Parsed("[1, [2]]");
    VJSONArray* inner = value.GetArray()->GetAt(1).GetArray();
    ASSERT_TRUE(inner->Push(value));
    StErrorContextInstaller errors;
    VString text;
    EXPECT_EQ(value.GetString(text), Nuvo(900));
    EXPECT_EQ(RecordsOf(errors), std::vector<std::string>{"900"});
    errors.GetContext()->Flush();
    inner->Clear();   // break the cycle
}

TEST(VJSONValueTest, LoadFromFile)
{
    StTempFolder temp;
    WriteFile(temp / "info.json", "\xEF\xBB\xBF{\"ServerPlatform\": \"linux\", \"n\": [1]}\r\n");
    VJSONValue value;
    value.LoadFromFile(FileAt(temp / "info.json").Get());
    EXPECT_EQ(Json(value), "{\"ServerPlatform\":\"linux\",\"n\":[1]}");

    // A file that cannot be read leaves the value and reports the file layer's error.
    StErrorContextInstaller errors;
    value.LoadFromFile(FileAt(temp / "missing.json").Get());
    EXPECT_EQ(Json(value), "{\"ServerPlatform\":\"linux\",\"n\":[1]}");
    EXPECT_EQ(errors.GetLastError(), Nuvo(600));
    errors.GetContext()->Flush();

    // Malformed content names the file in the record.
    WriteFile(temp / "bad.json", "{\n\"a\" 1}");
    value.LoadFromFile(FileAt(temp / "bad.json").Get());
    EXPECT_EQ(RecordsOf(errors), (std::vector<std::string>{"551 found=1|expected=:",
                                                           "550 source=" + (temp / "bad.json") + ", |line=2|position=5"}));
    EXPECT_EQ(Json(value), "{}");
    errors.GetContext()->Flush();
    value.LoadFromFile(nullptr);
    EXPECT_TRUE(value.IsUndefined());
}

} // namespace
} // namespace nuvo::test
