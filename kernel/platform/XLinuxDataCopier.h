#pragma once
// Linux platform layer: copies the data of one open regular file into another (reflink, in-kernel
// copy, or read/write with a fixed buffer), keeping holes. Only file descriptors, no paths.

#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Copies file data between descriptors. One object serves a whole tree copy: it remembers which
// fast paths a pair of devices refused and owns one fixed-size buffer, so peak memory does not
// depend on file sizes. Failures return a native POSIX error; nothing is pushed on an error
// context. Not thread-safe: one object per copy operation.
class XLinuxDataCopier {
public:
    XLinuxDataCopier() = default;
    ~XLinuxDataCopier();
    XLinuxDataCopier(const XLinuxDataCopier&) = delete;
    XLinuxDataCopier& operator=(const XLinuxDataCopier&) = delete;

    // Copies the first sourceStat.st_size bytes of source into destination, which must be an
    // empty regular file open for writing. dstDevice is the destination's st_dev (the cache key
    // of the refused fast paths). Sparse sources give sparse copies.
    [[nodiscard]] VError Copy(int source, int destination, const struct stat& sourceStat, dev_t dstDevice);

    static constexpr size_t kBufferSize = 128 * 1024;

private:
    VError CopyRange(int source, int destination, off_t from, off_t to);
    VError ReadWriteRange(int source, int destination, off_t from, off_t to);
    VError CopySparse(int source, int destination, off_t size, bool* notSupported);

    char* fBuffer = nullptr;
    bool fHaveCloneVerdict = false;
    dev_t fCloneSrcDev = 0;
    dev_t fCloneDstDev = 0;
    bool fRangeUnavailable = false; // the kernel lacks copy_file_range altogether
};

} // namespace nuvo
