#include "kernel/errors/VErrorBase.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/ILocalizer.h"
#include "kernel/platform/XPosixErrorText.h"
#include "kernel/process/VProcess.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

// Written during start-up, read afterwards: no lock (see the class comment).
std::map<OsType, ILocalizer*>& LocalizerRegistry()
{
    static std::map<OsType, ILocalizer*> sRegistry;
    return sRegistry;
}

struct NativeErrorMapping {
    VError native;
    VError toolkit;
};

constexpr VError Carbon(int32_t status) { return MakeVError(kComponentCarbon, status); }

// Searched from the top; the row mapping to 'nuvo' 1 ends the table and never matches.
constexpr NativeErrorMapping kNativeErrorMap[] = {
    {0, 0},
    {Carbon(-108), VE_MEMORY_FULL},
    {Carbon(-39), VE_STREAM_EOF},
    {Carbon(-34), VE_DISK_FULL},
    {Carbon(-43), VE_FILE_NOT_FOUND},
    {Carbon(-120), VE_FOLDER_NOT_FOUND},
    {Carbon(-45), VE_ACCESS_DENIED},
    {Carbon(-46), VE_ACCESS_DENIED},
    {Carbon(-192), VE_RESOURCE_NOT_FOUND},
    {Carbon(-37), VE_FILE_BAD_NAME},
    {Carbon(-54), VE_ACCESS_DENIED},
    {Carbon(-128), VE_USER_CANCELLED},
    {MakePosixError(2), VE_FILE_NOT_FOUND},
    {MakePosixError(13), VE_ACCESS_DENIED},
    {0, VE_UNKNOWN_ERROR},
};

bool LookUpNativeError(VError native, VError& toolkit)
{
    for (const NativeErrorMapping& row : kNativeErrorMap) {
        if (row.toolkit == VE_UNKNOWN_ERROR)
            break;
        if (row.native == native) {
            toolkit = row.toolkit;
            return true;
        }
    }
    return false;
}

// The four signature characters in reading order, zero-terminated.
void SignatureCharacters(OsType component, char (&out)[5])
{
    out[0] = char(component >> 24);
    out[1] = char(component >> 16);
    out[2] = char(component >> 8);
    out[3] = char(component);
    out[4] = 0;
}

// The platform's own text for a native code; empty when the platform has none. Carbon status,
// Cocoa and Mach texts do not exist on this platform: the description falls back to the record's
// parameters and then to its error string.
void GetPlatformErrorText(OsType component, int32_t number, VString& out)
{
    out.Clear();
    if (component == kComponentPosix) {
        std::string text = XPosixErrorText::GetText(number);
        if (!text.empty())
            out.FromBlock(text.data(), text.size(), CharSet::UTF8);
    }
}

} // namespace

VErrorBase::VErrorBase(VError code) : fError(code), fParameters(new VValueBag)
{
    if (VTask* task = VTask::GetCurrent()) {
        fTaskID = task->GetID();
        task->GetName(fTaskName);
    }
}

VErrorBase::VErrorBase() : fParameters(new VValueBag) {}

VErrorBase::VErrorBase(const VErrorBase& other)
    : VObject(other), IRefCountable(other), fError(other.fError), fTaskID(other.fTaskID),
      fTaskName(other.fTaskName), fParameters(other.fParameters->Clone())
{
}

VErrorBase::~VErrorBase()
{
    ReleaseRefCountable(&fParameters);
}

CharSet VErrorBase::DebugDump(char* buffer, int& ioSize) const
{
    if (VProcess::Get()) {
        VString dump;
        DumpToString(dump);
        int32_t units = ioSize / 2;
        if (dump.GetLength() < units)
            units = dump.GetLength();
        std::memcpy(buffer, dump.GetCPointer(), size_t(units) * sizeof(UniChar));
        ioSize = units * int(sizeof(UniChar));
        return CharSet::UTF16;
    }
    char signature[5];
    SignatureCharacters(ComponentOf(fError), signature);
    int length = std::snprintf(buffer, ioSize > 0 ? size_t(ioSize) : 0, "Error code: %ld, component: '%.4s', task ID: %d",
                               long(NumberOf(fError)), signature, fTaskID);
    if (length >= ioSize)
        length = ioSize > 0 ? ioSize - 1 : 0;
    ioSize = length < 0 ? 0 : length;
    return CharSet::StdLib;
}

void VErrorBase::GetErrorString(VString& out) const
{
    char signature[5];
    SignatureCharacters(ComponentOf(fError), signature);
    out.Printf("Error code: %d (%.4s)", NumberOf(fError), signature);
}

void VErrorBase::GetErrorDescription(VString& out) const
{
    OsType component = ComponentOf(fError);
    ILocalizer* localizer = GetLocalizer(component);
    if (fError != VE_OK && localizer && localizer->LocalizeErrorMessage(fError, out)) {
        out.Format(fParameters, true);
    } else {
        out.Clear();
        if (fError != VE_OK)
            GetPlatformErrorText(component, NumberOf(fError), out);
    }
    if (!out.IsEmpty())
        return;

    if (!fParameters->GetString(ErrorBagKeys::error_description, out))
        out.Clear();
    if (!out.IsEmpty()) {
        out.Format(fParameters, true);
        return;
    }
    GetErrorString(out);
}

void VErrorBase::GetActionDescription(VString& out) const
{
    if (!fParameters->GetString(ErrorBagKeys::action_description, out))
        out.Clear();
    out.Format(fParameters, true);
}

void VErrorBase::GetLocation(VString& out) const
{
    OsType component = ComponentOf(fError);
    if (component == kComponentNuvo) {
        out = "nuvolib";
        return;
    }
    char signature[5];
    SignatureCharacters(component, signature);
    out.Printf("component: '%c%c%c%c'", signature[0], signature[1], signature[2], signature[3]);
}

void VErrorBase::GetTaskName(VString& out, int32_t* outTaskID) const
{
    out = fTaskName;
    if (outTaskID)
        *outTaskID = fTaskID;
}

void VErrorBase::DumpToString(VString& out) const
{
    GetErrorString(out);
    out.AppendUniChar(u'\n');

    VString piece;
    GetErrorDescription(piece);
    if (!piece.IsEmpty()) {
        out.AppendString(piece);
        out.AppendUniChar(u'\n');
    }
    GetLocation(piece);
    if (!piece.IsEmpty()) {
        out.AppendString(piece);
        out.AppendUniChar(u'\n');
    }
    GetActionDescription(piece);
    if (!piece.IsEmpty()) {
        out.AppendString(piece);
        out.AppendUniChar(u'\n');
    }
    if (!fTaskName.IsEmpty())
        out.AppendPrintf("task %d, name: '%S'\n", fTaskID, &fTaskName);
    else
        out.AppendPrintf("task %d\n", fTaskID);
}

VError VErrorBase::SaveToBag(VValueBag& bag) const
{
    bag.SetLong8(ErrorBagKeys::error_code, int64_t(fError));
    bag.SetLong(ErrorBagKeys::task_id, fTaskID);
    bag.SetString(ErrorBagKeys::task_name, fTaskName);
    // A copy, so that the saved form does not change when the record's parameters do.
    VValueBag* parameters = fParameters->Clone();
    bag.AddElement(ErrorBagKeys::parameters, parameters);
    parameters->Release();
    return VE_OK;
}

VError VErrorBase::LoadFromBag(const VValueBag& bag)
{
    int64_t code;
    if (bag.GetLong8(ErrorBagKeys::error_code, code))
        fError = VError(code);
    int32_t taskID;
    if (bag.GetLong(ErrorBagKeys::task_id, taskID))
        fTaskID = taskID;
    if (!bag.GetString(ErrorBagKeys::task_name, fTaskName))
        fTaskName.Clear();
    if (const VBagArray* parameters = bag.GetElements(ErrorBagKeys::parameters); parameters && parameters->GetCount() > 0) {
        VValueBag* clone = parameters->GetNth(1)->Clone();
        ReleaseRefCountable(&fParameters);
        fParameters = clone;
    }
    return VE_OK;
}

bool VErrorBase::Init()
{
    return true;
}

void VErrorBase::DeInit() {}

void VErrorBase::RegisterLocalizer(OsType component, ILocalizer* localizer)
{
    LocalizerRegistry()[component] = localizer;
}

void VErrorBase::UnregisterLocalizer(OsType component)
{
    LocalizerRegistry().erase(component);
}

ILocalizer* VErrorBase::GetLocalizer(OsType component)
{
    const auto& registry = LocalizerRegistry();
    auto found = registry.find(component);
    return found == registry.end() ? nullptr : found->second;
}

VError VErrorBase::MAC_MapCarbonErrorToVError(int32_t status)
{
    if (status == 0)
        return VE_OK;
    VError carbon = Carbon(status);
    VError toolkit;
    return LookUpNativeError(carbon, toolkit) ? toolkit : carbon;
}

VError VErrorBase::EncodedNativeErrorToVError(VError encoded, VError fallback)
{
    OsType component = ComponentOf(encoded);
    bool hasNumber = NumberOf(encoded) != 0;
    if (component == kComponentCarbon || component == kComponentPosix) {
        VError toolkit;
        if (hasNumber && LookUpNativeError(encoded, toolkit))
            return toolkit;
        return fallback;
    }
    if (hasNumber && (component == kComponentCocoa || component == kComponentMach))
        return fallback;
    if (encoded == VE_UNKNOWN_ERROR)
        return fallback;
    return encoded;
}

} // namespace nuvo
