#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/files/FilePathStyle.h"
#include "kernel/files/IFolder.h"
#include "kernel/files/VFilePath.h"

namespace nuvo {

class IFile;
class VFileSystem;
class XLinuxTreeCopy;
class VTime;

// A handle on one folder, named by a folder path; it keeps nothing open, every operation goes to
// the platform. A platform failure pushes a VFileError for this folder (the native error pushed
// first as its cause) and returns the record's toolkit code, the operation's 'nuvo' code when
// the native code has no better match (see VFileError::ThrowNative). Reference counted (created
// with a count of 1, deleted by the last Release); immutable after construction, so it may be
// used from any task.
class VFolder : public VObject, public IFolder {
public:
    // Sandboxed file systems do not exist in this program: fileSystem is kept as given (null)
    // and never retained.
    explicit VFolder(const VFilePath& path, VFileSystem* fileSystem = nullptr);
    // A full path text in style; a text without the final '/' names a file, not a folder.
    VFolder(const VString& text, FilePathStyle style);
    // The sub-folder name of parent (name may be a relative path in style).
    VFolder(const VFolder& parent, const VString& name, FilePathStyle style = FilePathStyle::Native);

    // The path is a folder path and stat (following links) reports a folder.
    bool Exists() const override;
    // mkdir with mode 0755; 0 at once when the folder exists. Failure: 'nuvo' 652.
    VError Create() const;
    // Creates the missing parents first, outermost first, then this folder; with
    // makeWritableByAll each folder created also gets mode 0777. 0 when the folder exists.
    VError CreateRecursive(bool makeWritableByAll = false) const;
    // chmod 0777. Failure: 'nuvo' 655.
    VError MakeWritableByAll() const;
    // Removes an empty folder; a folder with entries (invisible ones and special files count)
    // only with removeContent, walking the tree by open folder descriptors (a folder swapped for
    // a link meanwhile is never entered; no depth limit). Not empty without removeContent:
    // 'nuvo' 651. A path naming a link to a folder removes the link only. Platform failures:
    // 'nuvo' 653, for the entry that failed.
    VError Delete(bool removeContent) const;
    // Removes the folder and everything in it whatever the permissions and lock flags (a flag
    // the process may not clear fails); links are removed, never followed; mounts below it are
    // not entered and fail the delete. Failure: 'nuvo' 653.
    VError DeleteForced() const;
    // With doIt, removes every sub-folder (its contents first) then every file, link and special
    // file, invisible ones included, stopping at the first failure; without it, does nothing. A
    // path naming a link fails with 'nuvo' 653 (ENOTDIR) and leaves the link's target alone.
    VError DeleteContents(bool doIt) const;
    // No entry at all, invisible ones and special files included; false for a folder that cannot
    // be listed.
    bool IsEmpty() const;
    // Moves the folder to the Trash of its volume; 0 when the folder does not exist. Failure:
    // 'nuvo' 661.
    VError MoveToTrash() const;
    // Gives the folder a new last name, failing when that name exists (exclusive rename). On
    // success *outFolder (when given) receives a new VFolder for the new path; on failure null,
    // and the pushed error (fallback 'nuvo' 657) carries "newname".
    VError Rename(const VString& newName, VFolder** outFolder = nullptr) const;
    // Copies this folder as destParent/name. A destParent or destParent/name that is this
    // folder or lies inside it, by its text or on disk through links: 'nuvo' 660 with
    // "destination" (the folder that failed the check), nothing touched. With
    // FileCopyOptions::kReplaceExisting an existing destination is deleted first (a link is
    // removed as a link) and the tree is copied in one operation (modes, times, links and hard
    // links kept); only when that kind of copy cannot be made here at all does it go on with
    // CopyContentsTo. A failure on an entry is reported for that entry (file: 'nuvo' 605,
    // folder: 660, with "destination" and "options") and leaves nothing of the copy behind.
    // Without the option: CopyContentsTo.
    // *outFolder (when given) receives the destination folder, also after a failure (null
    // after a 660).
    VError CopyTo(const VFolder& destParent, const VString& name, VFolder** outFolder = nullptr, unsigned options = 0) const;
    VError CopyTo(const VFolder& destParent, VFolder** outFolder = nullptr, unsigned options = 0) const;
    // Copies the entries item by item into dest (created when missing; the same 660 check as
    // CopyTo): sub-folders with CopyTo, then files with VFile::CopyTo. Stops at the first
    // failure unless FileCopyOptions::kKeepGoing; the first failure is the result, and the
    // entries this copy made (dest itself when it made it) are removed again. A folder that
    // cannot be listed fails the copy ('nuvo' 660). FileCopyOptions::kSkipInvisible leaves out
    // names beginning with '.'.
    VError CopyContentsTo(const VFolder& dest, unsigned options = 0) const;

    // Writes back every dirty buffer of the file system holding this folder (syncfs), so that a
    // tree copied into it is durable before it is renamed into place. Failure: 'nuvo' 1 with
    // the native cause.
    VError FlushFileSystem() const;
    // Makes the folder's own entries durable (fsync of the folder): renames and creations in
    // it survive a power cut. Failure: 'nuvo' 1 with the native cause.
    VError Flush() const;

    // A new VFolder for the parent (the caller releases it); null for "/".
    VFolder* RetainParentFolder(bool sandboxed = false) const override;
    // The process's current folder; null (nothing pushed) when it cannot be found, for example
    // after it was removed.
    static VFolder* RetainCurrentFolder();
    VFilePath GetPath() const override { return fPath; }
    const VFilePath& GetPathRef() const { return fPath; }
    void GetPlatformPath(VString& out, FilePathStyle style = FilePathStyle::Posix) const;
    VFileSystem* GetFileSystem() const { return fFileSystem; }
    // Any pointer may be null. Failure: 'nuvo' 654.
    VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const;
    VError Iterate(std::function<bool(IFileAttributeAccessor*)>&& function, unsigned options) const override;
    // The files and sub-folders, invisible ones included (either vector may be null).
    VError GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders) const;

    // The twelve mode bits (permissions, set-id, sticky). Failures: 'nuvo' 654 / 655.
    VError MAC_GetPermissions(uint16_t* outMode) const;
    VError MAC_SetPermissions(uint16_t mode) const;

    // The POSIX path as UTF-8 bytes, ending with '/'.
    const std::string& GetPosixPathBytes() const { return fPosixPath; }

    void DebugDump(VString& out) const override;

protected:
    ~VFolder() override = default;

private:
    VError _Wrap(VError platformResult, VError fallback) const;
    VError _DeleteTree(unsigned platformOptions) const;
    VError _ThrowTreeCopyError(const XLinuxTreeCopy& tree, VError platform, const VFolder& dest, unsigned options) const;
    VError _ThrowDestinationInside(const VFolder& destination) const;

    std::string fPosixPath;
    VFilePath fPath;
    VFileSystem* fFileSystem;
};

} // namespace nuvo
