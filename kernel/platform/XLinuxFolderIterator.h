#pragma once
// Linux platform layer: listing one folder's entries (opendir/readdir) with the toolkit's
// iteration options: folders, files, invisible entries, link resolution.

#include <cstdint>
#include <dirent.h>
#include <string>
#include <time.h>

#include "kernel/base/VTypes.h"

namespace nuvo {

// Walks the entries of one folder. Option bits: 2 return folders; 4 return files (regular files
// and symbolic links); 8 also return entries whose name begins with '.'; 16 replace symbolic
// links by their resolved targets (unresolvable links are skipped); 32 with 4 also returns
// entries of other kinds (FIFOs, sockets, devices) as files, for deletion. Other bits are ignored.
// A folder that cannot be opened or read ends the walk with GetError() set: a listing that
// failed is never taken for an empty or complete one. Owns its directory stream; not
// thread-safe.
class XLinuxFolderIterator {
public:
    enum : unsigned {
        kFolders = 2,
        kFiles = 4,
        kInvisibles = 8,
        kResolveLinks = 16,
        kOtherKinds = 32,
    };

    XLinuxFolderIterator(const std::string& folderPath, unsigned options);
    ~XLinuxFolderIterator();
    XLinuxFolderIterator(const XLinuxFolderIterator&) = delete;
    XLinuxFolderIterator& operator=(const XLinuxFolderIterator&) = delete;

    // Moves to the next matching entry; false when none is left or the listing failed (the
    // stream is then closed).
    bool Next();
    // The native error that ended the walk early; 0 after a complete listing.
    VError GetError() const { return fError; }

    // The current entry: its full POSIX path (a folder's ends with '/'; with kResolveLinks, a
    // link's resolved target), its last name, whether it is a folder.
    const std::string& GetPath() const { return fPath; }
    const std::string& GetName() const { return fName; }
    bool IsFolder() const { return fIsFolder; }

    // Times of the current entry (following a link); see XLinuxFolder::GetTimes.
    [[nodiscard]] VError GetTimes(struct timespec* modified, struct timespec* created, struct timespec* accessed) const;
    // The same in milliseconds since 1970-01-01 UTC; any pointer may be null.
    [[nodiscard]] VError GetTimesMs(int64_t* modified, int64_t* created, int64_t* accessed) const;

private:
    bool Accept(const struct dirent& entry);

    DIR* fDir = nullptr;
    std::string fBase; // the folder's real path, ending with '/'
    unsigned fOptions = 0;
    std::string fPath;
    std::string fName;
    bool fIsFolder = false;
    VError fError = VE_OK;
};

} // namespace nuvo
