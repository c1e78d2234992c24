#include "kernel/platform/XLinuxTrash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <regex>
#include <unistd.h>

#include "tests/kernel/files/FileTestSupport.h"
#include "tests/support/StEnvVar.h"

namespace nuvo::test {
namespace {

using Names = std::set<std::string>;

// Checks an info file: header, exact Path=, DeletionDate of the right shape.
void ExpectTrashInfo(const std::string& infoFile, const std::string& expectedPath)
{
    const std::string content = ReadFile(infoFile);
    std::smatch match;
    static const std::regex shape("\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
    ASSERT_TRUE(std::regex_match(content, match, shape)) << content;
    EXPECT_EQ(match[1].str(), expectedPath);
}

TEST(XLinuxTrash, NamesEncodingAndHomeTrashPath)
{
    struct NameRow { const char* name; unsigned attempt; const char* expected; } names[] = {
        {"Client", 1, "Client"}, {"Client", 2, "Client.2"}, {"Client", 10, "Client.10"},
        {"Client_old0001.app", 1, "Client_old0001.app"}, {"Client_old0001.app", 2, "Client_old0001.2.app"},
        {"archive.tar.gz", 3, "archive.tar.3.gz"}, {".hidden", 2, ".hidden.2"},
        {".config.json", 2, ".config.2.json"}, {"trailing.", 2, "trailing..2"},
    };
    for (const NameRow& row : names) {
        SCOPED_TRACE(std::string(row.name) + " #" + std::to_string(row.attempt));
        EXPECT_EQ(XLinuxTrash::CandidateName(row.name, row.attempt), row.expected);
    }

    // Every byte but the unreserved characters and '/' is escaped.
    struct EncodeRow { const char* path; const char* expected; } encodings[] = {
        {"azAZ09-._~/", "azAZ09-._~/"}, {"/a b/c", "/a%20b/c"}, {"/x%y#z?q", "/x%25y%23z%3Fq"},
        {":@!$&'()*+,;=", "%3A%40%21%24%26%27%28%29%2A%2B%2C%3B%3D"}, {"/Caf\xC3\xA9", "/Caf%C3%A9"},
        {"\x7F\x01", "%7F%01"},
    };
    for (const EncodeRow& row : encodings) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(XLinuxTrash::EncodePath(row.path), row.expected);
    }

    StEnvVar home("HOME", "/home/tester");
    struct HomeRow { std::optional<std::string> dataHome; const char* expected; } homes[] = {
        {std::nullopt, "/home/tester/.local/share/Trash"},
        {std::string("/data/xdg"), "/data/xdg/Trash"},
        {std::string("/data/xdg/"), "/data/xdg/Trash"},
        {std::string("relative/xdg"), "/home/tester/.local/share/Trash"}, // must be absolute
        {std::string(""), "/home/tester/.local/share/Trash"},
    };
    for (const HomeRow& row : homes) {
        SCOPED_TRACE(row.dataHome.value_or("(unset)"));
        StEnvVar dataHome("XDG_DATA_HOME", row.dataHome);
        EXPECT_EQ(XLinuxTrash::HomeTrashPath(), row.expected);
    }
}

TEST(XLinuxTrash, HomeTrashTakesClashingNamesEncodedPathsAndLinksAsLinks)
{
    StTempFolder temp;
    StEnvVar home("HOME", temp / "home");
    StEnvVar dataHome("XDG_DATA_HOME", temp / "home/data");
    MakeTree(temp.Path(), {"home/", "My Apps/", "My Apps/Caf\xC3\xA9 50%.app/", "My Apps/Caf\xC3\xA9 50%.app/first=1",
                              "target=t", "My Apps/link->" + temp / "target"});
    const std::string real = RealPath(temp.Path());
    const std::string item = temp / "My Apps/Caf\xC3\xA9 50%.app";

    ASSERT_EQ(XLinuxTrash::MoveToTrash(item + "/"), VE_OK);
    MakeTree(item, {"second=2"});
    ASSERT_EQ(XLinuxTrash::MoveToTrash(item), VE_OK);
    ASSERT_EQ(XLinuxTrash::MoveToTrash(temp / "My Apps/link"), VE_OK);

    const std::string trash = temp / "home/data/Trash";
    EXPECT_EQ(NamesIn(temp / "My Apps"), Names{});
    const std::string cafe = "Caf\xC3\xA9 50%";
    EXPECT_EQ(TreeOf(trash), (Names{"files/", "files/" + cafe + ".2.app/", "files/" + cafe + ".2.app/second",
                                 "files/" + cafe + ".app/", "files/" + cafe + ".app/first", "files/link", "info/",
                                 "info/" + cafe + ".2.app.trashinfo", "info/" + cafe + ".app.trashinfo",
                                 "info/link.trashinfo"}));
    const std::string encoded = XLinuxTrash::EncodePath(real) + "/My%20Apps/Caf%C3%A9%2050%25.app";
    ExpectTrashInfo(trash + "/info/Caf\xC3\xA9 50%.app.trashinfo", encoded);
    ExpectTrashInfo(trash + "/info/Caf\xC3\xA9 50%.2.app.trashinfo", encoded);
    EXPECT_TRUE(S_ISLNK(LinkStat(trash + "/files/link").st_mode));
    EXPECT_EQ(ReadFile(temp / "target"), "t");
    for (const char* folder : {"home/data", "home/data/Trash", "home/data/Trash/files", "home/data/Trash/info"})
        EXPECT_EQ(Mode(temp / folder), 0700u) << folder;
}

TEST(XLinuxTrash, AFailedMoveLeavesTheItemAndNoInfoFile)
{
    StTempFolder temp;
    StEnvVar home("HOME", temp / "home");
    StEnvVar dataHome("XDG_DATA_HOME", std::nullopt);
    MakeTree(temp.Path(), {"home/", "item/", "item/f=stays"});
    EXPECT_EQ(XLinuxTrash::MoveToTrash(temp / "gone"), MakePosixError(ENOENT));
    EXPECT_EQ(XLinuxTrash::MoveToTrash(temp / "no-parent/gone"), MakePosixError(ENOENT));

    // A rename that fails after the name was reserved gives the reservation back; a trash on
    // another file system is never reached by copying.
    std::string name;
    EXPECT_EQ(XLinuxTrash::MoveInto(temp / "gone", temp / "trash", "gone", &name), MakePosixError(ENOENT));
    EXPECT_EQ(TreeOf(temp / "trash"), (Names{"files/", "info/"}));
    struct stat shm;
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == LinkStat(temp.Path()).st_dev)
        GTEST_SKIP() << "no second file system (/dev/shm) to put a trash on";
    StEnvVar tmpdir("TMPDIR", "/dev/shm");
    StTempFolder otherDevice;

    EXPECT_EQ(XLinuxTrash::MoveInto(temp / "item", otherDevice / "trash", "/item", &name), MakePosixError(EXDEV));

    EXPECT_EQ(ReadFile(temp / "item/f"), "stays");
    EXPECT_EQ(TreeOf(otherDevice / "trash"), (Names{"files/", "info/"}));
}

TEST(XLinuxTrash, VolumeTrashChoice)
{
    const std::string uid = std::to_string(::geteuid());
    enum Setup { kNothing, kStickyShared, kSharedNotSticky, kSharedIsLink, kOwnNameIsAFile };
    // expected: relative to the top directory; empty for a failure (ENOTDIR).
    struct Row { const char* name; Setup setup; std::string expected; } rows[] = {
        {"no shared trash", kNothing, ".Trash-" + uid},
        {"sticky shared trash", kStickyShared, ".Trash/" + uid},
        {"shared trash without sticky bit", kSharedNotSticky, ".Trash-" + uid},
        {"shared trash is a link to a sticky folder", kSharedIsLink, ".Trash-" + uid},
        {"own trash name taken by a file", kOwnNameIsAFile, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder temp;
        const std::string top = temp / "top";
        MakeFolder(top);
        if (row.setup == kStickyShared || row.setup == kSharedNotSticky)
            MakeFolder(top + "/.Trash", row.setup == kStickyShared ? 01777 : 0777);
        if (row.setup == kSharedIsLink) {
            MakeFolder(temp / "elsewhere", 01777);
            MakeLink(temp / "elsewhere", top + "/.Trash");
        }
        if (row.setup == kOwnNameIsAFile)
            WriteFile(top + "/.Trash-" + uid, "");

        std::string trash;
        VError error = XLinuxTrash::PrepareVolumeTrash(top, ::geteuid(), &trash);

        EXPECT_EQ(NamesIn(temp / "elsewhere"), Names{});
        if (row.expected.empty()) {
            EXPECT_EQ(error, MakePosixError(ENOTDIR));
            continue;
        }
        ASSERT_EQ(error, VE_OK);
        EXPECT_EQ(trash, top + "/" + row.expected);
        EXPECT_EQ(Mode(trash), 0700u);
    }
}

TEST(XLinuxTrash, VolumeTrashRecordsRelativePathsAndKeepsOrphans)
{
    StTempFolder temp;
    const std::string top = temp / "top";
    MakeTree(top, {"Applications/", "Applications/Client_old0001.app/", "Applications/again/"});
    std::string trash;
    ASSERT_EQ(XLinuxTrash::PrepareVolumeTrash(top, ::geteuid(), &trash), VE_OK);
    // An entry left without its info file is never overwritten: the next name is taken.
    MakeTree(trash, {"files/", "info/", "files/Client_old0001.app=orphan"});

    const std::string item = top + "/Applications/Client_old0001.app";
    std::string name;
    ASSERT_EQ(XLinuxTrash::MoveInto(item + "/", trash, "Applications/Client_old0001.app", &name), VE_OK);
    EXPECT_EQ(name, "Client_old0001.2.app");
    ASSERT_EQ(::rename((top + "/Applications/again").c_str(), item.c_str()), 0);
    ASSERT_EQ(XLinuxTrash::MoveInto(item, trash, "Applications/Client_old0001.app", &name), VE_OK);
    EXPECT_EQ(name, "Client_old0001.3.app");

    ExpectTrashInfo(trash + "/info/Client_old0001.3.app.trashinfo", "Applications/Client_old0001.app");
    EXPECT_EQ(ReadFile(trash + "/files/Client_old0001.app"), "orphan");
    EXPECT_EQ(NamesIn(trash + "/info"),
              (Names{"Client_old0001.2.app.trashinfo", "Client_old0001.3.app.trashinfo"}));
}

TEST(XLinuxTrash, TopDirectoryIsTheMountPoint)
{
    StTempFolder temp;
    MakeTree(temp.Path(), {"a/", "a/b/"});
    const std::string path = RealPath(temp / "a/b");
    std::string top;
    ASSERT_EQ(XLinuxTrash::FindTopDirectory(path, &top), VE_OK);
    // Independent check: top is an ancestor on the same device whose parent is on another one.
    ASSERT_EQ(path.compare(0, top.size(), top), 0);
    EXPECT_EQ(LinkStat(top).st_dev, LinkStat(path).st_dev);
    if (top != "/") {
        EXPECT_NE(LinkStat(top.substr(0, std::max<size_t>(top.rfind('/'), 1))).st_dev, LinkStat(top).st_dev);
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
