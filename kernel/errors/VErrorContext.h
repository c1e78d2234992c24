#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/base/VTypes.h"
#include "kernel/errors/VErrorBase.h"

namespace nuvo {

class VJSONValue;
class VValueBag;

// One scope's stack of error records (oldest first), with a filter of codes it absorbs, optional
// parameters merged into every pushed record, and the keeping, silent and failed-for-memory
// flags. Pushing retains the record.
//
// Reference counted. Belongs to one task and takes no lock.
class VErrorContext : public VObject, public IRefCountable {
public:
    using ErrorStack = std::vector<VRefPtr<VErrorBase>>;

    explicit VErrorContext(bool keepingErrors = true, bool silent = false);
    // Keeping, not silent, a clone of other's parameters, then other's records (PushErrors).
    VErrorContext(const VErrorContext& other);
    VErrorContext& operator=(const VErrorContext&) = delete;

    // Merges the context's parameters into error's and appends it. False for a null record or
    // when memory runs out (the record is then not kept). 'nuvo' 100 sets FailedForMemory.
    bool PushError(VErrorBase* error);
    // Appends other's records (parameters merged) and takes over its failed-for-memory flag.
    void PushErrors(const VErrorContext& other);
    // Drops every record and clears failed-for-memory; filter, flags and parameters stay.
    void Flush();

    bool IsEmpty() const { return fErrors.empty(); }
    size_t GetErrorCount() const { return fErrors.size(); }
    const ErrorStack& GetErrorStack() const { return fErrors; }
    VErrorBase* GetFirst() const { return fErrors.empty() ? nullptr : fErrors.front().Get(); }
    VErrorBase* GetLast() const { return fErrors.empty() ? nullptr : fErrors.back().Get(); }
    VError GetLastError() const { return fErrors.empty() ? VE_OK : fErrors.back()->GetError(); }
    // The oldest record with code, or null.
    VErrorBase* Find(VError code) const;
    // True when a record has any of the codes; the list ends at the first 0.
    template <class... MoreCodes> bool FindAny(VError code, MoreCodes... moreCodes) const
    {
        return _FindAny({code, VError(moreCodes)...});
    }

    void AddErrorToFilter(VError code);
    bool IsErrorFiltered(VError code) const;
    const std::vector<VError>& GetFilter() const { return fFilter; }

    // The parameters merged into pushed records; created empty on demand.
    VValueBag* GetParametersForPushedErrors(bool create);

    // One element "error" per record, oldest first. Returns 0.
    VError SaveToBag(VValueBag& bag) const;
    // Appends the records of bag's "error" elements: 'nuvo' 100 when memory runs out, else the
    // first failing record's result, else 0.
    VError LoadFromBag(const VValueBag& bag);
    // An array of the records' JSON objects, oldest first; undefined when the context is empty.
    void SaveToJSONArray(VJSONValue& out) const;

    // Every record, oldest first, through the process logger (nothing without one).
    void SendErrorsToLogger() const;
    // Every record's dump on the standard error stream.
    void DebugDisplay() const;

    bool FailedForMemory() const { return fFailedForMemory; }
    void SetFailedForMemory(bool failed) { fFailedForMemory = failed; }
    bool IsSilent() const { return fSilent; }
    void SetSilent(bool silent) { fSilent = silent; }
    bool IsKeepingErrors() const { return fKeepingErrors; }
    void SetKeepingErrors(bool keeping) { fKeepingErrors = keeping; }
    bool HasParameters() const { return fParameters != nullptr; }

protected:
    ~VErrorContext() override;

private:
    bool _FindAny(std::initializer_list<VError> codes) const;
    // Parameter merge and append; throws std::bad_alloc.
    void _Append(VErrorBase* error);

    ErrorStack fErrors;
    std::vector<VError> fFilter;
    VValueBag* fParameters = nullptr;
    bool fFailedForMemory = false;
    bool fSilent = false;
    bool fKeepingErrors = true;
};

} // namespace nuvo
