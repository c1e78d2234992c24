#pragma once
// Linux platform layer: copy of a whole folder tree in the order of `cp -a` (data, links, hard
// links, special files, modes, times, owner when root, extended attributes).

#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include "kernel/base/VTypes.h"
#include "kernel/platform/XLinuxAttributeCopier.h"
#include "kernel/platform/XLinuxDataCopier.h"

namespace nuvo {

// Copies one folder tree to a new destination. The destination root is made with mkdir, so an
// existing destination fails with EEXIST and is left alone. Every folder is created owner-only
// and writable, filled, then given its times, owner (root only), extended attributes and, last,
// its final mode, so read-only source folders copy. Symbolic links are copied as links and never
// followed (except the source root itself); hard links within the tree stay hard links. A failed
// copy removes the destination root it created and everything below it, read-only folders
// included, and returns the native POSIX error of the first failure; so does a destination that
// lies inside the source (EINVAL). Owner, then extended attributes (ACLs and file capabilities,
// which a change of owner would clear), then mode, as `cp -a` does. Memory use is
// bounded: one data buffer, one open folder pair per tree level, and one map entry per
// multiply-linked file. Not thread-safe: one object per copy.
class XLinuxTreeCopy {
public:
    XLinuxTreeCopy();
    ~XLinuxTreeCopy();
    XLinuxTreeCopy(const XLinuxTreeCopy&) = delete;
    XLinuxTreeCopy& operator=(const XLinuxTreeCopy&) = delete;

    // Copies the folder at source to destination (trailing '/' ignored in both).
    [[nodiscard]] VError Copy(const std::string& source, const std::string& destination);

    // After a failed Copy: the full source path of the entry that failed (without a trailing
    // '/'; the source root itself when the copy could not start), and whether it is a folder.
    const std::string& GetFailedSource() const { return fFailed; }
    bool FailedOnFolder() const { return fFailedOnFolder; }
    // The failure says that this kind of copy cannot be made here at all (the kernel or the
    // file system lacks an operation), not that the data could not be copied.
    [[nodiscard]] static bool IsUnsupported(VError error);

private:
    // One folder being copied: its source listing, its destination, its source attributes.
    struct Level {
        DIR* source = nullptr;
        int destination = -1;
        struct stat sourceStat {};
        size_t relativeLength = 0; // fRelative's length before this folder's name was added
    };
    struct InodeKey {
        dev_t device;
        ino_t inode;
        bool operator==(const InodeKey&) const = default;
    };
    struct InodeKeyHash {
        size_t operator()(const InodeKey& key) const { return std::hash<ino_t>()(key.inode) ^ (std::hash<dev_t>()(key.device) << 1); }
    };

    VError Walk();
    VError CopyEntry(const char* name);
    VError CopyFile(int srcFolder, int dstFolder, const char* name, const struct stat& st);
    VError CopyLink(int srcFolder, int dstFolder, const char* name, const struct stat& st);
    VError CopySpecial(int dstFolder, const char* name, const struct stat& st);
    VError FinishFolder(Level& level);
    void CloseLevels();
    void NoteFailure(const char* name, bool isFolder);

    std::vector<Level> fLevels;
    std::string fRelative;          // path of the current folder below the roots, ending with '/'
    std::string fSource;            // the source root, without a trailing '/'
    std::string fFailed;
    bool fFailedOnFolder = false;
    bool fEntryIsFolder = false;    // the kind of the entry CopyEntry works on
    int fDstRoot = -1;              // the destination root, for linkat of hard links
    dev_t fDstDevice = 0;
    ino_t fDstRootInode = 0;
    bool fIsRoot = false;           // running as root: owners are copied too
    XLinuxDataCopier fData;
    std::unordered_map<InodeKey, std::string, InodeKeyHash> fHardLinks; // first copy's relative path
    XLinuxAttributeCopier fAttributes;
};

} // namespace nuvo
