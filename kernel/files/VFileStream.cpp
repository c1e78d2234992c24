#include "kernel/files/VFileStream.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileDesc.h"

namespace nuvo {

VFileStream::VFileStream(const VFile* file, unsigned options) : fFile(file), fOptions(options)
{
    if (fFile)
        fFile->Retain();
}

VFileStream::~VFileStream()
{
    (void)Close();
    if (fFile)
        fFile->Release();
}

VError VFileStream::OpenReading()
{
    return _Open(false);
}

VError VFileStream::OpenWriting()
{
    return _Open(true);
}

VError VFileStream::_Open(bool writing)
{
    assert(!fDesc && "stream already open");
    if (!fFile) {
        _ThrowError(VE_STREAM_NO_FILE);
        return VE_STREAM_NO_FILE;
    }
    if (!fBuffer) {
        fBuffer.reset(new (std::nothrow) char[kBufferSize]);
        if (!fBuffer) {
            _ThrowError(VE_MEMORY_FULL);
            return VE_MEMORY_FULL;
        }
    }
    VError error = writing ? fFile->Open(FileAccess::ReadWriteShared, &fDesc, fOptions)
                           : fFile->Open(FileAccess::Read, &fDesc, FileOpenOptions::kReadAhead);
    fWriting = writing;
    fBufferStart = 0;
    fBufferLength = 0;
    fBufferPos = 0;
    return error;
}

VError VFileStream::Close()
{
    if (!fDesc)
        return VE_OK;
    VError error = fWriting ? _WriteBuffer() : VE_OK;
    VError closeError = fDesc->Close();
    delete fDesc;
    fDesc = nullptr;
    return error ? error : closeError;
}

VError VFileStream::_WriteBuffer()
{
    if (fBufferLength == 0)
        return VE_OK;
    VError error = fDesc->PutDataAtPos(fBuffer.get(), fBufferLength, fBufferStart);
    if (!error) {
        fBufferStart += int64_t(fBufferLength);
        fBufferLength = 0;
    }
    return error;
}

VError VFileStream::GetData(void* buffer, size_t size, size_t* outRead)
{
    assert(IsReading() && "stream not open for reading");
    if (outRead)
        *outRead = 0;
    if (!IsReading())
        return VE_STREAM_NO_FILE;
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    VError error = VE_OK;
    while (done < size) {
        if (fBufferPos == fBufferLength) {
            // Large reads skip the buffer.
            fBufferStart += int64_t(fBufferLength);
            fBufferLength = 0;
            fBufferPos = 0;
            if (size - done >= kBufferSize) {
                size_t read = 0;
                error = fDesc->GetDataAtPos(out + done, size - done, fBufferStart, &read);
                done += read;
                fBufferStart += int64_t(read);
                if (error || read == 0)
                    break;
                continue;
            }
            size_t read = 0;
            error = fDesc->GetDataAtPos(fBuffer.get(), kBufferSize, fBufferStart, &read);
            fBufferLength = read;
            if (error || read == 0)
                break;
        }
        size_t chunk = std::min(size - done, fBufferLength - fBufferPos);
        std::memcpy(out + done, fBuffer.get() + fBufferPos, chunk);
        fBufferPos += chunk;
        done += chunk;
    }
    if (outRead)
        *outRead = done;
    if (!error && done < size)
        error = VE_STREAM_EOF;
    return error;
}

VError VFileStream::PutData(const void* data, size_t size)
{
    assert(IsWriting() && "stream not open for writing");
    if (!IsWriting())
        return VE_STREAM_NO_FILE;
    const char* in = static_cast<const char*>(data);
    while (size > 0) {
        if (fBufferLength == kBufferSize) {
            if (VError error = _WriteBuffer())
                return error;
        }
        if (fBufferLength == 0 && size >= kBufferSize) {
            // Large writes skip the buffer.
            if (VError error = fDesc->PutDataAtPos(in, size, fBufferStart))
                return error;
            fBufferStart += int64_t(size);
            return VE_OK;
        }
        size_t chunk = std::min(size, kBufferSize - fBufferLength);
        std::memcpy(fBuffer.get() + fBufferLength, in, chunk);
        fBufferLength += chunk;
        in += chunk;
        size -= chunk;
    }
    return VE_OK;
}

VError VFileStream::Flush()
{
    if (!IsWriting())
        return VE_OK;
    if (VError error = _WriteBuffer())
        return error;
    return fDesc->Flush();
}

int64_t VFileStream::GetPos() const
{
    return fBufferStart + int64_t(fWriting ? fBufferLength : fBufferPos);
}

VError VFileStream::SetPos(int64_t position)
{
    if (!fDesc)
        return VE_STREAM_NO_FILE;
    if (fWriting) {
        if (VError error = _WriteBuffer())
            return error;
        fBufferStart = position;
        return VE_OK;
    }
    if (position >= fBufferStart && position <= fBufferStart + int64_t(fBufferLength)) {
        fBufferPos = size_t(position - fBufferStart);
    } else {
        fBufferStart = position;
        fBufferLength = 0;
        fBufferPos = 0;
    }
    return VE_OK;
}

VError VFileStream::GetSize(int64_t* outSize) const
{
    *outSize = 0;
    if (!fDesc)
        return fFile ? fFile->GetSize(outSize) : VE_STREAM_NO_FILE;
    VError error = fDesc->GetSize(outSize);
    if (!error && fWriting && fBufferStart + int64_t(fBufferLength) > *outSize)
        *outSize = fBufferStart + int64_t(fBufferLength);
    return error;
}

} // namespace nuvo
