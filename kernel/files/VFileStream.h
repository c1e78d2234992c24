#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"

namespace nuvo {

class VFile;
class VFileDesc;

// A sequential stream over one file with a buffer of 32,768 bytes: reading fills the buffer from
// the file (access 0, read-ahead), writing collects bytes and writes them out when the buffer is
// full, on Flush and on Close (access 2, shared lock, with the stream's open options). Retains
// its file. A stream without a file fails to open with 'nuvo' 205; file failures are the
// VFile/VFileDesc records. Reaching the end of the file while reading returns 'nuvo' 200 without
// a record. Not thread-safe.
class VFileStream : public VObject {
public:
    static constexpr size_t kBufferSize = 32768;

    // options: the FileOpenOptions bits used when opening for writing.
    explicit VFileStream(const VFile* file, unsigned options = 0);
    ~VFileStream() override;
    VFileStream(const VFileStream&) = delete;
    VFileStream& operator=(const VFileStream&) = delete;

    VError OpenReading();
    VError OpenWriting();
    // Writes what is buffered (when writing) and closes the file; returns the first error.
    VError Close();
    bool IsReading() const { return fDesc && !fWriting; }
    bool IsWriting() const { return fDesc && fWriting; }

    // Reads up to size bytes; *outRead (when given) receives the count. Fewer bytes than asked
    // means the end of the file: the result is then 'nuvo' 200.
    VError GetData(void* buffer, size_t size, size_t* outRead = nullptr);
    VError PutData(const void* data, size_t size);
    VError Flush();

    // Position in the file of the next byte read or written.
    int64_t GetPos() const;
    // Moves the reading or writing position (a writing stream writes its buffer first).
    VError SetPos(int64_t position);
    // Size of the file, bytes still in the writing buffer included.
    VError GetSize(int64_t* outSize) const;

private:
    VError _Open(bool writing);
    VError _WriteBuffer();

    const VFile* fFile;
    unsigned fOptions;
    VFileDesc* fDesc = nullptr;
    bool fWriting = false;
    std::unique_ptr<char[]> fBuffer;
    int64_t fBufferStart = 0;   // file position of fBuffer[0]
    size_t fBufferLength = 0;   // bytes read into, or waiting in, the buffer
    size_t fBufferPos = 0;      // reading: next byte of the buffer to hand out
};

} // namespace nuvo
