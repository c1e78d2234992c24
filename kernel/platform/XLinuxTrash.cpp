// Linux platform layer: the freedesktop.org Trash (stat/mkdir/open O_EXCL/renameat2, local time
// for DeletionDate).

#include "kernel/platform/XLinuxTrash.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/platform/XLinuxErrno.h"

namespace nuvo {

namespace {

constexpr unsigned kMaxTrashNameAttempts = 100000;

std::string WithoutTrailingSlash(const std::string& path)
{
    std::string result = path;
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string ParentOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string LastNameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// A folder we may use for trash data: a real directory (not a link) owned by uid.
int CheckOwnFolder(const std::string& path, uid_t uid)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (st.st_uid != uid)
        return EPERM;
    return 0;
}

int MakeOwnFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return errno;
    return CheckOwnFolder(path, ::geteuid());
}

// Creates path and its missing ancestors with mode 0700, outermost first.
int MakeFolders(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    std::string parent = ParentOf(path);
    if (parent != path) {
        if (int error = MakeFolders(parent))
            return error;
    }
    if (::mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// The device of path, or of its nearest existing ancestor.
bool DeviceOfNearestAncestor(std::string path, dev_t* outDevice)
{
    for (;;) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            *outDevice = st.st_dev;
            return true;
        }
        if (path == "/" || path.empty())
            return false;
        path = ParentOf(path);
    }
}

std::string LocalDeletionDate()
{
    time_t now = ::time(nullptr);
    struct tm local;
    ::localtime_r(&now, &local);
    char text[32];
    size_t length = ::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(text, length);
}

int WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += size_t(n);
    }
    return 0;
}

} // namespace

std::string XLinuxTrash::EncodePath(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(path.size());
    for (unsigned char c : path) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~' || c == '/';
        if (keep) {
            result.push_back(char(c));
        } else {
            result.push_back('%');
            result.push_back(kHex[c >> 4]);
            result.push_back(kHex[c & 0xF]);
        }
    }
    return result;
}

std::string XLinuxTrash::CandidateName(const std::string& name, unsigned attempt)
{
    if (attempt <= 1)
        return name;
    // Built by appending: g++ 12 at -O3 reports a false -Wrestrict overlap in the inlined
    // const char* + std::string concatenation.
    size_t dot = name.rfind('.');
    // A leading dot starts a hidden name, a trailing one ends a name: neither opens an extension.
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        dot = name.size();
    std::string candidate(name, 0, dot);
    candidate.push_back('.');
    candidate.append(std::to_string(attempt));
    candidate.append(name, dot, std::string::npos);
    return candidate;
}

std::string XLinuxTrash::HomeTrashPath()
{
    const char* dataHome = ::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        return Join(WithoutTrailingSlash(dataHome), "Trash");
    std::string home;
    if (const char* homeVar = ::getenv("HOME"); homeVar && homeVar[0] == '/') {
        home = homeVar;
    } else {
        struct passwd entry;
        struct passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
            home = found->pw_dir;
    }
    if (home.empty())
        return std::string();
    return Join(WithoutTrailingSlash(home), ".local/share/Trash");
}

VError XLinuxTrash::FindTopDirectory(const std::string& absolutePath, std::string* outTopDirectory)
{
    std::string current = WithoutTrailingSlash(absolutePath);
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0)
        return XLinuxErrnoToError(errno);
    const dev_t device = st.st_dev;
    while (current != "/") {
        std::string parent = ParentOf(current);
        if (::stat(parent.c_str(), &st) != 0)
            return XLinuxErrnoToError(errno);
        if (st.st_dev != device)
            break;
        current = parent;
    }
    *outTopDirectory = current;
    return VE_OK;
}

VError XLinuxTrash::PrepareVolumeTrash(const std::string& topDirectory, uid_t uid, std::string* outTrash)
{
    const std::string uidText = std::to_string(uid);
    // The shared .Trash is used only when an administrator set it up safely: a real folder (lstat
    // does not follow a link) with the sticky bit, so that users cannot remove each other's.
    const std::string shared = Join(topDirectory, ".Trash");
    struct stat st;
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string user = Join(shared, uidText);
        if (MakeOwnFolder(user) == 0) {
            *outTrash = user;
            return VE_OK;
        }
    }
    const std::string own = Join(topDirectory, ".Trash-" + uidText);
    if (int error = MakeOwnFolder(own))
        return XLinuxErrnoToError(error);
    *outTrash = own;
    return VE_OK;
}

VError XLinuxTrash::MoveInto(const std::string& item, const std::string& trash, const std::string& originalPath,
    std::string* outName)
{
    const std::string source = WithoutTrailingSlash(item);
    const std::string filesFolder = Join(trash, "files");
    const std::string infoFolder = Join(trash, "info");
    if (int error = MakeOwnFolder(trash))
        return XLinuxErrnoToError(error);
    if (int error = MakeOwnFolder(filesFolder))
        return XLinuxErrnoToError(error);
    if (int error = MakeOwnFolder(infoFolder))
        return XLinuxErrnoToError(error);

    const std::string name = LastNameOf(source);
    const std::string info = "[Trash Info]\nPath=" + EncodePath(originalPath) + "\nDeletionDate=" + LocalDeletionDate() + "\n";

    for (unsigned attempt = 1; attempt <= kMaxTrashNameAttempts; ++attempt) {
        const std::string candidate = CandidateName(name, attempt);
        const std::string infoPath = Join(infoFolder, candidate + ".trashinfo");
        // The info file reserves the name; O_EXCL makes the reservation atomic.
        int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return XLinuxErrnoToError(errno);
        }
        const std::string target = Join(filesFolder, candidate);
        struct stat st;
        if (::lstat(target.c_str(), &st) == 0) {
            // An entry left without its info file: keep it and take the next name.
            ::close(fd);
            ::unlink(infoPath.c_str());
            continue;
        }
        int error = WriteAll(fd, info);
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0) {
            if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
                error = errno;
                if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
                    error = ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
            }
        }
        if (error != 0) {
            ::unlink(infoPath.c_str());
            return XLinuxErrnoToError(error);
        }
        if (outName)
            *outName = candidate;
        return VE_OK;
    }
    return XLinuxErrnoToError(EEXIST);
}

VError XLinuxTrash::MoveToTrash(const std::string& path)
{
    std::string item = WithoutTrailingSlash(path);
    if (item.empty())
        return XLinuxErrnoToError(ENOENT);
    // The parent is resolved (not the item: a link goes to the trash as a link) so that the top
    // directory and the recorded path name the real place.
    char resolved[PATH_MAX];
    const std::string parent = ParentOf(item);
    if (!::realpath(parent.c_str(), resolved))
        return XLinuxErrnoToError(errno);
    const std::string name = LastNameOf(item);
    if (name == "." || name == ".." || name == "/" || name.empty())
        return XLinuxErrnoToError(EINVAL);
    item = Join(resolved, name);

    struct stat itemStat;
    if (::lstat(item.c_str(), &itemStat) != 0)
        return XLinuxErrnoToError(errno);

    dev_t homeDevice = 0;
    const std::string homeTrash = HomeTrashPath();
    if (!homeTrash.empty() && DeviceOfNearestAncestor(homeTrash, &homeDevice) && homeDevice == itemStat.st_dev) {
        if (int error = MakeFolders(homeTrash))
            return XLinuxErrnoToError(error);
        return MoveInto(item, homeTrash, item, nullptr);
    }

    std::string topDirectory;
    if (VError error = FindTopDirectory(item, &topDirectory))
        return error;
    if (topDirectory == item)
        return XLinuxErrnoToError(EBUSY); // a mount point cannot be renamed into its own volume
    std::string trash;
    if (VError error = PrepareVolumeTrash(topDirectory, ::geteuid(), &trash))
        return error;
    // Paths in a volume trash are relative to the top directory, so that the volume can be
    // mounted elsewhere.
    const std::string relative = topDirectory == "/" ? item.substr(1) : item.substr(topDirectory.size() + 1);
    return MoveInto(item, trash, relative, nullptr);
}

} // namespace nuvo
