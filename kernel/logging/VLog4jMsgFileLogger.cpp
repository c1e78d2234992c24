#include "kernel/logging/VLog4jMsgFileLogger.h"

#include <cstring>
#include <string>

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFolder.h"
#include "kernel/logging/ILogger.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/logging/VSplitableLogFile.h"
#include "kernel/process/VProcess.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

struct Label {
    const char* key;
    const char* label; // empty: the attribute is not shown
};

constexpr Label kLabels[] = {
    {"message", ""},
    {"error_code", ""},
    {"level", ""},
    {"source", ""},
    {"component_signature", ""},
    {"task_id", "task="},
    {"task_name", "taskName="},
    {"socket", "socket="},
    {"local_addr", "localAddr="},
    {"local_port", "localPort="},
    {"peer_addr", "peerAddr="},
    {"peer_port", "peerPort="},
    {"exchange_id", "exchangeEndpointId="},
    {"is_blocking", "blocking="},
    {"is_ssl", "SSL="},
    {"is_select_io", "selectIO="},
    {"ms_timeout", "timeout="},
    {"count_bytes_asked", "asked="},
    {"count_bytes_sent", "sent="},
    {"count_bytes_received", "received="},
    {"ms_spent", "executionTime="},
    {"dump_offset", "offset="},
    {"dump_buffer", "data="},
    {"file_name", "fileName="},
    {"line_number", "lineNumber="},
    {"stack_crawl", "stackCrawl="},
    {"user_id", "UUID="},
};

// The label of an attribute: from the table, or the key and "=".
std::string LabelOf(const VString& key)
{
    const std::string name = to_string(key);
    for (const Label& entry : kLabels) {
        if (name == entry.key)
            return entry.label;
    }
    return name + "=";
}

} // namespace

// The listener the logger holds while the file logger is started; it only forwards.
class VLog4jMsgFileLogger::VLog4jLogListener : public VObject, public ILogListener {
public:
    explicit VLog4jLogListener(VLog4jMsgFileLogger* owner) : fOwner(owner) {}
    void Put(const std::vector<const VValueBag*>& bags) override { fOwner->Put(bags); }

private:
    VLog4jMsgFileLogger* const fOwner;
};

VLog4jMsgFileLogger::VLog4jMsgFileLogger(const VFolder& folder, const VString& logName, ILogger* logger)
    : fFolderPath(folder.GetPathRef())
    , fLogName(logName)
    , fLogger(RetainRefCountable(logger))
    , fListener(new VLog4jLogListener(this))
{
    fStartTime.SetNull(true);
}

VLog4jMsgFileLogger::~VLog4jMsgFileLogger()
{
    Stop();
    fListener->Release();
    ReleaseRefCountable(&fLogger);
}

ILogger* VLog4jMsgFileLogger::_GetLogger() const
{
    if (fLogger)
        return fLogger;
    VProcess* process = VProcess::Get();
    return process ? process->GetLogger() : nullptr;
}

void VLog4jMsgFileLogger::Start()
{
    if (!fFolderPath.IsValid() || !fFolderPath.IsFolder() || fLogName.IsEmpty())
        return;
    // Files of the name are numbered from 1 without gaps: continue the last one.
    auto folder = VRefPtr<VFolder>::Adopt(new VFolder(fFolderPath));
    VSplitableLogFile probe(*folder, fLogName, 1, false);
    int32_t number = 1;
    for (;;) {
        VString name, path;
        probe.BuildLogFileName(fLogName, number, name);
        fFolderPath.GetPosixPath(path);
        path.AppendString(name);
        FILE* file = std::fopen(to_string(path).c_str(), "r");
        if (!file)
            break;
        std::fclose(file);
        ++number;
    }
    Start(number > 1 ? number - 1 : 1);
}

void VLog4jMsgFileLogger::Start(int32_t number)
{
    std::lock_guard<std::mutex> startStop(fStartStopLock);
    {
        fLock.Lock();
        bool opened = false;
        if (!fFile && fFolderPath.IsValid() && fFolderPath.IsFolder() && !fLogName.IsEmpty()) {
            auto folder = VRefPtr<VFolder>::Adopt(new VFolder(fFolderPath));
            fFile = std::make_unique<VSplitableLogFile>(*folder, fLogName, number, false);
            opened = fFile->Open(false, false);
            if (opened) {
                fStartTime.FromSystemTime();
                fStarted = true;
            } else {
                fFile.reset();
            }
        }
        fLock.Unlock();
        if (!opened)
            return;
    }
    // Registered outside the write lock: the logger's listener lock comes first in the order.
    if (ILogger* logger = _GetLogger()) {
        if (logger->AddLogListener(fListener))
            fRegisteredTo = RetainRefCountable(logger);
    }
}

void VLog4jMsgFileLogger::Stop()
{
    std::lock_guard<std::mutex> startStop(fStartStopLock);
    // The logger drains its buffer into Put before it lets go of the listener, so every line
    // logged so far is written; Put takes the write lock itself.
    if (fRegisteredTo) {
        fRegisteredTo->RemoveLogListener(fListener);
        ReleaseRefCountable(&fRegisteredTo);
    }
    fLock.Lock();
    if (fFile) {
        fFile->Close();
        fFile.reset();
    }
    fStarted = false;
    fStartTime.Clear();
    fStartTime.SetNull(true);
    fLock.Unlock();
}

bool VLog4jMsgFileLogger::IsStarted() const
{
    fLock.Lock();
    bool started = fStarted;
    fLock.Unlock();
    return started;
}

void VLog4jMsgFileLogger::Pause()
{
    fLock.Lock();
    fPaused = true;
    fLock.Unlock();
}

void VLog4jMsgFileLogger::Resume()
{
    fLock.Lock();
    fPaused = false;
    fLock.Unlock();
}

bool VLog4jMsgFileLogger::IsPaused() const
{
    fLock.Lock();
    bool paused = fPaused;
    fLock.Unlock();
    return paused;
}

void VLog4jMsgFileLogger::Flush()
{
    fLock.Lock();
    if (fFile)
        fFile->Flush();
    fLock.Unlock();
}

bool VLog4jMsgFileLogger::ShouldLog(EMessageLevel level) const
{
    fLock.Lock();
    bool should = fStarted && level < kMessageLevelCount && (fLevelMask & (1u << level)) != 0;
    fLock.Unlock();
    return should;
}

void VLog4jMsgFileLogger::SetLogMaxNumberToKeep(int32_t count)
{
    fLock.Lock();
    if (fFile)
        fFile->SetMaxLogsToKeep(count);
    fLock.Unlock();
}

int32_t VLog4jMsgFileLogger::GetLogMaxNumberToKeep() const
{
    fLock.Lock();
    int32_t count = fFile ? fFile->GetMaxLogsToKeep() : 0;
    fLock.Unlock();
    return count;
}

int32_t VLog4jMsgFileLogger::GetLogNumber() const
{
    fLock.Lock();
    int32_t number = fFile ? fFile->GetLogNumber() : 0;
    fLock.Unlock();
    return number;
}

const char* VLog4jMsgFileLogger::GetMessageLevelName(EMessageLevel level)
{
    const char* name = nuvo::GetMessageLevelName(level);
    return name ? name : "INFO";
}

void VLog4jMsgFileLogger::GetLogInfosFromBag(const VValueBag* bag, VString& source, EMessageLevel& level,
                                             VString& message)
{
    message.Clear();
    source.Clear();
    level = EML_Information;
    int64_t errorCode = 0;
    int32_t component = 0;
    bool hasSource = false;
    if (bag) {
        bag->GetString(ILoggerBagKeys::message, message);
        bag->GetLong8(ILoggerBagKeys::error_code, errorCode);
        int32_t value = EML_Information;
        if (bag->GetLong(ILoggerBagKeys::level, value))
            level = EMessageLevel(value);
        hasSource = bag->GetString(ILoggerBagKeys::source, source);
        bag->GetLong(ILoggerBagKeys::component_signature, component);
    }
    if (!hasSource) {
        if (VProcess* process = VProcess::Get())
            source = process->GetLogSourceIdentifier();
    }
    OsType code = component != 0 ? OsType(component) : ComponentOf(VError(errorCode));
    if (code != 0) {
        if (!source.IsEmpty())
            source.AppendCString(".");
        source.AppendOsType(code);
    }
    if (errorCode != 0) {
        VString prefix;
        prefix.Printf("[%d] ", int32_t(uint32_t(uint64_t(errorCode))));
        message.Insert(prefix, 1);
    }
    message.AppendCString(" (");
    bool first = true;
    const int32_t count = bag ? bag->GetAttributesCount() : 0;
    for (int32_t pos = 1; pos <= count; ++pos) {
        VString key;
        const VValueSingle* value = bag->GetNthAttribute(pos, &key);
        const std::string label = LabelOf(key);
        if (!value || label.empty())
            continue;
        VString text;
        value->GetString(text);
        text.Exchange(VString("\n"), VString(" ; "));
        if (!first)
            message.AppendCString(", ");
        first = false;
        message.AppendCString(label.c_str());
        message.AppendString(text);
    }
    message.AppendCString(")");
}

void VLog4jMsgFileLogger::Put(const std::vector<const VValueBag*>& bags)
{
    fLock.Lock();
    if (fFile) {
        for (const VValueBag* bag : bags) {
            VString source, message;
            EMessageLevel level;
            GetLogInfosFromBag(bag, source, level, message);
            _WriteLine(source, level, message);
        }
        fFile->Flush();
    }
    fLock.Unlock();
}

void VLog4jMsgFileLogger::_WriteLine(const VString& source, EMessageLevel level, const VString& message)
{
    if (!fStarted || fPaused || level >= kMessageLevelCount || (fLevelMask & (1u << level)) == 0)
        return;
    VTime now(eInitWithCurrentTime);
    // Local fields cost a zone lookup: reuse the text of the second while it lasts.
    const int64_t second = now.GetMilliseconds() / 1000;
    if (second != fCachedSecond) {
        VTime whole(now);
        whole.AddMilliseconds(-(now.GetMilliseconds() % 1000));
        VString text;
        whole.GetRfc3339String(text, kRfc3339LocalNoOffset | kRfc3339NoMilliseconds);
        fCachedSecondText = to_string(text);
        fCachedSecond = second;
    }
    char time[40];
    std::snprintf(time, sizeof(time), "%s.%03d", fCachedSecondText.c_str(), int(now.GetMilliseconds() % 1000));
    const uint64_t sequence = ILogger::GetSequenceNumber();
    const std::string sourceText = to_string(source);
    const std::string messageText = to_string(message);
    const char* name = GetMessageLevelName(level);
    if (sequence == 0)
        fFile->AppendFormattedString("%s [%s] %s - %s\n", time, sourceText.c_str(), name, messageText.c_str());
    else
        fFile->AppendFormattedString("%llu %s [%s] %s - %s\n", static_cast<unsigned long long>(sequence), time,
                                     sourceText.c_str(), name, messageText.c_str());
}

} // namespace nuvo
