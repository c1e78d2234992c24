#include "kernel/errors/VErrorTaskContext.h"

#include <new>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/text/VOsTypeString.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

VErrorTaskContext::VErrorTaskContext() : fSpare(new VErrorContext(true, false)) {}

VErrorTaskContext::~VErrorTaskContext()
{
    ReleaseRefCountable(&fSpare);
}

bool VErrorTaskContext::PushError(VErrorBase* error, bool* outFiltered)
{
    if (outFiltered)
        *outFiltered = false;
    if (!error)
        return false;

    try {
        if (fContexts.empty())
            fContexts.push_back(VRefPtr<VErrorContext>::Adopt(new VErrorContext(true, false)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    VErrorContext* top = fContexts.back().Get();
    if (!top->PushError(error))
        return false;

    // The nearest silent context absorbs the record; a filtering one absorbs it too and makes
    // the top context drop everything it holds when it is popped.
    bool filtered = false;
    for (auto context = fContexts.rbegin(); context != fContexts.rend(); ++context) {
        if ((*context)->IsSilent()) {
            filtered = true;
            break;
        }
        if ((*context)->IsErrorFiltered(error->GetError())) {
            top->SetSilent(true);
            top->SetKeepingErrors(false);
            filtered = true;
            break;
        }
    }
    if (outFiltered)
        *outFiltered = filtered;
    return true;
}

void VErrorTaskContext::PushErrorsFromContext(const VErrorContext* context)
{
    if (!context)
        return;
    VErrorContext::ErrorStack records = context->GetErrorStack();
    for (const VRefPtr<VErrorBase>& record : records)
        PushError(record.Get());
}

void VErrorTaskContext::PushErrorsFromBag(const VValueBag& bag)
{
    const VBagArray* errors = bag.GetElements(ErrorBagKeys::error);
    if (!errors)
        return;
    for (int32_t i = 1; i <= errors->GetCount(); ++i) {
        VErrorBase* error = new (std::nothrow) VErrorBase;
        if (!error)
            return;
        bool loaded = error->LoadFromBag(*errors->GetNth(i)) == VE_OK;
        if (loaded)
            PushError(error);
        error->Release();
        if (!loaded)
            return;
    }
}

VErrorContext* VErrorTaskContext::PushNewContext(bool keepingErrors, bool silent)
{
    VErrorContext* context = fSpare;
    if (context) {
        context->SetKeepingErrors(keepingErrors);
        context->SetSilent(silent);
        context->SetFailedForMemory(false);
        fSpare = nullptr;
    } else {
        context = new (std::nothrow) VErrorContext(keepingErrors, silent);
        if (!context)
            return nullptr;
    }
    try {
        fContexts.emplace_back(context);
    } catch (const std::bad_alloc&) {
        context->Release();
        return nullptr;
    }
    return context;
}

void VErrorTaskContext::PopContext()
{
    if (fContexts.empty())
        return;
    VRefPtr<VErrorContext> top = fContexts.back();
    if (top->IsEmpty() || !top->IsKeepingErrors()) {
        fContexts.pop_back();
        return;
    }

    if (fContexts.size() == 1) {
        if (top->IsSilent())
            top->SendErrorsToLogger();
        // The records stay on the task, in a context that no longer belongs to the installer.
        VErrorContext* copy = new (std::nothrow) VErrorContext(*top);
        if (copy) {
            fContexts.back() = VRefPtr<VErrorContext>::Adopt(copy);
        } else {
            top->SetSilent(false);
            top->SetKeepingErrors(true);
        }
        return;
    }

    fContexts.pop_back();
    VErrorContext* newTop = fContexts.back().Get();
    if (top->IsSilent() && !newTop->IsSilent())
        top->SendErrorsToLogger();
    newTop->PushErrors(*top);
}

void VErrorTaskContext::RecycleContext(VErrorContext* context)
{
    if (!context)
        return;
    bool idle = context->IsEmpty() && context->GetFilter().empty() && context->GetRefCount() == 1
        && !context->HasParameters();
    if (!fSpare && idle)
        fSpare = context;
    else
        context->Release();
}

void VErrorTaskContext::MergeAndFlushLastContext(bool silent)
{
    if (fContexts.empty())
        return;
    VErrorContext* top = fContexts.back().Get();
    if (top->IsEmpty())
        return;
    if (top->IsKeepingErrors()) {
        if (silent)
            top->SendErrorsToLogger();
        if (fContexts.size() == 1) {
            if (VErrorContext* copy = new (std::nothrow) VErrorContext(*top)) {
                try {
                    fContexts.insert(fContexts.begin(), VRefPtr<VErrorContext>::Adopt(copy));
                } catch (const std::bad_alloc&) {
                    copy->Release();
                }
            }
            top = fContexts.back().Get();
        } else {
            fContexts[fContexts.size() - 2]->PushErrors(*top);
        }
    }
    top->Flush();
    top->SetFailedForMemory(false);
    top->SetSilent(silent);
}

void VErrorTaskContext::Flush()
{
    if (!fContexts.empty())
        fContexts.back()->Flush();
}

VError VErrorTaskContext::GetLastError() const
{
    return fContexts.empty() ? VE_OK : fContexts.back()->GetLastError();
}

bool VErrorTaskContext::FailedForMemory() const
{
    return !fContexts.empty() && fContexts.back()->FailedForMemory();
}

bool VErrorTaskContext::IsErrorFiltered(VError code) const
{
    for (const VRefPtr<VErrorContext>& context : fContexts) {
        if (context->IsErrorFiltered(code))
            return true;
    }
    return false;
}

VErrorBase* VErrorTaskContext::Find(VError code) const
{
    for (const VRefPtr<VErrorContext>& context : fContexts) {
        if (VErrorBase* found = context->Find(code))
            return found;
    }
    return nullptr;
}

VErrorBase* VErrorTaskContext::GetFirst() const
{
    for (const VRefPtr<VErrorContext>& context : fContexts) {
        if (!context->IsEmpty())
            return context->GetFirst();
    }
    return nullptr;
}

VErrorBase* VErrorTaskContext::GetLast() const
{
    for (auto context = fContexts.rbegin(); context != fContexts.rend(); ++context) {
        if (!(*context)->IsEmpty())
            return (*context)->GetLast();
    }
    return nullptr;
}

void VErrorTaskContext::GetErrors(VErrorContext& out) const
{
    for (const VRefPtr<VErrorContext>& context : fContexts)
        out.PushErrors(*context);
}

void VErrorTaskContext::BuildErrorStack(VValueBag& bag) const
{
    for (const VRefPtr<VErrorContext>& context : fContexts) {
        for (const VRefPtr<VErrorBase>& error : context->GetErrorStack()) {
            VValueBag* entry = new VValueBag;
            VString text;
            error->GetErrorDescription(text);
            entry->SetString(ErrorBagKeys::message, text);
            entry->SetString(ErrorBagKeys::componentSignature, VOsTypeString(ComponentOf(error->GetError())));
            entry->SetLong(ErrorBagKeys::errCode, NumberOf(error->GetError()));
            bag.AddElement(ErrorBagKeys::stack_error, entry);
            entry->Release();
        }
    }
}

} // namespace nuvo
