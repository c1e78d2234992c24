#include <gtest/gtest.h>

#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFilePath.h"

namespace nuvo {
namespace {

VFilePath Path(const char* text)
{
    return VFilePath(VString(text), FilePathStyle::Posix);
}

std::string Text(const VFilePath& path)
{
    return to_string(path.GetPath());
}

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
    struct Row { const char* text; const char* stored; Kind kind; };
    const Row rows[] = {
        {"", "", Kind::Invalid},
        {"rel/a", "rel/a", Kind::Invalid},
        {"/", "/", Kind::Folder},
        {"//", "/", Kind::Folder},
        {"/a", "/a", Kind::File},
        {"//a///b//", "/a/b/", Kind::Folder},
        {"/a/./b", "/a/b", Kind::File},
        {"/a/.", "/a/", Kind::Folder},
        {"/a/b/../c", "/a/c", Kind::File},
        {"/a/b/..", "/a/", Kind::Folder},
        {"/a/..", "/", Kind::Folder},
        {"/..", "/..", Kind::Invalid},
        {"/a/../../b", "/a/../../b", Kind::Invalid},
        {"/a/...", "/a/...", Kind::File},
        {"/a/..b/.c", "/a/..b/.c", Kind::File},
        {"/x/caf\xC3\xA9.txt", "/x/caf\xC3\xA9.txt", Kind::File},
    };
    for (const Row& row : rows) {
        for (FilePathStyle style : {FilePathStyle::Native, FilePathStyle::Posix}) {
            SCOPED_TRACE(std::string("text '") + row.text + "' style " + std::to_string(int(style)));
            VFilePath path(VString(row.text), style);
            EXPECT_EQ(Text(path), row.stored);
            EXPECT_EQ(KindOf(path), row.kind);
            VString posix("junk");
            path.GetPosixPath(posix);
            EXPECT_EQ(to_string(posix), row.kind == Kind::Invalid ? "" : row.stored);
        }
    }
    const UniChar withNul[] = {u'/', u'a', 0, u'b'};
    VFilePath nul(VString(withNul, 4));
    EXPECT_EQ(KindOf(nul), Kind::Invalid);
    EXPECT_EQ(nul.GetPath().GetLength(), 4);
}

TEST(VFilePathTest, NamesAndExtensions)
{
    // name|extension|file name with and without extension|folder name with and without extension
    struct Row { const char* path; const char* names; };
    const Row rows[] = {
        {"/", "|||||"},
        {"/a/b/", "b||||b|b"},
        {"/Apps/Client.app/", "Client.app|app|||Client.app|Client"},
        {"/a.b/c", "c||c|c||"},
        {"/a/b.", "b.||b.|b||"},
        {"/a/archive.tar.gz", "archive.tar.gz|gz|archive.tar.gz|archive.tar||"},
        {"/a/.profile", ".profile|profile|.profile|||"},
        // Not valid: the name is still read off the text, the kind-specific names are empty.
        {"docs/readme.md", "readme.md|md||||"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        VFilePath path = Path(row.path);
        VString name, extension, file, fileBare, folder, folderBare;
        path.GetName(name);
        path.GetExtension(extension);
        path.GetFileName(file, true);
        path.GetFileName(fileBare, false);
        path.GetFolderName(folder, true);
        path.GetFolderName(folderBare, false);
        std::string names = to_string(name);
        for (const VString* text : {&extension, &file, &fileBare, &folder, &folderBare})
            names.append("|").append(to_string(*text));
        EXPECT_EQ(names, row.names);
    }

    struct Match { const char* path; const char* extension; bool diacritical; bool matches; };
    const Match matches[] = {
        {"/a/b.txt", ".txt", false, true},  {"/a/b.TXT", "txt", false, true}, {"/a/b.TXT", "txt", true, false},
        {"/a/b.tar.gz", "tar.gz", false, false}, {"/a/x.app/", "app", false, true}, {"/a/b", "", false, true},
        {"/a/b.txt", "", false, false},     {"a/b.txt", "txt", false, false},
    };
    for (const Match& row : matches) {
        SCOPED_TRACE(std::string(row.path) + " ~ " + row.extension);
        EXPECT_EQ(Path(row.path).MatchExtension(VString(row.extension), row.diacritical), row.matches);
    }
}

TEST(VFilePathTest, ChildrenIgnoreCaseAndAccents)
{
    struct Row { const char* child; const char* parent; bool isChild; bool isSameOrChild; };
    const Row rows[] = {
        {"/a/b/c/", "/a/", true, true},
        {"/A/b", "/a/", true, true},
        {"/\xC3\xA9t\xC3\xA9/x", "/ete/", true, true},
        {"/A/", "/a/", false, true},
        {"/x", "/", true, true},
        {"/", "/", false, true},
        {"/a/b", "/a", false, false},       // the parent is a file path
        {"/ab/c", "/a/", false, false},
        {"/a-b/c", "/a/", false, false},    // punctuation is not ignored
        {"/a/", "/a/b/", false, false},
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
    // parent nullptr: there is none, and ToParent leaves the path empty and not valid.
    struct Row { const char* path; const char* parent; const char* folder; int32_t depth; };
    const Row rows[] = {
        {"/", nullptr, "/", 0},
        {"/a", "/", "/", 1},
        {"/a/", "/", "/a/", 1},
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
        EXPECT_EQ(Text(parent), row.parent ? row.parent : "");
        EXPECT_EQ(Text(edited), row.parent ? row.parent : "");
        EXPECT_EQ(KindOf(edited), row.parent ? Kind::Folder : Kind::Invalid);

        VFilePath folder;
        EXPECT_TRUE(path.GetFolder(folder));
        EXPECT_EQ(Text(folder), row.folder);
        edited = path;
        EXPECT_EQ(Text(edited.ToFolder()), row.folder);
        EXPECT_EQ(Text(path), row.path);
    }
}

TEST(VFilePathTest, EditingLeavesInvalidPathsAlone)
{
    VFilePath path = Path("rel/x.txt");
    path.ToParent().ToFolder().ToSubFile(VString("y")).ToSubFolder(VString("z"));
    EXPECT_FALSE(path.SetName(VString("n")));
    EXPECT_FALSE(path.SetExtension(VString("md")));
    EXPECT_EQ(Text(path), "rel/x.txt");
    EXPECT_FALSE(path.IsValid());
    EXPECT_EQ(path.GetDepth(), 0);
    EXPECT_FALSE(path.HasParent());
    VFilePath out = Path("/junk/");
    EXPECT_FALSE(path.GetParent(out));
    EXPECT_TRUE(out.IsEmpty());
    out = Path("/junk/");
    EXPECT_FALSE(path.GetFolder(out));
    EXPECT_TRUE(out.IsEmpty());
    path.Clear();
    EXPECT_TRUE(path.IsEmpty());
}

TEST(VFilePathTest, SubItemsAndRelativePaths)
{
    // folder: ToSubFolder, else ToSubFile.
    struct Sub { const char* path; bool folder; const char* name; const char* result; Kind kind; };
    const Sub subs[] = {
        {"/a/", true, "b", "/a/b/", Kind::Folder},
        {"/a/b/", true, "..", "/a/", Kind::Folder},
        {"/a/", false, "../../x", "/a/../../x", Kind::Invalid},
        // On a file path both do nothing.
        {"/a/f", true, "b", "/a/f", Kind::File},
        {"/a/f", false, "b", "/a/f", Kind::File},
    };
    for (const Sub& row : subs) {
        SCOPED_TRACE(std::string(row.path) + " + " + row.name);
        VFilePath path = Path(row.path);
        if (row.folder)
            path.ToSubFolder(VString(row.name));
        else
            path.ToSubFile(VString(row.name));
        EXPECT_EQ(Text(path), row.result);
        EXPECT_EQ(KindOf(path), row.kind);
    }

    using S = FilePathStyle;
    struct Relative { const char* base; const char* relative; S style; bool relativeOnly; const char* result;
                      Kind kind; };
    const Relative relatives[] = {
        {"/a/", "b/c", S::Native, false, "/a/b/c", Kind::File},
        {"/a/", "b/", S::Posix, true, "/a/b/", Kind::Folder},
        {"/a/", "./c", S::Posix, false, "/a/c", Kind::File},
        {"/a/b/", "../../", S::Posix, true, "/", Kind::Folder},
        {"/a/", "/x/y", S::Posix, false, "/x/y", Kind::File},
        {"/a/", "/x/y", S::Posix, true, "/a/x/y", Kind::File},
        {"/a/", "/x", S::Native, false, "/a/x", Kind::File},
        {"/a/", "../../x", S::Posix, false, "/a/../../x", Kind::Invalid},
        {"/a/f.txt", "x", S::Posix, true, "", Kind::Invalid},
        {"rel/", "x", S::Posix, true, "", Kind::Invalid},
        {"rel/", "x", S::Posix, false, "rel/x", Kind::Invalid},
        {"rel/", "/x", S::Posix, false, "/x", Kind::File},
        {"", "/x/", S::Native, false, "/x/", Kind::Folder},
    };
    for (const Relative& row : relatives) {
        SCOPED_TRACE(std::string(row.base) + " + " + row.relative + " style " + std::to_string(int(row.style))
                     + (row.relativeOnly ? " relative only" : ""));
        VFilePath path(Path(row.base), VString(row.relative), row.style, row.relativeOnly);
        EXPECT_EQ(Text(path), row.result);
        EXPECT_EQ(KindOf(path), row.kind);
    }
}

TEST(VFilePathTest, RelativeTextsBetweenPaths)
{
    struct Row { const char* path; const char* base; bool ok; const char* relative; };
    const Row rows[] = {
        {"/a/b/c.txt", "/a/", true, "b/c.txt"},
        {"/a/x", "/a/b/", true, "../x"},
        {"/a/", "/a/b/c/", true, "../../"},
        {"/a/", "/a/", true, ""},
        {"/A/b", "/a/", true, "b"},
        {"/a/b", "/a/f", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " from " + row.base);
        VString out("junk");
        EXPECT_EQ(Path(row.path).GetRelativePosixPath(Path(row.base), out), row.ok);
        EXPECT_EQ(to_string(out), row.relative);
        if (row.ok) {
            VFilePath back(Path(row.base), out, FilePathStyle::Posix, true);
            EXPECT_TRUE(back.GetPath().EqualToString(Path(row.path).GetPath(), false));
        }
    }
}

enum class Op { SetName, SetFileName, SetFolderName, SetExtension, SetFileExtension, SetFolderExtension };

TEST(VFilePathTest, RenamingTheLastComponent)
{
    // A bad name records 'nuvo' 614; a path of the wrong kind is no error.
    struct Row { const char* path; Op op; const char* arg; bool withExtension; bool changed; const char* result;
                 VError error = VE_OK; };
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
        {"/a/", Op::SetFileName, "g", true, false, "/a/"},
        {"/a/f.txt", Op::SetExtension, ".md", true, true, "/a/f.md"},
        {"/a/f.", Op::SetExtension, "txt", true, true, "/a/f.txt"},
        {"/a/t.tar.gz", Op::SetExtension, "bz2", true, true, "/a/t.tar.bz2"},
        {"/a/x.app/", Op::SetExtension, "", true, true, "/a/x/"},
        {"/a/x/", Op::SetFolderExtension, "bundle", true, true, "/a/x.bundle/"},
        {"/a/x/", Op::SetFileExtension, "txt", true, false, "/a/x/"},
        {"/a/f", Op::SetFolderExtension, "app", true, false, "/a/f"},
        {"/a/b.txt", Op::SetName, "x/y", true, false, "/a/b.txt", VE_FILE_BAD_NAME},
        {"/a/b.txt", Op::SetName, "", true, false, "/a/b.txt", VE_FILE_BAD_NAME},
        {"/a/b.txt", Op::SetName, "..", true, false, "/a/b.txt", VE_FILE_BAD_NAME},
        {"/a/b/", Op::SetFolderName, "c/d", false, false, "/a/b/", VE_FILE_BAD_NAME},
        {"/a/b.txt", Op::SetFileName, "/c", true, false, "/a/b.txt", VE_FILE_BAD_NAME},
        {"/a/b.txt", Op::SetExtension, "x/y", true, false, "/a/b.txt", VE_FILE_BAD_NAME},
        {"/a/.profile", Op::SetExtension, "", true, false, "/a/.profile", VE_FILE_BAD_NAME},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " op " + std::to_string(int(row.op)) + " '" + row.arg + "'");
        VFilePath path = Path(row.path);
        VString arg(row.arg);
        StErrorContextInstaller errors;
        bool changed = false;
        switch (row.op) {
        case Op::SetName: changed = path.SetName(arg); break;
        case Op::SetFileName: changed = path.SetFileName(arg, row.withExtension); break;
        case Op::SetFolderName: changed = path.SetFolderName(arg, row.withExtension); break;
        case Op::SetExtension: changed = path.SetExtension(arg); break;
        case Op::SetFileExtension: changed = path.SetFileExtension(arg); break;
        case Op::SetFolderExtension: changed = path.SetFolderExtension(arg); break;
        }
        EXPECT_EQ(changed, row.changed);
        EXPECT_EQ(errors.GetLastError(), row.error);
        EXPECT_EQ(Text(path), row.result);
        EXPECT_TRUE(path.IsValid());
    }
}

} // namespace
} // namespace nuvo
