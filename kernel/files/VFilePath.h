#pragma once

#include <string>

#include "kernel/base/VObject.h"
#include "kernel/files/FilePathStyle.h"
#include "kernel/text/VString.h"

namespace nuvo {

// A full path to a file or a folder in the native style, plus a validity flag. On Linux the
// native style is the clean POSIX form: '/' separates the components, a full path begins with
// '/', a folder path ends with '/' and a file path never does. Building a path cleans it up
// lexically (repeated '/' collapsed, "." dropped, ".." removes the component before it); a text
// that is empty, holds a NUL, is relative or climbs above the root is kept as given but marked
// not valid. A path that is not valid answers false to every test and is left alone by the
// editing operations.
//
// Pure string work: nothing here touches the disk. Names are compared without case or
// diacritic sensitivity, as the rest of the toolkit does. A value type; not thread-safe.
class VFilePath : public VObject {
public:
    static constexpr UniChar kSeparator = u'/';

    VFilePath() = default;
    VFilePath(const VFilePath& other) = default;
    VFilePath& operator=(const VFilePath& other) = default;
    // The bool is kept for callers of the wider toolkit and has no effect.
    explicit VFilePath(const VString& text, FilePathStyle style = FilePathStyle::Native, bool = false);
    VFilePath(const VFilePath& base, const VString& relative, FilePathStyle style = FilePathStyle::Native,
              bool relativeOnly = false);
    ~VFilePath() override = default;

    VFilePath& FromFullPath(const VString& text, FilePathStyle style = FilePathStyle::Native, bool = false);
    // Native: base text followed by relative. Posix with relativeOnly: base must be a valid
    // folder path and relative is appended to it. Posix otherwise: a relative text that begins
    // with '/' replaces base, any other is appended to it.
    VFilePath& FromRelativePath(const VFilePath& base, const VString& relative,
                                FilePathStyle style = FilePathStyle::Native, bool relativeOnly = false);
    VFilePath& FromFilePath(const VFilePath& other) { return *this = other; }
    void Clear();

    bool IsValid() const { return fIsValid; }
    bool IsEmpty() const { return fPath.IsEmpty(); }
    bool IsFolder() const;
    bool IsFile() const;

    const VString& GetPath() const { return fPath; }
    void GetPath(VString& out) const { out.FromString(fPath); }
    // Empty when the path is not valid.
    void GetPosixPath(VString& out) const;
    // Like GetPosixPath, for the given style.
    void GetPath(VString& out, FilePathStyle style) const;

    // The one conversion between the disk's name bytes and path text: bytes that are not UTF-8
    // travel as lone surrogates (see FileNameText.h), so a name read from disk reaches the system
    // again as exactly the same bytes. GetPosixBytes is empty for a path that is not valid.
    static VFilePath FromPosixBytes(const std::string& bytes);
    std::string GetPosixBytes() const;

    // The last component ("/" has an empty name); a text without '/' is returned whole.
    void GetName(VString& out) const;
    // The text after the last '.' of the last component; empty when there is no '.' or it ends
    // the component.
    void GetExtension(VString& out) const;
    // The last component of a file path / folder path, cut before its last '.' when
    // withExtension is false; empty for a path of the other kind or one that is not valid.
    void GetFileName(VString& out, bool withExtension = true) const;
    void GetFolderName(VString& out, bool withExtension = true) const;
    // True when extension (a leading '.' is allowed) equals this path's extension, without case
    // or diacritic sensitivity unless diacritical is true.
    bool MatchExtension(const VString& extension, bool diacritical = false) const;

    // parent must be a valid folder path; comparisons ignore case and diacritics.
    bool IsChildOf(const VFilePath& parent) const;
    bool IsSameOrChildOf(const VFilePath& parent) const;

    // The folder that holds this file or folder; false (and out cleared) when there is none.
    bool GetParent(VFilePath& out) const;
    // A file's folder, or the folder itself.
    bool GetFolder(VFilePath& out) const;
    bool HasParent() const;
    // Number of components: 0 for "/", 2 for "/a/b.txt".
    int32_t GetDepth() const;
    // This path written relative to the folder base ("../" to climb out of it); false when
    // either path is not valid or base is not a folder path.
    bool GetRelativePath(const VFilePath& base, VString& out) const;
    bool GetRelativePosixPath(const VFilePath& base, VString& out) const;

    // Editing. Each returns the path itself (or whether it changed) and leaves a path that is
    // not valid alone. A name or extension holding '/' or NUL, or a name that would be empty,
    // "." or "..", records 'nuvo' 614 and changes nothing.
    VFilePath& ToSubFolder(const VString& name);   // folder paths only
    VFilePath& ToSubFile(const VString& name);     // folder paths only
    VFilePath& ToFolder();
    VFilePath& ToParent();
    bool SetFolderName(const VString& name, bool withExtension = true);
    bool SetFileName(const VString& name, bool withExtension = true);
    bool SetName(const VString& name);
    // Replace, add or (with an empty text) remove the extension of the last component.
    bool SetExtension(const VString& extension);
    bool SetFileExtension(const VString& extension);
    bool SetFolderExtension(const VString& extension);

    // Same text (code units) and same validity.
    bool operator==(const VFilePath& other) const;

    void DebugDump(VString& out) const override;

private:
    void _SetText(const VString& text);
    bool _ReplaceLastComponent(const VString& component);
    bool _SetLastName(const VString& name, bool withExtension);

    VString fPath;
    bool fIsValid = false;
};

} // namespace nuvo
