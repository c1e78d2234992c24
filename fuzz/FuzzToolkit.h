#pragma once
// Shared by the fuzz targets: the toolkit switched on once, so that errors reach a task's
// context, and a scope that drops the errors one input pushed.

#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/process/VProcess.h"

namespace nuvo::fuzz {

inline void InitToolkitOnce()
{
    static VProcess* process = [] {
        auto* created = new VProcess;
        if (!created->Init(0))
            __builtin_trap();
        return created;
    }();
    (void)process;
}

// Keeps one input's errors from piling up on the main task's context.
class StDropErrors {
public:
    ~StDropErrors()
    {
        if (VErrorContext* context = fErrors.GetContext())
            context->Flush();
    }

private:
    StErrorContextInstaller fErrors;
};

} // namespace nuvo::fuzz
