#include "kernel/files/VFolder.h"
#include "kernel/time/VTime.h"

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
#include "kernel/platform/XLinuxForcedDelete.h"
#include "kernel/platform/XLinuxTreeCopy.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

constexpr StPackedDictionaryKey kNewNameKey("newname");

constexpr unsigned kFolderMode = 0755;
constexpr unsigned kWritableByAllMode = 0777;

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
    : fPosixPath(path.GetPosixBytes()), fPath(path), fFileSystem(fileSystem)
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

VError VFolder::_DeleteTree(unsigned platformOptions) const
{
    std::string failed;
    VError error = XLinuxForcedDelete::DeleteTree(fPosixPath, platformOptions, &failed);
    if (!error)
        return VE_OK;
    // The record names the entry that failed; the folder itself keeps its folder path.
    const bool isThis = failed.empty() || failed == XLinuxFolder::WithoutTrailingSlash(fPosixPath);
    return VFileError::ThrowNative(isThis ? fPath : VFilePath::FromPosixBytes(failed), error, VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::Delete(bool removeContent) const
{
    // A link to a folder has no content of its own: emptying it would empty its target.
    if (XLinuxFolder::IsLink(fPosixPath))
        return _Wrap(XLinuxFolder::RemoveLink(fPosixPath), VE_FOLDER_CANNOT_DELETE);
    if (removeContent)
        return _DeleteTree(0);
    // rmdir itself tells an empty folder from one with entries, without a window between the
    // two in which an entry could appear.
    VError error = XLinuxFolder::Remove(fPosixPath);
    if (error == MakePosixError(ENOTEMPTY) || error == MakePosixError(EEXIST)) {
        if (VFileError* record = new (std::nothrow) VFileError(fPath, VE_FOLDER_NOT_EMPTY))
            _PushRetainedError(record);
        return VE_FOLDER_NOT_EMPTY;
    }
    return _Wrap(error, VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::DeleteForced() const
{
    return _DeleteTree(XLinuxForcedDelete::kUnlock);
}

VError VFolder::DeleteContents(bool doIt) const
{
    if (!doIt)
        return VE_OK;
    // A link's content is its target's, not this folder's to delete (ENOTDIR from the walk).
    return _DeleteTree(XLinuxForcedDelete::kContentsOnly);
}

bool VFolder::IsEmpty() const
{
    using namespace FileIteratorOptions;
    // kForDeletion: FIFOs, sockets and devices count too, as they keep rmdir from succeeding. A
    // folder that cannot be listed is not known to be empty.
    XLinuxFolderIterator entries(fPosixPath, kFolders | kFiles | kInvisible | kForDeletion);
    return !entries.Next() && !entries.GetError();
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
    VError error = XLinuxFolder::RenameExclusive(fPosixPath, newPath.GetPosixBytes());
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
        if (dest->Exists() || XLinuxFolder::IsLink(dest->fPosixPath))
            result = dest->Delete(true);
        if (!result) {
            XLinuxTreeCopy tree;
            VError platform = tree.Copy(fPosixPath, dest->fPosixPath);
            copied = platform == VE_OK;
            // The tree copy has removed what it made. Only a copy that could not be made at all
            // goes on item by item: after a failure on the data (a full disk, an unreadable
            // folder) the second try would fail the same way or drop what it cannot read.
            if (!copied && !XLinuxTreeCopy::IsUnsupported(platform))
                result = _ThrowTreeCopyError(tree, platform, *dest, options);
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

VError VFolder::_ThrowTreeCopyError(const XLinuxTreeCopy& tree, VError platform, const VFolder& dest,
    unsigned options) const
{
    // The record names the entry that failed, as an item-by-item copy would: a file with the
    // file code, a folder with the folder code.
    const std::string& failed = tree.GetFailedSource();
    const bool onFile = !failed.empty() && !tree.FailedOnFolder();
    VFilePath source = failed.empty() ? fPath : VFilePath::FromPosixBytes(onFile ? failed : failed + "/");
    VFilePath destination = dest.fPath;
    if (!failed.empty() && failed.size() > fPosixPath.size())
        destination = VFilePath::FromPosixBytes(dest.fPosixPath + failed.substr(fPosixPath.size()) + (onFile ? "" : "/"));
    return VFileError::ThrowNative(source, platform, onFile ? VE_FILE_CANNOT_COPY : VE_FOLDER_CANNOT_COPY,
        [&destination, options](VValueBag& bag) {
            bag.SetString(FileErrorKeys::destination, destination.GetPath());
            bag.SetLong(FileErrorKeys::options, int32_t(options));
        });
}

VError VFolder::CopyContentsTo(const VFolder& dest, unsigned options) const
{
    using namespace FileIteratorOptions;
    if (VError error = _ThrowDestinationInside(dest))
        return error;
    bool madeDest = false;
    if (!dest.Exists()) {
        if (VError error = dest.Create())
            return error;
        madeDest = true;
    }
    const bool keepGoing = (options & FileCopyOptions::kKeepGoing) != 0;
    const unsigned invisible = (options & FileCopyOptions::kSkipInvisible) ? 0 : kInvisible;
    VError first = VE_OK;
    // Entries this copy made in a folder that existed before; a failed copy removes them again.
    std::vector<std::string> made;
    auto fail = [&](VError error) {
        if (!first)
            first = error;
        return !keepGoing;
    };

    {
        VFolderIterator folder(this, kFolders | invisible);
        for (; folder; folder.Next()) {
            VString name;
            folder->GetName(name);
            VRefPtr<VFolder> target = VRefPtr<VFolder>::Adopt(new (std::nothrow) VFolder(dest, name));
            const bool existed = target && (target->Exists() || XLinuxFolder::IsLink(target->fPosixPath));
            VError error = folder->CopyTo(dest, name, nullptr, options);
            if (!error && target && !existed)
                made.push_back(target->fPosixPath);
            if (error && fail(error))
                break;
        }
        // Set only when the walk ended early: a listing that failed is never a complete one.
        if (VError error = folder.GetError())
            fail(_Wrap(error, VE_FOLDER_CANNOT_COPY));
    }
    if (!first || keepGoing) {
        // kForDeletion: FIFOs, sockets and devices are copied too, never dropped silently.
        VFileIterator file(this, kFiles | kForDeletion | invisible);
        for (; file; file.Next()) {
            VFilePath target = dest.fPath;
            VString name;
            file->GetName(name);
            target.ToSubFile(name);
            VRefPtr<VFile> existing = VRefPtr<VFile>::Adopt(new (std::nothrow) VFile(target));
            const bool existed = !existing || existing->Exists();
            VError error = file->CopyTo(dest, nullptr, options);
            if (!error && !existed)
                made.push_back(target.GetPosixBytes());
            if (error && fail(error))
                break;
        }
        if (VError error = file.GetError())
            fail(_Wrap(error, VE_FOLDER_CANNOT_COPY));
    }

    // keepGoing asks for whatever could be copied; otherwise a failed copy leaves nothing it
    // made, read-only folders included. Clean-up failures leave the first cause as the result.
    if (first && !keepGoing) {
        if (madeDest) {
            (void)XLinuxForcedDelete::Delete(dest.fPosixPath);
        } else {
            for (const std::string& path : made)
                (void)XLinuxForcedDelete::Delete(path);
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

VError VFolder::GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
    int64_t modified = 0, created = 0, accessed = 0;
    VError error = _Wrap(XLinuxFolder::GetTimesMs(fPosixPath, &modified, &created, &accessed),
        VE_FOLDER_CANNOT_GET_ATTRIBUTES);
    if (outModified)
        outModified->FromUnixMilliseconds(modified);
    if (outCreated)
        outCreated->FromUnixMilliseconds(created);
    if (outAccessed)
        outAccessed->FromUnixMilliseconds(accessed);
    return error;
}

VError VFolder::Iterate(std::function<bool(IFileAttributeAccessor*)>&& function, unsigned options) const
{
    XLinuxFolderIterator entries(fPosixPath, options);
    FileAttributeAccessor<XLinuxFolderIterator> accessor(&entries);
    while (entries.Next()) {
        VFilePath path = VFilePath::FromPosixBytes(entries.GetPath());
        if (!path.IsValid())
            return _Wrap(MakePosixError(EINVAL), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
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
            return VE_OK;
    }
    return _Wrap(entries.GetError(), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders) const
{
    using namespace FileIteratorOptions;
    if (outFiles) {
        outFiles->clear();
        VFileIterator file(this, kFiles | kInvisible);
        for (; file; file.Next())
            outFiles->push_back(VRefPtr<IFile>(file.Current()));
        if (VError error = file.GetError())
            return _Wrap(error, VE_FOLDER_CANNOT_GET_ATTRIBUTES);
    }
    if (outFolders) {
        outFolders->clear();
        VFolderIterator folder(this, kFolders | kInvisible);
        for (; folder; folder.Next())
            outFolders->push_back(VRefPtr<IFolder>(folder.Current()));
        if (VError error = folder.GetError())
            return _Wrap(error, VE_FOLDER_CANNOT_GET_ATTRIBUTES);
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

VFolder* VFolder::RetainCurrentFolder()
{
    std::string path;
    if (XLinuxFolder::GetCurrent(path) != VE_OK)
        return nullptr;
    return new VFolder(VFilePath::FromPosixBytes(path));
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
