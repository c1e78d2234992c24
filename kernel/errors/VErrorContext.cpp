#include "kernel/errors/VErrorContext.h"

#include <cstdio>
#include <new>
#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/logging/ILogger.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

VErrorContext::VErrorContext(bool keepingErrors, bool silent) : fSilent(silent), fKeepingErrors(keepingErrors) {}

VErrorContext::VErrorContext(const VErrorContext& other)
    : VObject(other), IRefCountable(other), fParameters(other.fParameters ? other.fParameters->Clone() : nullptr)
{
    PushErrors(other);
}

VErrorContext::~VErrorContext()
{
    ReleaseRefCountable(&fParameters);
}

void VErrorContext::_Append(VErrorBase* error)
{
    if (fParameters && !error->GetBag()->UnionClone(fParameters))
        throw std::bad_alloc();
    fErrors.emplace_back(error);
}

bool VErrorContext::PushError(VErrorBase* error)
{
    if (!error)
        return false;
    if (error->GetError() == VE_MEMORY_FULL)
        fFailedForMemory = true;
    try {
        _Append(error);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void VErrorContext::PushErrors(const VErrorContext& other)
{
    // By index over the count at the start: other may be this context.
    size_t count = other.fErrors.size();
    try {
        for (size_t i = 0; i < count; ++i)
            _Append(other.fErrors[i].Get());
    } catch (const std::bad_alloc&) {
        // The records that fit are kept; the rest are lost with the memory.
    }
    fFailedForMemory = other.fFailedForMemory;
}

void VErrorContext::Flush()
{
    fErrors.clear();
    fFailedForMemory = false;
}

VErrorBase* VErrorContext::Find(VError code) const
{
    for (const VRefPtr<VErrorBase>& error : fErrors) {
        if (error->GetError() == code)
            return error.Get();
    }
    return nullptr;
}

bool VErrorContext::_FindAny(std::initializer_list<VError> codes) const
{
    for (VError code : codes) {
        if (code == VE_OK)
            break;
        if (Find(code))
            return true;
    }
    return false;
}

void VErrorContext::AddErrorToFilter(VError code)
{
    fFilter.push_back(code);
}

bool VErrorContext::IsErrorFiltered(VError code) const
{
    for (VError filtered : fFilter) {
        if (filtered == code)
            return true;
    }
    return false;
}

VValueBag* VErrorContext::GetParametersForPushedErrors(bool create)
{
    if (!fParameters && create)
        fParameters = new (std::nothrow) VValueBag;
    return fParameters;
}

VError VErrorContext::SaveToBag(VValueBag& bag) const
{
    for (const VRefPtr<VErrorBase>& error : fErrors) {
        VValueBag* errorBag = new VValueBag;
        error->SaveToBag(*errorBag);
        bag.AddElement(ErrorBagKeys::error, errorBag);
        errorBag->Release();
    }
    return VE_OK;
}

VError VErrorContext::LoadFromBag(const VValueBag& bag)
{
    const VBagArray* errors = bag.GetElements(ErrorBagKeys::error);
    if (!errors)
        return VE_OK;
    VError result = VE_OK;
    for (int32_t i = 1; i <= errors->GetCount(); ++i) {
        VErrorBase* error = new (std::nothrow) VErrorBase;
        if (!error)
            return VE_MEMORY_FULL;
        VError loaded = error->LoadFromBag(*errors->GetNth(i));
        bool pushed = loaded == VE_OK && PushError(error);
        error->Release();
        if (loaded != VE_OK) {
            if (result == VE_OK)
                result = loaded;
        } else if (!pushed) {
            return VE_MEMORY_FULL;
        }
    }
    return result;
}

void VErrorContext::SendErrorsToLogger() const
{
    for (const VRefPtr<VErrorBase>& error : fErrors)
        ILogger::LogErrorIfNecessary(error.Get());
}

void VErrorContext::DebugDisplay() const
{
    for (const VRefPtr<VErrorBase>& error : fErrors) {
        VString dump;
        error->DumpToString(dump);
        std::string text = to_string(dump);
        std::fputs(text.c_str(), stderr);
    }
}

} // namespace nuvo
