#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/files/VFilePath.h"
#include "kernel/logging/EMessageLevel.h"
#include "kernel/logging/ILogListener.h"
#include "kernel/process/VCriticalSection.h"
#include "kernel/text/VString.h"
#include "kernel/time/VTime.h"

namespace nuvo {

class ILogger;
class VFolder;
class VSplitableLogFile;
class VValueBag;

// Writes the messages of a logger (the process logger unless another is given) as log4j-style
// lines, "<seq> <local time> [<source>] <LEVEL> - <message> (<attributes>)", to the numbered
// files "<logName>_<n>.txt" of a folder (see VSplitableLogFile). Start picks the newest existing
// file of the name and registers a listener; Stop writes every message logged before it, then
// unregisters and closes. A file that cannot be opened leaves the logger stopped without an
// error record: callers test IsStarted.
//
// Thread-safe. Lock order, never reversed: the start/stop lock, then the logger's own locks,
// then this object's write lock (taken in Put, under the logger's listener lock). Start and Stop
// therefore never call the logger while holding the write lock.
class VLog4jMsgFileLogger : public VObject {
public:
    // logger null: the process logger at Start.
    VLog4jMsgFileLogger(const VFolder& folder, const VString& logName, ILogger* logger = nullptr);
    ~VLog4jMsgFileLogger() override;
    VLog4jMsgFileLogger(const VLog4jMsgFileLogger&) = delete;
    VLog4jMsgFileLogger& operator=(const VLog4jMsgFileLogger&) = delete;

    // Continues the newest existing file of the name (1 when there is none).
    virtual void Start();
    void Start(int32_t number);
    virtual void Stop();
    virtual bool IsStarted() const;

    // While paused, messages are discarded.
    void Pause();
    void Resume();
    bool IsPaused() const;
    void Flush();
    bool ShouldLog(EMessageLevel level) const;

    void GetLogFolderPath(VFilePath& out) const { out = fFolderPath; }
    void GetLogName(VString& out) const { out = fLogName; }
    // The current file's limit; 0 while no file is open.
    void SetLogMaxNumberToKeep(int32_t count);
    int32_t GetLogMaxNumberToKeep() const;
    // The number of the file being written, 0 while stopped.
    int32_t GetLogNumber() const;

    // "DUMP" ... "FATAL", "INFO" for anything else.
    static const char* GetMessageLevelName(EMessageLevel level);
    // The source (with ".<component>" appended), level and message (with "[<error>] " before it
    // and the labelled other attributes after it) that a line shows for bag.
    static void GetLogInfosFromBag(const VValueBag* bag, VString& source, EMessageLevel& level, VString& message);

    // Writes bags (the listener's Put), under the write lock.
    void Put(const std::vector<const VValueBag*>& bags);

private:
    class VLog4jLogListener;

    static void _GetLogInfos(const VValueBag* bag, std::string& source, EMessageLevel& level, std::string& message);
    void _WriteLine(const std::string& source, EMessageLevel level, const std::string& message);
    ILogger* _GetLogger() const;

    // Serialises Start and Stop; never taken by Put.
    std::mutex fStartStopLock;
    // Guards the fields below and every write.
    mutable VCriticalSection fLock;
    VTime fStartTime;
    VFilePath fFolderPath;
    VString fLogName;
    std::unique_ptr<VSplitableLogFile> fFile;
    bool fStarted = false;
    bool fPaused = false;
    uint32_t fLevelMask = kDefaultMessageLevelMask;
    ILogger* fLogger;        // retained when given
    ILogger* fRegisteredTo = nullptr;  // retained while the listener is registered
    VLog4jLogListener* fListener;
    // The local time text of the last second written, which most lines share.
    int64_t fCachedSecond = -1;
    std::string fCachedSecondText;
    std::string fLine;
};

} // namespace nuvo
