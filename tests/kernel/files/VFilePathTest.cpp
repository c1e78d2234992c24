#include <gtest/gtest.h>

#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFilePath.h"

namespace nuvo {
namespace {

std::string Utf8(const VString& text)
{
    return to_string(text);
}

VFilePath Path(const char* text)
{
    return VFilePath(VString(text), FilePathStyle::Posix);
}

// Kind of a path as the tests compare it.
enum class Kind { Invalid, File, Folder };

Kind KindOf(const VFilePath& path)
{
    EXPECT_FALSE(path.IsFile() && path.IsFolder());
    if (path.IsFolder())
        return Kind::Folder;
    if (path.IsFile())
        return Kind::File;
    EXPECT_FALSE(path.IsValid() && !path.IsEmpty()) << "a valid path is a file or a folder";
    return Kind::Invalid;
}

TEST(VFilePathTest, FullPathsAreCleanedAndValidated)
{
    struct Row {
        const char* text;
        const char* stored;
        Kind kind;
    };
    const Row rows[] = {
        {"", "", Kind::Invalid},
        {"rel/a", "rel/a", Kind::Invalid},
        {"a", "a", Kind::Invalid},
        {"./a", "./a", Kind::Invalid},
        {"/", "/", Kind::Folder},
        {"//", "/", Kind::Folder},
        {"/a", "/a", Kind::File},
        {"/a/", "/a/", Kind::Folder},
        {"/a//b", "/a/b", Kind::File},
        {"//a///b//", "/a/b/", Kind::Folder},
        {"/a/./b/", "/a/b/", Kind::Folder},
        {"/a/.", "/a/", Kind::Folder},
        {"/./", "/", Kind::Folder},
        {"/a/b/../c", "/a/c", Kind::File},
        {"/a/b/..", "/a/", Kind::Folder},
        {"/a/..", "/", Kind::Folder},
        {"/a/b/../../c/", "/c/", Kind::Folder},
        {"/..", "/..", Kind::Invalid},
        {"/../a", "/../a", Kind::Invalid},
        {"/a/../../b", "/a/../../b", Kind::Invalid},
        {"/a/...", "/a/...", Kind::File},
        {"/a/..b/.c", "/a/..b/.c", Kind::File},
        {"/x/caf\xC3\xA9.txt", "/x/caf\xC3\xA9.txt", Kind::File},
    };
    for (const Row& row : rows) {
        for (FilePathStyle style : {FilePathStyle::Native, FilePathStyle::Posix}) {
            SCOPED_TRACE(std::string("text '") + row.text + "' style " + std::to_string(int(style)));
            VFilePath path(VString(row.text), style);
            EXPECT_EQ(Utf8(path.GetPath()), row.stored);
            EXPECT_EQ(KindOf(path), row.kind);
            EXPECT_EQ(path.IsValid(), row.kind != Kind::Invalid);
            VString posix("junk");
            path.GetPosixPath(posix);
            EXPECT_EQ(Utf8(posix), row.kind == Kind::Invalid ? "" : row.stored);
        }
    }
}

TEST(VFilePathTest, TextWithNulIsNotValid)
{
    const UniChar units[] = {u'/', u'a', 0, u'b'};
    VFilePath path(VString(units, 4));
    EXPECT_FALSE(path.IsValid());
    EXPECT_FALSE(path.IsFile());
    EXPECT_EQ(path.GetPath().GetLength(), 4);
}

TEST(VFilePathTest, NamesAndExtensions)
{
    struct Row {
        const char* path;
        const char* name;
        const char* extension;
        const char* fileName;
        const char* fileNameNoExt;
        const char* folderName;
        const char* folderNameNoExt;
    };
    const Row rows[] = {
        {"/", "", "", "", "", "", ""},
        {"/a/b/", "b", "", "", "", "b", "b"},
        {"/x.app/", "x.app", "app", "", "", "x.app", "x"},
        {"/a.b/c", "c", "", "c", "c", "", ""},
        {"/a/b.", "b.", "", "b.", "b", "", ""},
        {"/a/archive.tar.gz", "archive.tar.gz", "gz", "archive.tar.gz", "archive.tar", "", ""},
        {"/a/.profile", ".profile", "profile", ".profile", "", "", ""},
        {"/Apps/Client.app/", "Client.app", "app", "", "", "Client.app", "Client"},
        // Not valid: the name is still read off the text, the kind-specific names are empty.
        {"rel", "rel", "", "", "", "", ""},
        {"docs/readme.md", "readme.md", "md", "", "", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        VFilePath path = Path(row.path);
        VString out("junk");
        path.GetName(out);
        EXPECT_EQ(Utf8(out), row.name);
        out = "junk";
        path.GetExtension(out);
        EXPECT_EQ(Utf8(out), row.extension);
        out = "junk";
        path.GetFileName(out, true);
        EXPECT_EQ(Utf8(out), row.fileName);
        out = "junk";
        path.GetFileName(out, false);
        EXPECT_EQ(Utf8(out), row.fileNameNoExt);
        out = "junk";
        path.GetFolderName(out, true);
        EXPECT_EQ(Utf8(out), row.folderName);
        out = "junk";
        path.GetFolderName(out, false);
        EXPECT_EQ(Utf8(out), row.folderNameNoExt);
    }
}

TEST(VFilePathTest, MatchExtension)
{
    struct Row {
        const char* path;
        const char* extension;
        bool diacritical;
        bool matches;
    };
    const Row rows[] = {
        {"/a/b.txt", "txt", false, true},
        {"/a/b.txt", ".txt", false, true},
        {"/a/b.TXT", "txt", false, true},
        {"/a/b.TXT", "txt", true, false},
        {"/a/b.txt", "tx", false, false},
        {"/a/b.tar.gz", "tar.gz", false, false},
        {"/a/x.app/", "app", false, true},
        {"/a/b", "", false, true},
        {"/a/b.txt", "", false, false},
        {"/a/b", "txt", false, false},
        {"a/b.txt", "txt", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " ~ " + row.extension);
        EXPECT_EQ(Path(row.path).MatchExtension(VString(row.extension), row.diacritical), row.matches);
    }
}

TEST(VFilePathTest, ChildrenIgnoreCaseAndAccents)
{
    struct Row {
        const char* child;
        const char* parent;
        bool isChild;
        bool isSameOrChild;
    };
    const Row rows[] = {
        {"/a/b", "/a/", true, true},
        {"/a/b/c/", "/a/", true, true},
        {"/A/b", "/a/", true, true},
        {"/a/B/", "/A/", true, true},
        {"/\xC3\xA9t\xC3\xA9/x", "/ete/", true, true},
        {"/a/", "/a/", false, true},
        {"/A/", "/a/", false, true},
        {"/x", "/", true, true},
        {"/", "/", false, true},
        {"/a/b", "/a", false, false},       // the parent is a file path
        {"/ab/c", "/a/", false, false},
        {"/a-b/c", "/a/", false, false},
        {"/a b/c", "/a/", false, false},
        {"/a/b", "/a b/", false, false},
        {"/a/", "/a/b/", false, false},
        {"/b/a/", "/a/", false, false},
        {"a/b", "a/", false, false},        // neither is valid
        {"rel/b", "/", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.child) + " under " + row.parent);
        EXPECT_EQ(Path(row.child).IsChildOf(Path(row.parent)), row.isChild);
        EXPECT_EQ(Path(row.child).IsSameOrChildOf(Path(row.parent)), row.isSameOrChild);
    }
}

TEST(VFilePathTest, ParentSteps)
{
    struct Row {
        const char* path;
        const char* parent;     // nullptr: no parent, the result is empty and not valid
        const char* folder;
        int32_t depth;
    };
    const Row rows[] = {
        {"/", nullptr, "/", 0},
        {"/a", "/", "/", 1},
        {"/a/", "/", "/a/", 1},
        {"/a/b.txt", "/a/", "/a/", 2},
        {"/a/b/c/", "/a/b/", "/a/b/c/", 3},
        {"/a/b/c", "/a/b/", "/a/b/", 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        VFilePath path = Path(row.path);
        EXPECT_EQ(path.GetDepth(), row.depth);
        EXPECT_EQ(path.HasParent(), row.parent != nullptr);

        VFilePath parent = Path("/junk/");
        EXPECT_EQ(path.GetParent(parent), row.parent != nullptr);
        VFilePath edited = path;
        edited.ToParent();
        if (row.parent) {
            EXPECT_EQ(Utf8(parent.GetPath()), row.parent);
            EXPECT_TRUE(parent.IsFolder());
            EXPECT_EQ(Utf8(edited.GetPath()), row.parent);
        } else {
            EXPECT_FALSE(parent.IsValid());
            EXPECT_TRUE(parent.IsEmpty());
            EXPECT_FALSE(edited.IsValid());
            EXPECT_TRUE(edited.IsEmpty());
        }

        VFilePath folder;
        EXPECT_TRUE(path.GetFolder(folder));
        EXPECT_EQ(Utf8(folder.GetPath()), row.folder);
        edited = path;
        EXPECT_EQ(Utf8(edited.ToFolder().GetPath()), row.folder);
        // The original is untouched by the queries.
        EXPECT_EQ(Utf8(path.GetPath()), row.path);
    }
}

TEST(VFilePathTest, EditingLeavesInvalidPathsAlone)
{
    VFilePath path = Path("rel/x.txt");
    path.ToParent().ToFolder().ToSubFile(VString("y")).ToSubFolder(VString("z"));
    EXPECT_FALSE(path.SetName(VString("n")));
    EXPECT_FALSE(path.SetExtension(VString("md")));
    EXPECT_EQ(Utf8(path.GetPath()), "rel/x.txt");
    EXPECT_FALSE(path.IsValid());
    EXPECT_EQ(path.GetDepth(), 0);
    EXPECT_FALSE(path.HasParent());
    VFilePath out = Path("/junk/");
    EXPECT_FALSE(path.GetParent(out));
    EXPECT_TRUE(out.IsEmpty());
    out = Path("/junk/");
    EXPECT_FALSE(path.GetFolder(out));
    EXPECT_TRUE(out.IsEmpty());
}

TEST(VFilePathTest, SubItems)
{
    struct Row {
        const char* path;
        bool folder;        // ToSubFolder, else ToSubFile
        const char* name;
        const char* result;
        Kind kind;
    };
    const Row rows[] = {
        {"/a/", true, "b", "/a/b/", Kind::Folder},
        {"/a/", false, "c.txt", "/a/c.txt", Kind::File},
        {"/", true, "usr", "/usr/", Kind::Folder},
        {"/a/", false, "Contents/Info.plist", "/a/Contents/Info.plist", Kind::File},
        {"/a/b/", true, "..", "/a/", Kind::Folder},
        {"/a/", false, "../../x", "/a/../../x", Kind::Invalid},
        // On a file path both do nothing.
        {"/a/f", true, "b", "/a/f", Kind::File},
        {"/a/f", false, "b", "/a/f", Kind::File},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " + " + row.name);
        VFilePath path = Path(row.path);
        if (row.folder)
            path.ToSubFolder(VString(row.name));
        else
            path.ToSubFile(VString(row.name));
        EXPECT_EQ(Utf8(path.GetPath()), row.result);
        EXPECT_EQ(KindOf(path), row.kind);
    }
}

TEST(VFilePathTest, RelativePaths)
{
    using S = FilePathStyle;
    struct Row {
        const char* base;
        const char* relative;
        FilePathStyle style;
        bool relativeOnly;
        const char* result;
        Kind kind;
    };
    const Row rows[] = {
        {"/a/", "b/c", S::Native, false, "/a/b/c", Kind::File},
        {"/a/", "b/", S::Posix, false, "/a/b/", Kind::Folder},
        {"/a/", "b/", S::Posix, true, "/a/b/", Kind::Folder},
        {"/a/", "./c", S::Posix, false, "/a/c", Kind::File},
        {"/a/b/", "../c", S::Posix, false, "/a/c", Kind::File},
        {"/a/b/", "../../", S::Posix, true, "/", Kind::Folder},
        {"/a/", "/x/y", S::Posix, false, "/x/y", Kind::File},
        {"/a/", "/x/y", S::Posix, true, "/a/x/y", Kind::File},
        {"/a/", "/x", S::Native, false, "/a/x", Kind::File},
        {"/a/", "../../x", S::Posix, false, "/a/../../x", Kind::Invalid},
        {"/a/", "", S::Posix, true, "/a/", Kind::Folder},
        {"/a/f.txt", "x", S::Posix, true, "", Kind::Invalid},
        {"rel/", "x", S::Posix, true, "", Kind::Invalid},
        {"rel/", "x", S::Posix, false, "rel/x", Kind::Invalid},
        {"rel/", "/x", S::Posix, false, "/x", Kind::File},
        {"", "/x/", S::Native, false, "/x/", Kind::Folder},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.base) + " + " + row.relative + " style " + std::to_string(int(row.style))
                     + (row.relativeOnly ? " relative only" : ""));
        VFilePath base = Path(row.base);
        VFilePath path(base, VString(row.relative), row.style, row.relativeOnly);
        EXPECT_EQ(Utf8(path.GetPath()), row.result);
        EXPECT_EQ(KindOf(path), row.kind);

        // The same through FromRelativePath on the base itself.
        base.FromRelativePath(base, VString(row.relative), row.style, row.relativeOnly);
        EXPECT_EQ(base, path);
    }
}

TEST(VFilePathTest, RelativeTextsBetweenPaths)
{
    struct Row {
        const char* path;
        const char* base;
        bool ok;
        const char* relative;
    };
    const Row rows[] = {
        {"/a/b/c.txt", "/a/", true, "b/c.txt"},
        {"/a/b/", "/a/", true, "b/"},
        {"/a/x", "/a/b/", true, "../x"},
        {"/a/", "/a/b/c/", true, "../../"},
        {"/a/", "/a/", true, ""},
        {"/x/y", "/", true, "x/y"},
        {"/A/b", "/a/", true, "b"},
        {"/a/b", "/a/f", false, ""},
        {"rel", "/a/", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " from " + row.base);
        VString out("junk");
        EXPECT_EQ(Path(row.path).GetRelativePath(Path(row.base), out), row.ok);
        EXPECT_EQ(Utf8(out), row.relative);
        out = "junk";
        EXPECT_EQ(Path(row.path).GetRelativePosixPath(Path(row.base), out), row.ok);
        EXPECT_EQ(Utf8(out), row.relative);
        if (row.ok) {
            // Going back: base + relative names the path again.
            VFilePath back(Path(row.base), out, FilePathStyle::Posix, true);
            EXPECT_TRUE(back.GetPath().EqualToString(Path(row.path).GetPath(), false));
        }
    }
}

enum class Op { SetName, SetFileName, SetFolderName, SetExtension, SetFileExtension, SetFolderExtension };

bool Apply(VFilePath& path, Op op, const VString& arg, bool withExtension)
{
    switch (op) {
    case Op::SetName: return path.SetName(arg);
    case Op::SetFileName: return path.SetFileName(arg, withExtension);
    case Op::SetFolderName: return path.SetFolderName(arg, withExtension);
    case Op::SetExtension: return path.SetExtension(arg);
    case Op::SetFileExtension: return path.SetFileExtension(arg);
    case Op::SetFolderExtension: return path.SetFolderExtension(arg);
    }
    return false;
}

TEST(VFilePathTest, RenamingTheLastComponent)
{
    struct Row {
        const char* path;
        Op op;
        const char* arg;
        bool withExtension;
        bool changed;
        const char* result;
    };
    const Row rows[] = {
        {"/a/b.txt", Op::SetName, "c.doc", true, true, "/a/c.doc"},
        {"/a/b/", Op::SetName, "c", true, true, "/a/c/"},
        {"/", Op::SetName, "x", true, false, "/"},
        {"/x.app/", Op::SetFolderName, "y", false, true, "/y.app/"},
        {"/x.app/", Op::SetFolderName, "y", true, true, "/y/"},
        {"/x.app/", Op::SetFolderName, "y.old", false, true, "/y.old.app/"},
        {"/p/x/", Op::SetFolderName, "y", false, true, "/p/y/"},
        {"/a/f.txt", Op::SetFolderName, "y", true, false, "/a/f.txt"},
        {"/a/f.txt", Op::SetFileName, "g", false, true, "/a/g.txt"},
        {"/a/f.txt", Op::SetFileName, "g", true, true, "/a/g"},
        {"/a/f", Op::SetFileName, "g", false, true, "/a/g"},
        {"/a/", Op::SetFileName, "g", true, false, "/a/"},
        {"/a/f.txt", Op::SetExtension, "md", true, true, "/a/f.md"},
        {"/a/f.txt", Op::SetExtension, ".md", true, true, "/a/f.md"},
        {"/a/f.txt", Op::SetExtension, "", true, true, "/a/f"},
        {"/a/f", Op::SetExtension, "md", true, true, "/a/f.md"},
        {"/a/f.", Op::SetExtension, "txt", true, true, "/a/f.txt"},
        {"/a/t.tar.gz", Op::SetExtension, "bz2", true, true, "/a/t.tar.bz2"},
        {"/a/x.app/", Op::SetExtension, "", true, true, "/a/x/"},
        {"/a/x/", Op::SetFolderExtension, "bundle", true, true, "/a/x.bundle/"},
        {"/a/x/", Op::SetFileExtension, "txt", true, false, "/a/x/"},
        {"/a/f", Op::SetFolderExtension, "app", true, false, "/a/f"},
        {"/a/f", Op::SetFileExtension, "txt", true, true, "/a/f.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " op " + std::to_string(int(row.op)) + " '" + row.arg + "'");
        VFilePath path = Path(row.path);
        StErrorContextInstaller errors;
        EXPECT_EQ(Apply(path, row.op, VString(row.arg), row.withExtension), row.changed);
        EXPECT_EQ(errors.GetLastError(), VE_OK) << "a path of the wrong kind is no error";
        EXPECT_EQ(Utf8(path.GetPath()), row.result);
        EXPECT_TRUE(path.IsValid());
    }
}

TEST(VFilePathTest, BadNamesChangeNothing)
{
    struct Row {
        const char* path;
        Op op;
        const char* arg;
    };
    const Row rows[] = {
        {"/a/b.txt", Op::SetName, "x/y"},
        {"/a/b/", Op::SetName, "x/"},
        {"/a/b.txt", Op::SetName, ""},
        {"/a/b.txt", Op::SetName, "."},
        {"/a/b.txt", Op::SetName, ".."},
        {"/a/b/", Op::SetFolderName, "c/d"},
        {"/a/b.txt", Op::SetFileName, "/c"},
        {"/a/b.txt", Op::SetExtension, "x/y"},
        {"/a/.profile", Op::SetExtension, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " op " + std::to_string(int(row.op)) + " '" + row.arg + "'");
        VFilePath path = Path(row.path);
        StErrorContextInstaller errors;
        EXPECT_FALSE(Apply(path, row.op, VString(row.arg), true));
        EXPECT_EQ(errors.GetLastError(), VE_FILE_BAD_NAME);
        EXPECT_EQ(Utf8(path.GetPath()), row.path);
        EXPECT_TRUE(path.IsValid());
    }
}

TEST(VFilePathTest, CopiesAndClear)
{
    VFilePath original = Path("/a/b/");
    VFilePath copy(original);
    copy.ToSubFile(VString("c"));
    EXPECT_EQ(Utf8(original.GetPath()), "/a/b/");
    EXPECT_EQ(Utf8(copy.GetPath()), "/a/b/c");

    VFilePath other;
    EXPECT_FALSE(other.IsValid());
    other.FromFilePath(copy);
    EXPECT_EQ(other, copy);
    EXPECT_FALSE(other == original);

    other.Clear();
    EXPECT_FALSE(other.IsValid());
    EXPECT_TRUE(other.IsEmpty());
    EXPECT_FALSE(other.IsFile());
    EXPECT_EQ(Utf8(copy.GetPath()), "/a/b/c");
}

} // namespace
} // namespace nuvo
