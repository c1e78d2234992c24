#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"
#include "kernel/files/VFilePath.h"

namespace nuvo {

// Access modes of VFile::Open.
enum class FileAccess : int32_t {
    Read = 0,
    ReadWrite = 1,          // holds an exclusive lock on the file
    ReadWriteShared = 2,    // holds a shared lock
};

// Option bits of VFile::Open.
namespace FileOpenOptions {
inline constexpr unsigned kResourceFork = 1;   // no such thing on Linux: fails
inline constexpr unsigned kCreate = 2;         // create when missing (mode 0644)
inline constexpr unsigned kTruncate = 4;       // once the lock is held
inline constexpr unsigned kReadAhead = 8;
inline constexpr unsigned kNoCache = 32 | 64;  // accepted; Linux keeps its page cache
inline constexpr unsigned kFollowLink = 128;   // follow a symbolic link in the last component
} // namespace FileOpenOptions

// One open file: owns its descriptor (and the lock of its access mode) until destruction.
// Reads and writes go to explicit positions or to the descriptor's own position, which the
// sequential forms advance. Failures push a VFileError for the file's path (with the native
// error as its cause) and return its code. Created by VFile::Open and deleted by its owner; not
// thread-safe.
class VFileDesc : public VObject {
public:
    VFileDesc(const VFilePath& path, int descriptor, FileAccess access);
    ~VFileDesc() override;
    VFileDesc(const VFileDesc&) = delete;
    VFileDesc& operator=(const VFileDesc&) = delete;

    const VFilePath& GetPath() const { return fPath; }
    FileAccess GetMode() const { return fAccess; }

    VError GetSize(int64_t* outSize) const;
    VError SetSize(int64_t size) const;

    int64_t GetPos() const { return fPosition; }
    void SetPos(int64_t position) { fPosition = position; }

    // Reads up to size bytes at position into buffer. With outRead, a short read at the end of
    // the file is not an error; without it, reading fewer than size bytes fails with 'nuvo' 200.
    VError GetDataAtPos(void* buffer, size_t size, int64_t position, size_t* outRead = nullptr) const;
    VError PutDataAtPos(const void* data, size_t size, int64_t position) const;
    // The same at the current position, which moves past what was read or written.
    VError GetData(void* buffer, size_t size, size_t* outRead = nullptr);
    VError PutData(const void* data, size_t size);

    // Pushes the file's data to the device.
    VError Flush() const;
    // Closes now, reporting what the close reports (delayed write errors of network file
    // systems); the destructor closes silently otherwise. Nothing else may be called after.
    VError Close();

    void DebugDump(VString& out) const override;

private:
    VFilePath fPath;
    int fDescriptor;
    FileAccess fAccess;
    int64_t fPosition = 0;
};

} // namespace nuvo
