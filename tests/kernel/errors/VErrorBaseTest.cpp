#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/ILocalizer.h"
#include "kernel/errors/VErrorImported.h"
#include "kernel/errors/VErrorUserGenerated.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VBagArray.h"
#include "tests/kernel/errors/ErrorTestSupport.h"

namespace nuvo {
namespace {

using namespace test;

constexpr OsType kXMLC = MakeOsType("xmlc");

VError Carbon(int32_t n) { return MakeVError(MakeOsType("CARB"), n); }
VError Mach(int32_t n) { return MakeVError(MakeOsType("MACH"), n); }
VError Cocoa(int32_t n) { return MakeVError(MakeOsType("COCO"), n); }

std::string Text(const VString& text) { return to_string(text); }

// A localizer with a fixed table; records the codes it was asked for.
class VFakeLocalizer : public ILocalizer {
public:
    explicit VFakeLocalizer(std::vector<std::pair<VError, const char*>> entries) : fEntries(std::move(entries)) {}

    DialectCode GetLocalizationLanguage() override { return 1033; }
    bool LocalizeErrorMessage(VError code, VString& out) override
    {
        fAsked.push_back(code);
        auto entry = std::find_if(fEntries.begin(), fEntries.end(), [code](const auto& e) { return e.first == code; });
        if (entry != fEntries.end())
            out = entry->second;
        return entry != fEntries.end();
    }
    bool LocalizeStringWithKey(const VString&, VString&) override { return false; }
    bool LocalizeStringWithDotStringsKey(const VString&, VString&) override { return false; }
    VValueBag* RetainGroupBag(const VString&) override { return nullptr; }

    std::vector<VError> fAsked;

private:
    std::vector<std::pair<VError, const char*>> fEntries;
};

// A record created on a thread that the task manager does not know: task 0, no name.
VRefPtr<VErrorBase> MakeRecordWithoutTask(VError code, std::initializer_list<Parameter> parameters = {})
{
    VRefPtr<VErrorBase> record;
    std::thread([&] { record = MakeRecord(code, parameters); }).join();
    return record;
}

// Localized text, else the platform's, else "error_description", else the error string (the
// signed number and the signature); localized and parameter texts get their placeholders filled,
// platform texts do not.
TEST(VErrorBase, DescriptionFallsBackInOrder)
{
    VFakeLocalizer toolkit({{Nuvo(601), "The file {path} was not found."}, {Nuvo(602), ""},
                            {Posix(2), "Localized: no {path}"}, {0, "never asked"}});
    VFakeLocalizer updater({{Updater(13), "Update failed: {p1}{unknown}"}});
    VErrorBase::RegisterLocalizer(MakeOsType("nuvo"), &updater); // replaced just below
    VErrorBase::RegisterLocalizer(MakeOsType("nuvo"), &toolkit);
    VErrorBase::RegisterLocalizer(MakeOsType("POSX"), &toolkit);
    VErrorBase::RegisterLocalizer(MakeOsType("UPQZ"), &updater);
    EXPECT_EQ(VErrorBase::GetLocalizer(MakeOsType("nuvo")), &toolkit);

    struct Row {
        const char* name; VError code; std::initializer_list<Parameter> parameters; const char* expected;
    } rows[] = {
        {"no text anywhere", Nuvo(600), {}, "Error code: 600 (nuvo)"},
        {"signed number", Updater(INT32_MIN), {}, "Error code: -2147483648 (UPQZ)"},
        {"code 0", 0, {}, "Error code: 0 ()"},
        {"error_description with placeholders", Nuvo(600),
         {{"error_description", "Cannot find {path} in {folder}."}, {"path", "a.txt"}, {"folder", "/b"}},
         "Cannot find a.txt in /b."},
        {"unknown placeholder removed", Nuvo(605), {{"error_description", "Copy{missing} failed"}}, "Copy failed"},
        {"empty error_description", Nuvo(605), {{"error_description", ""}}, "Error code: 605 (nuvo)"},
        {"localized beats error_description", Nuvo(601), {{"error_description", "plain"}, {"path", "p"}},
         "The file p was not found."},
        {"empty localized text", Nuvo(602), {{"error_description", "from bag"}}, "from bag"},
        {"localized beats the platform", Posix(2), {{"path", "/q"}}, "Localized: no /q"},
        {"platform beats error_description", Posix(13), {{"error_description", "ignored"}}, "Permission denied"},
        {"posix number without text", Posix(999999), {}, "Error code: 999999 (POSX)"},
        {"posix number without text, error_description", Posix(999999), {{"error_description", "odd {p1}"}, {"p1", "one"}},
         "odd one"},
        {"no carbon text here", Carbon(-43), {}, "Error code: -43 (CARB)"},
        {"no mach text here", Mach(3), {}, "Error code: 3 (MACH)"},
        {"no cocoa text here", Cocoa(4), {{"error_description", "cocoa {p1}"}, {"p1", "four"}}, "cocoa four"},
        {"code 0 is never localized", 0, {{"error_description", "zero {p1}"}, {"p1", "one"}}, "zero one"},
        {"each component its localizer", Updater(13), {{"p1", "disk"}}, "Update failed: disk"},
        {"component without localizer", MakeVError(kXMLC, 7), {}, "Error code: 7 (xmlc)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString out("stale");
        MakeRecord(row.code, row.parameters)->GetErrorDescription(out);
        EXPECT_EQ(Text(out), row.expected);
    }
    for (OsType component : {MakeOsType("nuvo"), MakeOsType("POSX"), MakeOsType("UPQZ")})
        VErrorBase::UnregisterLocalizer(component);
    EXPECT_EQ(VErrorBase::GetLocalizer(MakeOsType("nuvo")), nullptr);
    for (VError asked : toolkit.fAsked)
        EXPECT_NE(asked, VError(0));
    EXPECT_EQ(updater.fAsked, (Codes{Updater(INT32_MIN), Updater(13)}));
}

// The dump shows the task that created the record, the location and the action text.
TEST(VErrorBase, DumpToStringPieces)
{
    const std::string mainTask = "task " + std::to_string(VTask::GetCurrentID()) + ", name: 'Main'\n";
    struct Row { const char* name; VRefPtr<VErrorBase> record; std::string expected; } rows[] = {
        {"on the main task", MakeRecord(Nuvo(600)), "Error code: 600 (nuvo)\nError code: 600 (nuvo)\nnuvolib\n" + mainTask},
        {"without task", MakeRecordWithoutTask(Nuvo(600)), "Error code: 600 (nuvo)\nError code: 600 (nuvo)\nnuvolib\ntask 0\n"},
        {"action with placeholder", MakeRecordWithoutTask(Posix(2), {{"action_description", "Check {path}"}, {"path", "/p"}}),
         "Error code: 2 (POSX)\nNo such file or directory\ncomponent: 'POSX'\nCheck /p\ntask 0\n"},
        {"unknown placeholder in the action", MakeRecord(Updater(13), {{"action_description", "Retry{later}"}}),
         "Error code: 13 (UPQZ)\nError code: 13 (UPQZ)\ncomponent: 'UPQZ'\nRetry\n" + mainTask},
        {"lower-case signature", MakeRecordWithoutTask(MakeVError(kXMLC, 1)),
         "Error code: 1 (xmlc)\nError code: 1 (xmlc)\ncomponent: 'xmlc'\ntask 0\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString out("stale text that must go");
        row.record->DumpToString(out);
        EXPECT_EQ(Text(out), row.expected);
    }
}

TEST(VErrorBase, UserGeneratedAndImportedRecordsUseTheirOwnText)
{
    auto user = VRefPtr<VErrorBase>::Adopt(new VErrorUserGenerated(Updater(13), VString("boom {p1}")));
    auto imported = VRefPtr<VErrorBase>::Adopt(new VErrorImported(Nuvo(600), VString("remote says no")));
    for (VErrorBase* record : {user.Get(), imported.Get()}) {
        record->GetBag()->SetString(ErrorBagKeys::p1, VString("x"));
        VString description, dump, location;
        record->GetErrorDescription(description);
        record->DumpToString(dump);
        record->GetLocation(location);
        EXPECT_EQ(Text(description) + "|" + Text(dump) + "|" + Text(location),
                  record == user.Get() ? "boom {p1}|boom {p1}|component: 'UPQZ'"
                                       : "remote says no|remote says no|REST Imported Error");
    }
}

TEST(VErrorBase, DebugDumpWritesNativeUTF16WithinTheGivenSize)
{
    VRefPtr<VErrorBase> record = MakeRecordWithoutTask(Nuvo(600));
    const std::u16string full = u"Error code: 600 (nuvo)\nError code: 600 (nuvo)\nnuvolib\ntask 0\n";
    char buffer[512];
    int size = sizeof(buffer);
    EXPECT_EQ(record->DebugDump(buffer, size), CharSet::UTF16);
    ASSERT_EQ(size, int(full.size() * 2));
    EXPECT_EQ(std::memcmp(buffer, full.data(), size_t(size)), 0);

    size = 11; // room for 5 units only
    EXPECT_EQ(record->DebugDump(buffer, size), CharSet::UTF16);
    ASSERT_EQ(size, 10);
    EXPECT_EQ(std::memcmp(buffer, u"Error", 10), 0);
}

// "code|task ID|task name|p1|number of parameters" of a record.
std::string Summary(const VErrorBase& record)
{
    VString name, p1;
    record.GetTaskName(name, nullptr);
    record.GetBag()->GetString(ErrorBagKeys::p1, p1);
    return std::to_string(record.GetError()) + "|" + std::to_string(record.GetTaskID()) + "|" + Text(name) + "|"
        + Text(p1) + "|" + std::to_string(record.GetBag()->GetAttributesCount());
}

TEST(VErrorBase, CopyAndBagFormTakeTheirOwnParameters)
{
    VRefPtr<VErrorBase> original = MakeRecord(Carbon(-50), {{"p1", "before"}, {"path", "/y"}});
    auto copy = VRefPtr<VErrorBase>::Adopt(new VErrorBase(*original));
    VValueBag bag;
    EXPECT_EQ(original->SaveToBag(bag), VError(0));
    original->GetBag()->SetString(ErrorBagKeys::p1, VString("after"));
    int64_t code = 0;
    ASSERT_TRUE(bag.GetLong8(ErrorBagKeys::error_code, code));
    EXPECT_EQ(uint64_t(code), 0x43415242FFFFFFCEull);

    auto loaded = VRefPtr<VErrorBase>::Adopt(new VErrorBase);
    EXPECT_EQ(loaded->LoadFromBag(bag), VError(0));
    const std::string id = std::to_string(VTask::GetCurrentID());
    EXPECT_EQ(Summary(*copy), "4846245121743650766|" + id + "|Main|before|2");
    EXPECT_EQ(Summary(*loaded), "4846245121743650766|" + id + "|Main|before|2");
    EXPECT_EQ(copy->GetRefCount(), 1);

    // Loading keeps the code and ID when their attributes are missing, clears the task name,
    // and takes a clone of the first "parameters" element only.
    VValueBag partial;
    for (const char* value : {"first", "second"}) {
        auto parameters = VRefPtr<VValueBag>::Adopt(new VValueBag);
        parameters->SetString(ErrorBagKeys::p1, VString(value));
        partial.AddElement(ErrorBagKeys::parameters, parameters.Get());
    }
    EXPECT_EQ(loaded->LoadFromBag(partial), VError(0));
    EXPECT_EQ(Summary(*loaded), "4846245121743650766|" + id + "||first|1");
    EXPECT_NE(loaded->GetBag(), partial.GetElements(ErrorBagKeys::parameters)->GetNth(1));
}

TEST(VErrorBase, NativeCodesMapToToolkitCodes)
{
    const VError fallback = Updater(99);
    struct Row { VError encoded; VError expected; } rows[] = {
        {Posix(2), Nuvo(600)},   {Posix(13), Nuvo(5)},  {Posix(5), fallback},   {Posix(0), fallback},
        {Carbon(-43), Nuvo(600)}, {Carbon(-108), Nuvo(100)}, {Carbon(-50), fallback}, {Carbon(0), fallback},
        {Mach(3), fallback},     {Cocoa(4), fallback},  {Mach(0), Mach(0)},    {Cocoa(0), Cocoa(0)},
        {Nuvo(600), Nuvo(600)},  {Nuvo(1), fallback},   {Updater(13), Updater(13)}, {0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.encoded);
        EXPECT_EQ(VErrorBase::EncodedNativeErrorToVError(row.encoded, fallback), row.expected);
    }
    // A Carbon status: the map's code when it has one, else the status under CARB.
    struct CarbonRow { int32_t status; VError expected; } carbonRows[] = {
        {0, 0},          {-108, Nuvo(100)}, {-39, Nuvo(200)},  {-34, Nuvo(658)},
        {-43, Nuvo(600)}, {-120, Nuvo(650)}, {-45, Nuvo(5)},    {-46, Nuvo(5)},
        {-192, Nuvo(401)}, {-37, Nuvo(614)}, {-54, Nuvo(5)},    {-128, Nuvo(6)},
        {-50, 0x43415242FFFFFFCEull}, {2, Carbon(2)}, {INT32_MIN, Carbon(INT32_MIN)},
    };
    for (const CarbonRow& row : carbonRows) {
        SCOPED_TRACE(row.status);
        EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(row.status), row.expected);
    }
}

} // namespace
} // namespace nuvo
