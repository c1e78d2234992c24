#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kernel/base/VObject.h"
#include "kernel/files/FilePathStyle.h"
#include "kernel/files/IFile.h"
#include "kernel/files/VFileDesc.h"
#include "kernel/files/VFilePath.h"

namespace nuvo {

class VFileSystem;
class VFolder;
class VMemoryBuffer;
class VTime;

// Option bits of the copies (VFile::CopyTo and the folder copies).
namespace FileCopyOptions {
inline constexpr unsigned kReplaceExisting = 4;  // an existing destination is removed first
inline constexpr unsigned kKeepGoing = 8;        // folder copies: go on after a failed item
inline constexpr unsigned kSkipInvisible = 16;   // folder copies: leave out names beginning with '.'
} // namespace FileCopyOptions

// A handle on one file, named by a file path; it keeps nothing open, every operation goes to the
// platform. Failures coming from the platform push a VFileError for this file (the native error
// pushed first as its cause) and return the record's toolkit code; see VFileError::ThrowNative.
// Reference counted (created with a count of 1, deleted by the last Release); immutable after
// construction, so it may be used from any task.
class VFile : public VObject, public IFile {
public:
    // Sandboxed file systems do not exist in this program: fileSystem is kept as given (null)
    // and never retained.
    explicit VFile(const VFilePath& path, VFileSystem* fileSystem = nullptr);
    // folder's path followed by name, a relative path in style.
    VFile(const VFolder& folder, const VString& name, FilePathStyle style = FilePathStyle::Native);

    // Copies this file to dest (see the path form below).
    virtual VError CopyTo(const VFile& dest, unsigned options = 0) const;
    // Copies this file into destFolder under its own name.
    virtual VError CopyTo(const VFolder& destFolder, VFile** outFile = nullptr, unsigned options = 0) const;
    // Copies data, extended attributes, mode and times (a symbolic link as a link). dest may be a
    // folder path, which receives the file under its own name. Fails on an existing destination
    // unless options holds FileCopyOptions::kReplaceExisting. 'nuvo' 605 when either path is not
    // valid. On success *outFile (when given) receives a new VFile for the copy.
    VError CopyTo(const VFilePath& dest, VFile** outFile = nullptr, unsigned options = 0) const;
    virtual VError Delete() const;
    // A new VFolder for the folder holding this file (the caller releases it); null for none.
    virtual VFolder* RetainParentFolder(bool sandboxed = false) const;

    VFilePath GetPath() const override { return fPath; }
    const VFilePath& GetPathRef() const { return fPath; }
    virtual void GetPlatformPath(VString& out, FilePathStyle style = FilePathStyle::Posix) const;
    // A regular file or a symbolic link (dangling or not) is at this file path; a folder path is
    // never a file and is not looked up.
    bool Exists() const override;
    // Any pointer may be null. Symbolic links are followed.
    virtual VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const;
    VError GetSize(int64_t* outSize) const override;
    VError GetContent(VMemoryBuffer& outBuffer) const override;
    VError GetData(void* buffer, size_t size, size_t* outRead) const override;
    VError SetContent(const void* data, size_t size) const override;
    VError AppendContent(const void* data, size_t size) const override;
    virtual VFileSystem* GetFileSystem() const { return fFileSystem; }
    bool IsWritable() const override;

    // Opens the file; *outDesc receives the descriptor, which the caller deletes. Read-write
    // access takes its lock without waiting, so a file locked elsewhere fails at once.
    VError Open(FileAccess access, VFileDesc** outDesc, unsigned options = 0) const;

    // The nine permission bits of the entry itself. Setting them on a symbolic link does
    // nothing (Linux links have no mode) and succeeds.
    VError MAC_GetPermissions(uint16_t* outMode) const;
    VError MAC_SetPermissions(uint16_t mode) const;

    void DebugDump(VString& out) const override;

protected:
    ~VFile() override = default;

private:
    // The platform part: the POSIX path as UTF-8 bytes, computed once.
    const char* _Posix() const { return fPosixPath.c_str(); }
    VError _Wrap(VError platformResult, VError fallback) const;

    std::string fPosixPath;
    VFilePath fPath;
    VFileSystem* fFileSystem;
};

} // namespace nuvo
