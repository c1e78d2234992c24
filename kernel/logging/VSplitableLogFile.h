#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "kernel/base/VObject.h"
#include "kernel/files/VFilePath.h"
#include "kernel/text/CharSet.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VFolder;

// One of a family of numbered text files "<name>_<n><ext>" in a folder, appended to line by line
// and split into the next number once it passes kSplitSize bytes, keeping at most
// GetMaxLogsToKeep files. Appended text is held in memory and written by whole appends (at Flush,
// at Close, or once kWriteBehindSize is pending), so a file is never cut inside an append by a
// crash. Failures are silent: a file that cannot be opened leaves the object closed, write errors
// are ignored. Not thread-safe: its owner serialises the calls.
class VSplitableLogFile : public VObject {
public:
    static constexpr int32_t sDefaultMaxLogsToKeep = 50;
    static constexpr int64_t kSplitSize = 0xA00001; // the first position that splits
    static constexpr size_t kWriteBehindSize = 64 * 1024;

    VSplitableLogFile(const VFolder& folder, const VString& logName, int32_t number, bool binary);
    ~VSplitableLogFile() override;
    VSplitableLogFile(const VSplitableLogFile&) = delete;
    VSplitableLogFile& operator=(const VSplitableLogFile&) = delete;

    // With skipExisting, moves to the first number whose file does not exist. Creates the folder
    // when missing; appends to an existing file unless truncate. True when open.
    bool Open(bool truncate, bool skipExisting);
    bool Open(int32_t number, bool truncate);
    void Close();
    void Flush();
    bool IsOpen() const { return fStream != nullptr; }
    // Closes and reopens the new number when open.
    void SetLogNumber(int32_t number, bool truncate);
    int32_t GetLogNumber() const { return fNumber; }

    void AppendFormattedString(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendString(const char* text);
    void AppendString(const char* bytes, size_t count);
    void AppendString(const VString& text);

    // Splits when the current file has reached kSplitSize: returns the new number, else 0.
    int32_t CheckLogSize();
    void CheckEndOfLine();

    void SetMaxLogsToKeep(int32_t count) { fMaxLogsToKeep = count; }
    int32_t GetMaxLogsToKeep() const { return fMaxLogsToKeep; }
    void SetHeader(const VString& text) { fHeader = text; }
    void SetFooter(const VString& text) { fFooter = text; }
    void SetExtension(const VString& extension) { fExtension = extension; }
    void SetSeparator(const VString& text) { fSeparator = text; }
    // The size of the current file with what is still pending.
    int64_t GetPosition() const { return fWritten + int64_t(fPending.size()); }

    void GetCurrentFileName(VString& out) const;
    void BuildLogFileName(const VString& logName, int32_t number, VString& out) const;
    static void BuildLogFileNameWithExt(const VString& logName, int32_t number, const VString& extension, VString& out);

private:
    void _Append(const char* bytes, size_t count);
    void _WritePending();
    std::string _FilePath(int32_t number) const;

    FILE* fStream = nullptr;
    VFilePath fFolderPath;
    VString fLogName;
    int32_t fNumber;
    int32_t fMaxLogsToKeep = sDefaultMaxLogsToKeep;
    CharSet fCharSet = CharSet::UTF8;
    VString fHeader;
    VString fFooter;
    VString fExtension;
    VString fSeparator;
    bool fAtLineStart = true;
    bool fBinary;
    int64_t fWritten = 0;
    std::string fPending;
};

} // namespace nuvo
