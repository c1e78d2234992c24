#include "kernel/logging/VSplitableLogFile.h"

#include <cstdarg>
#include <cstdio>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFolder.h"

namespace nuvo {

VSplitableLogFile::VSplitableLogFile(const VFolder& folder, const VString& logName, int32_t number, bool binary)
    : fFolderPath(folder.GetPathRef())
    , fLogName(logName)
    , fNumber(number)
    , fBinary(binary)
{
}

VSplitableLogFile::~VSplitableLogFile()
{
    Close();
}

void VSplitableLogFile::BuildLogFileNameWithExt(const VString& logName, int32_t number, const VString& extension,
                                                VString& out)
{
    out = logName;
    out.AppendCString("_");
    out.AppendLong(number);
    if (extension.IsEmpty())
        out.AppendCString(".txt");
    else
        out.AppendString(extension);
}

void VSplitableLogFile::BuildLogFileName(const VString& logName, int32_t number, VString& out) const
{
    BuildLogFileNameWithExt(logName, number, fExtension, out);
}

void VSplitableLogFile::GetCurrentFileName(VString& out) const
{
    BuildLogFileName(fLogName, fNumber, out);
}

std::string VSplitableLogFile::_FilePath(int32_t number) const
{
    VString folder, name;
    fFolderPath.GetPosixPath(folder);
    BuildLogFileName(fLogName, number, name);
    folder.AppendString(name);
    return to_string(folder);
}

namespace {

bool FileExists(const std::string& path)
{
    FILE* probe = std::fopen(path.c_str(), "r");
    if (probe)
        std::fclose(probe);
    return probe != nullptr;
}

} // namespace

bool VSplitableLogFile::Open(bool truncate, bool skipExisting)
{
    if (fStream)
        return true;
    std::string path = _FilePath(fNumber);
    while (skipExisting && FileExists(path))
        path = _FilePath(++fNumber);
    {
        StErrorContextInstaller silent(false, true);
        auto folder = VRefPtr<VFolder>::Adopt(new VFolder(fFolderPath));
        (void)folder->CreateRecursive();
    }
    if (truncate || !FileExists(path))
        fStream = std::fopen(path.c_str(), fBinary ? "wb" : "w");
    else
        fStream = std::fopen(path.c_str(), fBinary ? "ab" : "a");
    if (!fStream)
        return false;
    // Unbuffered: the pending text goes out in one write of whole lines, never split by stdio.
    std::setvbuf(fStream, nullptr, _IONBF, 0);
    std::fseek(fStream, 0, SEEK_END);
    long size = std::ftell(fStream);
    fWritten = size > 0 ? size : 0;
    fPending.clear();
    if (!fHeader.IsEmpty()) {
        std::string header = to_string(fHeader);
        _Append(header.data(), header.size());
    }
    fAtLineStart = true;
    return true;
}

bool VSplitableLogFile::Open(int32_t number, bool truncate)
{
    Close();
    fNumber = number;
    return Open(truncate, false);
}

void VSplitableLogFile::Close()
{
    if (!fStream)
        return;
    if (!fFooter.IsEmpty()) {
        std::string footer = to_string(fFooter);
        _Append(footer.data(), footer.size());
    }
    _WritePending();
    std::fclose(fStream);
    fStream = nullptr;
}

void VSplitableLogFile::Flush()
{
    if (fStream)
        _WritePending();
}

void VSplitableLogFile::SetLogNumber(int32_t number, bool truncate)
{
    if (fStream)
        (void)Open(number, truncate);
    else
        fNumber = number;
}

void VSplitableLogFile::_Append(const char* bytes, size_t count)
{
    fPending.append(bytes, count);
    if (fPending.size() >= kWriteBehindSize)
        _WritePending();
}

void VSplitableLogFile::_WritePending()
{
    if (fPending.empty() || !fStream)
        return;
    // Write errors are ignored: the log must never stop its writer.
    size_t written = std::fwrite(fPending.data(), 1, fPending.size(), fStream);
    fWritten += int64_t(written);
    fPending.clear();
}

int32_t VSplitableLogFile::CheckLogSize()
{
    if (!fStream || GetPosition() < kSplitSize)
        return 0;
    const int32_t old = fNumber;
    Close();
    ++fNumber;
    if (fMaxLogsToKeep >= 1 && old >= fMaxLogsToKeep)
        std::remove(_FilePath(fNumber - fMaxLogsToKeep).c_str());
    (void)Open(true, false);
    return fNumber;
}

void VSplitableLogFile::CheckEndOfLine()
{
    if (fAtLineStart) {
        fAtLineStart = false;
    } else if (!fSeparator.IsEmpty()) {
        std::string separator = to_string(fSeparator);
        _Append(separator.data(), separator.size());
    }
}

void VSplitableLogFile::AppendFormattedString(const char* format, ...)
{
    CheckLogSize();
    if (!fStream)
        return;
    CheckEndOfLine();
    char small[512];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(small, sizeof(small), format, args);
    va_end(args);
    if (length < 0)
        return;
    if (size_t(length) < sizeof(small)) {
        _Append(small, size_t(length));
        return;
    }
    std::string large(size_t(length) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    _Append(large.data(), size_t(length));
}

void VSplitableLogFile::AppendString(const char* text)
{
    if (text)
        AppendString(text, std::char_traits<char>::length(text));
}

void VSplitableLogFile::AppendString(const char* bytes, size_t count)
{
    CheckLogSize();
    if (!fStream)
        return;
    CheckEndOfLine();
    _Append(bytes, count);
}

void VSplitableLogFile::AppendString(const VString& text)
{
    AppendString(to_string(text).c_str());
}

} // namespace nuvo
