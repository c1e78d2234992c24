#pragma once
// Linux platform layer: moving files and folders to the desktop Trash in the layout of the
// freedesktop.org Trash standard, version 1.0 (home trash, per-volume trash, .trashinfo files).

#include <string>
#include <sys/types.h>

#include "kernel/base/VTypes.h"

namespace nuvo {

// The Trash of the item's device: the home trash when the item is on the device of
// $XDG_DATA_HOME/Trash (default ~/.local/share/Trash), else the trash of the item's mount point
// ($topdir/.Trash/$uid when $topdir/.Trash is a real sticky folder, else $topdir/.Trash-$uid).
// Items are renamed, never copied: an item that cannot be renamed into a trash stays where it is
// and its reserved info file is removed. Functions return 0 or a native POSIX error and push
// nothing on an error context. Thread-safe as far as the file system is (names are reserved
// with O_EXCL).
class XLinuxTrash {
public:
    // Moves the file, link or folder at path (trailing '/' ignored) to its Trash.
    [[nodiscard]] static VError MoveToTrash(const std::string& path);

    // $XDG_DATA_HOME/Trash when XDG_DATA_HOME is an absolute path, else $HOME/.local/share/Trash
    // (the password database's home when HOME is unset). Empty when no home is known.
    static std::string HomeTrashPath();

    // The mount point of the file system holding absolutePath: the highest ancestor reached by
    // walking up while st_dev stays the device of absolutePath itself.
    [[nodiscard]] static VError FindTopDirectory(const std::string& absolutePath, std::string* outTopDirectory);

    // The trash of topDirectory for uid, created with mode 0700 when missing; a candidate that is
    // a link, not a folder or owned by someone else is not used.
    [[nodiscard]] static VError PrepareVolumeTrash(const std::string& topDirectory, uid_t uid, std::string* outTrash);

    // Moves item into trash (which gets files/ and info/, mode 0700, when missing), writing
    // info/NAME.trashinfo with Path=originalPath (percent-encoded) and the local deletion time.
    // outName (may be null) receives NAME.
    [[nodiscard]] static VError MoveInto(const std::string& item, const std::string& trash,
        const std::string& originalPath, std::string* outName);

    // Percent-encoding for Path=: every byte except A-Z a-z 0-9 - . _ ~ and '/' becomes %XX.
    static std::string EncodePath(const std::string& path);

    // The trash name for attempt n (1-based): name itself, then the number inserted before the
    // extension ("a.app" -> "a.2.app", "a" -> "a.2", ".hidden" -> ".hidden.2").
    static std::string CandidateName(const std::string& name, unsigned attempt);
};

} // namespace nuvo
