#pragma once

#include <vector>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/base/VTypes.h"
#include "kernel/errors/VErrorContext.h"

namespace nuvo {

class VValueBag;

// A task's stack of error contexts (bottom first), with one idle context kept for reuse. Records
// are pushed into the top context; installers push and pop contexts around scopes.
//
// Reference counted; owned by its task and used only on that task's thread (no lock).
class VErrorTaskContext : public VObject, public IRefCountable {
public:
    VErrorTaskContext();
    VErrorTaskContext(const VErrorTaskContext&) = delete;
    VErrorTaskContext& operator=(const VErrorTaskContext&) = delete;

    // Pushes into the top context (creating a bottom one when the stack is empty). outFiltered
    // tells whether a silent or filtering context absorbed it (a filtering one also turns the top
    // context silent and non-keeping). False for a null record or when memory runs out.
    bool PushError(VErrorBase* error, bool* outFiltered = nullptr);
    void PushErrorsFromContext(const VErrorContext* context);
    // Pushes the records of bag's "error" elements; stops at the first one that fails to load.
    void PushErrorsFromBag(const VValueBag& bag);

    // A context on top of the stack; the caller owns the returned reference. Null when memory
    // runs out.
    [[nodiscard]] VErrorContext* PushNewContext(bool keepingErrors, bool silent);
    // Removes the top context. When it keeps records they pass to the context below (logged
    // first when the top is silent and that one is not); the only context is instead replaced by
    // a keeping, non-silent copy (logged first when silent). Otherwise its records are dropped.
    void PopContext();
    // Keeps an idle context as the spare, or releases it (consumes the caller's reference).
    void RecycleContext(VErrorContext* context);
    // Hands the top context's kept records down (logging them first when silent), then empties
    // it and sets its silent flag.
    void MergeAndFlushLastContext(bool silent);

    // The top context's.
    void Flush();
    VError GetLastError() const;
    bool FailedForMemory() const;
    // Any context's filter.
    bool IsErrorFiltered(VError code) const;
    // Over all contexts, bottom first.
    VErrorBase* Find(VError code) const;
    VErrorBase* GetFirst() const;
    VErrorBase* GetLast() const;
    void GetErrors(VErrorContext& out) const;
    // Per record, bottom first, an element "__ERROR" with "message", "componentSignature" and
    // "errCode".
    void BuildErrorStack(VValueBag& bag) const;

    size_t GetContextCount() const { return fContexts.size(); }
    VErrorContext* GetTopContext() const { return fContexts.empty() ? nullptr : fContexts.back().Get(); }
    const std::vector<VRefPtr<VErrorContext>>& GetContexts() const { return fContexts; }
    bool HasSpareContext() const { return fSpare != nullptr; }

protected:
    ~VErrorTaskContext() override;

private:
    VErrorContext* fSpare;
    std::vector<VRefPtr<VErrorContext>> fContexts;
};

} // namespace nuvo
