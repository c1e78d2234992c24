#include "kernel/files/VFileDesc.h"

#include <new>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/VFileError.h"
#include "kernel/platform/XLinuxFile.h"

namespace nuvo {

VFileDesc::VFileDesc(const VFilePath& path, int descriptor, FileAccess access)
    : fPath(path), fDescriptor(descriptor), fAccess(access)
{
}

VFileDesc::~VFileDesc()
{
    // Closing releases the lock; a failure here has no caller left to tell, but the data was
    // written by then or Flush reported it.
    if (fDescriptor >= 0)
        (void)XLinuxFile::Close(fDescriptor);
}

VError VFileDesc::GetSize(int64_t* outSize) const
{
    return VFileError::ThrowNative(fPath, XLinuxFile::GetDescriptorSize(fDescriptor, outSize),
                                   VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFileDesc::SetSize(int64_t size) const
{
    return VFileError::ThrowNative(fPath, XLinuxFile::SetDescriptorSize(fDescriptor, size),
                                   VE_FILE_CANNOT_SET_ATTRIBUTES);
}

VError VFileDesc::GetDataAtPos(void* buffer, size_t size, int64_t position, size_t* outRead) const
{
    size_t read = 0;
    VError error = XLinuxFile::ReadAt(fDescriptor, buffer, size, position, &read);
    if (outRead)
        *outRead = read;
    if (error)
        return VFileError::ThrowNative(fPath, error, VE_UNKNOWN_ERROR);
    if (read < size && !outRead) {
        if (VFileError* eof = new (std::nothrow) VFileError(fPath, VE_STREAM_EOF))
            _PushRetainedError(eof);
        return VE_STREAM_EOF;
    }
    return VE_OK;
}

VError VFileDesc::PutDataAtPos(const void* data, size_t size, int64_t position) const
{
    return VFileError::ThrowNative(fPath, XLinuxFile::WriteAt(fDescriptor, data, size, position), VE_UNKNOWN_ERROR);
}

VError VFileDesc::GetData(void* buffer, size_t size, size_t* outRead)
{
    size_t read = 0;
    VError error = GetDataAtPos(buffer, size, fPosition, &read);
    fPosition += int64_t(read);
    if (outRead)
        *outRead = read;
    if (!error && read < size && !outRead) {
        if (VFileError* eof = new (std::nothrow) VFileError(fPath, VE_STREAM_EOF))
            _PushRetainedError(eof);
        return VE_STREAM_EOF;
    }
    return error;
}

VError VFileDesc::PutData(const void* data, size_t size)
{
    VError error = PutDataAtPos(data, size, fPosition);
    if (!error)
        fPosition += int64_t(size);
    return error;
}

VError VFileDesc::Flush() const
{
    return VFileError::ThrowNative(fPath, XLinuxFile::Flush(fDescriptor), VE_UNKNOWN_ERROR);
}

VError VFileDesc::Close()
{
    int descriptor = fDescriptor;
    fDescriptor = -1;
    if (descriptor < 0)
        return VE_OK;
    return VFileError::ThrowNative(fPath, XLinuxFile::Close(descriptor), VE_UNKNOWN_ERROR);
}

void VFileDesc::DebugDump(VString& out) const
{
    out.AppendPrintf("VFileDesc(%d) ", fDescriptor);
    out.AppendString(fPath.GetPath());
}

} // namespace nuvo
