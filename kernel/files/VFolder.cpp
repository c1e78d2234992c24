#include "kernel/files/VFolder.h"

#include <cerrno>
#include <new>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/FileAttributeAccessor.h"
#include "kernel/files/FileIteratorOptions.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFileIterator.h"
#include "kernel/files/VFolderIterator.h"
#include "kernel/platform/XLinuxFolder.h"
#include "kernel/platform/XLinuxFolderIterator.h"
#include "kernel/process/VTaskMgr.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

constexpr StPackedDictionaryKey kNewNameKey("newname");

constexpr unsigned kFolderMode = 0755;
constexpr unsigned kWritableByAllMode = 0777;

std::string PosixBytes(const VFilePath& path)
{
    VString posix;
    path.GetPosixPath(posix);
    return to_string(posix);
}

VFilePath SubFolderPath(const VFilePath& parent, const VString& name, FilePathStyle style)
{
    VString relative(name);
    if (relative.IsEmpty() || relative.GetUniChar(relative.GetLength()) != VFilePath::kSeparator)
        relative.AppendUniChar(VFilePath::kSeparator);
    return VFilePath(parent, relative, style);
}

VError MemoryFull()
{
    _ThrowError(VE_MEMORY_FULL);
    return VE_MEMORY_FULL;
}

} // namespace

VFolder::VFolder(const VFilePath& path, VFileSystem* fileSystem)
    : fPosixPath(PosixBytes(path)), fPath(path), fFileSystem(fileSystem)
{
}

VFolder::VFolder(const VString& text, FilePathStyle style) : VFolder(VFilePath(text, style)) {}

VFolder::VFolder(const VFolder& parent, const VString& name, FilePathStyle style)
    : VFolder(SubFolderPath(parent.fPath, name, style), parent.fFileSystem)
{
}

VError VFolder::_Wrap(VError platformResult, VError fallback) const
{
    return VFileError::ThrowNative(fPath, platformResult, fallback);
}

bool VFolder::Exists() const
{
    return fPath.IsFolder() && XLinuxFolder::IsFolder(fPosixPath);
}

VError VFolder::Create() const
{
    if (Exists())
        return VE_OK;
    return _Wrap(XLinuxFolder::Create(fPosixPath, kFolderMode), VE_FOLDER_CANNOT_CREATE);
}

VError VFolder::CreateRecursive(bool makeWritableByAll) const
{
    if (Exists())
        return VE_OK;
    VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(RetainParentFolder());
    if (parent && !parent->Exists()) {
        if (VError error = parent->CreateRecursive(makeWritableByAll))
            return error;
    }
    if (VError error = Create())
        return error;
    return makeWritableByAll ? MakeWritableByAll() : VE_OK;
}

VError VFolder::MakeWritableByAll() const
{
    return _Wrap(XLinuxFolder::SetMode(fPosixPath, kWritableByAllMode), VE_FOLDER_CANNOT_SET_ATTRIBUTES);
}

VError VFolder::Delete(bool removeContent) const
{
    // A link to a folder has no content of its own: emptying it would empty its target.
    if (XLinuxFolder::IsLink(fPosixPath))
        return _Wrap(XLinuxFolder::RemoveLink(fPosixPath), VE_FOLDER_CANNOT_DELETE);
    if (IsEmpty())
        return _Wrap(XLinuxFolder::Remove(fPosixPath), VE_FOLDER_CANNOT_DELETE);
    if (!removeContent) {
        if (VFileError* error = new (std::nothrow) VFileError(fPath, VE_FOLDER_NOT_EMPTY))
            _PushRetainedError(error);
        return VE_FOLDER_NOT_EMPTY;
    }
    if (VError error = DeleteContents(true))
        return error; // already reported by the item that failed
    return _Wrap(XLinuxFolder::Remove(fPosixPath), VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::DeleteForced() const
{
    return _Wrap(XLinuxFolder::DeleteForced(fPosixPath), VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::DeleteContents(bool doIt) const
{
    using namespace FileIteratorOptions;
    if (!doIt)
        return VE_OK;
    // The iterators list a link's target: its content is not this folder's to delete.
    if (XLinuxFolder::IsLink(fPosixPath))
        return _Wrap(MakePosixError(ENOTDIR), VE_FOLDER_CANNOT_DELETE);
    for (VFolderIterator folder(this, kFolders | kInvisible | kForDeletion); folder; folder.Next()) {
        if (VError error = folder->DeleteContents(true))
            return error;
        if (VError error = folder->Delete(false))
            return error;
        VTaskMgr::Yield();
    }
    // Links, to folders too, are files here: they are unlinked, never followed.
    for (VFileIterator file(this, kFiles | kInvisible | kForDeletion); file; file.Next()) {
        if (VError error = file->Delete())
            return error;
        VTaskMgr::Yield();
    }
    return VE_OK;
}

bool VFolder::IsEmpty() const
{
    using namespace FileIteratorOptions;
    // kForDeletion: FIFOs, sockets and devices count too, as they keep rmdir from succeeding.
    XLinuxFolderIterator entries(fPosixPath, kFolders | kFiles | kInvisible | kForDeletion);
    return !entries.Next();
}

VError VFolder::MoveToTrash() const
{
    if (!Exists())
        return VE_OK;
    return _Wrap(XLinuxFolder::MoveToTrash(fPosixPath), VE_FOLDER_CANNOT_MOVE_TO_TRASH);
}

VError VFolder::Rename(const VString& newName, VFolder** outFolder) const
{
    if (outFolder)
        *outFolder = nullptr;
    auto addNewName = [&newName](VValueBag& bag) { bag.SetString(kNewNameKey, newName); };
    VFilePath newPath(fPath);
    if (!fPath.IsFolder() || !newPath.SetName(newName)) {
        if (VFileError* error = new (std::nothrow) VFileError(fPath, VE_FOLDER_CANNOT_RENAME)) {
            addNewName(*error->GetBag());
            _PushRetainedError(error);
        }
        return VE_FOLDER_CANNOT_RENAME;
    }
    VError error = XLinuxFolder::RenameExclusive(fPosixPath, PosixBytes(newPath));
    if (error)
        return VFileError::ThrowNative(fPath, error, VE_FOLDER_CANNOT_RENAME, addNewName);
    if (outFolder) {
        *outFolder = new (std::nothrow) VFolder(newPath, fFileSystem);
        if (!*outFolder)
            return MemoryFull();
    }
    return VE_OK;
}

VError VFolder::_ThrowDestinationInside(const VFolder& destination) const
{
    // The disk is asked too: through a link, a destination whose text lies elsewhere may be this
    // folder (a replacing copy would delete its own source) or lie inside it (an endless copy).
    if (!IsSameFolder(&destination) && !destination.fPath.IsChildOf(fPath)
        && !XLinuxFolder::IsSameOrInside(destination.fPosixPath, fPosixPath))
        return VE_OK;
    if (VFileError* error = new (std::nothrow) VFileError(fPath, VE_FOLDER_CANNOT_COPY)) {
        error->GetBag()->SetString(FileErrorKeys::destination, destination.fPath.GetPath());
        _PushRetainedError(error);
    }
    return VE_FOLDER_CANNOT_COPY;
}

VError VFolder::CopyTo(const VFolder& destParent, const VString& name, VFolder** outFolder, unsigned options) const
{
    if (outFolder)
        *outFolder = nullptr;
    if (VError error = _ThrowDestinationInside(destParent))
        return error;
    VRefPtr<VFolder> dest = VRefPtr<VFolder>::Adopt(new (std::nothrow) VFolder(destParent, name));
    if (!dest)
        return MemoryFull();
    // Onto itself (its own parent and name, or the same folder through a link): a replacing copy
    // would delete its source before copying it.
    if (VError error = _ThrowDestinationInside(*dest))
        return error;

    VError result = VE_OK;
    bool copied = false;
    if (options & FileCopyOptions::kReplaceExisting) {
        if (dest->Exists())
            result = dest->Delete(true);
        if (!result) {
            VError platform = XLinuxFolder::CopyTree(fPosixPath, dest->fPosixPath);
            copied = platform == VE_OK;
            // The tree copy removes what it made; a folder still there after EEXIST was made by
            // someone else meanwhile and is not ours to delete.
            if (!copied && platform != MakePosixError(EEXIST) && dest->Exists())
                result = dest->Delete(true);
        }
    }
    if (!copied && !result)
        result = CopyContentsTo(*dest, options);

    if (outFolder)
        *outFolder = dest.Forget();
    return result;
}

VError VFolder::CopyTo(const VFolder& destParent, VFolder** outFolder, unsigned options) const
{
    VString name;
    GetName(name);
    return CopyTo(destParent, name, outFolder, options);
}

VError VFolder::CopyContentsTo(const VFolder& dest, unsigned options) const
{
    using namespace FileIteratorOptions;
    if (VError error = _ThrowDestinationInside(dest))
        return error;
    if (!dest.Exists()) {
        if (VError error = dest.Create())
            return error;
    }
    const bool keepGoing = (options & FileCopyOptions::kKeepGoing) != 0;
    const unsigned invisible = (options & FileCopyOptions::kSkipInvisible) ? 0 : kInvisible;
    VError first = VE_OK;

    for (VFolderIterator folder(this, kFolders | invisible); folder; folder.Next()) {
        VString name;
        folder->GetName(name);
        if (VError error = folder->CopyTo(dest, name, nullptr, options)) {
            if (!first)
                first = error;
            if (!keepGoing)
                return first;
        }
    }
    for (VFileIterator file(this, kFiles | invisible); file; file.Next()) {
        if (VError error = file->CopyTo(dest, nullptr, options)) {
            if (!first)
                first = error;
            if (!keepGoing)
                return first;
        }
    }
    return first;
}

VFolder* VFolder::RetainParentFolder(bool) const
{
    VFilePath parent;
    if (!fPath.GetParent(parent))
        return nullptr;
    return new (std::nothrow) VFolder(parent);
}

void VFolder::GetPlatformPath(VString& out, FilePathStyle style) const
{
    fPath.GetPath(out, style);
}

VError VFolder::GetTimeAttributes(int64_t* outModified, int64_t* outCreated, int64_t* outAccessed) const
{
    return _Wrap(XLinuxFolder::GetTimesMs(fPosixPath, outModified, outCreated, outAccessed),
        VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::Iterate(std::function<bool(IFileAttributeAccessor*)>&& function, unsigned options) const
{
    XLinuxFolderIterator entries(fPosixPath, options);
    FileAttributeAccessor<XLinuxFolderIterator> accessor(&entries);
    while (entries.Next()) {
        VString text;
        text.FromBlock(entries.GetPath().data(), entries.GetPath().size(), CharSet::UTF8);
        VFilePath path(text, FilePathStyle::Posix);
        if (!path.IsValid())
            continue;
        bool goOn;
        if (entries.IsFolder()) {
            VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new (std::nothrow) VFolder(path, fFileSystem));
            if (!folder)
                return MemoryFull();
            accessor.SetDocument(folder.Get());
            goOn = function(&accessor);
        } else {
            VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new (std::nothrow) VFile(path, fFileSystem));
            if (!file)
                return MemoryFull();
            accessor.SetDocument(file.Get());
            goOn = function(&accessor);
        }
        if (!goOn)
            break;
    }
    return VE_OK;
}

VError VFolder::GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders) const
{
    using namespace FileIteratorOptions;
    if (outFiles) {
        outFiles->clear();
        for (VFileIterator file(this, kFiles | kInvisible); file; file.Next())
            outFiles->push_back(VRefPtr<IFile>(file.Current()));
    }
    if (outFolders) {
        outFolders->clear();
        for (VFolderIterator folder(this, kFolders | kInvisible); folder; folder.Next())
            outFolders->push_back(VRefPtr<IFolder>(folder.Current()));
    }
    return VE_OK;
}

VError VFolder::MAC_GetPermissions(uint16_t* outMode) const
{
    unsigned mode = 0;
    VError error = XLinuxFolder::GetMode(fPosixPath, &mode);
    if (!error)
        *outMode = uint16_t(mode);
    return _Wrap(error, VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::MAC_SetPermissions(uint16_t mode) const
{
    return _Wrap(XLinuxFolder::SetMode(fPosixPath, mode), VE_FOLDER_CANNOT_SET_ATTRIBUTES);
}

void VFolder::DebugDump(VString& out) const
{
    out.AppendCString("VFolder ");
    out.AppendString(fPath.GetPath());
}

VError VFolder::FlushFileSystem() const
{
    return _Wrap(XLinuxFolder::SyncFileSystem(fPosixPath), VE_UNKNOWN_ERROR);
}

VError VFolder::Flush() const
{
    return _Wrap(XLinuxFolder::SyncFolder(fPosixPath), VE_UNKNOWN_ERROR);
}

} // namespace nuvo
