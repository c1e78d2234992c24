#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemoryBuffer.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileDesc.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFileStream.h"
#include "kernel/files/VFolder.h"
#include "kernel/values/VValueBag.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

using test::ReadFile;
using test::StTempFolder;
using test::WriteFile;

constexpr VError kPosixEEXIST = MakePosixError(EEXIST);
constexpr VError kPosixENOENT = MakePosixError(ENOENT);
constexpr VError kPosixEACCES = MakePosixError(EACCES);

VFilePath PosixPath(const std::string& text)
{
    VString posix;
    posix.FromCString(text.c_str());
    return VFilePath(posix, FilePathStyle::Posix);
}

VRefPtr<VFile> MakeFile(const std::string& path)
{
    return VRefPtr<VFile>::Adopt(new VFile(PosixPath(path)));
}

std::string StringParam(const VErrorBase* error, const StPackedDictionaryKey& key)
{
    VString value;
    if (!error->GetBag()->GetString(key, value))
        return "<missing>";
    return to_string(value);
}

int32_t LongParam(const VErrorBase* error, const StPackedDictionaryKey& key)
{
    int32_t value = -12345;
    EXPECT_TRUE(error->GetBag()->GetLong(key, value)) << key.GetKey();
    return value;
}

struct stat LStat(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Runs body in a child process as the user "nobody" when the tests run as root, so that
// permission checks apply; returns body's exit status (100 when the switch failed, 77 when the
// unprivileged user cannot even reach the temporary folder).
int RunUnprivileged(const std::string& folder, const std::function<int()>& body)
{
    pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        if (::access(folder.c_str(), X_OK) != 0)
            ::_exit(77);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

class VFileTest : public ::testing::Test {
protected:
    StTempFolder fTemp;
    std::string P(const std::string& relative) const { return fTemp / relative; }
};

TEST_F(VFileTest, ExistsForFilesAndLinksOnly)
{
    WriteFile(P("file"), "x");
    ASSERT_EQ(::mkdir(P("folder").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("nowhere", P("dangling").c_str()), 0);

    struct Row {
        std::string path;
        bool exists;
    };
    const Row rows[] = {
        {P("file"), true},
        {P("dangling"), true},
        {P("folder"), false},      // a file path naming a folder
        {P("folder/"), false},     // a folder path is never looked up
        {P("file/"), false},       // ... even when a file of that name exists
        {P("missing"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(MakeFile(row.path)->Exists(), row.exists);
    }
}

TEST_F(VFileTest, FilesNamedFromTheirFolder)
{
    VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(PosixPath("/data/apps/")));
    struct Row {
        const char* name;
        FilePathStyle style;
        const char* path;
        const char* parent;
    };
    const Row rows[] = {
        {"x.json", FilePathStyle::Native, "/data/apps/x.json", "/data/apps/"},
        {"Client.app/Contents/Info.plist", FilePathStyle::Posix, "/data/apps/Client.app/Contents/Info.plist",
         "/data/apps/Client.app/Contents/"},
        {"../log.txt", FilePathStyle::Posix, "/data/log.txt", "/data/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(*folder, VString(row.name), row.style));
        VString text;
        file->GetPlatformPath(text, FilePathStyle::Posix);
        EXPECT_EQ(to_string(text), row.path);
        VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(file->RetainParentFolder());
        ASSERT_TRUE(parent);
        EXPECT_EQ(to_string(parent->GetPath().GetPath()), row.parent);
    }
    // A file path without a parent has no folder.
    VRefPtr<VFile> root = VRefPtr<VFile>::Adopt(new VFile(PosixPath("/")));
    EXPECT_EQ(root->RetainParentFolder(), nullptr);
}

TEST_F(VFileTest, CopyOntoAnExistingFileFailsWithTheWrappedError)
{
    WriteFile(P("a.txt"), "new");
    WriteFile(P("b.txt"), "old");
    VRefPtr<VFile> source = MakeFile(P("a.txt"));
    VFile* copy = reinterpret_cast<VFile*>(0x1);

    StErrorContextInstaller errors;
    // EEXIST is not in the native map: the fallback 605 is the record's code.
    EXPECT_EQ(source->CopyTo(PosixPath(P("b.txt")), &copy, 0), VE_FILE_CANNOT_COPY);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(ReadFile(P("b.txt")), "old");

    const VErrorContext::ErrorStack& stack = errors.GetContext()->GetErrorStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(stack[0]->GetError(), kPosixEEXIST);
    const VErrorBase* record = stack[1].Get();
    EXPECT_EQ(record->GetError(), VE_FILE_CANNOT_COPY);
    ASSERT_NE(dynamic_cast<const VFileError*>(record), nullptr);
    EXPECT_EQ(StringParam(record, FileErrorKeys::name), "a.txt");
    EXPECT_EQ(StringParam(record, FileErrorKeys::path), P("a.txt"));
    EXPECT_EQ(StringParam(record, FileErrorKeys::destination), P("b.txt"));
    EXPECT_EQ(LongParam(record, FileErrorKeys::options), 0);
}

TEST_F(VFileTest, CopyWithReplaceOverwrites)
{
    WriteFile(P("a.txt"), "new", 0640);
    WriteFile(P("b.txt"), "old and longer", 0600);
    VRefPtr<VFile> source = MakeFile(P("a.txt"));
    VFile* copy = nullptr;

    StErrorContextInstaller errors;
    ASSERT_EQ(source->CopyTo(PosixPath(P("b.txt")), &copy, FileCopyOptions::kReplaceExisting), VE_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(to_string(copy->GetPath().GetPath()), P("b.txt"));
    copy->Release();
    EXPECT_EQ(ReadFile(P("b.txt")), "new");
    EXPECT_EQ(LStat(P("b.txt")).st_mode & 07777, 0640u);
    EXPECT_EQ(errors.GetLastError(), VE_OK);
}

TEST_F(VFileTest, CopyIntoAFolderUsesTheSourceName)
{
    WriteFile(P("notes.txt"), "content");
    ASSERT_EQ(::mkdir(P("dest").c_str(), 0755), 0);
    VRefPtr<VFile> source = MakeFile(P("notes.txt"));

    VFile* copy = nullptr;
    ASSERT_EQ(source->CopyTo(PosixPath(P("dest/")), &copy, 0), VE_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(to_string(copy->GetPath().GetPath()), P("dest/notes.txt"));
    EXPECT_TRUE(copy->Exists());
    copy->Release();
    EXPECT_EQ(ReadFile(P("dest/notes.txt")), "content");

    // The folder form.
    ASSERT_EQ(::mkdir(P("other").c_str(), 0755), 0);
    VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(PosixPath(P("other/"))));
    ASSERT_EQ(source->CopyTo(*folder, nullptr, 0), VE_OK);
    EXPECT_EQ(ReadFile(P("other/notes.txt")), "content");

    // The VFile form takes the destination as given.
    VRefPtr<VFile> target = MakeFile(P("renamed.txt"));
    ASSERT_EQ(source->CopyTo(*target, 0), VE_OK);
    EXPECT_EQ(ReadFile(P("renamed.txt")), "content");
}

TEST_F(VFileTest, CopyKeepsModeTimesAndHoles)
{
    const off_t size = 8 << 20;
    int fd = ::open(P("sparse.bin").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0751);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "Q", 1, size - 1), 1);
    ::close(fd);
    ASSERT_EQ(::chmod(P("sparse.bin").c_str(), 0751), 0);
    const struct timespec times[2] = {{1400000000, 0}, {1234567890, 500000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, P("sparse.bin").c_str(), times, 0), 0);

    ASSERT_EQ(MakeFile(P("sparse.bin"))->CopyTo(PosixPath(P("copy.bin")), nullptr, 0), VE_OK);
    struct stat source = LStat(P("sparse.bin"));
    struct stat copy = LStat(P("copy.bin"));
    EXPECT_EQ(copy.st_mode & 07777, 0751u);
    EXPECT_EQ(copy.st_size, size);
    EXPECT_EQ(copy.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(copy.st_mtim.tv_nsec, 500000000);
    if (source.st_blocks * 512 < size) {
        EXPECT_LE(copy.st_blocks, 256) << "the hole was filled";
    }

    int64_t modified = 0, accessed = 0, created = 0;
    EXPECT_EQ(MakeFile(P("copy.bin"))->GetTimeAttributes(&modified, &created, &accessed), VE_OK);
    EXPECT_EQ(modified, 1234567890500);
    EXPECT_EQ(accessed, 1400000000000);
    EXPECT_GT(created, 0);
}

TEST_F(VFileTest, CopyErrorsWithoutAndWithThePlatform)
{
    WriteFile(P("a"), "x");
    struct Row {
        const char* name;
        VFilePath source;
        VFilePath dest;
        VError expected;
        size_t records;     // 1: the toolkit record alone; 2: the native cause first
    };
    const Row rows[] = {
        {"source not valid", VFilePath(VString("relative/a")), PosixPath(P("b")), VE_FILE_CANNOT_COPY, 1},
        {"dest not valid", PosixPath(P("a")), VFilePath(VString("")), VE_FILE_CANNOT_COPY, 1},
        {"missing source", PosixPath(P("missing")), PosixPath(P("b")), VE_FILE_NOT_FOUND, 2},
        {"missing dest folder", PosixPath(P("a")), PosixPath(P("no/b")), VE_FILE_NOT_FOUND, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(row.source));
        StErrorContextInstaller errors;
        EXPECT_EQ(file->CopyTo(row.dest, nullptr, FileCopyOptions::kReplaceExisting), row.expected);
        const VErrorContext::ErrorStack& stack = errors.GetContext()->GetErrorStack();
        ASSERT_EQ(stack.size(), row.records);
        EXPECT_EQ(stack.back()->GetError(), row.expected);
        EXPECT_EQ(LongParam(stack.back().Get(), FileErrorKeys::options), 4);
        if (row.records == 2) {
            EXPECT_EQ(stack.front()->GetError(), kPosixENOENT);
        }
    }
    EXPECT_NE(::access(P("b").c_str(), F_OK), 0);
}

TEST_F(VFileTest, PermissionsOfLinksAndFiles)
{
    WriteFile(P("target"), "x", 0600);
    ASSERT_EQ(::symlink("target", P("link").c_str()), 0);

    EXPECT_EQ(MakeFile(P("link"))->MAC_SetPermissions(0755), VE_OK);
    EXPECT_EQ(LStat(P("target")).st_mode & 07777, 0600u) << "the target keeps its mode";

    VRefPtr<VFile> target = MakeFile(P("target"));
    EXPECT_EQ(target->MAC_SetPermissions(0640), VE_OK);
    uint16_t mode = 0;
    EXPECT_EQ(target->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, 0640);

    StErrorContextInstaller errors;
    EXPECT_EQ(MakeFile(P("missing"))->MAC_SetPermissions(0644), VE_FILE_NOT_FOUND);
    EXPECT_EQ(MakeFile(P("missing"))->MAC_GetPermissions(&mode), VE_FILE_NOT_FOUND);
    EXPECT_EQ(errors.GetContext()->GetErrorCount(), 4u);
}

TEST_F(VFileTest, DeleteRemovesTheEntry)
{
    WriteFile(P("gone"), "x");
    VRefPtr<VFile> file = MakeFile(P("gone"));
    EXPECT_EQ(file->Delete(), VE_OK);
    EXPECT_FALSE(file->Exists());

    StErrorContextInstaller errors;
    EXPECT_EQ(file->Delete(), VE_FILE_NOT_FOUND);
    ASSERT_EQ(errors.GetContext()->GetErrorCount(), 2u);
    EXPECT_EQ(StringParam(errors.GetContext()->GetLast(), FileErrorKeys::name), "gone");
}

TEST_F(VFileTest, ContentRoundTripsAndCreatesParents)
{
    VRefPtr<VFile> file = MakeFile(P("a/b/c.bin"));
    const char data[] = "bytes\0with\0zeros";
    ASSERT_EQ(file->SetContent(data, sizeof data), VE_OK);
    EXPECT_TRUE(S_ISDIR(LStat(P("a/b")).st_mode));
    EXPECT_EQ(ReadFile(P("a/b/c.bin")), std::string(data, sizeof data));

    // A shorter content leaves nothing of the longer one.
    ASSERT_EQ(file->SetContent("xy", 2), VE_OK);
    VMemoryBuffer buffer;
    ASSERT_EQ(file->GetContent(buffer), VE_OK);
    ASSERT_EQ(buffer.GetDataSize(), 2u);
    EXPECT_EQ(std::memcmp(buffer.GetDataPtr(), "xy", 2), 0);

    ASSERT_EQ(file->AppendContent("z!", 2), VE_OK);
    EXPECT_EQ(ReadFile(P("a/b/c.bin")), "xyz!");
    int64_t size = 0;
    EXPECT_EQ(file->GetSize(&size), VE_OK);
    EXPECT_EQ(size, 4);

    char head[8] = {};
    size_t read = 0;
    EXPECT_EQ(file->GetData(head, sizeof head, &read), VE_OK);
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(std::string(head, read), "xyz!");

    ASSERT_EQ(file->SetContent(nullptr, 0), VE_OK);
    ASSERT_EQ(file->GetContent(buffer), VE_OK);
    EXPECT_EQ(buffer.GetDataSize(), 0u);
}

TEST_F(VFileTest, GetContentAsStringOfAMissingFile)
{
    VString text("junk");
    EXPECT_EQ(MakeFile(P("missing.txt"))->GetContentAsString(text, CharSet::UTF8, eCRM_NONE), VE_FILE_NOT_FOUND);
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(VFileTest, SetContentAsStringEncodings)
{
    // "é" and "€" in UTF-8 are C3 A9 and E2 82 AC.
    const VString text(u"h\u00E9\n\u20AC\r\nz\r");
    struct Row {
        const char* name;
        CharSet set;
        ECarriageReturnMode mode;
        bool withBOM;
        std::string bytes;
    };
    const Row rows[] = {
        {"utf-8", CharSet::UTF8, eCRM_NONE, false, "h\xC3\xA9\n\xE2\x82\xAC\r\nz\r"},
        {"utf-8 bom", CharSet::UTF8, eCRM_NONE, true, "\xEF\xBB\xBFh\xC3\xA9\n\xE2\x82\xAC\r\nz\r"},
        {"crlf", CharSet::UTF8, eCRM_CRLF, false, "h\xC3\xA9\r\n\xE2\x82\xAC\r\nz\r\n"},
        {"lf", CharSet::UTF8, eCRM_LF, false, "h\xC3\xA9\n\xE2\x82\xAC\nz\n"},
        {"utf-16 bom", CharSet::UTF16, eCRM_NONE, true,
         std::string("\xFF\xFEh\0\xE9\0\n\0\xAC\x20\r\0\n\0z\0\r\0", 18)},
        {"utf-16 big endian", CharSet::UTF16_BigEndian, eCRM_CR, false,
         std::string("\0h\0\xE9\0\r\x20\xAC\0\r\0z\0\r", 14)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VRefPtr<VFile> file = MakeFile(P(std::string(row.name) + ".txt"));
        EXPECT_EQ(file->SetContentAsString(text, row.set, row.mode, row.withBOM), VE_OK);
        EXPECT_EQ(ReadFile(P(std::string(row.name) + ".txt")), row.bytes);
    }
}

TEST_F(VFileTest, TextRoundTripInUtf16WithBOM)
{
    const VString text(u"Line \u00E9\u00E8\nsecond \U0001F600 line\n");
    VRefPtr<VFile> file = MakeFile(P("utf16.txt"));
    ASSERT_EQ(file->SetContentAsString(text, CharSet::UTF16, eCRM_NONE, true), VE_OK);
    // The mark wins over the set asked for.
    VString back;
    ASSERT_EQ(file->GetContentAsString(back, CharSet::UTF8, eCRM_CRLF), VE_OK);
    EXPECT_EQ(to_string(back), "Line \xC3\xA9\xC3\xA8\r\nsecond \xF0\x9F\x98\x80 line\r\n");
}

TEST_F(VFileTest, SetContentAsStringWithoutConverter)
{
    VRefPtr<VFile> file = MakeFile(P("never.txt"));
    StErrorContextInstaller errors;
    EXPECT_EQ(file->SetContentAsString(VString("x"), CharSet::Unknown, eCRM_NONE, false), VE_STREAM_NO_CONVERTER);
    EXPECT_EQ(errors.GetLastError(), VE_STREAM_NO_CONVERTER);
    EXPECT_NE(::access(P("never.txt").c_str(), F_OK), 0);
}

TEST_F(VFileTest, OpenTwiceForWritingFailsAtOnce)
{
    WriteFile(P("locked"), "data");
    VRefPtr<VFile> file = MakeFile(P("locked"));
    VFileDesc* first = nullptr;
    ASSERT_EQ(file->Open(FileAccess::ReadWrite, &first, 0), VE_OK);

    StErrorContextInstaller errors;
    VFileDesc* second = reinterpret_cast<VFileDesc*>(0x1);
    // EACCES is in the native map: 'nuvo' 5 (access denied).
    EXPECT_EQ(file->Open(FileAccess::ReadWrite, &second, FileOpenOptions::kTruncate), VE_ACCESS_DENIED);
    EXPECT_EQ(second, nullptr);
    const VErrorContext::ErrorStack& stack = errors.GetContext()->GetErrorStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(stack[0]->GetError(), kPosixEACCES);
    EXPECT_EQ(stack[1]->GetError(), VE_ACCESS_DENIED);
    EXPECT_EQ(LongParam(stack[1].Get(), FileErrorKeys::access), 1);
    EXPECT_EQ(LongParam(stack[1].Get(), FileErrorKeys::options), 4);
    EXPECT_EQ(StringParam(stack[1].Get(), FileErrorKeys::path), P("locked"));
    delete first;
    EXPECT_EQ(ReadFile(P("locked")), "data");

    // Once the first descriptor is gone the lock is free again.
    ASSERT_EQ(file->Open(FileAccess::ReadWrite, &second, 0), VE_OK);
    delete second;
}

TEST_F(VFileTest, OpenFallsBackTo602)
{
    WriteFile(P("target"), "x");
    ASSERT_EQ(::symlink("target", P("link").c_str()), 0);
    VRefPtr<VFile> link = MakeFile(P("link"));
    VFileDesc* desc = nullptr;

    StErrorContextInstaller errors;
    // ELOOP (a link in the last component without the follow option) is not in the native map.
    EXPECT_EQ(link->Open(FileAccess::Read, &desc, 0), VE_FILE_CANNOT_OPEN);
    EXPECT_EQ(errors.GetContext()->GetFirst()->GetError(), MakePosixError(ELOOP));
    ASSERT_EQ(link->Open(FileAccess::Read, &desc, FileOpenOptions::kFollowLink), VE_OK);
    delete desc;
}

TEST_F(VFileTest, DescriptorReadsAndWritesSequentially)
{
    VRefPtr<VFile> file = MakeFile(P("seq"));
    VFileDesc* desc = nullptr;
    ASSERT_EQ(file->Open(FileAccess::ReadWriteShared, &desc, FileOpenOptions::kCreate), VE_OK);
    EXPECT_EQ(desc->PutData("abc", 3), VE_OK);
    EXPECT_EQ(desc->PutData("def", 3), VE_OK);
    EXPECT_EQ(desc->GetPos(), 6);
    desc->SetPos(1);
    char buffer[8] = {};
    EXPECT_EQ(desc->GetData(buffer, 3), VE_OK);
    EXPECT_EQ(std::string(buffer, 3), "bcd");
    EXPECT_EQ(desc->GetPos(), 4);

    StErrorContextInstaller errors;
    size_t read = 0;
    EXPECT_EQ(desc->GetData(buffer, 8, &read), VE_OK) << "a short read with a count is no error";
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(desc->GetDataAtPos(buffer, 4, 4), VE_STREAM_EOF);
    EXPECT_EQ(errors.GetLastError(), VE_STREAM_EOF);
    EXPECT_EQ(desc->SetSize(2), VE_OK);
    int64_t size = 0;
    EXPECT_EQ(desc->GetSize(&size), VE_OK);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(desc->Flush(), VE_OK);
    EXPECT_EQ(desc->Close(), VE_OK);
    delete desc;
    EXPECT_EQ(ReadFile(P("seq")), "ab");
}

TEST_F(VFileTest, StreamWritesAndReadsThroughItsBuffer)
{
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data.push_back(char(i * 7 % 251));
    VRefPtr<VFile> file = MakeFile(P("stream.bin"));
    {
        VFileStream stream(file.Get(), FileOpenOptions::kCreate | FileOpenOptions::kTruncate);
        ASSERT_EQ(stream.OpenWriting(), VE_OK);
        // Small pieces, a piece larger than the buffer, then small pieces again.
        size_t pos = 0;
        for (size_t piece : {1000u, 31000u, 40000u, 7u, 27993u}) {
            ASSERT_EQ(stream.PutData(data.data() + pos, piece), VE_OK);
            pos += piece;
        }
        ASSERT_EQ(pos, data.size());
        EXPECT_EQ(stream.GetPos(), 100000);
        int64_t size = 0;
        EXPECT_EQ(stream.GetSize(&size), VE_OK);
        EXPECT_EQ(size, 100000);
        EXPECT_EQ(stream.Close(), VE_OK);
    }
    EXPECT_TRUE(ReadFile(P("stream.bin")) == data);

    VFileStream stream(file.Get());
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    std::string back(data.size(), '\0');
    size_t pos = 0;
    for (size_t piece : {10u, 50000u, 3u, 49987u}) {
        size_t read = 0;
        ASSERT_EQ(stream.GetData(back.data() + pos, piece, &read), VE_OK);
        ASSERT_EQ(read, piece);
        pos += piece;
    }
    EXPECT_TRUE(back == data);
    char extra[4];
    size_t read = 9;
    EXPECT_EQ(stream.GetData(extra, 4, &read), VE_STREAM_EOF);
    EXPECT_EQ(read, 0u);

    EXPECT_EQ(stream.SetPos(99998), VE_OK);
    EXPECT_EQ(stream.GetData(extra, 4, &read), VE_STREAM_EOF);
    ASSERT_EQ(read, 2u);
    EXPECT_EQ(std::string(extra, 2), data.substr(99998));
}

TEST_F(VFileTest, StreamOverwritesAtItsPosition)
{
    WriteFile(P("text"), "0123456789");
    VRefPtr<VFile> file = MakeFile(P("text"));
    VFileStream stream(file.Get());
    int64_t size = 0;
    EXPECT_EQ(stream.GetSize(&size), VE_OK) << "the file's size before opening";
    EXPECT_EQ(size, 10);
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(stream.PutData("ab", 2), VE_OK);
    ASSERT_EQ(stream.SetPos(7), VE_OK);
    ASSERT_EQ(stream.PutData("XYZW", 4), VE_OK);
    EXPECT_EQ(stream.GetPos(), 11);
    EXPECT_EQ(stream.GetSize(&size), VE_OK);
    EXPECT_EQ(size, 11) << "bytes still in the buffer count";
    EXPECT_EQ(stream.Flush(), VE_OK);
    EXPECT_EQ(ReadFile(P("text")), "ab23456XYZW");
    EXPECT_EQ(stream.Close(), VE_OK);
}

TEST_F(VFileTest, StreamWithoutFile)
{
    VFileStream stream(nullptr);
    StErrorContextInstaller errors;
    EXPECT_EQ(stream.OpenReading(), VE_STREAM_NO_FILE);
    EXPECT_EQ(stream.OpenWriting(), VE_STREAM_NO_FILE);
    EXPECT_EQ(errors.GetLastError(), VE_STREAM_NO_FILE);
    EXPECT_FALSE(stream.IsReading());
}

TEST_F(VFileTest, PermissionErrorsForAnUnprivilegedUser)
{
    ASSERT_EQ(::chmod(fTemp.Path().c_str(), 0755), 0);
    WriteFile(P("private.txt"), "secret", 0600);
    VRefPtr<VFile> file = MakeFile(P("private.txt"));
    int status = RunUnprivileged(fTemp.Path(), [&] {
        VString text("junk");
        if (file->GetContentAsString(text, CharSet::UTF8, eCRM_NONE) != VE_ACCESS_DENIED)
            return 1;
        if (!text.IsEmpty())
            return 2;
        if (file->SetContentAsString(VString("x"), CharSet::UTF8, eCRM_NONE, false) != VE_ACCESS_DENIED)
            return 3;
        if (file->MAC_SetPermissions(0777) != VE_FILE_CANNOT_SET_ATTRIBUTES)   // EPERM: not in the map
            return 4;
        if (file->IsWritable())
            return 5;
        return 0;
    });
    if (status == 77)
        GTEST_SKIP() << "the unprivileged user cannot reach " << fTemp.Path();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(P("private.txt")), "secret");
}

TEST(VFileErrorTest, WrappingRules)
{
    const VFilePath path(VString("/some/where/file.txt"));
    struct Row {
        const char* name;
        VError platform;
        VError fallback;
        VError returned;
        size_t records;
    };
    const Row rows[] = {
        {"success", VE_OK, VE_FILE_CANNOT_COPY, VE_OK, 0},
        {"toolkit code passes", VE_FILE_BAD_NAME, VE_FILE_CANNOT_COPY, VE_FILE_BAD_NAME, 0},
        {"mapped posix", MakePosixError(ENOENT), VE_FILE_CANNOT_COPY, VE_FILE_NOT_FOUND, 2},
        {"unmapped posix", MakePosixError(ENOSPC), VE_FILE_CANNOT_COPY, VE_FILE_CANNOT_COPY, 2},
        {"posix number 0", MakePosixError(0), VE_FILE_CANNOT_OPEN, VE_FILE_CANNOT_OPEN, 2},
        {"mach", MakeVError(kComponentMach, 3), VE_FILE_CANNOT_DELETE, VE_FILE_CANNOT_DELETE, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StErrorContextInstaller errors;
        EXPECT_EQ(VFileError::ThrowNative(path, row.platform, row.fallback), row.returned);
        const VErrorContext::ErrorStack& stack = errors.GetContext()->GetErrorStack();
        ASSERT_EQ(stack.size(), row.records);
        if (row.records == 2) {
            EXPECT_EQ(stack[0]->GetError(), row.platform);
            EXPECT_EQ(stack[1]->GetError(), row.returned);
            EXPECT_EQ(StringParam(stack[1].Get(), FileErrorKeys::name), "file.txt");
            EXPECT_EQ(StringParam(stack[1].Get(), FileErrorKeys::path), "/some/where/file.txt");
        }
    }
}

TEST(VFileErrorTest, FolderRecordsNameTheFolder)
{
    VFileError* error = new VFileError(VFilePath(VString("/apps/Client.app/")), VE_FOLDER_CANNOT_COPY);
    EXPECT_EQ(StringParam(error, FileErrorKeys::name), "Client.app");
    EXPECT_EQ(StringParam(error, FileErrorKeys::path), "/apps/Client.app/");
    EXPECT_EQ(error->GetError(), VE_FOLDER_CANNOT_COPY);
    error->Release();
}

} // namespace
} // namespace nuvo
