#include "kernel/errors/ErrorThrowing.h"

#include <cassert>
#include <new>

#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/errors/VErrorUserGenerated.h"
#include "kernel/process/VProcess.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

// Pushes error on the current task and gives up the caller's reference; without a task the
// record is dropped.
void PushRetainedOnCurrentTask(VErrorBase* error)
{
    if (VTask* task = VTask::GetCurrent())
        task->PushRetainedError(error);
    else
        error->Release();
}

} // namespace

void _ThrowError(VError code, const VString* p1, const VString* p2, const VString* p3)
{
    // Before the process object exists there is nowhere to report to.
    if (!VProcess::Get())
        return;
    VErrorBase* error = new (std::nothrow) VErrorBase(code);
    if (!error)
        return;
    VValueBag* parameters = error->GetBag();
    if (p1)
        parameters->SetString(ErrorBagKeys::p1, *p1);
    if (p2)
        parameters->SetString(ErrorBagKeys::p2, *p2);
    if (p3)
        parameters->SetString(ErrorBagKeys::p3, *p3);
    PushRetainedOnCurrentTask(error);
}

void _PushRetainedError(VErrorBase* error, VError cause)
{
    assert(error && "_PushRetainedError needs a record");
    if (!error)
        return;
    if (cause != VE_OK) {
        VTask* task = VTask::GetCurrent();
        VErrorTaskContext* context = task ? task->GetErrorContext(false) : nullptr;
        if (!context || !context->IsErrorFiltered(error->GetError())) {
            if (VErrorBase* causeRecord = new (std::nothrow) VErrorBase(cause))
                PushRetainedOnCurrentTask(causeRecord);
        }
    }
    PushRetainedOnCurrentTask(error);
}

VError vThrowUserGeneratedError(VError code, const VString& message)
{
    if (VErrorBase* error = new (std::nothrow) VErrorUserGenerated(code, message))
        PushRetainedOnCurrentTask(error);
    return code;
}

} // namespace nuvo
