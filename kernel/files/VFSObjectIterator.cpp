#include "kernel/files/VFSObjectIterator.h"

#include <cerrno>
#include <new>

#include "kernel/base/VErrorCodes.h"

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
        if (!fAccessor)
            fError = VE_MEMORY_FULL;
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
        VFilePath path = VFilePath::FromPosixBytes(fPlatform->GetPath());
        if (!path.IsValid()) {
            // Never skipped silently: a copy or a delete would then miss the entry.
            fError = MakePosixError(EINVAL);
            break;
        }
        fCurrent = VRefPtr<T>::Adopt(new (std::nothrow) T(path, fFolder->GetFileSystem()));
        if (!fCurrent) {
            fError = VE_MEMORY_FULL;
            break;
        }
        fAccessor->SetDocument(fCurrent.Get());
        ++fCount;
        return;
    }
    if (fPlatform && !fError)
        fError = fPlatform->GetError();
    fAccessor.reset();
    fPlatform.reset();
}

template class VFSObjectIterator<VFile>;
template class VFSObjectIterator<VFolder>;

} // namespace nuvo
