#include "kernel/files/VFSObjectIterator.h"

#include <new>

#include "kernel/files/FileAttributeAccessor.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/platform/XLinuxFolderIterator.h"

namespace nuvo {

namespace {

static_assert(FileIteratorOptions::kFolders == XLinuxFolderIterator::kFolders);
static_assert(FileIteratorOptions::kFiles == XLinuxFolderIterator::kFiles);
static_assert(FileIteratorOptions::kInvisible == XLinuxFolderIterator::kInvisibles);
static_assert(FileIteratorOptions::kResolveLinks == XLinuxFolderIterator::kResolveLinks);
static_assert(FileIteratorOptions::kForDeletion == XLinuxFolderIterator::kOtherKinds);

VFilePath PathFromPosix(const std::string& posix)
{
    VString text;
    text.FromBlock(posix.data(), posix.size(), CharSet::UTF8);
    return VFilePath(text, FilePathStyle::Posix);
}

template <class T> bool IsWanted(const XLinuxFolderIterator& platform);
template <> bool IsWanted<VFile>(const XLinuxFolderIterator& platform) { return !platform.IsFolder(); }
template <> bool IsWanted<VFolder>(const XLinuxFolderIterator& platform) { return platform.IsFolder(); }

} // namespace

template <class T>
VFSObjectIterator<T>::VFSObjectIterator(const VFolder* folder, unsigned options) : fFolder(folder)
{
    if (folder) {
        fPlatform.reset(new (std::nothrow) XLinuxFolderIterator(folder->GetPosixPathBytes(), options));
        if (fPlatform)
            fAccessor.reset(new (std::nothrow) FileAttributeAccessor<XLinuxFolderIterator>(fPlatform.get()));
    }
    _Advance();
}

template <class T> VFSObjectIterator<T>::~VFSObjectIterator() = default;

template <class T> T* VFSObjectIterator<T>::Next()
{
    _Advance();
    return fCurrent.Get();
}

template <class T> const IFileAttributeAccessor* VFSObjectIterator<T>::GetAccessor() const
{
    return fCurrent ? fAccessor.get() : nullptr;
}

template <class T> void VFSObjectIterator<T>::_Advance()
{
    fCurrent.Clear();
    if (fAccessor)
        fAccessor->SetDocument(static_cast<IFile*>(nullptr));
    while (fPlatform && fAccessor && fPlatform->Next()) {
        // The options already chose the kinds; the check keeps a mismatch from ever giving a
        // folder as a file.
        if (!IsWanted<T>(*fPlatform))
            continue;
        VFilePath path = PathFromPosix(fPlatform->GetPath());
        if (!path.IsValid())
            continue; // a name that cannot be a path is skipped
        fCurrent = VRefPtr<T>::Adopt(new (std::nothrow) T(path, fFolder->GetFileSystem()));
        if (!fCurrent)
            break;
        fAccessor->SetDocument(fCurrent.Get());
        ++fCount;
        return;
    }
    fAccessor.reset();
    fPlatform.reset();
}

template class VFSObjectIterator<VFile>;
template class VFSObjectIterator<VFolder>;

} // namespace nuvo
