// The updater's log lines, its error stack in the log, the log file and the localizer.

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/values/VValueBag.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

namespace {

constexpr OsType kLogComponent = MakeOsType("QZUP");

} // namespace

void VUpdateEngine::Log(EMessageLevel level, const char* format, va_list args)
{
    VLogger* logger = GetLogger();
    if (logger == nullptr || !logger->ShouldLog(level))
        return;
    VString text;
    text.VPrintf(format, args);
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(ILoggerBagKeys::message, text);
    // INFO is the key's default, so an INFO line carries no "level".
    if (level != EML_Information)
        bag->SetLong(ILoggerBagKeys::level, static_cast<int32_t>(level));
    bag->SetLong(ILoggerBagKeys::component_signature, static_cast<int32_t>(kLogComponent));
    logger->LogBag(bag.Get());
}

void VUpdateEngine::LogInfo(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Log(EML_Information, format, args);
    va_end(args);
}

void VUpdateEngine::LogError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Log(EML_Error, format, args);
    va_end(args);
}

void VUpdateEngine::DumpErrorStack(VErrorContext* context, bool newestFirst)
{
    if (context == nullptr || context->GetErrorCount() == 0)
        return;
    const auto& errors = context->GetErrorStack();
    auto dump = [this](const VErrorBase* error) {
        VString text;
        error->GetErrorDescription(text);
        if (text.IsEmpty())
            error->GetErrorString(text);
        LogError("%S", &text);
    };
    if (newestFirst) {
        for (auto it = errors.rbegin(); it != errors.rend(); ++it)
            dump(it->Get());
    } else {
        for (const auto& error : errors)
            dump(error.Get());
    }
}

bool VUpdateEngine::_InitLog()
{
    // The log file logger has not landed yet: lines reach the process logger only.
    return false;
}

void VUpdateEngine::_DeInitLog()
{
    if (VLogger* logger = GetLogger())
        logger->Flush();
}

bool VUpdateEngine::_InitLocalizationManager()
{
    // No localization files are read yet: error texts fall back to their error strings.
    return true;
}

void VUpdateEngine::_AppendLogFileReference(VString& /*message*/) const
{
    // There is no log file logger yet, so there is no file to point to.
}

void VUpdateEngine::_OpenLogFile() const
{
    // There is no log file logger yet, so there is no file to open.
}

} // namespace nuvo
