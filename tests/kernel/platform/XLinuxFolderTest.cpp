#include "kernel/platform/XLinuxFolder.h"
#include "kernel/platform/XLinuxFolderIterator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "tests/kernel/platform/FolderTestSupport.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::test {
namespace {

TEST(XLinuxFolder, IsFolderFollowsLinksAndRejectsOtherKinds)
{
    StTempFolder temp;
    MakeFolder(temp / "dir");
    WriteFile(temp / "file", "f");
    MakeLink("dir", temp / "link-to-dir");
    MakeLink("file", temp / "link-to-file");
    struct Row {
        const char* name;
        bool expected;
    } rows[] = {{"dir", true}, {"dir/", true}, {"file", false}, {"link-to-dir", true}, {"link-to-file", false},
        {"missing", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(XLinuxFolder::IsFolder(temp / row.name), row.expected);
    }
    EXPECT_FALSE(XLinuxFolder::IsFolder(""));
}

TEST(XLinuxFolder, CreateAndRemoveReportErrno)
{
    StTempFolder temp;
    EXPECT_EQ(XLinuxFolder::Create(temp / "a/", 0755), VE_OK);
    EXPECT_EQ(XLinuxFolder::Create(temp / "a", 0755), MakePosixError(EEXIST));
    EXPECT_EQ(XLinuxFolder::Create(temp / "x/y", 0755), MakePosixError(ENOENT));
    WriteFile(temp / "a/f", "");
    EXPECT_EQ(XLinuxFolder::Remove(temp / "a/"), MakePosixError(ENOTEMPTY));
    ASSERT_EQ(::unlink((temp / "a/f").c_str()), 0);
    EXPECT_EQ(XLinuxFolder::Remove(temp / "a/"), VE_OK);
    EXPECT_FALSE(EntryExists(temp / "a"));
}

TEST(XLinuxFolder, ModesAndTimes)
{
    StTempFolder temp;
    MakeFolder(temp / "d", 0700);
    EXPECT_EQ(XLinuxFolder::SetMode(temp / "d/", 0751), VE_OK);
    unsigned mode = 0;
    EXPECT_EQ(XLinuxFolder::GetMode(temp / "d/", &mode), VE_OK);
    EXPECT_EQ(mode, 0751u);
    EXPECT_EQ(XLinuxFolder::GetMode(temp / "none/", &mode), MakePosixError(ENOENT));

    const timespec times[2] = {{1000000000, 7}, {1100000000, 8}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (temp / "d").c_str(), times, 0), 0);
    timespec modified{}, accessed{}, created{};
    EXPECT_EQ(XLinuxFolder::GetTimes(temp / "d/", &modified, &created, &accessed), VE_OK);
    EXPECT_EQ(modified.tv_sec, 1100000000);
    EXPECT_EQ(modified.tv_nsec, 8);
    EXPECT_EQ(accessed.tv_sec, 1000000000);
    EXPECT_EQ(accessed.tv_nsec, 7);
    EXPECT_GT(created.tv_sec, 1100000000); // birth (or change) time is now, not the set times
}

using RenameFunction = VError (*)(const std::string&, const std::string&);

TEST(XLinuxFolder, ExclusiveRenameRefusesExistingNames)
{
    struct Way {
        const char* name;
        RenameFunction rename;
    } ways[] = {{"renameat2", &XLinuxFolder::RenameExclusive}, {"placeholder", &XLinuxFolder::RenameWithPlaceholder}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        StTempFolder temp;
        MakeFolder(temp / "Client.app");
        WriteFile(temp / "Client.app/marker", "old");
        MakeFolder(temp / "Taken.app");
        WriteFile(temp / "Taken.app/other", "x");
        MakeFolder(temp / "Empty.app");
        WriteFile(temp / "file", "f");

        // An existing folder, even an empty one, and an existing file are never replaced.
        EXPECT_EQ(way.rename(temp / "Client.app/", temp / "Taken.app/"), MakePosixError(EEXIST));
        EXPECT_EQ(way.rename(temp / "Client.app/", temp / "Empty.app/"), MakePosixError(EEXIST));
        EXPECT_EQ(way.rename(temp / "Client.app/", temp / "file"), MakePosixError(EEXIST));
        EXPECT_EQ(ReadFile(temp / "Client.app/marker"), "old");
        EXPECT_EQ(NamesIn(temp / "Empty.app"), std::set<std::string>{});
        // A missing source fails and leaves no placeholder behind.
        EXPECT_EQ(way.rename(temp / "Missing.app/", temp / "New.app/"), MakePosixError(ENOENT));
        EXPECT_FALSE(EntryExists(temp / "New.app"));

        EXPECT_EQ(way.rename(temp / "Client.app/", temp / "Client_old0001.app/"), VE_OK);

        EXPECT_FALSE(EntryExists(temp / "Client.app"));
        EXPECT_EQ(ReadFile(temp / "Client_old0001.app/marker"), "old");
    }
}

TEST(XLinuxFolder, PlaceholderRenameRemovesPlaceholderWhenRenameFails)
{
    StTempFolder temp;
    WriteFile(temp / "plain-file", "f");
    // rename(2) of a file over a folder fails: the reserved name must be given back.
    EXPECT_EQ(XLinuxFolder::RenameWithPlaceholder(temp / "plain-file", temp / "target"), MakePosixError(EISDIR));
    EXPECT_FALSE(EntryExists(temp / "target"));
    // Moving a folder into itself fails the same way.
    MakeFolder(temp / "outer");
    EXPECT_EQ(XLinuxFolder::RenameWithPlaceholder(temp / "outer", temp / "outer/inner"), MakePosixError(EINVAL));
    EXPECT_EQ(NamesIn(temp / "outer"), std::set<std::string>{});
}

// Collects (name, path) of every entry the iterator returns.
std::vector<std::pair<std::string, std::string>> Iterate(const std::string& folder, unsigned options)
{
    std::vector<std::pair<std::string, std::string>> found;
    XLinuxFolderIterator it(folder, options);
    while (it.Next())
        found.emplace_back(it.GetName(), it.GetPath());
    std::sort(found.begin(), found.end());
    return found;
}

std::set<std::string> NamesOf(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::set<std::string> unique;
    for (const auto& entry : entries)
        unique.insert(entry.first + (entry.second.back() == '/' ? "/" : ""));
    return unique;
}

TEST(XLinuxFolderIterator, OptionsChooseKindsInvisiblesAndLinkResolution)
{
    StTempFolder temp;
    const std::string root = temp / "root";
    MakeFolder(root);
    WriteFile(root + "/a.txt", "a");
    WriteFile(root + "/.hidden", "h");
    MakeFolder(root + "/sub");
    MakeFolder(root + "/.hdir");
    MakeLink("a.txt", root + "/link-file");
    MakeLink("sub", root + "/link-dir");
    MakeLink(".hidden", root + "/link-hidden");
    MakeLink("gone", root + "/dangling");
    ASSERT_EQ(::mkfifo((root + "/fifo").c_str(), 0600), 0);

    struct Row {
        unsigned options;
        std::set<std::string> names; // folders with a trailing '/'
        size_t count;
    } rows[] = {
        {0, {}, 0},
        {4, {"a.txt", "dangling", "link-dir", "link-file", "link-hidden"}, 5},
        {2, {"sub/"}, 1},
        {2 | 4, {"a.txt", "dangling", "link-dir", "link-file", "link-hidden", "sub/"}, 6},
        {4 | 8, {".hidden", "a.txt", "dangling", "link-dir", "link-file", "link-hidden"}, 6},
        {2 | 8, {".hdir/", "sub/"}, 2},
        // Resolved links carry their target's name; dangling links and hidden targets drop out.
        {4 | 16, {"a.txt"}, 2},
        {2 | 16, {"sub/"}, 2},
        {4 | 8 | 16, {".hidden", "a.txt"}, 4},
        // 32 adds the entries of other kinds as files, so that they can be deleted.
        {4 | 32, {"a.txt", "dangling", "fifo", "link-dir", "link-file", "link-hidden"}, 6},
        {2 | 4 | 8 | 16 | 32, {".hdir/", ".hidden", "a.txt", "fifo", "sub/"}, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        auto found = Iterate(root + "/", row.options);
        EXPECT_EQ(NamesOf(found), row.names);
        EXPECT_EQ(found.size(), row.count);
    }
}

TEST(XLinuxFolderIterator, PathsAreRealAndFoldersEndWithSlash)
{
    StTempFolder temp;
    MakeFolder(temp / "real");
    MakeFolder(temp / "real/sub");
    WriteFile(temp / "real/f", "");
    MakeLink("sub", temp / "real/link");
    MakeLink("real", temp / "alias");
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(temp.Path().c_str(), resolved), nullptr);
    const std::string base = std::string(resolved) + "/real/";

    auto plain = Iterate(temp / "alias/", 2 | 4);
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_EQ(plain[0], std::make_pair(std::string("f"), base + "f"));
    EXPECT_EQ(plain[1], std::make_pair(std::string("link"), base + "link"));
    EXPECT_EQ(plain[2], std::make_pair(std::string("sub"), base + "sub/"));

    auto resolvedEntries = Iterate(temp / "alias", 2 | 16);
    ASSERT_EQ(resolvedEntries.size(), 2u);
    EXPECT_EQ(resolvedEntries[0], std::make_pair(std::string("sub"), base + "sub/"));
    EXPECT_EQ(resolvedEntries[1], std::make_pair(std::string("sub"), base + "sub/"));
}

TEST(XLinuxFolderIterator, MissingOrUnreadableFolderIsEmpty)
{
    StTempFolder temp;
    EXPECT_TRUE(Iterate(temp / "missing/", 2 | 4 | 8).empty());
    WriteFile(temp / "file", "");
    EXPECT_TRUE(Iterate(temp / "file", 2 | 4 | 8).empty());
    XLinuxFolderIterator it(temp / "missing/", 4);
    EXPECT_FALSE(it.Next());
    EXPECT_FALSE(it.Next()); // stays at the end
    EXPECT_EQ(it.GetPath(), "");
}

TEST(XLinuxFolderIterator, TimesOfCurrentEntry)
{
    StTempFolder temp;
    WriteFile(temp / "f", "");
    const timespec times[2] = {{1000000000, 0}, {1234567890, 5}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (temp / "f").c_str(), times, 0), 0);
    XLinuxFolderIterator it(temp.Path(), 4);
    ASSERT_TRUE(it.Next());
    timespec modified{};
    EXPECT_EQ(it.GetTimes(&modified, nullptr, nullptr), VE_OK);
    EXPECT_EQ(modified.tv_sec, 1234567890);
    EXPECT_EQ(modified.tv_nsec, 5);
}

} // namespace
} // namespace nuvo::test
