// The file layer under hostile names, permissions, full disks and races. Every case checks what
// a caller could lose: nothing outside the tree is touched, no success is reported with an entry
// missing, and a failed copy leaves nothing it made.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/text/FileNameText.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/support/StEnvVar.h"

namespace nuvo::test {
namespace {

using Tree = std::set<std::string>;
constexpr unsigned kReplace = FileCopyOptions::kReplaceExisting;

struct Fixture {
    StTempFolder temp;
    std::string root = RealPath(temp.Path());
    StEnvVar home{"HOME", root + "/home"};
    StEnvVar dataHome{"XDG_DATA_HOME", std::nullopt};
    std::string operator/(const std::string& relative) const { return root + "/" + relative; }
};

std::string Hex(const std::string& bytes)
{
    std::string out;
    char buffer[4];
    for (unsigned char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02x", c);
        out += buffer;
    }
    return out;
}

// One line per entry below root: kind, mode, owner, mtime, size, sparseness, content or link
// target, link count and extended attributes. Access times are left out: reading a source
// changes them.
void Describe(const std::string& root, const std::string& relative, std::set<std::string>& out)
{
    DIR* dir = ::opendir((root + "/" + relative).c_str());
    ASSERT_NE(dir, nullptr) << root << "/" << relative;
    while (struct dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string rel = relative + name;
        const std::string path = root + "/" + rel;
        const struct stat st = LinkStat(path);
        std::string line = rel + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":"
            + std::to_string(st.st_gid) + " links " + std::to_string(st.st_nlink);
        if (!S_ISLNK(st.st_mode))
            line += " t" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode))
            line += " " + Hex(ReadFile(path)) + (st.st_blocks * 512 < st.st_size ? " sparse" : "");
        if (S_ISLNK(st.st_mode))
            line += " -> " + LinkTarget(path);
        char names[4096];
        ssize_t length = ::llistxattr(path.c_str(), names, sizeof names);
        std::set<std::string> attributes;
        for (ssize_t at = 0; at < length; at += ssize_t(std::strlen(names + at)) + 1) {
            char value[4096];
            ssize_t size = ::lgetxattr(path.c_str(), names + at, value, sizeof value);
            attributes.insert(std::string(names + at) + "=" + Hex(std::string(value, size > 0 ? size_t(size) : 0)));
        }
        for (const std::string& attribute : attributes)
            line += " " + attribute;
        out.insert(line);
        if (S_ISDIR(st.st_mode))
            Describe(root, rel + "/", out);
    }
    ::closedir(dir);
}

std::set<std::string> Describe(const std::string& root)
{
    std::set<std::string> out;
    Describe(root, "", out);
    return out;
}

// Folders and file contents only: what an item-by-item copy promises.
std::set<std::string> Contents(const std::string& root)
{
    std::set<std::string> out;
    for (const std::string& rel : TreeOf(root))
        out.insert(rel.back() == '/' ? rel : rel + "=" + ReadFile(root + "/" + rel));
    return out;
}

int CpArchive(const std::string& from, const std::string& to)
{
    const std::string command = "cp -a '" + from + "' '" + to + "'";
    return std::system(command.c_str());
}

bool HasCause(const StErrorContextInstaller& errors, int cause)
{
    for (VError code : Codes(errors))
        if (code == MakePosixError(cause))
            return true;
    return false;
}

TEST(FileNameText, EveryByteStringSurvivesTheRoundTrip)
{
    struct Row { const char* name; std::string bytes; std::u16string units; };
    const Row rows[] = {
        {"ascii", "App", u"App"},
        {"two, three and four-byte UTF-8", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", u"\u00e9\u20ac\U0001F600"},
        {"lone high byte", "..\xff", u"..\xdcff"},
        {"lead byte without its continuation", "a\xc3", u"a\xdcc3"},
        {"overlong slash", "\xc0\xaf", u"\xdcc0\xdcaf"},
        {"encoded surrogate", "\xed\xa0\x80", u"\xdced\xdca0\xdc80"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"},
        {"stray continuation before valid text", "\x80\xc3\xa9", u"\xdc80\u00e9"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const VString text = FileNameBytesToString(row.bytes);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text.GetCPointer()), size_t(text.GetLength())), row.units);
        EXPECT_EQ(FileNameStringToBytes(text), row.bytes);
    }
}

TEST(HostileTree, NamesThatAreNotUtf8ReachTheDiskAsTheSameBytes)
{
    enum class Left { Gone, Empty, Copy, Trash };
    struct Row { const char* name; std::function<VError(const Fixture&)> run; Left left; };
    const Row rows[] = {
        {"Delete(true)", [](const Fixture& t) { return FolderAt(t / "p/App")->Delete(true); }, Left::Gone},
        {"DeleteForced", [](const Fixture& t) { return FolderAt(t / "p/App")->DeleteForced(); }, Left::Gone},
        {"DeleteContents", [](const Fixture& t) { return FolderAt(t / "p/App")->DeleteContents(true); }, Left::Empty},
        {"CopyContentsTo, replacing", [](const Fixture& t) { return FolderAt(t / "p/App")->CopyContentsTo(*FolderAt(t / "p/Copy"), kReplace); }, Left::Copy},
        {"CopyTo item by item", [](const Fixture& t) { return FolderAt(t / "p/App")->CopyTo(*FolderAt(t / "p"), "Copy"); }, Left::Copy},
        {"CopyTo replacing a copy holding such names",
            [](const Fixture& t) {
                MakeTree(t / "p/Copy", {"bad\xff/", "bad\xff/x=old", "other=old"});
                return FolderAt(t / "p/App")->CopyTo(*FolderAt(t / "p"), "Copy", nullptr, kReplace);
            }, Left::Copy},
        {"MoveToTrash", [](const Fixture& t) { return FolderAt(t / "p/App")->MoveToTrash(); }, Left::Trash},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture t;
        MakeTree(t / "p", {"important/", "important/t=x", "App/", "App/..\xff/", "App/..\xff/a=1", "App/\xff/",
                           "App/\xff/b=2", "App/cfg=plain", "App/cfg\xff=escaped", "App/\xc3\xa9t\xe9=mixed"});
        const std::set<std::string> source = Contents(t / "p/App");
        StErrorContextInstaller errors;
        EXPECT_EQ(row.run(t), VE_OK);
        EXPECT_TRUE(errors.GetContext()->IsEmpty());
        EXPECT_EQ(ReadFile(t / "p/important/t"), "x");
        switch (row.left) {
        case Left::Gone: EXPECT_EQ(NamesIn(t / "p"), (Tree{"important"})); break;
        case Left::Empty: EXPECT_EQ(NamesIn(t / "p/App"), Tree{}); break;
        case Left::Copy: EXPECT_EQ(Contents(t / "p/Copy"), source); break;
        case Left::Trash:
            EXPECT_EQ(NamesIn(t / "p"), (Tree{"important"}));
            EXPECT_EQ(TreeOf(t / "home/.local/share/Trash/files/App"),
                (Tree{"..\xff/", "..\xff/a", "\xff/", "\xff/b", "cfg", "cfg\xff", "\xc3\xa9t\xe9"}));
            break;
        }
    }
}

TEST(HostileTree, AFolderThatCannotBeListedFailsTheCopy)
{
    for (unsigned options : {0u, kReplace}) {
        SCOPED_TRACE(options ? "replacing" : "item by item");
        Fixture t;
        MakeTree(t / "src", {"ok=1", "locked/", "locked/secret=s", "z/", "z/later=2"});
        // As root the folder belongs to root and the copy runs as another user; otherwise the
        // owner takes away its own permissions.
        SetMode(t / "src/locked", ::geteuid() == 0 ? 0700 : 0);
        MakeFolder(t / "dst", 0777);
        int result = RunUnprivileged(t.temp.Path(), [&] {
            StErrorContextInstaller errors;
            if (FolderAt(t / "src")->CopyTo(*FolderAt(t / "dst"), "Copy", nullptr, options) == VE_OK)
                return 1;
            return HasCause(errors, EACCES) ? 0 : 2;
        });
        SetMode(t / "src/locked", 0700);
        if (result == kUnprivilegedUnavailable)
            GTEST_SKIP() << "no unprivileged user can reach " << t.temp.Path();
        EXPECT_EQ(result, 0) << "1: success reported, 2: EACCES not the cause";
        EXPECT_EQ(NamesIn(t / "dst"), Tree{});
    }
}

TEST(HostileTree, RootCopyKeepsOwnersSetIdBitsAclsAndCapabilitiesAsCpDoes)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "owners and file capabilities are copied by root only";
    Fixture t;
    MakeTree(t / "src", {"bin=\x7f" "ELF", "acl=a", "dir/", "dir/owned=o", "hole=", "link->bin"});
    // cap_net_raw+ep as a version-2 capability record.
    const unsigned char capability[20] = {0x01, 0x00, 0x00, 0x02, 0x00, 0x20, 0x00, 0x00};
    // user::rw- user:1000:r-- group::r-- mask::r-- other::---
    const unsigned char acl[] = {2, 0, 0, 0, 1, 0, 6, 0, 0xff, 0xff, 0xff, 0xff, 2, 0, 4, 0, 0xe8, 3, 0, 0,
                                 4, 0, 4, 0, 0xff, 0xff, 0xff, 0xff, 0x10, 0, 4, 0, 0xff, 0xff, 0xff, 0xff,
                                 0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
    ASSERT_EQ(::chown((t / "src/bin").c_str(), 1234, 5678), 0);
    ASSERT_EQ(::chmod((t / "src/bin").c_str(), 04755), 0);
    if (::lsetxattr((t / "src/bin").c_str(), "security.capability", capability, sizeof capability, 0) != 0)
        GTEST_SKIP() << "file capabilities not supported here: " << std::strerror(errno);
    const bool withAcl = ::lsetxattr((t / "src/acl").c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
    ASSERT_EQ(::lchown((t / "src/dir").c_str(), 42, 43), 0);
    ASSERT_EQ(::truncate((t / "src/hole").c_str(), 1 << 20), 0);

    ASSERT_EQ(CpArchive(t / "src", t / "cp"), 0);
    ASSERT_EQ(FolderAt(t / "src")->CopyTo(*FolderAt(t.root), "ours", nullptr, kReplace), VE_OK);
    ASSERT_EQ(FolderAt(t / "src")->CopyContentsTo(*FolderAt(t / "items")), VE_OK);

    EXPECT_EQ(Describe(t / "ours"), Describe(t / "cp"));
    char value[64];
    EXPECT_EQ(::lgetxattr((t / "ours/bin").c_str(), "security.capability", value, sizeof value), ssize_t(sizeof capability));
    EXPECT_EQ(Mode(t / "ours/bin"), 04755u);
    if (withAcl) {
        EXPECT_EQ(::lgetxattr((t / "items/acl").c_str(), "system.posix_acl_access", value, sizeof value), ssize_t(sizeof acl));
    }
    EXPECT_EQ(::lgetxattr((t / "items/bin").c_str(), "security.capability", value, sizeof value), ssize_t(sizeof capability));
}

TEST(HostileTree, CopyOntoAFullDiskFailsWithItsCauseAndLeavesNothing)
{
    Fixture t;
    // Read-only folders that are complete before the disk fills: the clean-up must open them.
    const std::string mega(1200 * 1024, 'x');
    MakeTree(t / "src", {"ro1/", "ro2/", "ro3/", "ro4/", "ro5/"});
    for (const char* folder : {"ro1", "ro2", "ro3", "ro4", "ro5"}) {
        WriteFile(t / "src/" + folder + "/data", mega);
        SetMode(t / "src/" + folder, 0555);
    }
    MakeFolder(t / "small", 0777);
    struct Row { const char* name; bool unprivileged; unsigned options; };
    for (const Row& row : {Row{"root, replacing", false, kReplace}, Row{"root, item by item", false, 0},
                           Row{"unprivileged, replacing", true, kReplace}, Row{"unprivileged, item by item", true, 0}}) {
        SCOPED_TRACE(row.name);
        if (row.unprivileged != (::geteuid() != 0) && ::geteuid() != 0)
            continue; // without root there is only the unprivileged run
        auto copy = [&] {
            StErrorContextInstaller errors;
            if (FolderAt(t / "src")->CopyTo(*FolderAt(t / "small"), "Copy", nullptr, row.options) == VE_OK)
                return 1;
            if (!HasCause(errors, ENOSPC))
                return 2;
            struct statvfs fs;
            if (EntryExists(t / "small/Copy") || ::statvfs((t / "small").c_str(), &fs) != 0 || fs.f_bfree != fs.f_blocks)
                return 3;
            return 0;
        };
        int result = RunWithPrivateMounts([&] {
            if (::mount("none", (t / "small").c_str(), "tmpfs", 0, "size=5m,mode=0777") != 0)
                return kUnprivilegedUnavailable;
            return row.unprivileged && ::geteuid() == 0 ? RunUnprivileged(t.temp.Path(), copy) : copy();
        });
        if (result == kUnprivilegedUnavailable)
            GTEST_SKIP() << "cannot mount a small tmpfs in a private mount namespace here";
        EXPECT_EQ(result, 0) << "1: success reported, 2: ENOSPC not the cause, 3: something left";
    }
    for (const char* folder : {"ro1", "ro2", "ro3", "ro4", "ro5"})
        SetMode(t / "src/" + folder, 0755);
}

TEST(HostileTree, DeletesNeverFollowAFolderSwappedForALink)
{
    struct Row { const char* name; VError (*run)(const VFolder&); };
    const Row rows[] = {
        {"Delete(true)", [](const VFolder& f) { return f.Delete(true); }},
        {"DeleteForced", [](const VFolder& f) { return f.DeleteForced(); }},
        {"DeleteContents", [](const VFolder& f) { return f.DeleteContents(true); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture t;
        MakeFolder(t / "outside");
        for (int i = 0; i < 40; ++i)
            WriteFile(t / "outside/keep-" + std::to_string(i), "k");
        // A bounded number of runs; each races a thread that keeps exchanging a folder of the
        // tree with a link to the outside folder, whose entries have the same names.
        for (int run = 0; run < 15; ++run) {
            MakeTree(t.root, {"victim/", "victim/x/", "victim/x/d/", "victim/x/l->" + t / "outside"});
            for (int i = 0; i < 40; ++i)
                WriteFile(t / "victim/x/d/keep-" + std::to_string(i), "v");
            std::atomic<bool> stop{false};
            std::thread exchanger([&] {
                const std::string d = t / "victim/x/d", l = t / "victim/x/l";
                while (!stop.load())
                    (void)::renameat2(AT_FDCWD, d.c_str(), AT_FDCWD, l.c_str(), RENAME_EXCHANGE);
            });
            StErrorContextInstaller errors(true, true);
            (void)row.run(*FolderAt(t / "victim")); // may fail: the tree changes under it
            stop = true;
            exchanger.join();
            ASSERT_EQ(NamesIn(t / "outside").size(), 40u) << "run " << run;
            if (EntryExists(t / "victim")) {
                ASSERT_EQ(FolderAt(t / "victim")->DeleteForced(), VE_OK);
            }
        }
        EXPECT_TRUE(LinkStat(t / "outside").st_mode != 0);
    }
}

// Builds levels folders of 200-character names below root (deeper than PATH_MAX), a file at the
// bottom; paths that long cannot be used, so the tree is made relative to descriptors.
void MakeDeepTree(const std::string& root, int levels, unsigned bottomMode)
{
    MakeFolder(root);
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const std::string name(200, 'd');
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    ASSERT_EQ(::fchmod(fd, bottomMode), 0);
    ::close(fd);
}

TEST(HostileTree, TreesDeeperThanPathMaxAreCopiedAndDeleted)
{
    Fixture t;
    MakeDeepTree(t / "deep", 25, 0755);
    ASSERT_EQ(FolderAt(t / "deep")->CopyTo(*FolderAt(t.root), "copy", nullptr, kReplace), VE_OK);
    EXPECT_EQ(FolderAt(t / "copy")->Delete(true), VE_OK);
    EXPECT_EQ(FolderAt(t / "deep")->DeleteForced(), VE_OK);
    EXPECT_EQ(NamesIn(t.root), (Tree{}));

    // A deep copy that fails at the bottom reports that cause, not ENAMETOOLONG, and removes
    // everything it made.
    MakeDeepTree(t / "deep", 25, 0);
    MakeFolder(t / "dst", 0777);
    int result = RunUnprivileged(t.temp.Path(), [&] {
        StErrorContextInstaller errors(true, true);
        if (FolderAt(t / "deep")->CopyTo(*FolderAt(t / "dst"), "copy", nullptr, kReplace) == VE_OK)
            return 1;
        return HasCause(errors, EACCES) ? 0 : 2;
    });
    if (result == kUnprivilegedUnavailable)
        GTEST_SKIP() << "no unprivileged user can reach " << t.temp.Path();
    EXPECT_EQ(result, 0) << "1: success reported, 2: EACCES not the cause";
    EXPECT_EQ(NamesIn(t / "dst"), Tree{});
    EXPECT_EQ(FolderAt(t / "deep")->DeleteForced(), VE_OK);
}

TEST(HostileTree, StaleTemporaryCopiesAreRemovedByTheNextReplacingCopy)
{
    Fixture t;
    pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone);
    // pid 1 is alive; its start time is read here independently.
    const std::string stat = ReadFile("/proc/1/stat");
    std::string field = stat.substr(stat.rfind(')') + 2);
    for (int i = 3; i < 22; ++i)
        field = field.substr(field.find(' ') + 1);
    const std::string live = ".~qzcopy-1-" + field.substr(0, field.find(' ')) + "-0";
    MakeTree(t / "dst", {".~qzcopy-" + dead + "-77-0=stale", ".~qzcopy-" + dead + "-3=old form", live + "=live",
                         "file=old"});
    WriteFile(t / "file", "new");
    EXPECT_EQ(FileAt(t / "file")->CopyTo(*FolderAt(t / "dst"), nullptr, kReplace), VE_OK);
    EXPECT_EQ(NamesIn(t / "dst"), (Tree{"file", live}));
    EXPECT_EQ(ReadFile(t / "dst/file"), "new");
}

} // namespace
} // namespace nuvo::test
