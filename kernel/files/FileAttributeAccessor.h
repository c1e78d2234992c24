#pragma once

#include "kernel/files/IFileAttributeAccessor.h"
#include "kernel/time/VTime.h"

namespace nuvo {

// The accessor over a platform iterator's current entry. The iterator type must provide
// GetTimesMs(int64_t*, int64_t*, int64_t*) returning a native error. Owns nothing: the iterator
// and the documents belong to the caller, which sets the document of each entry before handing
// the accessor out. Not thread-safe.
template <class PlatformIterator> class FileAttributeAccessor final : public IFileAttributeAccessor {
public:
    explicit FileAttributeAccessor(const PlatformIterator* iterator) : fIterator(iterator) {}

    VError GetTime(VTime* outModified, VTime* outCreated, VTime* outAccessed) const override
    {
        int64_t modified = 0, created = 0, accessed = 0;
        VError error = fIterator->GetTimesMs(&modified, &created, &accessed);
        if (outModified)
            outModified->FromUnixMilliseconds(modified);
        if (outCreated)
            outCreated->FromUnixMilliseconds(created);
        if (outAccessed)
            outAccessed->FromUnixMilliseconds(accessed);
        return error;
    }
    IFile* GetFile() const override { return fFile; }
    IFolder* GetFolder() const override { return fFolder; }

    // Setting one kind of document clears the other.
    void SetDocument(IFile* file) { fFile = file; fFolder = nullptr; }
    void SetDocument(IFolder* folder) { fFolder = folder; fFile = nullptr; }

private:
    const PlatformIterator* fIterator;
    IFile* fFile = nullptr;
    IFolder* fFolder = nullptr;
};

} // namespace nuvo
