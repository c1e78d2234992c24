#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/FileIteratorOptions.h"
#include "kernel/files/StFolderLock.h"
#include "kernel/time/VTime.h"
#include "kernel/files/IFileAttributeAccessor.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFileIterator.h"
#include "kernel/files/VFolderIterator.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/support/StEnvVar.h"

namespace nuvo::test {
namespace {

using namespace FileIteratorOptions;
using Tree = std::set<std::string>;

constexpr StPackedDictionaryKey kNewName("newname");
constexpr unsigned kReplace = FileCopyOptions::kReplaceExisting;

// The temporary folder's real path (the paths the platform answers with), HOME inside it.
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
    MakeTree(t.root, {"dir/", "file=", "link->dir", "file-link->file"});
    struct Row { const char* name; std::string text; bool expected; };
    const Row rows[] = {
        {"folder", t / "dir/", true},
        {"link to a folder", t / "link/", true},
        {"folder named by a file path", t / "dir", false},
        {"regular file", t / "file/", false},
        {"link to a file", t / "file-link/", false},
        {"missing", t / "none/", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VRefPtr<VFolder>::Adopt(new VFolder(PosixPath(row.text)))->Exists(), row.expected);
    }
}

TEST(VFolder, CreateMakesWhatIsMissingOnlyAndPermissionsRoundTrip)
{
    Fixture t;
    const mode_t oldMask = ::umask(022);
    StErrorContextInstaller errors;
    EXPECT_EQ(FolderAt(t / "new")->Create(), VE_OK);
    EXPECT_EQ(FolderAt(t / "new")->Create(), VE_OK); // exists: nothing to do
    EXPECT_EQ(FolderAt(t / "a/b/c")->CreateRecursive(false), VE_OK);
    EXPECT_EQ(FolderAt(t / "w/x/y")->CreateRecursive(true), VE_OK);
    // An existing folder is left as it is, even when asked to be writable by all.
    EXPECT_EQ(FolderAt(t / "a/b")->CreateRecursive(true), VE_OK);
    ::umask(oldMask);
    EXPECT_EQ(FolderAt(t / "new")->MAC_SetPermissions(01751), VE_OK);
    uint16_t mode = 0;
    EXPECT_EQ(FolderAt(t / "new")->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, 01751);
    EXPECT_TRUE(errors.GetContext()->IsEmpty());
    struct Row { const char* path; unsigned mode; };
    for (const Row& row : {Row{"new", 01751}, Row{"a", 0755}, Row{"a/b", 0755}, Row{"a/b/c", 0755},
                           Row{"w", 0777}, Row{"w/x", 0777}, Row{"w/x/y", 0777}}) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(Mode(t / row.path), row.mode);
    }
}

TEST(VFolder, FailuresCarryTheNativeCauseTheCodeAndThePath)
{
    Fixture t;
    MakeTree(t.root, {"taken=", "box/", "box/.DS_Store=", "target/", "target/keep=k", "link->target", "trashed/"});
    MakeTree(t / "home/.local/share/Trash", {"files="});
    struct Row { const char* name; std::function<VError()> operation; VError expected; int cause; std::string path; };
    const Row rows[] = {
        {"Create: a file has the name", [&] { return FolderAt(t / "taken")->Create(); }, VE_FOLDER_CANNOT_CREATE,
            EEXIST, t / "taken/"},
        {"Create: the parent is missing", [&] { return FolderAt(t / "no/such")->Create(); }, VE_FILE_NOT_FOUND,
            ENOENT, t / "no/such/"},
        {"CreateRecursive: an ancestor is a file", [&] { return FolderAt(t / "taken/sub/deeper")->CreateRecursive(); },
            VE_FOLDER_CANNOT_CREATE, EEXIST, t / "taken/"},
        // Invisible entries count: the folder is not empty (no native cause).
        {"Delete(false) of a folder holding an invisible file", [&] { return FolderAt(t / "box")->Delete(false); },
            VE_FOLDER_NOT_EMPTY, 0, t / "box/"},
        {"DeleteContents of a link", [&] { return FolderAt(t / "link")->DeleteContents(true); },
            VE_FOLDER_CANNOT_DELETE, ENOTDIR, t / "link/"},
        {"DeleteForced of a missing folder", [&] { return FolderAt(t / "none")->DeleteForced(); }, VE_FILE_NOT_FOUND,
            ENOENT, t / "none/"},
        {"MAC_SetPermissions of a missing folder", [&] { return FolderAt(t / "none")->MAC_SetPermissions(0700); },
            VE_FILE_NOT_FOUND, ENOENT, t / "none/"},
        {"MakeWritableByAll of a missing folder", [&] { return FolderAt(t / "none")->MakeWritableByAll(); },
            VE_FILE_NOT_FOUND, ENOENT, t / "none/"},
        {"MoveToTrash with a file where the trash keeps its items",
            [&] { return FolderAt(t / "trashed")->MoveToTrash(); }, VE_FOLDER_CANNOT_MOVE_TO_TRASH, ENOTDIR,
            t / "trashed/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StErrorContextInstaller errors;
        EXPECT_EQ(row.operation(), row.expected);
        std::vector<VError> expected{row.expected};
        if (row.cause)
            expected.insert(expected.begin(), MakePosixError(row.cause));
        EXPECT_EQ(Codes(errors), expected);
        EXPECT_EQ(LastString(errors, FileErrorKeys::path), row.path);
    }
    EXPECT_EQ(TreeOf(t / "box"), Tree{".DS_Store"});
    EXPECT_EQ(TreeOf(t / "target"), Tree{"keep"});
    EXPECT_FALSE(EntryExists(t / "taken/sub"));
    EXPECT_TRUE(EntryExists(t / "trashed"));
    EXPECT_EQ(NamesIn(t / "home/.local/share/Trash/info"), Tree{});
}

TEST(VFolder, DeleteRemovesTheWholeContentButNeverLinkTargets)
{
    Fixture t;
    MakeTree(t.root, {"empty/", "outside/", "outside/keep=k", "full/", "full/.hidden-dir/", "full/.hidden-dir/f=",
                         "full/sub/", "full/sub/deeper/", "full/sub/deeper/g=", "full/top=", "full/sub/pipe|",
                         "full/.pipe|", "full/sub/to-outside->" + t / "outside", "full/dangling->nowhere", "kept/",
                         "kept/a/", "kept/a/x=", "kept/.y=", "only-pipe/", "only-pipe/pipe|"});
    StErrorContextInstaller errors;

    EXPECT_TRUE(FolderAt(t / "empty")->IsEmpty());
    EXPECT_EQ(FolderAt(t / "empty")->Delete(false), VE_OK);
    // A FIFO (or socket, or device) counts as content and goes with it.
    EXPECT_FALSE(FolderAt(t / "only-pipe")->IsEmpty());
    EXPECT_EQ(FolderAt(t / "full")->Delete(true), VE_OK);
    EXPECT_EQ(FolderAt(t / "kept")->DeleteContents(false), VE_OK);
    EXPECT_EQ(TreeOf(t / "kept"), (Tree{".y", "a/", "a/x"}));
    EXPECT_EQ(FolderAt(t / "kept")->DeleteContents(true), VE_OK);

    EXPECT_TRUE(errors.GetContext()->IsEmpty());
    EXPECT_EQ(NamesIn(t.root), (Tree{"kept", "only-pipe", "outside"}));
    EXPECT_EQ(ReadFile(t / "outside/keep"), "k");
    EXPECT_TRUE(S_ISDIR(LinkStat(t / "kept").st_mode));
    EXPECT_EQ(NamesIn(t / "kept"), Tree{});
}

TEST(VFolder, LinkToAFolderIsRemovedAsALinkNeverEmptied)
{
    enum class Left { Link, Nothing, Copy };
    struct Row { const char* name; VError (*operation)(const Fixture& t); VError expected; Left left; };
    const Row rows[] = {
        {"Delete(true)", [](const Fixture& t) { return FolderAt(t / "link")->Delete(true); }, VE_OK, Left::Nothing},
        {"Delete(false)", [](const Fixture& t) { return FolderAt(t / "link")->Delete(false); }, VE_OK, Left::Nothing},
        {"DeleteForced", [](const Fixture& t) { return FolderAt(t / "link")->DeleteForced(); }, VE_OK, Left::Nothing},
        {"DeleteContents", [](const Fixture& t) { return FolderAt(t / "link")->DeleteContents(true); },
            VE_FOLDER_CANNOT_DELETE, Left::Link},
        {"CopyTo with replace",
            [](const Fixture& t) { return FolderAt(t / "source")->CopyTo(*FolderAt(t.root), "link", nullptr, kReplace); },
            VE_OK, Left::Copy},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture t;
        MakeTree(t.root, {"target/", "target/sub/", "target/sub/keep=k", "target/.hidden=h", "source/", "source/new=n",
                             "link->target"});

        EXPECT_EQ(row.operation(t), row.expected);

        EXPECT_EQ(TreeOf(t / "target"), (Tree{".hidden", "sub/", "sub/keep"}));
        EXPECT_EQ(ReadFile(t / "target/sub/keep"), "k");
        EXPECT_EQ(LinkTarget(t / "link"), row.left == Left::Link ? "target" : "");
        if (row.left == Left::Copy) {
            EXPECT_EQ(TreeOf(t / "link"), Tree{"new"});
        }
        EXPECT_EQ(EntryExists(t / "link"), row.left != Left::Nothing);
    }
}

TEST(VFolder, MoveToTrashMovesTheFolderAndIgnoresAMissingOne)
{
    Fixture t;
    MakeTree(t.root, {"home/", "Client_old0001.app/", "Client_old0001.app/one=1"});
    StErrorContextInstaller errors;
    EXPECT_EQ(FolderAt(t / "missing.app")->MoveToTrash(), VE_OK);
    EXPECT_EQ(FolderAt(t / "Client_old0001.app")->MoveToTrash(), VE_OK);
    EXPECT_TRUE(errors.GetContext()->IsEmpty());
    EXPECT_EQ(NamesIn(t.root), Tree{"home"});
    EXPECT_EQ(ReadFile(t / "home/.local/share/Trash/files/Client_old0001.app/one"), "1");
}

TEST(VFolder, RenameIsExclusiveAndCarriesTheNewName)
{
    Fixture t;
    MakeTree(t.root, {"Client.app/", "Client.app/marker=m", "Client_old0001.app/"});
    VRefPtr<VFolder> client = FolderAt(t / "Client.app");
    struct Row { const char* newName; std::vector<VError> codes; };
    for (const Row& row : {Row{"Client_old0001.app", {MakePosixError(EEXIST), VE_FOLDER_CANNOT_RENAME}},
                           Row{"bad/name", {VE_FILE_BAD_NAME, VE_FOLDER_CANNOT_RENAME}}}) {
        SCOPED_TRACE(row.newName);
        StErrorContextInstaller errors;
        VFolder* renamed = reinterpret_cast<VFolder*>(1);
        EXPECT_EQ(client->Rename(row.newName, &renamed), VE_FOLDER_CANNOT_RENAME);
        EXPECT_EQ(renamed, nullptr);
        EXPECT_EQ(Codes(errors), row.codes);
        EXPECT_EQ(LastString(errors, kNewName), row.newName);
        EXPECT_EQ(LastString(errors, FileErrorKeys::path), t / "Client.app/");
        EXPECT_EQ(TreeOf(t.root), (Tree{"Client.app/", "Client.app/marker", "Client_old0001.app/"}));
    }
    VFolder* renamed = nullptr;
    EXPECT_EQ(client->Rename("Client_old0002.app", &renamed), VE_OK);
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
    MakeTree(t.root, {"apps/", "apps/App.app/", "apps/App.app/Contents/", "apps/App.app/Contents/x=x",
                         "apps-alias->apps", "inside->apps/App.app/Contents"});
    const Tree before = TreeOf(t.root);
    VRefPtr<VFolder> app = FolderAt(t / "apps/App.app");
    // parentReported: the destination parameter is the parent, else parent + copyName.
    struct Row { const char* name; std::string parent; const char* copyName; bool parentReported; };
    const Row rows[] = {
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
        for (unsigned options : {kReplace, 0u}) {
            SCOPED_TRACE(std::string(row.name) + (options ? " (replace)" : ""));
            const std::string dest = row.parent + row.copyName + "/";
            StErrorContextInstaller errors;
            VFolder* out = reinterpret_cast<VFolder*>(1);
            EXPECT_EQ(app->CopyTo(*FolderAt(row.parent), row.copyName, &out, options), VE_FOLDER_CANNOT_COPY);
            EXPECT_EQ(out, nullptr);
            EXPECT_EQ(Codes(errors), std::vector<VError>{VE_FOLDER_CANNOT_COPY});
            EXPECT_EQ(LastString(errors, FileErrorKeys::destination), row.parentReported ? row.parent : dest);
            EXPECT_EQ(app->CopyContentsTo(*FolderAt(dest), options), VE_FOLDER_CANNOT_COPY);
            EXPECT_EQ(TreeOf(t.root), before);
        }
    }
}

TEST(VFolder, CopyWithReplaceLeavesNoTraceOfTheOldDestination)
{
    Fixture t;
    MakeTree(t / "new/Client.app", {"Contents/", "Contents/MacOS/", "Contents/MacOS/app=new-exe",
                                       "Contents/Info.plist=new-plist", ".hidden=h", "launcher->Contents/MacOS/app"});
    MakeTree(t / "install", {"Client.app/", "Client.app/old-only=stale", "Client.app/Contents/",
                                "Client.app/Contents/Info.plist=old-plist"});
    const Tree source = TreeOf(t / "new/Client.app");
    StErrorContextInstaller errors;
    VFolder* out = nullptr;

    EXPECT_EQ(FolderAt(t / "new/Client.app")->CopyTo(*FolderAt(t / "install"), "Client.app", &out, kReplace), VE_OK);

    ASSERT_NE(out, nullptr);
    EXPECT_EQ(PosixOf(out->GetPath()), t / "install/Client.app/");
    out->Release();
    EXPECT_TRUE(errors.GetContext()->IsEmpty());
    EXPECT_EQ(TreeOf(t / "install/Client.app"), source);
    EXPECT_EQ(ReadFile(t / "install/Client.app/Contents/Info.plist"), "new-plist");
    EXPECT_EQ(LinkTarget(t / "install/Client.app/launcher"), "Contents/MacOS/app");
    EXPECT_EQ(TreeOf(t / "new/Client.app"), source); // copied, not moved
}

TEST(VFolder, ReplaceCopyThatFailsOnAnEntryReportsItAndLeavesNothing)
{
    // A device node cannot be recreated without privilege: the tree copy fails there, as `cp -a`
    // does, and the copy must not go on item by item (which would drop the node and succeed).
    Fixture t;
    if (::geteuid() != 0)
        GTEST_SKIP() << "making the device node in the source needs root";
    MakeTree(t / "src", {"sub/", "sub/file=data", "link->sub/file"});
    if (::mknod((t / "src/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    MakeFolder(t / "dst", 0777);

    int result = RunUnprivileged(t.temp.Path(), [&] {
        StErrorContextInstaller errors(true, true);
        VError error = FolderAt(t / "src")->CopyTo(*FolderAt(t / "dst"), "Copy", nullptr, kReplace);
        if (error != VE_FILE_CANNOT_COPY || Codes(errors) != std::vector<VError>{MakePosixError(EPERM), VE_FILE_CANNOT_COPY})
            return 1;
        if (LastString(errors, FileErrorKeys::path) != t / "src/null" || LastString(errors, FileErrorKeys::destination) != t / "dst/Copy/null")
            return 2;
        return 0;
    });
    if (result == kUnprivilegedUnavailable)
        GTEST_SKIP() << "no unprivileged user can reach " << t.temp.Path();

    EXPECT_EQ(result, 0) << "1: codes, 2: paths";
    EXPECT_FALSE(EntryExists(t / "dst/Copy"));
}

TEST(VFolder, ItemByItemCopyMergesSkipsInvisiblesAndKeepsGoing)
{
    Fixture t;
    MakeTree(t / "src", {".git/", ".git/HEAD=", ".env=", "sub/", "sub/1=1", "2=2", "3=3"});
    EXPECT_EQ(FolderAt(t / "src")->CopyContentsTo(*FolderAt(t / "visible"), FileCopyOptions::kSkipInvisible), VE_OK);
    EXPECT_EQ(TreeOf(t / "visible"), (Tree{"2", "3", "sub/", "sub/1"}));

    // Without replace, files where the folders go fail their creation (sub-folders come first,
    // so nothing is copied without keep-going) and a file that exists is kept; other entries are
    // added beside the old ones.
    struct Row { const char* name; unsigned options; Tree tree; };
    for (const Row& row : {Row{"stop", 0, {".git", "2", "leftover", "sub"}},
                           Row{"go-on", FileCopyOptions::kKeepGoing, {".env", ".git", "2", "3", "leftover", "sub"}}}) {
        SCOPED_TRACE(row.name);
        MakeTree(t / row.name, {".git=old", "sub=old", "2=old", "leftover=old"});
        StErrorContextInstaller errors;
        EXPECT_EQ(FolderAt(t / "src")->CopyTo(*FolderAt(t.root), row.name, nullptr, row.options),
            VE_FOLDER_CANNOT_CREATE); // the first failure
        EXPECT_EQ(TreeOf(t / row.name), row.tree);
        EXPECT_EQ(ReadFile(t / row.name + "/2"), "old");
    }
}

// Two updaters of one bundle must not work in its parent folder at once: the second waits.
TEST(StFolderLock, SecondLockWaitsForTheFirstAndMissingFolderLocksNothing)
{
    Fixture t;
    MakeTree(t.root, {"dir/"});
    auto folder = VRefPtr<VFolder>::Adopt(new VFolder(PosixPath(t / "dir/")));
    std::atomic<bool> secondHeld{false};
    std::thread second;
    {
        StFolderLock first(*folder);
        ASSERT_TRUE(first.IsLocked());
        second = std::thread([&] {
            StFolderLock lock(*folder);
            secondHeld = lock.IsLocked();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(secondHeld);  // a slow machine only makes this check weaker, never wrong
    }
    second.join();
    EXPECT_TRUE(secondHeld);

    StErrorContextInstaller errors(true, true);
    StFolderLock missing(*VRefPtr<VFolder>::Adopt(new VFolder(PosixPath(t / "none/"))));
    EXPECT_FALSE(missing.IsLocked());
    EXPECT_EQ(errors.GetLastError(), VE_OK);
}

TEST(VFolder, ParentSubFolderAndSameFolder)
{
    VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(FolderAt("/a/b/c")->RetainParentFolder());
    ASSERT_TRUE(parent);
    EXPECT_EQ(PosixOf(parent->GetPath()), "/a/b/");
    EXPECT_EQ(FolderAt("/")->RetainParentFolder(), nullptr);
    VRefPtr<VFolder> sub = VRefPtr<VFolder>::Adopt(new VFolder(*parent, "d e", FilePathStyle::Posix));
    EXPECT_EQ(PosixOf(sub->GetPath()), "/a/b/d e/");

    VRefPtr<VFolder> cafe = FolderAt("/Users/Me/Caf\xC3\xA9.app/");
    struct Row { const char* other; bool expected; };
    for (const Row& row : {Row{"/Users/Me/Caf\xC3\xA9.app/", true}, Row{"/users/me/CAF\xC3\x89.APP/", true},
                           Row{"/Users/Me/Cafe.app/", true}, Row{"/Users/Me/Caf\xC3\xA9.app2/", false},
                           Row{"/Users/Me/", false}}) {
        SCOPED_TRACE(row.other);
        EXPECT_EQ(cafe->IsSameFolder(FolderAt(row.other).Get()), row.expected);
    }
    EXPECT_FALSE(cafe->IsSameFolder(nullptr));
}

TEST(VFolder, IteratorsAndIterateChooseKindsAndHandOutDocuments)
{
    Fixture t;
    MakeTree(t / "f", {"sub/", ".hsub/", "file=", ".hfile=", "link->sub"});
    SetTimes(t / "f/file", {1000000000, 0}, {1234567890, 123456789});
    VRefPtr<VFolder> folder = FolderAt(t / "f");

    // The file iterator drops bit 2, the folder iterator bit 4; without bit 16 a link is a file.
    Tree files, folders;
    VFileIterator fileIt(folder.Get(), kFolders | kFiles);
    for (; fileIt; fileIt.Next())
        files.insert(PosixOf(fileIt->GetPath()));
    EXPECT_EQ(files, (Tree{t / "f/file", t / "f/link"}));
    EXPECT_EQ(fileIt.GetCount(), 2);
    EXPECT_EQ(fileIt.Current(), nullptr);
    for (VFolderIterator it(folder.Get(), kFolders | kFiles | kInvisible | kResolveLinks); it; it.Next())
        folders.insert(PosixOf(it->GetPath()));
    EXPECT_EQ(folders, (Tree{t / "f/.hsub/", t / "f/sub/"})); // the link resolves to sub
    EXPECT_FALSE(VFileIterator(FolderAt(t / "missing").Get(), kFiles));

    std::vector<std::string> seen;
    VTime modified;
    auto visit = [&](IFileAttributeAccessor* accessor) {
        EXPECT_NE(accessor->GetFile() == nullptr, accessor->GetFolder() == nullptr);
        IFile* file = accessor->GetFile();
        seen.push_back(PosixOf(file ? file->GetPath() : accessor->GetFolder()->GetPath()));
        if (seen.back() == t / "f/file") {
            EXPECT_EQ(accessor->GetTime(&modified, nullptr, nullptr), VE_OK);
        }
        return true;
    };
    EXPECT_EQ(folder->Iterate(visit, kFolders | kFiles), VE_OK);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{t / "f/file", t / "f/link", t / "f/sub/"}));
    EXPECT_EQ(modified.GetUnixMilliseconds(), 1234567890123);
    int calls = 0;
    EXPECT_EQ(folder->Iterate([&](IFileAttributeAccessor*) { return ++calls < 1; }, kFolders | kFiles), VE_OK);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace nuvo::test
