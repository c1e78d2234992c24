// Linux platform layer: file data copy between descriptors (FICLONE, copy_file_range,
// pread/pwrite), with holes kept through SEEK_DATA/SEEK_HOLE.

#include "kernel/platform/XLinuxDataCopier.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "kernel/platform/XLinuxErrno.h"

namespace nuvo {

namespace {

// The fast paths answer with these when the file systems (or the kernel) cannot do the job; any
// other errno is a real failure of the copy.
bool IsNotSupported(int error)
{
    return error == EOPNOTSUPP || error == ENOTTY || error == EINVAL || error == EXDEV
        || error == ENOSYS || error == EBADF || error == ETXTBSY || error == EPERM;
}

} // namespace

XLinuxDataCopier::~XLinuxDataCopier()
{
    std::free(fBuffer);
}

VError XLinuxDataCopier::Copy(int source, int destination, const struct stat& sourceStat, dev_t dstDevice)
{
    const off_t size = sourceStat.st_size;
    if (size <= 0)
        return VE_OK;

    // A reflink shares the extents, holes included, in one call. Once a pair of devices refused
    // it, the other files of the tree skip the attempt.
    const bool cloneRefused = fHaveCloneVerdict && fCloneSrcDev == sourceStat.st_dev && fCloneDstDev == dstDevice;
    if (!cloneRefused) {
        if (::ioctl(destination, FICLONE, source) == 0)
            return VE_OK;
        int error = errno;
        if (!IsNotSupported(error))
            return XLinuxErrnoToError(error);
        fHaveCloneVerdict = true;
        fCloneSrcDev = sourceStat.st_dev;
        fCloneDstDev = dstDevice;
    }

    // Fewer allocated blocks than the size says: the file has holes worth keeping.
    if (off_t(sourceStat.st_blocks) * 512 < size) {
        bool notSupported = false;
        VError error = CopySparse(source, destination, size, &notSupported);
        if (!notSupported)
            return error;
    }
    return CopyRange(source, destination, 0, size);
}

VError XLinuxDataCopier::CopySparse(int source, int destination, off_t size, bool* notSupported)
{
    off_t offset = 0;
    while (offset < size) {
        off_t data = ::lseek(source, offset, SEEK_DATA);
        if (data < 0) {
            int error = errno;
            if (error == ENXIO)
                break; // only a hole is left
            if (offset == 0 && (error == EINVAL || error == EOPNOTSUPP)) {
                *notSupported = true;
                return VE_OK;
            }
            return XLinuxErrnoToError(error);
        }
        if (data >= size)
            break;
        off_t hole = ::lseek(source, data, SEEK_HOLE);
        if (hole < 0)
            return XLinuxErrnoToError(errno);
        hole = std::min(hole, size);
        if (VError error = CopyRange(source, destination, data, hole))
            return error;
        offset = hole;
    }
    // A trailing hole is made by the size alone.
    if (::ftruncate(destination, size) != 0)
        return XLinuxErrnoToError(errno);
    return VE_OK;
}

VError XLinuxDataCopier::CopyRange(int source, int destination, off_t from, off_t to)
{
    off_t in = from;
    off_t out = from;
    while (!fRangeUnavailable && in < to) {
        size_t chunk = size_t(std::min<off_t>(to - in, off_t(1) << 30));
        ssize_t done = ::copy_file_range(source, &in, destination, &out, chunk, 0);
        if (done > 0)
            continue;
        if (done == 0)
            break; // the source shrank meanwhile, or the file system copies nothing: read/write tells
        int error = errno;
        if (error == EINTR)
            continue;
        if (error == ENOSYS)
            fRangeUnavailable = true;
        else if (!IsNotSupported(error))
            return XLinuxErrnoToError(error);
        break; // read/write takes over at the same offset
    }
    if (in < to)
        return ReadWriteRange(source, destination, in, to);
    return VE_OK;
}

VError XLinuxDataCopier::ReadWriteRange(int source, int destination, off_t from, off_t to)
{
    if (!fBuffer) {
        fBuffer = static_cast<char*>(std::malloc(kBufferSize));
        if (!fBuffer)
            return XLinuxErrnoToError(ENOMEM);
    }
    off_t offset = from;
    while (offset < to) {
        size_t want = size_t(std::min<off_t>(to - offset, off_t(kBufferSize)));
        ssize_t got = ::pread(source, fBuffer, want, offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return XLinuxErrnoToError(errno);
        }
        if (got == 0)
            break;
        ssize_t written = 0;
        while (written < got) {
            ssize_t n = ::pwrite(destination, fBuffer + written, size_t(got - written), offset + written);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return XLinuxErrnoToError(errno);
            }
            if (n == 0)
                return XLinuxErrnoToError(EIO); // no progress and no reason: never loop on it
            written += n;
        }
        offset += got;
    }
    return VE_OK;
}

} // namespace nuvo
