// Linux platform layer: folder listing with opendir/readdir, fstatat for entries of unknown
// type, realpath for links.

#include "kernel/platform/XLinuxFolderIterator.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

#include "kernel/platform/XLinuxErrno.h"
#include "kernel/platform/XLinuxFolder.h"

namespace nuvo {

XLinuxFolderIterator::XLinuxFolderIterator(const std::string& folderPath, unsigned options) : fOptions(options)
{
    char resolved[PATH_MAX];
    if (!::realpath(folderPath.c_str(), resolved)) {
        fError = XLinuxErrnoToError(errno);
        return;
    }
    fBase = resolved;
    if (fBase.back() != '/')
        fBase.push_back('/');
    fDir = ::opendir(fBase.c_str());
    if (!fDir)
        fError = XLinuxErrnoToError(errno);
}

XLinuxFolderIterator::~XLinuxFolderIterator()
{
    if (fDir)
        ::closedir(fDir);
}

bool XLinuxFolderIterator::Next()
{
    while (fDir) {
        errno = 0;
        struct dirent* entry = ::readdir(fDir);
        if (!entry) {
            if (errno != 0)
                fError = XLinuxErrnoToError(errno);
            ::closedir(fDir);
            fDir = nullptr;
            break;
        }
        if (Accept(*entry))
            return true;
        if (fError) {
            ::closedir(fDir);
            fDir = nullptr;
        }
    }
    fPath.clear();
    fName.clear();
    fIsFolder = false;
    return false;
}

bool XLinuxFolderIterator::Accept(const struct dirent& entry)
{
    const char* name = entry.d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        return false;

    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        // Some file systems (XFS without ftype, many FUSE ones) leave the type to a stat.
        struct stat st;
        if (::fstatat(::dirfd(fDir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) // ENOENT: removed since it was listed
                fError = XLinuxErrnoToError(errno);
            return false;
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    if (type != DT_DIR && type != DT_REG && type != DT_LNK && !(fOptions & kOtherKinds))
        return false;

    const bool withInvisibles = (fOptions & kInvisibles) != 0;
    if (!withInvisibles && name[0] == '.')
        return false;

    std::string path = fBase + name;
    std::string shownName = name;
    if (type == DT_LNK && (fOptions & kResolveLinks)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved))
            return false; // dangling or looping: skipped
        struct stat st;
        if (::stat(resolved, &st) != 0)
            return false;
        if (S_ISDIR(st.st_mode))
            type = DT_DIR;
        else if (S_ISREG(st.st_mode))
            type = DT_REG;
        else
            return false;
        path = resolved;
        size_t slash = path.rfind('/');
        shownName = slash == std::string::npos ? path : path.substr(slash + 1);
        if (!withInvisibles && shownName[0] == '.')
            return false;
    }

    const bool isFolder = type == DT_DIR;
    if (isFolder ? !(fOptions & kFolders) : !(fOptions & kFiles))
        return false;
    if (isFolder && path.back() != '/')
        path.push_back('/');
    fPath = std::move(path);
    fName = std::move(shownName);
    fIsFolder = isFolder;
    return true;
}

VError XLinuxFolderIterator::GetTimes(struct timespec* modified, struct timespec* created, struct timespec* accessed) const
{
    return XLinuxFolder::GetTimes(fPath, modified, created, accessed);
}

VError XLinuxFolderIterator::GetTimesMs(int64_t* modified, int64_t* created, int64_t* accessed) const
{
    return XLinuxFolder::GetTimesMs(fPath, modified, created, accessed);
}

} // namespace nuvo
