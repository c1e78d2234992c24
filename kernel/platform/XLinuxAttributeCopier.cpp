// Linux platform layer: extended attribute copy (flistxattr/fgetxattr/fsetxattr).

#include "kernel/platform/XLinuxAttributeCopier.h"

#include <cerrno>
#include <cstring>
#include <sys/types.h>
#include <sys/xattr.h>

#include "kernel/platform/XLinuxErrno.h"

namespace nuvo {

namespace {

bool IsAttributeRefused(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM || error == EACCES || error == ENOSPC
        || error == E2BIG || error == ERANGE;
}

} // namespace

VError XLinuxAttributeCopier::Copy(int source, int destination)
{
    if (fNames.empty())
        fNames.resize(4096);
    ssize_t length;
    for (;;) {
        length = ::flistxattr(source, fNames.data(), fNames.size());
        if (length >= 0)
            break;
        int error = errno;
        if (error == ENOTSUP || error == EOPNOTSUPP)
            return VE_OK;
        if (error != ERANGE)
            return XLinuxErrnoToError(error);
        // The list grew between the two calls: ask for its size and try again.
        ssize_t needed = ::flistxattr(source, nullptr, 0);
        if (needed < 0)
            return XLinuxErrnoToError(errno);
        fNames.resize(size_t(needed) + 1);
    }
    for (ssize_t offset = 0; offset < length;) {
        const char* name = fNames.data() + offset;
        offset += ssize_t(std::strlen(name)) + 1;
        if (fValue.empty())
            fValue.resize(4096);
        ssize_t size;
        for (;;) {
            size = ::fgetxattr(source, name, fValue.data(), fValue.size());
            if (size >= 0)
                break;
            int error = errno;
            if (error == ENODATA)
                break; // removed meanwhile
            if (error != ERANGE)
                return XLinuxErrnoToError(error);
            ssize_t needed = ::fgetxattr(source, name, nullptr, 0);
            if (needed < 0)
                return XLinuxErrnoToError(errno);
            fValue.resize(size_t(needed) + 1);
        }
        if (size < 0)
            continue;
        if (::fsetxattr(destination, name, fValue.data(), size_t(size), 0) != 0) {
            int error = errno;
            if (!IsAttributeRefused(error))
                return XLinuxErrnoToError(error);
        }
    }
    return VE_OK;
}

} // namespace nuvo
