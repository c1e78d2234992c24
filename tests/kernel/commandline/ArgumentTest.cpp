#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kernel/commandline/Argument.h"
#include "kernel/commandline/VCommandLineParser.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFilePath.h"
#include "kernel/files/VFolder.h"
#include "kernel/text/FileNameText.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::Extension::CommandLineParser {
namespace {

// "rejected", or the value read.
template <class T> std::string Convert(const char* text)
{
    std::vector<VString> args;
    VCommandLineParser parser(args);
    T value{};
    if (!Argument<T>::Append(parser, value, VString(text)))
        return "rejected";
    return std::to_string(value);
}

TEST(CommandLineArgument, NumbersAndBooleans)
{
    struct Row {
        const char* text;
        std::string asBool, asInt, asUnsigned, asLongLong, asUnsignedLongLong;
    };
    const std::string r = "rejected";
    const std::vector<Row> rows = {
        {"1", "1", "1", "1", "1", "1"},
        {"0", "0", "0", "0", "0", "0"},
        {"true", "1", r, r, r, r},
        {"TRUE", "1", r, r, r, r},
        {"False", "0", r, r, r, r},
        {"yes", r, r, r, r, r},
        {" 1", r, "1", "1", "1", "1"},
        {"", r, r, r, r, r},
        {"  ", r, r, r, r, r},
        {"010", r, "8", "8", "8", "8"},
        {"08", r, r, r, r, r},
        {"0x10", r, r, r, r, r},
        {"+7", r, "7", "7", "7", "7"},
        {"-7", r, "-7", r, "-7", "18446744073709551609"},
        {"--7", r, r, r, r, r},
        {"7-", r, r, r, r, r},
        {"\t-2147483648\n", r, "-2147483648", r, "-2147483648", "18446744071562067968"},
        {"2147483648", r, r, "2147483648", "2147483648", "2147483648"},
        {"4294967296", r, r, r, "4294967296", "4294967296"},
        {"9223372036854775808", r, r, r, r, "9223372036854775808"},
        {"18446744073709551616", r, r, r, r, r},
        // 29 characters are read (and overflow), 30 are not a number at all.
        {"00000000000000000000000000042", r, "34", "34", "34", "34"},
        {"000000000000000000000000000042", r, r, r, r, r},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("\"") + row.text + "\"");
        EXPECT_EQ(Convert<bool>(row.text), row.asBool);
        EXPECT_EQ(Convert<int>(row.text), row.asInt);
        EXPECT_EQ(Convert<unsigned int>(row.text), row.asUnsigned);
        EXPECT_EQ(Convert<long long>(row.text), row.asLongLong);
        EXPECT_EQ(Convert<unsigned long long>(row.text), row.asUnsignedLongLong);
    }
}

TEST(CommandLineArgument, PathsFilesAndFolders)
{
    test::StTempFolder temp;
    std::filesystem::create_directories(temp / "dir/sub");
    test::WriteFile(temp / "dir/file.txt", "x");
    // Name bytes that are not UTF-8, beside the decoy a lossy decoding would name.
    test::WriteFile(temp / "dir/f\xff.txt", "x");
    std::filesystem::create_directories(temp / "dir/f\xef\xbf\xbd.txt");
    ASSERT_EQ(::symlink("dir/file.txt", (temp / "link").c_str()), 0);
    ASSERT_EQ(::symlink("dir", (temp / "dirlink").c_str()), 0);
    const std::string canonicalTemp = std::filesystem::canonical(temp.Path());
    struct Row {
        std::string text;
        bool pathAccepted;
        std::string path;   // what VFilePath holds afterwards
        bool isFile, isFolder;   // accepted by VRefPtr<VFile>, VRefPtr<VFolder>
    };
    const std::vector<Row> rows = {
        {temp / "dir", true, canonicalTemp + "/dir/", false, true},
        {temp / "dir/sub/../file.txt", true, canonicalTemp + "/dir/file.txt", true, false},
        {temp / "link", true, canonicalTemp + "/dir/file.txt", true, false},
        {temp / "dirlink/", true, canonicalTemp + "/dir/", false, true},
        {temp / "dir/f\xff.txt", true, canonicalTemp + "/dir/f\xff.txt", true, false},
        {temp / "missing", false, temp / "missing", false, false},
        {temp / "dir/file.txt/x", false, temp / "dir/file.txt/x", false, false},
        {"", false, "", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<VString> args;
        VCommandLineParser parser(args);
        const VString text = FileNameBytesToString(row.text);
        VFilePath path(VString("/previous/"), FilePathStyle::Posix);
        EXPECT_EQ(Argument<VFilePath>::Append(parser, path, text), row.pathAccepted);
        EXPECT_EQ(FileNameStringToBytes(path.GetPath()), row.path);

        VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VFilePath(VString("/previous"), FilePathStyle::Posix)));
        EXPECT_EQ(Argument<VRefPtr<VFile>>::Append(parser, file, text), row.isFile);
        EXPECT_EQ(bool(file), row.isFile) << "cleared on rejection";
        VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(VFilePath(VString("/previous/"), FilePathStyle::Posix)));
        EXPECT_EQ(Argument<VRefPtr<VFolder>>::Append(parser, folder, text), row.isFolder);
        EXPECT_EQ(bool(folder), row.isFolder) << "cleared on rejection";
    }
}

} // namespace
} // namespace nuvo::Extension::CommandLineParser
