#include "kernel/files/VFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <regex>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/FileIteratorOptions.h"
#include "kernel/files/IFileAttributeAccessor.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFileIterator.h"
#include "kernel/files/VFolderIterator.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/platform/FolderTestSupport.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::test {
namespace {

using namespace FileIteratorOptions;

constexpr StPackedDictionaryKey kNewName("newname");

VString Text(const std::string& utf8)
{
    VString text;
    text.FromBlock(utf8.data(), utf8.size(), CharSet::UTF8);
    return text;
}

// A folder object for a POSIX folder path (a trailing '/' is added).
VRefPtr<VFolder> Folder(const std::string& posix)
{
    std::string text = posix.back() == '/' ? posix : posix + "/";
    return VRefPtr<VFolder>::Adopt(new VFolder(Text(text), FilePathStyle::Posix));
}

std::string PosixOf(const VFilePath& path)
{
    VString text;
    path.GetPosixPath(text);
    return to_string(text);
}

std::string BagString(const VErrorBase* error, const StPackedDictionaryKey& key)
{
    VString value;
    if (!error || !error->GetBag()->GetString(key, value))
        return "(none)";
    return to_string(value);
}

std::vector<VError> Codes(const StErrorContextInstaller& errors)
{
    std::vector<VError> codes;
    for (const auto& record : errors.GetContext()->GetErrorStack())
        codes.push_back(record->GetError());
    return codes;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// The temporary folder's real path: the paths the platform answers with.
struct Fixture {
    StTempFolder temp;
    std::string root = RealPath(temp.Path());
    StEnvVar home{"HOME", root + "/home"};
    StEnvVar dataHome{"XDG_DATA_HOME", std::nullopt};
    std::string operator/(const std::string& relative) const { return root + "/" + relative; }
};

TEST(VFolder, ExistsOnlyForFolderPathsNamingFolders)
{
    Fixture t;
    MakeFolder(t / "dir");
    WriteFile(t / "file", "");
    MakeLink("dir", t / "link");
    struct Row {
        const char* name;
        std::string text;
        bool expected;
    } rows[] = {
        {"folder", t / "dir/", true},
        {"link to a folder", t / "link/", true},
        {"folder named by a file path", t / "dir", false},
        {"regular file", t / "file/", false},
        {"missing", t / "none/", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(Text(row.text), FilePathStyle::Posix));
        EXPECT_EQ(folder->Exists(), row.expected);
    }
}

TEST(VFolder, CreateMakesOneFolderAndReportsPlatformFailures)
{
    Fixture t;
    const mode_t oldMask = ::umask(022);
    {
        StErrorContextInstaller errors;
        EXPECT_EQ(Folder(t / "new")->Create(), VE_OK);
        EXPECT_EQ(LinkStat(t / "new").st_mode & 07777, 0755u);
        EXPECT_EQ(Folder(t / "new")->Create(), VE_OK); // exists: nothing to do
        EXPECT_TRUE(errors.GetContext()->IsEmpty());
    }
    ::umask(oldMask);

    WriteFile(t / "taken", "");
    struct Row {
        const char* name;
        std::string path;
        VError expected;
        int cause;
    } rows[] = {
        {"a file has the name", t / "taken", VE_FOLDER_CANNOT_CREATE, EEXIST},
        {"the parent is missing", t / "no/such", VE_FILE_NOT_FOUND, ENOENT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StErrorContextInstaller errors;
        EXPECT_EQ(Folder(row.path)->Create(), row.expected);
        EXPECT_EQ(Codes(errors), (std::vector<VError>{MakePosixError(row.cause), row.expected}));
        const VErrorBase* last = errors.GetContext()->GetLast();
        EXPECT_EQ(BagString(last, FileErrorKeys::path), row.path + "/");
    }
}

TEST(VFolder, CreateRecursiveMakesEveryMissingAncestor)
{
    Fixture t;
    const mode_t oldMask = ::umask(022);
    EXPECT_EQ(Folder(t / "a/b/c")->CreateRecursive(false), VE_OK);
    EXPECT_EQ(LinkStat(t / "a").st_mode & 07777, 0755u);
    EXPECT_EQ(LinkStat(t / "a/b/c").st_mode & 07777, 0755u);

    EXPECT_EQ(Folder(t / "w/x/y")->CreateRecursive(true), VE_OK);
    for (const char* path : {"w", "w/x", "w/x/y"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(LinkStat(t / path).st_mode & 07777, 0777u);
    }
    // An existing folder is left as it is, even when asked to be writable by all.
    EXPECT_EQ(Folder(t / "a/b")->CreateRecursive(true), VE_OK);
    EXPECT_EQ(LinkStat(t / "a/b").st_mode & 07777, 0755u);
    ::umask(oldMask);

    WriteFile(t / "file", "");
    StErrorContextInstaller errors;
    EXPECT_EQ(Folder(t / "file/sub/deeper")->CreateRecursive(false), VE_FOLDER_CANNOT_CREATE);
    EXPECT_EQ(BagString(errors.GetContext()->GetLast(), FileErrorKeys::path), t / "file/");
    EXPECT_FALSE(EntryExists(t / "file/sub"));
}

TEST(VFolder, DeleteWithoutContentRefusesInvisibleEntries)
{
    Fixture t;
    MakeFolder(t / "box");
    WriteFile(t / "box/.DS_Store", "");
    StErrorContextInstaller errors;

    EXPECT_FALSE(Folder(t / "box")->IsEmpty());
    EXPECT_EQ(Folder(t / "box")->Delete(false), VE_FOLDER_NOT_EMPTY);

    EXPECT_EQ(Codes(errors), std::vector<VError>{VE_FOLDER_NOT_EMPTY});
    EXPECT_EQ(BagString(errors.GetContext()->GetLast(), FileErrorKeys::path), t / "box/");
    EXPECT_EQ(BagString(errors.GetContext()->GetLast(), FileErrorKeys::name), "box");
    EXPECT_EQ(NamesIn(t / "box"), std::set<std::string>{".DS_Store"});
}

TEST(VFolder, DeleteRemovesEmptyFolderOrContentButNeverLinkTargets)
{
    Fixture t;
    MakeFolder(t / "empty");
    EXPECT_TRUE(Folder(t / "empty")->IsEmpty());
    EXPECT_EQ(Folder(t / "empty")->Delete(false), VE_OK);
    EXPECT_FALSE(EntryExists(t / "empty"));

    MakeFolder(t / "outside");
    WriteFile(t / "outside/keep", "k");
    MakeFolder(t / "full");
    MakeFolder(t / "full/.hidden-dir");
    WriteFile(t / "full/.hidden-dir/f", "");
    MakeFolder(t / "full/sub");
    MakeFolder(t / "full/sub/deeper");
    WriteFile(t / "full/sub/deeper/g", "");
    WriteFile(t / "full/top", "");
    MakeLink(t / "outside", t / "full/sub/to-outside");
    MakeLink("nowhere", t / "full/dangling");

    EXPECT_EQ(Folder(t / "full")->Delete(true), VE_OK);

    EXPECT_FALSE(EntryExists(t / "full"));
    EXPECT_EQ(ReadFile(t / "outside/keep"), "k");
}

TEST(VFolder, DeleteContentsEmptiesButKeepsTheFolder)
{
    Fixture t;
    MakeFolder(t / "f");
    MakeFolder(t / "f/a");
    WriteFile(t / "f/a/x", "");
    WriteFile(t / "f/.y", "");

    EXPECT_EQ(Folder(t / "f")->DeleteContents(false), VE_OK);
    EXPECT_EQ(NamesIn(t / "f"), (std::set<std::string>{".y", "a"}));
    EXPECT_EQ(Folder(t / "f")->DeleteContents(true), VE_OK);
    EXPECT_EQ(NamesIn(t / "f"), std::set<std::string>{});
    EXPECT_TRUE(EntryExists(t / "f"));
}

TEST(VFolder, DeleteForcedRemovesReadOnlyTreeAndKeepsOutsideTargets)
{
    Fixture t;
    MakeFolder(t / "outside");
    WriteFile(t / "outside/target", "alive", 0444);
    MakeFolder(t / "bundle");
    MakeFolder(t / "bundle/Contents");
    WriteFile(t / "bundle/Contents/exe", "", 0555);
    MakeLink(t / "outside", t / "bundle/Contents/link-folder");
    MakeLink(t / "outside/target", t / "bundle/link-file");
    ASSERT_EQ(::chmod((t / "bundle/Contents").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((t / "bundle").c_str(), 0555), 0);

    EXPECT_EQ(Folder(t / "bundle")->DeleteForced(), VE_OK);

    EXPECT_FALSE(EntryExists(t / "bundle"));
    EXPECT_EQ(ReadFile(t / "outside/target"), "alive");

    StErrorContextInstaller errors;
    EXPECT_EQ(Folder(t / "bundle")->DeleteForced(), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(errors), (std::vector<VError>{MakePosixError(ENOENT), VE_FILE_NOT_FOUND}));
}

TEST(VFolder, MoveToTrashTwiceGivesTwoEntries)
{
    Fixture t;
    MakeFolder(t / "home");
    StErrorContextInstaller errors;
    EXPECT_EQ(Folder(t / "Client_old0001.app")->MoveToTrash(), VE_OK); // missing: nothing to do
    EXPECT_TRUE(errors.GetContext()->IsEmpty());

    MakeFolder(t / "Client_old0001.app");
    WriteFile(t / "Client_old0001.app/one", "1");
    EXPECT_EQ(Folder(t / "Client_old0001.app")->MoveToTrash(), VE_OK);
    MakeFolder(t / "Client_old0001.app");
    WriteFile(t / "Client_old0001.app/two", "2");
    EXPECT_EQ(Folder(t / "Client_old0001.app")->MoveToTrash(), VE_OK);

    EXPECT_FALSE(EntryExists(t / "Client_old0001.app"));
    const std::string trash = t / "home/.local/share/Trash";
    EXPECT_EQ(ReadFile(trash + "/files/Client_old0001.app/one"), "1");
    EXPECT_EQ(ReadFile(trash + "/files/Client_old0001.2.app/two"), "2");
    static const std::regex info("\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
    for (const char* name : {"Client_old0001.app", "Client_old0001.2.app"}) {
        SCOPED_TRACE(name);
        std::smatch match;
        std::string content = ReadFile(trash + "/info/" + name + ".trashinfo");
        ASSERT_TRUE(std::regex_match(content, match, info)) << content;
        // The temporary folder's name is made of unreserved characters: it is not escaped.
        EXPECT_EQ(match[1].str(), t / "Client_old0001.app");
    }
    EXPECT_TRUE(errors.GetContext()->IsEmpty());
}

TEST(VFolder, RenameIsExclusiveAndCarriesTheNewName)
{
    Fixture t;
    MakeFolder(t / "Client.app");
    WriteFile(t / "Client.app/marker", "m");
    MakeFolder(t / "Client_old0001.app");
    VRefPtr<VFolder> client = Folder(t / "Client.app");
    {
        StErrorContextInstaller errors;
        VFolder* renamed = reinterpret_cast<VFolder*>(1);
        EXPECT_EQ(client->Rename(Text("Client_old0001.app"), &renamed), VE_FOLDER_CANNOT_RENAME);
        EXPECT_EQ(renamed, nullptr);
        EXPECT_EQ(Codes(errors), (std::vector<VError>{MakePosixError(EEXIST), VE_FOLDER_CANNOT_RENAME}));
        const VErrorBase* last = errors.GetContext()->GetLast();
        EXPECT_EQ(BagString(last, kNewName), "Client_old0001.app");
        EXPECT_EQ(BagString(last, FileErrorKeys::path), t / "Client.app/");
        EXPECT_EQ(ReadFile(t / "Client.app/marker"), "m");
        EXPECT_EQ(NamesIn(t / "Client_old0001.app"), std::set<std::string>{});
    }
    {
        StErrorContextInstaller errors;
        VFolder* renamed = nullptr;
        EXPECT_EQ(client->Rename(Text("bad/name"), &renamed), VE_FOLDER_CANNOT_RENAME);
        EXPECT_EQ(renamed, nullptr);
        EXPECT_EQ(BagString(errors.GetContext()->GetLast(), kNewName), "bad/name");
        EXPECT_TRUE(EntryExists(t / "Client.app"));
    }
    VFolder* renamed = nullptr;
    EXPECT_EQ(client->Rename(Text("Client_old0002.app"), &renamed), VE_OK);
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(PosixOf(renamed->GetPath()), t / "Client_old0002.app/");
    EXPECT_TRUE(renamed->Exists());
    EXPECT_FALSE(client->Exists());
    EXPECT_EQ(ReadFile(t / "Client_old0002.app/marker"), "m");
    renamed->Release();
}

TEST(VFolder, CopyOntoOrIntoItselfFailsWithoutTouchingTheDisk)
{
    Fixture t;
    MakeFolder(t / "apps");
    MakeFolder(t / "apps/App.app");
    MakeFolder(t / "apps/App.app/Contents");
    WriteFile(t / "apps/App.app/Contents/x", "x");
    MakeLink("apps", t / "apps-alias");
    MakeLink("apps/App.app/Contents", t / "inside");
    const std::set<std::string> before = TreeOf(t.root);
    VRefPtr<VFolder> app = Folder(t / "apps/App.app");
    struct Row {
        const char* name;
        std::string parent;
        const char* copyName;
        bool parentReported; // else parent + copyName is the reported destination
    } rows[] = {
        {"the folder itself", t / "apps/App.app/", "Copy.app", true},
        {"the folder in other letter case", t / "apps/APP.APP/", "Copy.app", true},
        {"a sub-folder", t / "apps/App.app/Contents/", "Copy.app", true},
        {"a missing folder below", t / "apps/App.app/Contents/New/", "Copy.app", true},
        // A replacing copy would delete the source before copying it.
        {"its own parent and name", t / "apps/", "App.app", false},
        {"its own name through a link to its parent", t / "apps-alias/", "App.app", false},
        {"a sub-folder through a link", t / "inside/", "Copy.app", true},
        {"a missing folder below a link", t / "inside/New/", "Copy.app", true},
    };
    for (const Row& row : rows) {
        for (unsigned options : {unsigned(FileCopyOptions::kReplaceExisting), 0u}) {
            SCOPED_TRACE(std::string(row.name) + (options ? " (replace)" : ""));
            const std::string dest = row.parent + row.copyName + "/";
            StErrorContextInstaller errors;
            VFolder* out = reinterpret_cast<VFolder*>(1);
            EXPECT_EQ(app->CopyTo(*Folder(row.parent), Text(row.copyName), &out, options), VE_FOLDER_CANNOT_COPY);
            EXPECT_EQ(out, nullptr);
            EXPECT_EQ(Codes(errors), std::vector<VError>{VE_FOLDER_CANNOT_COPY});
            EXPECT_EQ(BagString(errors.GetContext()->GetLast(), FileErrorKeys::destination),
                row.parentReported ? row.parent : dest);
            EXPECT_EQ(app->CopyContentsTo(*Folder(dest), options), VE_FOLDER_CANNOT_COPY);
            EXPECT_EQ(TreeOf(t.root), before);
        }
    }
}

void BuildBundle(const std::string& root)
{
    MakeFolder(root);
    MakeFolder(root + "/Contents");
    MakeFolder(root + "/Contents/MacOS");
    WriteFile(root + "/Contents/MacOS/app", "new-exe", 0755);
    WriteFile(root + "/Contents/Info.plist", "new-plist", 0644);
    WriteFile(root + "/.hidden", "h", 0600);
    MakeLink("Contents/MacOS/app", root + "/launcher");
    ASSERT_EQ(::chmod((root + "/Contents").c_str(), 0555), 0);
}

TEST(VFolder, CopyWithReplaceLeavesNoTraceOfTheOldDestination)
{
    Fixture t;
    MakeFolder(t / "new");
    BuildBundle(t / "new/Client.app");
    MakeFolder(t / "install");
    MakeFolder(t / "install/Client.app");
    WriteFile(t / "install/Client.app/old-only", "stale");
    MakeFolder(t / "install/Client.app/Contents");
    WriteFile(t / "install/Client.app/Contents/Info.plist", "old-plist");
    StErrorContextInstaller errors;
    VFolder* out = nullptr;

    EXPECT_EQ(Folder(t / "new/Client.app")->CopyTo(*Folder(t / "install"), Text("Client.app"), &out,
                  FileCopyOptions::kReplaceExisting),
        VE_OK);

    ASSERT_NE(out, nullptr);
    EXPECT_EQ(PosixOf(out->GetPath()), t / "install/Client.app/");
    out->Release();
    EXPECT_TRUE(errors.GetContext()->IsEmpty());
    EXPECT_EQ(TreeOf(t / "install/Client.app"), TreeOf(t / "new/Client.app"));
    EXPECT_EQ(ReadFile(t / "install/Client.app/Contents/Info.plist"), "new-plist");
    EXPECT_EQ(LinkTarget(t / "install/Client.app/launcher"), "Contents/MacOS/app");
    EXPECT_EQ(LinkStat(t / "install/Client.app/Contents").st_mode & 07777, 0555u);
    EXPECT_EQ(LinkStat(t / "install/Client.app/Contents/MacOS/app").st_mode & 07777, 0755u);
    // The source stays where it was.
    EXPECT_EQ(ReadFile(t / "new/Client.app/Contents/Info.plist"), "new-plist");
}

TEST(VFolder, ReplaceCopyFallsBackToItemByItemWhenTheTreeCopyFails)
{
    // A device node cannot be recreated without privilege, so the one-operation tree copy fails
    // for an unprivileged user and removes its partial copy; the item-by-item copy, which only
    // takes folders, files and links, then succeeds.
    Fixture t;
    if (::geteuid() != 0)
        GTEST_SKIP() << "making the device node in the source needs root";
    if (!ShareWithUnprivileged(t.temp.Path()))
        GTEST_SKIP() << "the temporary folder's parents are not searchable by an unprivileged user";
    MakeFolder(t / "src", 0755);
    MakeFolder(t / "src/sub", 0755);
    WriteFile(t / "src/sub/file", "data", 0644);
    MakeLink("sub/file", t / "src/link");
    if (::mknod((t / "src/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    MakeFolder(t / "dst", 0777);

    int result = RunUnprivileged([&] {
        VError error = Folder(t / "src")->CopyTo(*Folder(t / "dst"), Text("Copy"), nullptr,
            FileCopyOptions::kReplaceExisting);
        return error == VE_OK ? 0 : 1;
    });
    if (result == kUnprivilegedUnavailable)
        GTEST_SKIP() << "cannot switch to an unprivileged user";

    EXPECT_EQ(result, 0);
    EXPECT_EQ(TreeOf(t / "dst/Copy"), (std::set<std::string>{"link", "sub/", "sub/file"}));
    EXPECT_EQ(ReadFile(t / "dst/Copy/sub/file"), "data");
}

TEST(VFolder, CopyWithoutReplaceMergesAndFailsOnAClash)
{
    Fixture t;
    MakeFolder(t / "src");
    WriteFile(t / "src/a", "new-a");
    MakeFolder(t / "dst");
    MakeFolder(t / "dst/Copy");
    WriteFile(t / "dst/Copy/a", "old-a");
    WriteFile(t / "dst/Copy/leftover", "old");
    StErrorContextInstaller errors;

    VError error = Folder(t / "src")->CopyTo(*Folder(t / "dst"), Text("Copy"), nullptr, 0);

    EXPECT_EQ(error, errors.GetContext()->GetLastError());
    EXPECT_NE(error, VE_OK);
    EXPECT_EQ(ReadFile(t / "dst/Copy/a"), "old-a");
    EXPECT_EQ(ReadFile(t / "dst/Copy/leftover"), "old");

    // Without a clash the entries are added beside the old ones.
    MakeFolder(t / "src2");
    MakeFolder(t / "src2/sub");
    WriteFile(t / "src2/sub/b", "b");
    EXPECT_EQ(Folder(t / "src2")->CopyTo(*Folder(t / "dst"), Text("Copy"), nullptr, 0), VE_OK);
    EXPECT_EQ(NamesIn(t / "dst/Copy"), (std::set<std::string>{"a", "leftover", "sub"}));
    EXPECT_EQ(ReadFile(t / "dst/Copy/sub/b"), "b");
}

TEST(VFolder, CopyContentsOptions)
{
    Fixture t;
    MakeFolder(t / "src");
    MakeFolder(t / "src/.git");
    WriteFile(t / "src/.git/HEAD", "");
    WriteFile(t / "src/.env", "");
    MakeFolder(t / "src/sub");
    WriteFile(t / "src/sub/1", "1");
    WriteFile(t / "src/2", "2");
    WriteFile(t / "src/3", "3");

    EXPECT_EQ(Folder(t / "src")->CopyContentsTo(*Folder(t / "visible"), FileCopyOptions::kSkipInvisible), VE_OK);
    EXPECT_EQ(TreeOf(t / "visible"), (std::set<std::string>{"2", "3", "sub/", "sub/1"}));

    // A clash on one file: with keep-going the others are still copied and the error is kept.
    MakeFolder(t / "clash");
    WriteFile(t / "clash/2", "old");
    StErrorContextInstaller errors;
    VError error = Folder(t / "src")->CopyContentsTo(*Folder(t / "clash"), FileCopyOptions::kKeepGoing);
    EXPECT_NE(error, VE_OK);
    EXPECT_EQ(error, errors.GetContext()->GetLastError());
    EXPECT_EQ(TreeOf(t / "clash"), (std::set<std::string>{".env", ".git/", ".git/HEAD", "2", "3", "sub/", "sub/1"}));
    EXPECT_EQ(ReadFile(t / "clash/2"), "old");
    EXPECT_EQ(ReadFile(t / "clash/3"), "3");
}

TEST(VFolder, IsSameFolderIgnoresCaseAndAccents)
{
    VRefPtr<VFolder> a = Folder("/Users/Me/Caf\xC3\xA9.app/");
    struct Row {
        const char* other;
        bool expected;
    } rows[] = {
        {"/Users/Me/Caf\xC3\xA9.app/", true},
        {"/users/me/CAF\xC3\x89.APP/", true},
        {"/Users/Me/Cafe.app/", true},
        {"/Users/Me/Caf\xC3\xA9.app2/", false},
        {"/Users/Me/", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.other);
        EXPECT_EQ(a->IsSameFolder(Folder(row.other).Get()), row.expected);
    }
    EXPECT_FALSE(a->IsSameFolder(nullptr));
}

TEST(VFolder, ParentAndSubFolderPaths)
{
    VRefPtr<VFolder> folder = Folder("/a/b/c");
    VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(folder->RetainParentFolder());
    ASSERT_TRUE(parent);
    EXPECT_EQ(PosixOf(parent->GetPath()), "/a/b/");
    EXPECT_EQ(Folder("/")->RetainParentFolder(), nullptr);
    VRefPtr<VFolder> sub = VRefPtr<VFolder>::Adopt(new VFolder(*parent, Text("d e"), FilePathStyle::Posix));
    EXPECT_EQ(PosixOf(sub->GetPath()), "/a/b/d e/");
    VString name;
    sub->GetName(name);
    EXPECT_EQ(to_string(name), "d e");
}

TEST(VFolder, IteratorsClearTheOtherKindAndCount)
{
    Fixture t;
    MakeFolder(t / "f");
    MakeFolder(t / "f/sub");
    MakeFolder(t / "f/.hsub");
    WriteFile(t / "f/file", "");
    WriteFile(t / "f/.hfile", "");
    MakeLink("sub", t / "f/link");
    VRefPtr<VFolder> folder = Folder(t / "f");

    std::set<std::string> files;
    VFileIterator fileIt(folder.Get(), kFolders | kFiles);
    for (; fileIt; fileIt.Next())
        files.insert(PosixOf(fileIt->GetPath()));
    EXPECT_EQ(files, (std::set<std::string>{t / "f/file", t / "f/link"}));
    EXPECT_EQ(fileIt.GetCount(), 2);
    EXPECT_EQ(fileIt.Current(), nullptr);

    std::set<std::string> folders;
    for (VFolderIterator it(folder.Get(), kFolders | kFiles | kInvisible | kResolveLinks); it; it.Next())
        folders.insert(PosixOf(it->GetPath()));
    EXPECT_EQ(folders, (std::set<std::string>{t / "f/.hsub/", t / "f/sub/"})); // the link resolves to sub

    VFileIterator none(Folder(t / "missing").Get(), kFiles);
    EXPECT_FALSE(none);
}

TEST(VFolder, IterateHandsOutDocumentsAndStopsOnFalse)
{
    Fixture t;
    MakeFolder(t / "f");
    MakeFolder(t / "f/sub");
    WriteFile(t / "f/file", "");
    const timespec times[2] = {{1000000000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (t / "f/file").c_str(), times, 0), 0);

    std::vector<std::string> seen;
    int64_t modified = 0;
    EXPECT_EQ(Folder(t / "f")->Iterate(
                  [&](IFileAttributeAccessor* accessor) {
                      if (accessor->GetFile()) {
                          EXPECT_EQ(accessor->GetFolder(), nullptr);
                          seen.push_back(PosixOf(accessor->GetFile()->GetPath()));
                          EXPECT_EQ(accessor->GetTime(&modified, nullptr, nullptr), VE_OK);
                      } else {
                          EXPECT_NE(accessor->GetFolder(), nullptr);
                          seen.push_back(PosixOf(accessor->GetFolder()->GetPath()));
                      }
                      return true;
                  },
                  kFolders | kFiles),
        VE_OK);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{t / "f/file", t / "f/sub/"}));
    EXPECT_EQ(modified, 1234567890123);

    int calls = 0;
    EXPECT_EQ(Folder(t / "f")->Iterate([&](IFileAttributeAccessor*) { return ++calls < 1; }, kFolders | kFiles), VE_OK);
    EXPECT_EQ(calls, 1);
}

TEST(VFolder, PermissionsRoundTripAndErrors)
{
    Fixture t;
    MakeFolder(t / "p", 0700);
    EXPECT_EQ(Folder(t / "p")->MAC_SetPermissions(0751), VE_OK);
    uint16_t mode = 0;
    EXPECT_EQ(Folder(t / "p")->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, 0751);
    EXPECT_EQ(LinkStat(t / "p").st_mode & 07777, 0751u);

    StErrorContextInstaller errors;
    EXPECT_EQ(Folder(t / "none")->MAC_SetPermissions(0700), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Folder(t / "none")->MakeWritableByAll(), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(errors), (std::vector<VError>{MakePosixError(ENOENT), VE_FILE_NOT_FOUND, MakePosixError(ENOENT),
                                 VE_FILE_NOT_FOUND}));
}

TEST(VFolder, LinkToAFolderIsRemovedAsALinkNeverEmptied)
{
    enum class Left { Link, Nothing, Copy };
    struct Row {
        const char* name;
        std::function<VError(const VFolder& link, const VFolder& parent, const VFolder& source)> operation;
        VError expected;
        Left left;
    } rows[] = {
        {"Delete(true)", [](const VFolder& link, const VFolder&, const VFolder&) { return link.Delete(true); }, VE_OK,
            Left::Nothing},
        {"Delete(false)", [](const VFolder& link, const VFolder&, const VFolder&) { return link.Delete(false); }, VE_OK,
            Left::Nothing},
        {"DeleteForced", [](const VFolder& link, const VFolder&, const VFolder&) { return link.DeleteForced(); }, VE_OK,
            Left::Nothing},
        {"DeleteContents", [](const VFolder& link, const VFolder&, const VFolder&) { return link.DeleteContents(true); },
            VE_FOLDER_CANNOT_DELETE, Left::Link},
        {"CopyTo with replace",
            [](const VFolder&, const VFolder& parent, const VFolder& source) {
                return source.CopyTo(parent, Text("link"), nullptr, FileCopyOptions::kReplaceExisting);
            },
            VE_OK, Left::Copy},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture t;
        MakeFolder(t / "target");
        MakeFolder(t / "target/sub");
        WriteFile(t / "target/sub/keep", "k");
        WriteFile(t / "target/.hidden", "h");
        MakeFolder(t / "source");
        WriteFile(t / "source/new", "n");
        MakeLink("target", t / "link");

        EXPECT_EQ(row.operation(*Folder(t / "link"), *Folder(t.root), *Folder(t / "source")), row.expected);

        EXPECT_EQ(TreeOf(t / "target"), (std::set<std::string>{".hidden", "sub/", "sub/keep"}));
        EXPECT_EQ(ReadFile(t / "target/sub/keep"), "k");
        switch (row.left) {
        case Left::Link:
            EXPECT_EQ(LinkTarget(t / "link"), "target");
            break;
        case Left::Nothing:
            EXPECT_FALSE(EntryExists(t / "link"));
            break;
        case Left::Copy:
            EXPECT_TRUE(S_ISDIR(LinkStat(t / "link").st_mode));
            EXPECT_EQ(TreeOf(t / "link"), std::set<std::string>{"new"});
            break;
        }
    }
}

TEST(VFolder, DeleteWithContentRemovesSpecialFiles)
{
    Fixture t;
    MakeFolder(t / "box");
    MakeFolder(t / "box/sub");
    ASSERT_EQ(::mkfifo((t / "box/sub/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((t / "box/.pipe").c_str(), 0600), 0);
    MakeFolder(t / "only");
    ASSERT_EQ(::mkfifo((t / "only/pipe").c_str(), 0600), 0);
    StErrorContextInstaller errors;

    EXPECT_FALSE(Folder(t / "only")->IsEmpty());
    EXPECT_EQ(Folder(t / "only")->Delete(false), VE_FOLDER_NOT_EMPTY);
    EXPECT_EQ(Folder(t / "box")->Delete(true), VE_OK);

    EXPECT_FALSE(EntryExists(t / "box"));
    EXPECT_EQ(Codes(errors), std::vector<VError>{VE_FOLDER_NOT_EMPTY});
}

} // namespace
} // namespace nuvo::test
