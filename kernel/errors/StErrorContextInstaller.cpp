#include "kernel/errors/StErrorContextInstaller.h"

#include <new>

#include "kernel/errors/VErrorContext.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/process/VTask.h"

namespace nuvo {

StErrorContextInstaller::StErrorContextInstaller(bool keepingErrors, bool silent)
{
    _Init(keepingErrors, silent);
}

void StErrorContextInstaller::_Init(bool keepingErrors, bool silent)
{
    fSilent = silent;
    VTask* task = VTask::GetCurrent();
    if (task) {
        fTaskContext = task->GetErrorContext(true);
        if (fTaskContext)
            fContext = fTaskContext->PushNewContext(keepingErrors, silent);
    } else {
        fContext = new (std::nothrow) VErrorContext(keepingErrors, silent);
    }
}

void StErrorContextInstaller::_AddFilters(std::initializer_list<VError> codes)
{
    if (!fContext)
        return;
    for (VError code : codes) {
        if (code == VE_OK)
            break;
        fContext->AddErrorToFilter(code);
    }
}

StErrorContextInstaller::~StErrorContextInstaller()
{
    if (fTaskContext) {
        // Nothing was pushed when the context could not be allocated.
        if (fContext) {
            fTaskContext->PopContext();
            fTaskContext->RecycleContext(fContext);
        }
    } else if (fContext) {
        fContext->Release();
    }
}

VError StErrorContextInstaller::GetLastError() const
{
    return fContext ? fContext->GetLastError() : VE_OK;
}

} // namespace nuvo
