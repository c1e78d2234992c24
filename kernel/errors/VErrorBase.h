#pragma once

#include <cstdint>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"
#include "kernel/text/CharSet.h"
#include "kernel/text/VString.h"

namespace nuvo {

class ILocalizer;
class VJSONObject;
class VValueBag;

// An error record: a code, the ID and name of the task that created it, and an owned bag of
// named parameters ("p1", "path", ... and optionally "error_description" and
// "action_description") that the texts use as {placeholders}.
//
// Reference counted; the creator pushes it on the task's error context and releases it. The
// record is not thread-safe, its count is. The static localizer registry is filled at start-up
// and only read afterwards; it takes no lock.
class VErrorBase : public VObject, public IRefCountable {
public:
    // Captures the current task's ID and name (0 and empty outside any task).
    explicit VErrorBase(VError code);
    // Code 0, no task: a record about to be loaded from a bag.
    VErrorBase();
    // Copies code and task, clones the parameter bag.
    VErrorBase(const VErrorBase& other);
    VErrorBase& operator=(const VErrorBase&) = delete;

    using VObject::DebugDump;
    // DumpToString as native UTF-16, cut to ioSize / 2 units, once the process object exists;
    // before that a one-line 8-bit text. ioSize receives the bytes written; the result names
    // the character set of what was written.
    virtual CharSet DebugDump(char* buffer, int& ioSize) const;
    // "Error code: %d (%.4s)": the signed number and the component's four characters.
    virtual void GetErrorString(VString& out) const;
    // The localized text of the code, else the platform's text, else the parameters'
    // "error_description", else GetErrorString. Localized and parameter texts get their
    // {placeholders} replaced by the parameters.
    virtual void GetErrorDescription(VString& out) const;
    // The parameters' "action_description" with its placeholders replaced (empty without one).
    virtual void GetActionDescription(VString& out) const;
    // "component: 'XXXX'", or "nuvolib" for the toolkit's own component.
    virtual void GetLocation(VString& out) const;
    virtual void GetTaskName(VString& out, int32_t* outTaskID) const;
    // Error string, description, location, action and task, one line each.
    virtual void DumpToString(VString& out) const;

    VError GetError() const { return fError; }
    int32_t GetTaskID() const { return fTaskID; }
    // Never null. Throwers write their parameters through it before pushing.
    VValueBag* GetBag() const { return fParameters; }

    // Bag form: "error_code", "task_id", "task_name" and one element "parameters". Return 0.
    VError SaveToBag(VValueBag& bag) const;
    VError LoadFromBag(const VValueBag& bag);

    // A new object {"errCode": low 32 bits as a signed number, "componentSignature": the four
    // characters, "message": GetErrorDescription}; the caller releases it.
    [[nodiscard]] VJSONObject* CreateJSONObject() const;

    // No call chain is recorded on this platform: out is left unchanged.
    void GetStackCrawl(VString&) const {}

    // The error layer's start-up and shut-down (called by the process object).
    [[nodiscard]] static bool Init();
    static void DeInit();

    // Localizers by component; not owned. Register replaces an existing entry.
    static void RegisterLocalizer(OsType component, ILocalizer* localizer);
    static void UnregisterLocalizer(OsType component);
    static ILocalizer* GetLocalizer(OsType component);

    // 0 gives 0; a Carbon status found in the native map gives its toolkit code, any other
    // gives the 'CARB' code itself.
    static VError MAC_MapCarbonErrorToVError(int32_t status);
    // 'CARB' and 'POSX' codes through the native map, fallback when not found; 'COCO' and
    // 'MACH' codes give fallback; other codes pass unchanged, except 'nuvo' 1 and the
    // number-0 codes of 'CARB' and 'POSX', which give fallback.
    static VError EncodedNativeErrorToVError(VError encoded, VError fallback);

protected:
    ~VErrorBase() override;

private:
    VError fError = VE_OK;
    int32_t fTaskID = 0;
    VString fTaskName;
    VValueBag* fParameters;
};

} // namespace nuvo
