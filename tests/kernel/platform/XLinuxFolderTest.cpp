#include "kernel/platform/XLinuxFolder.h"
#include "kernel/platform/XLinuxFolderIterator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

TEST(XLinuxFolder, ExclusiveRenameNeverReplacesAndLeavesNoPlaceholder)
{
    struct Way { const char* name; VError (*rename)(const std::string&, const std::string&); };
    const Way ways[] = {{"renameat2", &XLinuxFolder::RenameExclusive},
                        {"placeholder", &XLinuxFolder::RenameWithPlaceholder}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        StTempFolder temp;
        MakeTree(temp.Path(), {"Client.app/", "Client.app/marker=old", "Taken.app/", "Taken.app/other=x", "Empty.app/",
                                  "file=f", "dangling->nowhere"});
        // An existing folder, even an empty one, a file and a dangling link are never replaced.
        for (const char* taken : {"Taken.app/", "Empty.app/", "file", "dangling"})
            EXPECT_EQ(way.rename(temp / "Client.app/", temp / taken), MakePosixError(EEXIST)) << taken;
        // A missing source fails and leaves no placeholder behind.
        EXPECT_EQ(way.rename(temp / "Missing.app/", temp / "New.app/"), MakePosixError(ENOENT));
        EXPECT_EQ(TreeOf(temp.Path()), (std::set<std::string>{"Client.app/", "Client.app/marker", "Empty.app/",
                                                               "Taken.app/", "Taken.app/other", "dangling", "file"}));

        EXPECT_EQ(way.rename(temp / "Client.app/", temp / "Client_old0001.app/"), VE_OK);

        EXPECT_FALSE(EntryExists(temp / "Client.app"));
        EXPECT_EQ(ReadFile(temp / "Client_old0001.app/marker"), "old");
    }

    // The placeholder is given back when the rename over it fails: a file cannot replace a
    // folder, a folder cannot move into itself.
    StTempFolder temp;
    MakeTree(temp.Path(), {"plain-file=f", "outer/"});
    EXPECT_EQ(XLinuxFolder::RenameWithPlaceholder(temp / "plain-file", temp / "target"), MakePosixError(EISDIR));
    EXPECT_EQ(XLinuxFolder::RenameWithPlaceholder(temp / "outer", temp / "outer/inner"), MakePosixError(EINVAL));
    EXPECT_EQ(TreeOf(temp.Path()), (std::set<std::string>{"outer/", "plain-file"}));
}

TEST(XLinuxFolder, TimesKeepNanosecondsAndErrorsAreErrno)
{
    StTempFolder temp;
    MakeTree(temp.Path(), {"d/", "d/f="});
    SetTimes(temp / "d", {1000000000, 7}, {1100000000, 8});
    timespec modified{}, accessed{}, created{};
    EXPECT_EQ(XLinuxFolder::GetTimes(temp / "d/", &modified, &created, &accessed), VE_OK);
    EXPECT_EQ(std::make_pair(modified.tv_sec, modified.tv_nsec), std::make_pair(time_t(1100000000), 8L));
    EXPECT_EQ(std::make_pair(accessed.tv_sec, accessed.tv_nsec), std::make_pair(time_t(1000000000), 7L));
    EXPECT_GT(created.tv_sec, 1100000000); // birth (or change) time is now, not the set times
    EXPECT_EQ(XLinuxFolder::GetTimes(temp / "none/", &modified, nullptr, nullptr), MakePosixError(ENOENT));
    EXPECT_EQ(XLinuxFolder::Remove(temp / "d/"), MakePosixError(ENOTEMPTY));
}

// (name, path) of every entry the iterator returns, sorted.
std::vector<std::pair<std::string, std::string>> Iterate(const std::string& folder, unsigned options)
{
    std::vector<std::pair<std::string, std::string>> found;
    XLinuxFolderIterator it(folder, options);
    while (it.Next())
        found.emplace_back(it.GetName(), it.GetPath());
    std::sort(found.begin(), found.end());
    return found;
}

TEST(XLinuxFolderIterator, OptionsChooseKindsInvisiblesAndLinkResolution)
{
    StTempFolder temp;
    const std::string root = temp / "root";
    MakeTree(root, {"a.txt=a", ".hidden=h", "sub/", ".hdir/", "link-file->a.txt", "link-dir->sub",
                       "link-hidden->.hidden", "dangling->gone", "fifo|"});

    // names: folders with a trailing '/'.
    struct Row { unsigned options; std::set<std::string> names; size_t count; } rows[] = {
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
        std::set<std::string> names;
        for (const auto& entry : found)
            names.insert(entry.first + (entry.second.back() == '/' ? "/" : ""));
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(found.size(), row.count);
    }
}

TEST(XLinuxFolderIterator, PathsAreRealFoldersEndWithSlashAndMissingFoldersAreEmpty)
{
    StTempFolder temp;
    MakeTree(temp.Path(), {"real/", "real/sub/", "real/f=", "real/link->sub", "alias->real"});
    const std::string base = RealPath(temp.Path()) + "/real/";
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(Iterate(temp / "alias/", 2 | 4), (Entries{{"f", base + "f"}, {"link", base + "link"}, {"sub", base + "sub/"}}));
    EXPECT_EQ(Iterate(temp / "alias", 2 | 16), (Entries{{"sub", base + "sub/"}, {"sub", base + "sub/"}}));

    EXPECT_TRUE(Iterate(temp / "missing/", 2 | 4 | 8).empty());
    EXPECT_TRUE(Iterate(temp / "real/f", 2 | 4 | 8).empty());
    XLinuxFolderIterator it(temp / "missing/", 4);
    EXPECT_FALSE(it.Next());
    EXPECT_FALSE(it.Next()); // stays at the end
    EXPECT_EQ(it.GetPath(), "");
}

} // namespace
} // namespace nuvo::test
