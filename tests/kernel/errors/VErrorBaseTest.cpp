#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/ILocalizer.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorImported.h"
#include "kernel/errors/VErrorUserGenerated.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {
namespace {

constexpr OsType kUPQZ = MakeOsType("UPQZ");
constexpr OsType kXMLC = MakeOsType("xmlc");

VError Nuvo(int32_t n) { return MakeVError(MakeOsType("nuvo"), n); }
VError Posix(int32_t n) { return MakeVError(MakeOsType("POSX"), n); }
VError Carbon(int32_t n) { return MakeVError(MakeOsType("CARB"), n); }
VError Mach(int32_t n) { return MakeVError(MakeOsType("MACH"), n); }
VError Cocoa(int32_t n) { return MakeVError(MakeOsType("COCO"), n); }
VError Updater(int32_t n) { return MakeVError(kUPQZ, n); }

std::string Text(const VString& text) { return to_string(text); }

// A localizer with a fixed table; records the codes it was asked for.
class VFakeLocalizer : public ILocalizer {
public:
    struct Entry {
        VError code;
        const char* text;
    };
    explicit VFakeLocalizer(std::vector<Entry> entries) : fEntries(std::move(entries)) {}

    DialectCode GetLocalizationLanguage() override { return 1033; }
    bool LocalizeErrorMessage(VError code, VString& out) override
    {
        fAsked.push_back(code);
        for (const Entry& entry : fEntries) {
            if (entry.code == code) {
                out = entry.text;
                return true;
            }
        }
        return false;
    }
    bool LocalizeStringWithKey(const VString&, VString&) override { return false; }
    bool LocalizeStringWithDotStringsKey(const VString&, VString&) override { return false; }
    VValueBag* RetainGroupBag(const VString&) override { return nullptr; }

    std::vector<VError> fAsked;

private:
    std::vector<Entry> fEntries;
};

// Registers a localizer for a scope and restores the registry afterwards.
class StLocalizerRegistration {
public:
    StLocalizerRegistration(OsType component, ILocalizer* localizer)
        : fComponent(component), fPrevious(VErrorBase::GetLocalizer(component))
    {
        VErrorBase::RegisterLocalizer(component, localizer);
    }
    ~StLocalizerRegistration()
    {
        if (fPrevious)
            VErrorBase::RegisterLocalizer(fComponent, fPrevious);
        else
            VErrorBase::UnregisterLocalizer(fComponent);
    }

private:
    OsType fComponent;
    ILocalizer* fPrevious;
};

struct Parameter {
    const char* name;
    const char* value;
};

VRefPtr<VErrorBase> MakeRecord(VError code, std::initializer_list<Parameter> parameters = {})
{
    auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(code));
    for (const Parameter& parameter : parameters)
        record->GetBag()->SetString(StPackedDictionaryKey(VString(parameter.name)), VString(parameter.value));
    return record;
}

// A record created on a thread that the task manager does not know: task 0, no name.
VRefPtr<VErrorBase> MakeRecordWithoutTask(VError code, std::initializer_list<Parameter> parameters = {})
{
    VRefPtr<VErrorBase> record;
    std::thread([&] { record = MakeRecord(code, parameters); }).join();
    return record;
}

TEST(VErrorBase, ErrorStringShowsTheSignedNumberAndTheSignature)
{
    struct Row {
        const char* name;
        VError code;
        const char* expected;
    } rows[] = {
        {"toolkit", Nuvo(600), "Error code: 600 (nuvo)"},
        {"negative carbon status", Carbon(-43), "Error code: -43 (CARB)"},
        {"posix", Posix(2), "Error code: 2 (POSX)"},
        {"most negative number", Updater(INT32_MIN), "Error code: -2147483648 (UPQZ)"},
        {"lower-case signature", MakeVError(kXMLC, 7), "Error code: 7 (xmlc)"},
        {"no error", 0, "Error code: 0 ()"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString out("stale");
        MakeRecord(row.code)->GetErrorString(out);
        EXPECT_EQ(Text(out), row.expected);
    }
}

TEST(VErrorBase, DescriptionWithoutLocalizer)
{
    struct Row {
        const char* name;
        VError code;
        std::initializer_list<Parameter> parameters;
        const char* expected;
    } rows[] = {
        {"no text anywhere", Nuvo(600), {}, "Error code: 600 (nuvo)"},
        {"error_description with placeholders", Nuvo(600),
         {{"error_description", "Cannot find {path} in {folder}."}, {"path", "a.txt"}, {"folder", "/b"}},
         "Cannot find a.txt in /b."},
        {"unknown placeholder removed", Nuvo(605), {{"error_description", "Copy{missing} failed"}}, "Copy failed"},
        {"empty error_description falls back", Nuvo(605), {{"error_description", ""}}, "Error code: 605 (nuvo)"},
        {"posix text beats error_description", Posix(2), {{"error_description", "ignored"}}, "No such file or directory"},
        {"posix 13", Posix(13), {}, "Permission denied"},
        {"posix number without text", Posix(999999), {}, "Error code: 999999 (POSX)"},
        {"posix number without text uses error_description", Posix(999999), {{"error_description", "odd {p1}"}, {"p1", "one"}},
         "odd one"},
        {"carbon has no text here", Carbon(-43), {}, "Error code: -43 (CARB)"},
        {"mach has no text here", Mach(3), {}, "Error code: 3 (MACH)"},
        {"cocoa has no text here", Cocoa(4), {{"error_description", "cocoa {p1}"}, {"p1", "four"}}, "cocoa four"},
        {"code 0 asks no platform", 0, {{"error_description", "zero {p1}"}, {"p1", "one"}}, "zero one"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString out("stale");
        MakeRecord(row.code, row.parameters)->GetErrorDescription(out);
        EXPECT_EQ(Text(out), row.expected);
    }
}

TEST(VErrorBase, DescriptionWithLocalizer)
{
    VFakeLocalizer toolkit({{Nuvo(600), "The file {path} was not found."},
                            {Nuvo(602), ""},
                            {Posix(2), "Localized: no {path}"},
                            {0, "never asked"}});
    VFakeLocalizer updater({{Updater(13), "Update failed: {p1}{unknown}"}});
    StLocalizerRegistration nuvoRegistration(MakeOsType("nuvo"), &toolkit);
    StLocalizerRegistration posixRegistration(MakeOsType("POSX"), &toolkit);
    StLocalizerRegistration updaterRegistration(kUPQZ, &updater);

    struct Row {
        const char* name;
        VError code;
        std::initializer_list<Parameter> parameters;
        const char* expected;
    } rows[] = {
        {"localized with placeholder", Nuvo(600), {{"path", "/tmp/x"}}, "The file /tmp/x was not found."},
        {"localized beats error_description", Nuvo(600), {{"error_description", "plain"}, {"path", "p"}},
         "The file p was not found."},
        {"localizer without text", Nuvo(601), {}, "Error code: 601 (nuvo)"},
        {"localizer without text, error_description", Nuvo(601), {{"error_description", "desc {p1}"}, {"p1", "1"}}, "desc 1"},
        {"empty localized text falls back", Nuvo(602), {{"error_description", "from bag"}}, "from bag"},
        {"localized beats the platform text", Posix(2), {{"path", "/q"}}, "Localized: no /q"},
        {"platform text when the localizer has none", Posix(13), {}, "Permission denied"},
        {"other component's localizer", Updater(13), {{"p1", "disk"}}, "Update failed: disk"},
        {"component without localizer", MakeVError(kXMLC, 7), {}, "Error code: 7 (xmlc)"},
        {"code 0 never localized", 0, {}, "Error code: 0 ()"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString out;
        MakeRecord(row.code, row.parameters)->GetErrorDescription(out);
        EXPECT_EQ(Text(out), row.expected);
    }
    for (VError asked : toolkit.fAsked)
        EXPECT_NE(asked, VError(0));
    EXPECT_EQ(updater.fAsked, std::vector<VError>{Updater(13)});
}

TEST(VErrorBase, LocalizerRegistryReplacesAndRemoves)
{
    const OsType component = MakeOsType("tst1");
    VFakeLocalizer first({}), second({});
    EXPECT_EQ(VErrorBase::GetLocalizer(component), nullptr);
    VErrorBase::RegisterLocalizer(component, &first);
    EXPECT_EQ(VErrorBase::GetLocalizer(component), &first);
    VErrorBase::RegisterLocalizer(component, &second);
    EXPECT_EQ(VErrorBase::GetLocalizer(component), &second);
    EXPECT_EQ(VErrorBase::GetLocalizer(MakeOsType("tst2")), nullptr);
    VErrorBase::UnregisterLocalizer(component);
    EXPECT_EQ(VErrorBase::GetLocalizer(component), nullptr);
}

TEST(VErrorBase, LocationAndActionTexts)
{
    struct Row {
        const char* name;
        VError code;
        std::initializer_list<Parameter> parameters;
        const char* location;
        const char* action;
    } rows[] = {
        {"toolkit", Nuvo(600), {}, "nuvolib", ""},
        {"posix", Posix(2), {{"action_description", "Check {path}"}, {"path", "/p"}}, "component: 'POSX'", "Check /p"},
        {"updater", Updater(13), {{"action_description", "Retry{later}"}}, "component: 'UPQZ'", "Retry"},
        {"lower case", MakeVError(kXMLC, 1), {}, "component: 'xmlc'", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VRefPtr<VErrorBase> record = MakeRecord(row.code, row.parameters);
        VString location, action("stale");
        record->GetLocation(location);
        record->GetActionDescription(action);
        EXPECT_EQ(Text(location), row.location);
        EXPECT_EQ(Text(action), row.action);
    }
}

TEST(VErrorBase, RecordCapturesTheCurrentTask)
{
    VTask* task = VTask::GetCurrent();
    ASSERT_NE(task, nullptr);
    VRefPtr<VErrorBase> record = MakeRecord(Nuvo(600));
    VString name;
    int32_t id = -1;
    record->GetTaskName(name, &id);
    EXPECT_EQ(id, task->GetID());
    EXPECT_NE(id, 0);
    EXPECT_EQ(Text(name), "Main");
    record->GetTaskName(name, nullptr);

    VRefPtr<VErrorBase> foreign = MakeRecordWithoutTask(Nuvo(600));
    foreign->GetTaskName(name, &id);
    EXPECT_EQ(id, 0);
    EXPECT_TRUE(name.IsEmpty());
}

TEST(VErrorBase, DumpToStringPieces)
{
    const int32_t mainID = VTask::GetCurrentID();
    struct Row {
        const char* name;
        VRefPtr<VErrorBase> record;
        std::string expected;
    } rows[] = {
        {"on the main task", MakeRecord(Nuvo(600)),
         "Error code: 600 (nuvo)\nError code: 600 (nuvo)\nnuvolib\ntask " + std::to_string(mainID) + ", name: 'Main'\n"},
        {"without task", MakeRecordWithoutTask(Nuvo(600)), "Error code: 600 (nuvo)\nError code: 600 (nuvo)\nnuvolib\ntask 0\n"},
        {"every piece", MakeRecordWithoutTask(Posix(2), {{"action_description", "Check {path}"}, {"path", "/p"}}),
         "Error code: 2 (POSX)\nNo such file or directory\ncomponent: 'POSX'\nCheck /p\ntask 0\n"},
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
    user->GetBag()->SetString(ErrorBagKeys::p1, VString("x"));
    VString out;
    user->GetErrorDescription(out);
    EXPECT_EQ(Text(out), "boom {p1}");
    user->DumpToString(out);
    EXPECT_EQ(Text(out), "boom {p1}");
    user->GetErrorString(out);
    EXPECT_EQ(Text(out), "Error code: 13 (UPQZ)");
    user->GetLocation(out);
    EXPECT_EQ(Text(out), "component: 'UPQZ'");

    auto imported = VRefPtr<VErrorBase>::Adopt(new VErrorImported(Nuvo(600), VString("remote says no")));
    imported->GetErrorDescription(out);
    EXPECT_EQ(Text(out), "remote says no");
    imported->DumpToString(out);
    EXPECT_EQ(Text(out), "remote says no");
    imported->GetLocation(out);
    EXPECT_EQ(Text(out), "REST Imported Error");
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

TEST(VErrorBase, CopyClonesTheParameters)
{
    VRefPtr<VErrorBase> original = MakeRecord(Updater(13), {{"p1", "before"}});
    auto copy = VRefPtr<VErrorBase>::Adopt(new VErrorBase(*original));
    original->GetBag()->SetString(ErrorBagKeys::p1, VString("after"));

    EXPECT_NE(copy->GetBag(), original->GetBag());
    VString value;
    ASSERT_TRUE(copy->GetBag()->GetString(ErrorBagKeys::p1, value));
    EXPECT_EQ(Text(value), "before");
    EXPECT_EQ(copy->GetError(), Updater(13));
    EXPECT_EQ(copy->GetTaskID(), original->GetTaskID());
    EXPECT_EQ(copy->GetRefCount(), 1);
}

TEST(VErrorBase, BagFormRoundTrip)
{
    VRefPtr<VErrorBase> original = MakeRecord(Carbon(-50), {{"p1", "x"}, {"path", "/y"}});
    VValueBag bag;
    EXPECT_EQ(original->SaveToBag(bag), VError(0));

    int64_t code = 0;
    int32_t taskID = -1;
    VString taskName;
    ASSERT_TRUE(bag.GetLong8(ErrorBagKeys::error_code, code));
    EXPECT_EQ(uint64_t(code), 0x43415242FFFFFFCEull);
    ASSERT_TRUE(bag.GetLong(ErrorBagKeys::task_id, taskID));
    EXPECT_EQ(taskID, VTask::GetCurrentID());
    ASSERT_TRUE(bag.GetString(ErrorBagKeys::task_name, taskName));
    EXPECT_EQ(Text(taskName), "Main");
    VBagArray* parameters = bag.GetElements(ErrorBagKeys::parameters);
    ASSERT_NE(parameters, nullptr);
    ASSERT_EQ(parameters->GetCount(), 1);
    EXPECT_NE(parameters->GetNth(1), original->GetBag());

    auto loaded = VRefPtr<VErrorBase>::Adopt(new VErrorBase);
    EXPECT_EQ(loaded->LoadFromBag(bag), VError(0));
    EXPECT_EQ(loaded->GetError(), Carbon(-50));
    EXPECT_EQ(loaded->GetTaskID(), VTask::GetCurrentID());
    VString value;
    loaded->GetTaskName(value, nullptr);
    EXPECT_EQ(Text(value), "Main");
    ASSERT_TRUE(loaded->GetBag()->GetString(StPackedDictionaryKey("path"), value));
    EXPECT_EQ(Text(value), "/y");
    EXPECT_EQ(loaded->GetBag()->GetAttributesCount(), 2);
}

TEST(VErrorBase, LoadingKeepsMissingFieldsButClearsTheTaskName)
{
    VRefPtr<VErrorBase> record = MakeRecord(Nuvo(600), {{"p1", "kept"}});
    const int32_t taskID = record->GetTaskID();
    VValueBag empty;
    EXPECT_EQ(record->LoadFromBag(empty), VError(0));
    EXPECT_EQ(record->GetError(), Nuvo(600));
    EXPECT_EQ(record->GetTaskID(), taskID);
    VString value;
    record->GetTaskName(value, nullptr);
    EXPECT_TRUE(value.IsEmpty());
    ASSERT_TRUE(record->GetBag()->GetString(ErrorBagKeys::p1, value));
    EXPECT_EQ(Text(value), "kept");

    // Only the first "parameters" element counts.
    VValueBag twoParameterBags;
    twoParameterBags.SetLong8(ErrorBagKeys::error_code, int64_t(Updater(2)));
    for (const char* text : {"first", "second"}) {
        VValueBag* parameters = new VValueBag;
        parameters->SetString(ErrorBagKeys::p1, VString(text));
        twoParameterBags.AddElement(ErrorBagKeys::parameters, parameters);
        parameters->Release();
    }
    EXPECT_EQ(record->LoadFromBag(twoParameterBags), VError(0));
    EXPECT_EQ(record->GetError(), Updater(2));
    EXPECT_EQ(record->GetTaskID(), taskID);
    ASSERT_TRUE(record->GetBag()->GetString(ErrorBagKeys::p1, value));
    EXPECT_EQ(Text(value), "first");
}

TEST(VErrorBase, EncodedNativeErrorToVError)
{
    const VError fallback = Updater(99);
    struct Row {
        const char* name;
        VError encoded;
        VError expected;
    } rows[] = {
        {"posix 2 is in the map", Posix(2), Nuvo(600)},
        {"posix 13 is in the map", Posix(13), Nuvo(5)},
        {"posix 5 is not", Posix(5), fallback},
        {"posix 0", Posix(0), fallback},
        {"carbon -43 is in the map", Carbon(-43), Nuvo(600)},
        {"carbon -108 is in the map", Carbon(-108), Nuvo(100)},
        {"carbon -50 is not", Carbon(-50), fallback},
        {"carbon 0", Carbon(0), fallback},
        {"mach 3", Mach(3), fallback},
        {"cocoa 4", Cocoa(4), fallback},
        {"mach 0 passes", Mach(0), Mach(0)},
        {"cocoa 0 passes", Cocoa(0), Cocoa(0)},
        {"toolkit code passes", Nuvo(600), Nuvo(600)},
        {"toolkit unknown error", Nuvo(1), fallback},
        {"updater code passes", Updater(13), Updater(13)},
        {"other component passes", MakeVError(kXMLC, 1), MakeVError(kXMLC, 1)},
        {"no error", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VErrorBase::EncodedNativeErrorToVError(row.encoded, fallback), row.expected);
    }
}

TEST(VErrorBase, MapCarbonErrorToVError)
{
    struct Row {
        int32_t status;
        VError expected;
    } rows[] = {
        {0, 0},
        {-108, Nuvo(100)},
        {-39, Nuvo(200)},
        {-34, Nuvo(658)},
        {-43, Nuvo(600)},
        {-120, Nuvo(650)},
        {-45, Nuvo(5)},
        {-46, Nuvo(5)},
        {-192, Nuvo(401)},
        {-37, Nuvo(614)},
        {-54, Nuvo(5)},
        {-128, Nuvo(6)},
        {-50, 0x43415242FFFFFFCEull},
        {2, Carbon(2)},
        {INT32_MIN, Carbon(INT32_MIN)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(row.status), row.expected);
    }
}

} // namespace
} // namespace nuvo
