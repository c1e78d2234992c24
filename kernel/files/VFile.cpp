#include "kernel/files/VFile.h"
#include "kernel/time/VTime.h"

#include <cassert>
#include <new>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemoryBuffer.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFolder.h"
#include "kernel/platform/XLinuxFile.h"
#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VTextConverters.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

static_assert(int(FileAccess::Read) == XLinuxFile::kAccessRead);
static_assert(int(FileAccess::ReadWrite) == XLinuxFile::kAccessReadWrite);
static_assert(int(FileAccess::ReadWriteShared) == XLinuxFile::kAccessReadWriteShared);
static_assert(FileOpenOptions::kResourceFork == XLinuxFile::kOptionResourceFork);
static_assert(FileOpenOptions::kCreate == XLinuxFile::kOptionCreate);
static_assert(FileOpenOptions::kTruncate == XLinuxFile::kOptionTruncate);
static_assert(FileOpenOptions::kReadAhead == XLinuxFile::kOptionReadAhead);
static_assert(FileOpenOptions::kNoCache == XLinuxFile::kOptionNoCache);
static_assert(FileOpenOptions::kFollowLink == XLinuxFile::kOptionFollowLink);

namespace {

VError MemoryFull()
{
    _ThrowError(VE_MEMORY_FULL);
    return VE_MEMORY_FULL;
}

} // namespace

VFile::VFile(const VFilePath& path, VFileSystem* fileSystem)
    : fPosixPath(path.GetPosixBytes()), fPath(path), fFileSystem(fileSystem)
{
}

VFile::VFile(const VFolder& folder, const VString& name, FilePathStyle style)
    : VFile(VFilePath(folder.GetPath(), name, style))
{
}

VError VFile::_Wrap(VError platformResult, VError fallback) const
{
    return VFileError::ThrowNative(fPath, platformResult, fallback);
}

VError VFile::CopyTo(const VFile& dest, unsigned options) const
{
    return CopyTo(dest.fPath, nullptr, options);
}

VError VFile::CopyTo(const VFolder& destFolder, VFile** outFile, unsigned options) const
{
    return CopyTo(destFolder.GetPath(), outFile, options);
}

VError VFile::CopyTo(const VFilePath& dest, VFile** outFile, unsigned options) const
{
    if (outFile)
        *outFile = nullptr;
    auto addParameters = [&dest, options](VValueBag& bag) {
        bag.SetString(FileErrorKeys::destination, dest.GetPath());
        bag.SetLong(FileErrorKeys::options, int32_t(options));
    };
    if (!fPath.IsValid() || !dest.IsValid()) {
        VFileError* error = new (std::nothrow) VFileError(fPath, VE_FILE_CANNOT_COPY);
        if (error) {
            addParameters(*error->GetBag());
            _PushRetainedError(error);
        }
        return VE_FILE_CANNOT_COPY;
    }

    VFilePath target(dest);
    if (target.IsFolder()) {
        VString name;
        fPath.GetName(name);
        target.ToSubFile(name);
    }
    std::string targetBytes = target.GetPosixBytes();
    VError result = XLinuxFile::CopyFile(_Posix(), targetBytes.c_str(),
                                         (options & FileCopyOptions::kReplaceExisting) != 0);
    if (result)
        return VFileError::ThrowNative(fPath, result, VE_FILE_CANNOT_COPY, addParameters);
    if (outFile) {
        *outFile = new (std::nothrow) VFile(target);
        if (!*outFile)
            return MemoryFull();
    }
    return VE_OK;
}

VError VFile::Delete() const
{
    return _Wrap(XLinuxFile::Delete(_Posix()), VE_FILE_CANNOT_DELETE);
}

VFolder* VFile::RetainParentFolder(bool) const
{
    VFilePath parent;
    if (!fPath.GetParent(parent))
        return nullptr;
    return new (std::nothrow) VFolder(parent);
}

void VFile::GetPlatformPath(VString& out, FilePathStyle style) const
{
    fPath.GetPath(out, style);
}

bool VFile::Exists() const
{
    return fPath.IsFile() && XLinuxFile::Exists(_Posix());
}

VError VFile::GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
    XLinuxFileTimes times;
    VError error = _Wrap(XLinuxFile::GetTimes(_Posix(), &times), VE_FILE_CANNOT_GET_ATTRIBUTES);
    if (outModified)
        outModified->FromUnixMilliseconds(times.modified);
    if (outCreated)
        outCreated->FromUnixMilliseconds(times.created);
    if (outAccessed)
        outAccessed->FromUnixMilliseconds(times.accessed);
    return error;
}

VError VFile::GetSize(int64_t* outSize) const
{
    return _Wrap(XLinuxFile::GetSize(_Posix(), outSize), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::GetContent(VMemoryBuffer& outBuffer) const
{
    outBuffer.Clear();
    VFileDesc* desc = nullptr;
    VError error = Open(FileAccess::Read, &desc, FileOpenOptions::kFollowLink);
    if (error)
        return error;
    int64_t size = 0;
    error = desc->GetSize(&size);
    if (!error && size > 0) {
        if (!outBuffer.SetSize(size_t(size))) {
            error = MemoryFull();
        } else {
            size_t read = 0;
            error = desc->GetDataAtPos(outBuffer.GetDataPtr(), size_t(size), 0, &read);
            // The file may have shrunk since its size was read.
            if (!error && read < size_t(size) && !outBuffer.SetSize(read))
                error = MemoryFull();
        }
    }
    delete desc;
    if (error)
        outBuffer.Clear();
    return error;
}

VError VFile::GetData(void* buffer, size_t size, size_t* outRead) const
{
    if (outRead)
        *outRead = 0;
    VFileDesc* desc = nullptr;
    VError error = Open(FileAccess::Read, &desc, FileOpenOptions::kFollowLink);
    if (error)
        return error;
    error = desc->GetDataAtPos(buffer, size, 0, outRead);
    delete desc;
    return error;
}

VError VFile::SetContent(const void* data, size_t size) const
{
    VFilePath parentPath;
    if (fPath.GetParent(parentPath)) {
        VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(new (std::nothrow) VFolder(parentPath));
        if (!parent)
            return MemoryFull();
        if (!parent->Exists()) {
            if (VError error = parent->CreateRecursive(false))
                return error;
        }
    }
    VFileDesc* desc = nullptr;
    VError error = Open(FileAccess::ReadWrite, &desc,
                        FileOpenOptions::kCreate | FileOpenOptions::kTruncate | FileOpenOptions::kFollowLink);
    if (error)
        return error;
    error = desc->SetSize(int64_t(size));
    if (!error)
        error = desc->PutDataAtPos(data, size, 0);
    VError closeError = desc->Close();
    delete desc;
    return error ? error : closeError;
}

VError VFile::AppendContent(const void* data, size_t size) const
{
    VFileDesc* desc = nullptr;
    VError error = Open(FileAccess::ReadWrite, &desc, FileOpenOptions::kCreate | FileOpenOptions::kFollowLink);
    if (error)
        return error;
    int64_t end = 0;
    error = desc->GetSize(&end);
    if (!error)
        error = desc->PutDataAtPos(data, size, end);
    VError closeError = desc->Close();
    delete desc;
    return error ? error : closeError;
}

bool VFile::IsWritable() const
{
    return fPath.IsFile() && XLinuxFile::IsWritable(_Posix());
}

VError VFile::Open(FileAccess access, VFileDesc** outDesc, unsigned options) const
{
    assert(outDesc && "Open needs somewhere to put the descriptor");
    *outDesc = nullptr;
    int descriptor = -1;
    VError result = XLinuxFile::Open(_Posix(), int(access), options, &descriptor);
    if (result) {
        return VFileError::ThrowNative(fPath, result, VE_FILE_CANNOT_OPEN, [access, options](VValueBag& bag) {
            bag.SetLong(FileErrorKeys::access, int32_t(access));
            bag.SetLong(FileErrorKeys::options, int32_t(options));
        });
    }
    *outDesc = new (std::nothrow) VFileDesc(fPath, descriptor, access);
    if (!*outDesc) {
        (void)XLinuxFile::Close(descriptor);
        return MemoryFull();
    }
    return VE_OK;
}

VError VFile::MAC_GetPermissions(uint16_t* outMode) const
{
    return _Wrap(XLinuxFile::GetPermissions(_Posix(), outMode), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::MAC_SetPermissions(uint16_t mode) const
{
    return _Wrap(XLinuxFile::SetPermissions(_Posix(), mode), VE_FILE_CANNOT_SET_ATTRIBUTES);
}

void VFile::DebugDump(VString& out) const
{
    out.AppendCString("VFile ");
    out.AppendString(fPath.GetPath());
}

// IFile's text helpers live here, beside the only file implementation.

VError IFile::GetContentAsString(VString& text, CharSet set, ECarriageReturnMode mode) const
{
    StErrorContextInstaller errors;
    VMemoryBuffer buffer;
    VError error = GetContent(buffer);
    if (error == VE_OK) {
        text.FromBlockWithOptionalBOM(buffer.GetDataPtr(), buffer.GetDataSize(), set);
        if (mode != eCRM_NONE)
            text.ConvertCarriageReturns(mode);
    }
    // The context is the reference; the returned code stands in when no task records errors.
    if (VError recorded = errors.GetLastError())
        error = recorded;
    if (error)
        text.Clear();
    return error;
}

VError IFile::SetContentAsString(const VString& text, CharSet set, ECarriageReturnMode mode, bool withBOM) const
{
    StErrorContextInstaller errors;
    VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(set);
    if (!converter->IsValid()) {
        converter->Release();
        _ThrowError(VE_STREAM_NO_CONVERTER);
        return VE_STREAM_NO_CONVERTER;
    }
    VString copy(text);
    if (mode != eCRM_NONE)
        copy.ConvertCarriageReturns(mode);

    std::vector<char> bytes;
    size_t bomSize = 0;
    const void* bom = withBOM ? VTextConverters::GetBOMForCharSet(set, &bomSize) : nullptr;
    if (bom)
        bytes.assign(static_cast<const char*>(bom), static_cast<const char*>(bom) + bomSize);
    std::vector<char> encoded;
    bool converted = converter->ConvertToBuffer(copy.GetCPointer(), copy.GetLength(), encoded, 0);
    converter->Release();
    if (!converted) {
        // Never write a partial text over the file.
        VError recorded = errors.GetLastError();
        if (recorded)
            return recorded;
        _ThrowError(VE_CONVERSION_FAILED);
        return VE_CONVERSION_FAILED;
    }
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    VError error = SetContent(bytes.data(), bytes.size());
    if (VError recorded = errors.GetLastError())
        error = recorded;
    return error;
}

} // namespace nuvo
