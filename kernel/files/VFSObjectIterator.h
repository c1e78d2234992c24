#pragma once

#include <cstdint>
#include <memory>

#include "kernel/base/VRefPtr.h"
#include "kernel/base/VTypes.h"
#include "kernel/files/FileIteratorOptions.h"

namespace nuvo {

class IFileAttributeAccessor;
class VFolder;
class XLinuxFolderIterator;
template <class PlatformIterator> class FileAttributeAccessor;

// Walks the entries of one folder as T objects (VFile or VFolder). Keeps the folder retained,
// the current item retained (null at the end), a count of the items returned, the platform
// iterator and an attribute accessor over it; both are destroyed once the end is reached.
// Construction positions on the first matching entry. A folder that cannot be listed ends the
// walk early with GetError() set, which callers must check before trusting the walk as complete.
// Not thread-safe.
template <class T> class VFSObjectIterator {
public:
    VFSObjectIterator(const VFolder* folder, unsigned options);
    ~VFSObjectIterator();
    VFSObjectIterator(const VFSObjectIterator&) = delete;
    VFSObjectIterator& operator=(const VFSObjectIterator&) = delete;

    // The current item (borrowed); null at the end.
    T* Current() const { return fCurrent.Get(); }
    T* operator->() const { return fCurrent.Get(); }
    explicit operator bool() const { return bool(fCurrent); }
    // Releases the current item, moves to the next matching entry and returns it (or null).
    T* Next();
    // Items returned so far, the current one included.
    int32_t GetCount() const { return fCount; }
    // The accessor over the current entry; null at the end.
    const IFileAttributeAccessor* GetAccessor() const;
    // Why the walk ended early: a native error of the listing or VE_MEMORY_FULL; 0 otherwise.
    [[nodiscard]] VError GetError() const { return fError; }

private:
    void _Advance();

    VRefPtr<const VFolder> fFolder;
    VRefPtr<T> fCurrent;
    int32_t fCount = 0;
    VError fError = VE_OK;
    std::unique_ptr<XLinuxFolderIterator> fPlatform;
    std::unique_ptr<FileAttributeAccessor<XLinuxFolderIterator>> fAccessor;
};

} // namespace nuvo
