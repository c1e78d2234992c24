#include "kernel/platform/XLinuxTrash.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <regex>
#include <unistd.h>

#include "tests/kernel/platform/FolderTestSupport.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::test {
namespace {

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Checks an info file line by line: header, exact Path=, DeletionDate of the right shape.
void ExpectTrashInfo(const std::string& infoFile, const std::string& expectedPath)
{
    const std::string content = ReadFile(infoFile);
    std::smatch match;
    static const std::regex shape("\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2})\n");
    ASSERT_TRUE(std::regex_match(content, match, shape)) << content;
    EXPECT_EQ(match[1].str(), expectedPath);
}

TEST(XLinuxTrash, CandidateNamesPutTheNumberBeforeTheExtension)
{
    struct Row {
        const char* name;
        unsigned attempt;
        const char* expected;
    } rows[] = {
        {"Client", 1, "Client"},
        {"Client", 2, "Client.2"},
        {"Client", 10, "Client.10"},
        {"Client_old0001.app", 1, "Client_old0001.app"},
        {"Client_old0001.app", 2, "Client_old0001.2.app"},
        {"archive.tar.gz", 3, "archive.tar.3.gz"},
        {".hidden", 2, ".hidden.2"},
        {".config.json", 2, ".config.2.json"},
        {"trailing.", 2, "trailing..2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " #" + std::to_string(row.attempt));
        EXPECT_EQ(XLinuxTrash::CandidateName(row.name, row.attempt), row.expected);
    }
}

TEST(XLinuxTrash, EncodePathEscapesAllButUnreservedAndSlash)
{
    struct Row {
        const char* path;
        const char* expected;
    } rows[] = {
        {"/home/me/Client.app", "/home/me/Client.app"},
        {"/a b/c", "/a%20b/c"},
        {"/x%y#z?q", "/x%25y%23z%3Fq"},
        {"azAZ09-._~/", "azAZ09-._~/"},
        {":@!$&'()*+,;=", "%3A%40%21%24%26%27%28%29%2A%2B%2C%3B%3D"},
        {"/Caf\xC3\xA9", "/Caf%C3%A9"},
        {"rel/x", "rel/x"},
        {"\x7F\x01", "%7F%01"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(XLinuxTrash::EncodePath(row.path), row.expected);
    }
}

TEST(XLinuxTrash, HomeTrashPathFromEnvironment)
{
    StEnvVar home("HOME", "/home/tester");
    struct Row {
        std::optional<std::string> dataHome;
        const char* expected;
    } rows[] = {
        {std::nullopt, "/home/tester/.local/share/Trash"},
        {std::string("/data/xdg"), "/data/xdg/Trash"},
        {std::string("/data/xdg/"), "/data/xdg/Trash"},
        {std::string("relative/xdg"), "/home/tester/.local/share/Trash"}, // must be absolute
        {std::string(""), "/home/tester/.local/share/Trash"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dataHome.value_or("(unset)"));
        StEnvVar dataHome("XDG_DATA_HOME", row.dataHome);
        EXPECT_EQ(XLinuxTrash::HomeTrashPath(), row.expected);
    }
}

TEST(XLinuxTrash, SameNameTwiceGivesTwoEntriesInTheHomeTrash)
{
    StTempFolder temp;
    StEnvVar home("HOME", temp / "home");
    StEnvVar dataHome("XDG_DATA_HOME", temp / "home/data");
    MakeFolder(temp / "home");
    MakeFolder(temp / "apps");
    const std::string real = RealPath(temp.Path());

    MakeFolder(temp / "apps/Client");
    WriteFile(temp / "apps/Client/first", "1");
    ASSERT_EQ(XLinuxTrash::MoveToTrash(temp / "apps/Client/"), VE_OK);
    MakeFolder(temp / "apps/Client");
    WriteFile(temp / "apps/Client/second", "2");
    ASSERT_EQ(XLinuxTrash::MoveToTrash(temp / "apps/Client"), VE_OK);

    const std::string trash = temp / "home/data/Trash";
    EXPECT_FALSE(EntryExists(temp / "apps/Client"));
    EXPECT_EQ(NamesIn(trash + "/files"), (std::set<std::string>{"Client", "Client.2"}));
    EXPECT_EQ(NamesIn(trash + "/info"), (std::set<std::string>{"Client.trashinfo", "Client.2.trashinfo"}));
    EXPECT_EQ(ReadFile(trash + "/files/Client/first"), "1");
    EXPECT_EQ(ReadFile(trash + "/files/Client.2/second"), "2");
    ExpectTrashInfo(trash + "/info/Client.trashinfo", real + "/apps/Client");
    ExpectTrashInfo(trash + "/info/Client.2.trashinfo", real + "/apps/Client");
    for (const char* folder : {"/home/data", "/home/data/Trash", "/home/data/Trash/files", "/home/data/Trash/info"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(LinkStat(temp / folder).st_mode & 07777, 0700u);
    }
}

TEST(XLinuxTrash, PathIsPercentEncodedAndLinksGoAsLinks)
{
    StTempFolder temp;
    StEnvVar home("HOME", temp / "home");
    StEnvVar dataHome("XDG_DATA_HOME", std::nullopt);
    MakeFolder(temp / "home");
    MakeFolder(temp / "My Apps");
    MakeFolder(temp / "My Apps/Caf\xC3\xA9 50%.app");
    WriteFile(temp / "target", "t");
    MakeLink(temp / "target", temp / "My Apps/link");
    const std::string real = RealPath(temp.Path());

    ASSERT_EQ(XLinuxTrash::MoveToTrash(temp / "My Apps/Caf\xC3\xA9 50%.app"), VE_OK);
    ASSERT_EQ(XLinuxTrash::MoveToTrash(temp / "My Apps/link"), VE_OK);

    const std::string trash = temp / "home/.local/share/Trash";
    ExpectTrashInfo(trash + "/info/Caf\xC3\xA9 50%.app.trashinfo",
        XLinuxTrash::EncodePath(real) + "/My%20Apps/Caf%C3%A9%2050%25.app");
    EXPECT_TRUE(S_ISDIR(LinkStat(trash + "/files/Caf\xC3\xA9 50%.app").st_mode));
    EXPECT_TRUE(S_ISLNK(LinkStat(trash + "/files/link").st_mode));
    EXPECT_EQ(ReadFile(temp / "target"), "t");
}

TEST(XLinuxTrash, MissingItemFailsWithoutLeavingInfo)
{
    StTempFolder temp;
    StEnvVar home("HOME", temp / "home");
    StEnvVar dataHome("XDG_DATA_HOME", std::nullopt);
    MakeFolder(temp / "home");

    EXPECT_EQ(XLinuxTrash::MoveToTrash(temp / "gone"), MakePosixError(ENOENT));
    EXPECT_EQ(XLinuxTrash::MoveToTrash(temp / "no-parent/gone"), MakePosixError(ENOENT));

    // A rename that fails after the name was reserved gives the reservation back.
    std::string name;
    MakeFolder(temp / "trash", 0700);
    EXPECT_EQ(XLinuxTrash::MoveInto(temp / "gone", temp / "trash", "gone", &name), MakePosixError(ENOENT));
    EXPECT_EQ(NamesIn(temp / "trash/info"), std::set<std::string>{});
    EXPECT_EQ(NamesIn(temp / "trash/files"), std::set<std::string>{});
}

TEST(XLinuxTrash, NeverCopiesAcrossDevices)
{
    // A trash on another file system: the rename fails with EXDEV and the item stays put.
    StTempFolder temp;
    struct stat shm;
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == LinkStat(temp.Path()).st_dev)
        GTEST_SKIP() << "no second file system (/dev/shm) to put a trash on";
    StEnvVar tmpdir("TMPDIR", "/dev/shm");
    StTempFolder otherDevice;
    MakeFolder(temp / "item");
    WriteFile(temp / "item/f", "stays");
    std::string name;

    EXPECT_EQ(XLinuxTrash::MoveInto(temp / "item", otherDevice / "trash", "/item", &name), MakePosixError(EXDEV));

    EXPECT_EQ(ReadFile(temp / "item/f"), "stays");
    EXPECT_EQ(NamesIn(otherDevice / "trash/info"), std::set<std::string>{});
    EXPECT_EQ(NamesIn(otherDevice / "trash/files"), std::set<std::string>{});
}

TEST(XLinuxTrash, VolumeTrashChoice)
{
    const std::string uid = std::to_string(::geteuid());
    struct Row {
        const char* name;
        int setup; // 0 nothing, 1 sticky .Trash, 2 .Trash without sticky bit, 3 .Trash a link to a sticky folder, 4 .Trash-uid a file
        std::string expected; // relative to the top directory; empty for a failure
    } rows[] = {
        {"no shared trash", 0, ".Trash-" + uid},
        {"sticky shared trash", 1, ".Trash/" + uid},
        {"shared trash without sticky bit", 2, ".Trash-" + uid},
        {"shared trash is a link", 3, ".Trash-" + uid},
        {"own trash name taken by a file", 4, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        const std::string top = temp / "top";
        MakeFolder(top);
        if (row.setup == 1)
            MakeFolder(top + "/.Trash", 01777);
        if (row.setup == 2)
            MakeFolder(top + "/.Trash", 0777);
        if (row.setup == 3) {
            MakeFolder(temp / "elsewhere", 01777);
            MakeLink(temp / "elsewhere", top + "/.Trash");
        }
        if (row.setup == 4)
            WriteFile(top + "/.Trash-" + uid, "");

        std::string trash;
        VError error = XLinuxTrash::PrepareVolumeTrash(top, ::geteuid(), &trash);

        if (row.expected.empty()) {
            EXPECT_EQ(error, MakePosixError(ENOTDIR));
            continue;
        }
        ASSERT_EQ(error, VE_OK);
        EXPECT_EQ(trash, top + "/" + row.expected);
        EXPECT_EQ(LinkStat(trash).st_mode & 07777, 0700u);
        if (row.setup == 3) {
            EXPECT_EQ(NamesIn(temp / "elsewhere"), std::set<std::string>{});
        }
    }
}

TEST(XLinuxTrash, VolumeTrashRecordsPathRelativeToTopDirectory)
{
    StTempFolder temp;
    const std::string top = temp / "top";
    MakeFolder(top);
    MakeFolder(top + "/Applications");
    MakeFolder(top + "/Applications/Client_old0001.app");
    MakeFolder(top + "/Applications/again");
    std::string trash;
    ASSERT_EQ(XLinuxTrash::PrepareVolumeTrash(top, ::geteuid(), &trash), VE_OK);

    std::string name;
    ASSERT_EQ(XLinuxTrash::MoveInto(top + "/Applications/Client_old0001.app/", trash,
                  "Applications/Client_old0001.app", &name),
        VE_OK);
    EXPECT_EQ(name, "Client_old0001.app");
    ASSERT_EQ(::rename((top + "/Applications/again").c_str(), (top + "/Applications/Client_old0001.app").c_str()), 0);
    ASSERT_EQ(XLinuxTrash::MoveInto(top + "/Applications/Client_old0001.app", trash,
                  "Applications/Client_old0001.app", &name),
        VE_OK);
    EXPECT_EQ(name, "Client_old0001.2.app");

    ExpectTrashInfo(trash + "/info/Client_old0001.2.app.trashinfo", "Applications/Client_old0001.app");
    EXPECT_EQ(NamesIn(trash + "/files"), (std::set<std::string>{"Client_old0001.app", "Client_old0001.2.app"}));
}

TEST(XLinuxTrash, OrphanedTrashEntryIsNotOverwritten)
{
    StTempFolder temp;
    MakeFolder(temp / "trash", 0700);
    MakeFolder(temp / "trash/files", 0700);
    MakeFolder(temp / "trash/info", 0700);
    WriteFile(temp / "trash/files/doc", "orphan"); // no info file
    WriteFile(temp / "doc", "new");
    std::string name;

    ASSERT_EQ(XLinuxTrash::MoveInto(temp / "doc", temp / "trash", "/x/doc", &name), VE_OK);

    EXPECT_EQ(name, "doc.2");
    EXPECT_EQ(ReadFile(temp / "trash/files/doc"), "orphan");
    EXPECT_EQ(ReadFile(temp / "trash/files/doc.2"), "new");
    EXPECT_EQ(NamesIn(temp / "trash/info"), std::set<std::string>{"doc.2.trashinfo"});
}

TEST(XLinuxTrash, TopDirectoryIsTheMountPoint)
{
    StTempFolder temp;
    MakeFolder(temp / "a");
    MakeFolder(temp / "a/b");
    const std::string path = RealPath(temp / "a/b");
    std::string top;
    ASSERT_EQ(XLinuxTrash::FindTopDirectory(path, &top), VE_OK);
    // Independent check: top is an ancestor on the same device whose parent is on another one.
    ASSERT_EQ(path.compare(0, top.size(), top), 0);
    EXPECT_EQ(LinkStat(top).st_dev, LinkStat(path).st_dev);
    if (top != "/") {
        std::string parent = top.substr(0, top.rfind('/'));
        EXPECT_NE(LinkStat(parent.empty() ? "/" : parent).st_dev, LinkStat(top).st_dev);
    }

    struct stat proc, root;
    if (::stat("/proc/self", &proc) == 0 && ::stat("/", &root) == 0 && proc.st_dev != root.st_dev) {
        ASSERT_EQ(XLinuxTrash::FindTopDirectory("/proc/1", &top), VE_OK);
        EXPECT_EQ(top, "/proc");
    }
    EXPECT_EQ(XLinuxTrash::FindTopDirectory(temp / "missing", &top), MakePosixError(ENOENT));
}

} // namespace
} // namespace nuvo::test
