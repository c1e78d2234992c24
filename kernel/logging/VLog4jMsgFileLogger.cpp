#include "kernel/logging/VLog4jMsgFileLogger.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
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
void AppendLabel(const StPackedDictionaryKey& key, std::string& out, bool& skipped)
{
    const std::string_view name(key.GetKey(), key.GetKeyLength());
    for (const Label& entry : kLabels) {
        if (name == entry.key) {
            skipped = entry.label[0] == '\0';
            out.append(entry.label);
            return;
        }
    }
    skipped = false;
    out.append(name);
    out.push_back('=');
}

// UTF-8 of a value's text, appended.
void AppendText(const VValueSingle& value, std::string& out)
{
    if (value.GetValueKind() == ValueKind::String) {
        const VString& text = static_cast<const VString&>(value);
        const UniChar* units = text.GetCPointer();
        const size_t length = size_t(text.GetLength());
        const size_t start = out.size();
        out.resize(start + length);
        char* bytes = out.data() + start;
        size_t i = 0;
        for (; i < length && units[i] < 0x80; ++i)
            bytes[i] = char(units[i]);
        if (i == length)
            return;
        out.resize(start);
        out.append(to_string(text));
        return;
    }
    VString text;
    value.GetString(text);
    out.append(to_string(text));
}

// The four characters of a component code, first from the high byte.
void AppendComponent(OsType code, std::string& out)
{
    const char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    if (std::all_of(bytes, bytes + 4, [](char c) { return (unsigned char)c < 0x80; })) {
        out.append(bytes, 4);
    } else {
        VString characters;
        characters.AppendOsType(code);
        out.append(to_string(characters));
    }
}

bool Is(const StPackedDictionaryKey& key, const StPackedDictionaryKey& known)
{
    return key.GetKeyLength() == known.GetKeyLength()
        && std::memcmp(key.GetKey(), known.GetKey(), key.GetKeyLength()) == 0;
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
    std::string sourceText, messageText;
    _GetLogInfos(bag, sourceText, level, messageText);
    source.FromBlock(sourceText.data(), sourceText.size(), CharSet::UTF8);
    message.FromBlock(messageText.data(), messageText.size(), CharSet::UTF8);
}

// One pass over the attributes, in the bag's order, straight to UTF-8: this runs for every line.
void VLog4jMsgFileLogger::_GetLogInfos(const VValueBag* bag, std::string& source, EMessageLevel& level,
                                       std::string& message)
{
    level = EML_Information;
    int64_t errorCode = 0;
    int32_t component = 0;
    const VValueSingle* messageValue = nullptr;
    const VValueSingle* sourceValue = nullptr;
    std::string suffix(" (");
    bool first = true;
    const size_t count = bag ? size_t(bag->GetAttributesCount()) : 0;
    for (size_t n = 0; n < count; ++n) {
        const StPackedDictionaryKey key = bag->GetAttributes().GetNthKey(n);
        const VValueSingle* value = bag->GetAttributes().GetNthValue(n);
        if (!value)
            continue;
        if (Is(key, ILoggerBagKeys::message))
            messageValue = value;
        else if (Is(key, ILoggerBagKeys::level))
            level = EMessageLevel(value->GetLong());
        else if (Is(key, ILoggerBagKeys::source))
            sourceValue = value;
        else if (Is(key, ILoggerBagKeys::component_signature))
            component = value->GetLong();
        else if (Is(key, ILoggerBagKeys::error_code))
            errorCode = value->GetLong8();
        else {
            const size_t mark = suffix.size();
            if (!first)
                suffix.append(", ");
            bool skipped = false;
            AppendLabel(key, suffix, skipped);
            if (skipped) {
                suffix.resize(mark);
                continue;
            }
            first = false;
            const size_t start = suffix.size();
            AppendText(*value, suffix);
            // A value on several lines stays on the log's one line.
            for (size_t at = suffix.find('\n', start); at != std::string::npos; at = suffix.find('\n', at + 3))
                suffix.replace(at, 1, " ; ");
        }
    }
    suffix.push_back(')');

    if (sourceValue) {
        AppendText(*sourceValue, source);
    } else if (VProcess* process = VProcess::Get()) {
        source.append(to_string(process->GetLogSourceIdentifier()));
    }
    const OsType code = component != 0 ? OsType(component) : ComponentOf(VError(errorCode));
    if (code != 0) {
        if (!source.empty())
            source.push_back('.');
        AppendComponent(code, source);
    }
    if (errorCode != 0) {
        char prefix[24];
        std::snprintf(prefix, sizeof(prefix), "[%d] ", int32_t(uint32_t(uint64_t(errorCode))));
        message.append(prefix);
    }
    if (messageValue)
        AppendText(*messageValue, message);
    message.append(suffix);
}

void VLog4jMsgFileLogger::Put(const std::vector<const VValueBag*>& bags)
{
    fLock.Lock();
    if (fFile) {
        std::string source, message;
        for (const VValueBag* bag : bags) {
            source.clear();
            message.clear();
            EMessageLevel level;
            _GetLogInfos(bag, source, level, message);
            _WriteLine(source, level, message);
        }
        fFile->Flush();
    }
    fLock.Unlock();
}

void VLog4jMsgFileLogger::_WriteLine(const std::string& source, EMessageLevel level, const std::string& message)
{
    if (!fStarted || fPaused || level >= kMessageLevelCount || (fLevelMask & (1u << level)) == 0)
        return;
    VTime now(eInitWithCurrentTime);
    // Local fields cost a zone lookup: reuse the text of the second while it lasts.
    const int64_t milliseconds = now.GetMilliseconds();
    if (milliseconds / 1000 != fCachedSecond) {
        VTime whole(now);
        whole.AddMilliseconds(-(milliseconds % 1000));
        VString text;
        whole.GetRfc3339String(text, kRfc3339LocalNoOffset | kRfc3339NoMilliseconds);
        fCachedSecondText = to_string(text);
        fCachedSecond = milliseconds / 1000;
    }
    // "%llu %s [%s] %s - %s\n" (without the number when it is 0), assembled by hand: no format
    // string to parse for every line.
    fLine.clear();
    const uint64_t sequence = ILogger::GetSequenceNumber();
    if (sequence != 0) {
        char digits[24];
        fLine.append(digits, std::to_chars(digits, digits + sizeof(digits), sequence).ptr);
        fLine.push_back(' ');
    }
    const int32_t ms = int32_t(milliseconds % 1000);
    fLine.append(fCachedSecondText);
    fLine.push_back('.');
    fLine.push_back(char('0' + ms / 100));
    fLine.push_back(char('0' + ms / 10 % 10));
    fLine.push_back(char('0' + ms % 10));
    fLine.append(" [");
    fLine.append(source);
    fLine.append("] ");
    fLine.append(GetMessageLevelName(level));
    fLine.append(" - ");
    fLine.append(message);
    fLine.push_back('\n');
    fFile->AppendString(fLine.data(), fLine.size());
}

} // namespace nuvo
