#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VMemoryBuffer.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/VFileDesc.h"
#include "kernel/files/VFileError.h"
#include "kernel/files/VFileStream.h"
#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {
namespace {

class VFileTest : public ::testing::Test {
protected:
    StTempFolder fTemp;
    std::string P(const std::string& relative) const { return fTemp / relative; }
};

TEST_F(VFileTest, ExistenceAndFilesNamedFromTheirFolder)
{
    MakeTree(fTemp.Path(), {"file=x", "folder/"});
    EXPECT_TRUE(FileAt(P("file"))->Exists());
    // A folder, or a folder path (never looked up, even when a file of that name exists).
    for (const char* name : {"folder", "folder/", "file/", "missing"})
        EXPECT_FALSE(FileAt(P(name))->Exists()) << name;

    // Named from a folder: the name is joined as a relative path of its style (the joins
    // themselves are VFilePath's cases).
    VRefPtr<VFile> file =
        VRefPtr<VFile>::Adopt(new VFile(*FolderAt("/data/apps/"), "Client.app/../x.json", FilePathStyle::Posix));
    EXPECT_EQ(to_string(file->GetPathRef().GetPath()), "/data/apps/x.json");
    VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(file->RetainParentFolder());
    ASSERT_TRUE(parent);
    EXPECT_EQ(to_string(parent->GetPathRef().GetPath()), "/data/apps/");
    EXPECT_EQ(FileAt("/")->RetainParentFolder(), nullptr);
}

TEST_F(VFileTest, CopyToResultsAndErrorRecords)
{
    WriteFile(P("a.txt"), "new", 0640);
    MakeFolder(P("dest"));
    const VError kEEXIST = MakePosixError(EEXIST);
    const VError kENOENT = MakePosixError(ENOENT);
    // records: the native cause first, then the file record; copy: the new file, nullptr when none.
    struct Row { const char* name; VFilePath source; VFilePath dest; unsigned options; std::vector<VError> records;
                 const char* copy; };
    const Row rows[] = {
        {"onto an existing file", PosixPath(P("a.txt")), PosixPath(P("b.txt")), 0, {kEEXIST, VE_FILE_CANNOT_COPY}, nullptr},
        {"replacing it", PosixPath(P("a.txt")), PosixPath(P("b.txt")), 4, {}, "b.txt"},
        {"into a folder", PosixPath(P("a.txt")), PosixPath(P("dest/")), 0, {}, "dest/a.txt"},
        {"source not valid", VFilePath(VString("relative/a")), PosixPath(P("c")), 4, {VE_FILE_CANNOT_COPY}, nullptr},
        {"dest not valid", PosixPath(P("a.txt")), VFilePath(VString("")), 4, {VE_FILE_CANNOT_COPY}, nullptr},
        {"missing source", PosixPath(P("missing")), PosixPath(P("c")), 4, {kENOENT, VE_FILE_NOT_FOUND}, nullptr},
        {"missing dest folder", PosixPath(P("a.txt")), PosixPath(P("no/c")), 4, {kENOENT, VE_FILE_NOT_FOUND}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFile(P("b.txt"), "old and longer", 0600);
        VRefPtr<VFile> source = VRefPtr<VFile>::Adopt(new VFile(row.source));
        VFile* copy = reinterpret_cast<VFile*>(0x1);
        StErrorContextInstaller errors;
        VError result = source->CopyTo(row.dest, &copy, row.options);
        EXPECT_EQ(result, row.records.empty() ? VE_OK : row.records.back());
        ASSERT_EQ(Codes(errors), row.records);
        if (row.copy) {
            ASSERT_NE(copy, nullptr);
            EXPECT_EQ(to_string(copy->GetPathRef().GetPath()), P(row.copy));
            copy->Release();
            EXPECT_EQ(ReadFile(P(row.copy)), "new");
            EXPECT_EQ(Mode(P(row.copy)), 0640u);
        } else {
            EXPECT_EQ(copy, nullptr);
            EXPECT_EQ(ReadFile(P("b.txt")), "old and longer");
            ASSERT_NE(dynamic_cast<const VFileError*>(errors.GetContext()->GetLast()), nullptr);
            VString name;
            row.source.GetName(name);
            EXPECT_EQ(LastString(errors, FileErrorKeys::name), to_string(name));
            EXPECT_EQ(LastString(errors, FileErrorKeys::path), to_string(row.source.GetPath()));
            EXPECT_EQ(LastString(errors, FileErrorKeys::destination), to_string(row.dest.GetPath()));
            EXPECT_EQ(LastLong(errors, FileErrorKeys::options), int32_t(row.options));
        }
    }
    EXPECT_NE(::access(P("c").c_str(), F_OK), 0);

    // The folder and file forms name the same destinations.
    VRefPtr<VFile> source = FileAt(P("a.txt"));
    MakeFolder(P("other"));
    ASSERT_EQ(source->CopyTo(*FolderAt(P("other")), nullptr, 0), VE_OK);
    ASSERT_EQ(source->CopyTo(*FileAt(P("renamed.txt")), 0), VE_OK);
    EXPECT_EQ(ReadFile(P("other/a.txt")) + ReadFile(P("renamed.txt")), "newnew");
}

TEST_F(VFileTest, ContentRoundTripsAndCreatesParents)
{
    VRefPtr<VFile> file = FileAt(P("a/b/c.bin"));
    const char data[] = "bytes\0with\0zeros";
    ASSERT_EQ(file->SetContent(data, sizeof data), VE_OK);
    EXPECT_EQ(ReadFile(P("a/b/c.bin")), std::string(data, sizeof data));

    // A shorter content leaves nothing of the longer one.
    ASSERT_EQ(file->SetContent("xy", 2), VE_OK);
    VMemoryBuffer buffer;
    ASSERT_EQ(file->GetContent(buffer), VE_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize()), "xy");

    ASSERT_EQ(file->AppendContent("z!", 2), VE_OK);
    int64_t size = 0;
    EXPECT_EQ(file->GetSize(&size), VE_OK);
    EXPECT_EQ(size, 4);
    char head[8] = {};
    size_t read = 0;
    EXPECT_EQ(file->GetData(head, sizeof head, &read), VE_OK);
    EXPECT_EQ(std::string(head, read), "xyz!");

    ASSERT_EQ(file->SetContent(nullptr, 0), VE_OK);
    ASSERT_EQ(file->GetContent(buffer), VE_OK);
    EXPECT_EQ(buffer.GetDataSize(), 0u);

    VString text("junk");
    EXPECT_EQ(FileAt(P("missing.txt"))->GetContentAsString(text, CharSet::UTF8, eCRM_NONE), VE_FILE_NOT_FOUND);
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(VFileTest, SetContentAsStringEncodings)
{
    // "é" and "€" in UTF-8 are C3 A9 and E2 82 AC.
    const VString text(u"h\u00E9\n\u20AC\r\nz\r");
    struct Row { const char* name; CharSet set; ECarriageReturnMode mode; bool withBOM; VError result; std::string bytes; };
    const Row rows[] = {
        {"utf-8", CharSet::UTF8, eCRM_NONE, false, VE_OK, "h\xC3\xA9\n\xE2\x82\xAC\r\nz\r"},
        {"utf-8 bom", CharSet::UTF8, eCRM_NONE, true, VE_OK, "\xEF\xBB\xBFh\xC3\xA9\n\xE2\x82\xAC\r\nz\r"},
        {"crlf", CharSet::UTF8, eCRM_CRLF, false, VE_OK, "h\xC3\xA9\r\n\xE2\x82\xAC\r\nz\r\n"},
        {"utf-16 bom", CharSet::UTF16, eCRM_NONE, true, VE_OK,
         std::string("\xFF\xFEh\0\xE9\0\n\0\xAC\x20\r\0\n\0z\0\r\0", 18)},
        {"utf-16 big endian", CharSet::UTF16_BigEndian, eCRM_CR, false, VE_OK,
         std::string("\0h\0\xE9\0\r\x20\xAC\0\r\0z\0\r", 14)},
        {"no converter", CharSet::Unknown, eCRM_NONE, false, VE_STREAM_NO_CONVERTER, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = P(std::string(row.name) + ".txt");
        StErrorContextInstaller errors;
        EXPECT_EQ(FileAt(path)->SetContentAsString(text, row.set, row.mode, row.withBOM), row.result);
        EXPECT_EQ(errors.GetLastError(), row.result);
        EXPECT_EQ(::access(path.c_str(), F_OK) == 0, row.result == VE_OK);
        if (row.result == VE_OK) {
            EXPECT_EQ(ReadFile(path), row.bytes);
        }
    }

    // Reading back: the mark wins over the set asked for.
    VString back;
    ASSERT_EQ(FileAt(P("utf-16 bom.txt"))->GetContentAsString(back, CharSet::UTF8, eCRM_CRLF), VE_OK);
    EXPECT_EQ(to_string(back), "h\xC3\xA9\r\n\xE2\x82\xAC\r\nz\r\n");
}

TEST_F(VFileTest, OpenErrorRecords)
{
    MakeTree(fTemp.Path(), {"locked=data", "link->locked"});
    VRefPtr<VFile> file = FileAt(P("locked"));
    VFileDesc* first = nullptr;
    ASSERT_EQ(file->Open(FileAccess::ReadWrite, &first, 0), VE_OK);
    {
        StErrorContextInstaller errors;
        VFileDesc* second = reinterpret_cast<VFileDesc*>(0x1);
        // Held elsewhere: EACCES, which the native map turns into 'nuvo' 5.
        EXPECT_EQ(file->Open(FileAccess::ReadWrite, &second, FileOpenOptions::kTruncate), VE_ACCESS_DENIED);
        EXPECT_EQ(second, nullptr);
        EXPECT_EQ(Codes(errors), (std::vector<VError>{MakePosixError(EACCES), VE_ACCESS_DENIED}));
        EXPECT_EQ(LastLong(errors, FileErrorKeys::access), 1);
        EXPECT_EQ(LastLong(errors, FileErrorKeys::options), 4);
        EXPECT_EQ(LastString(errors, FileErrorKeys::path), P("locked"));
        EXPECT_EQ(LastString(errors, FileErrorKeys::name), "locked");

        // A link without the follow option: ELOOP is not in the map, the fallback 602 is used.
        EXPECT_EQ(FileAt(P("link"))->Open(FileAccess::Read, &second, 0), VE_FILE_CANNOT_OPEN);
        EXPECT_EQ(errors.GetContext()->GetErrorStack()[2]->GetError(), MakePosixError(ELOOP));
    }
    delete first;
    EXPECT_EQ(ReadFile(P("locked")), "data");
    VFileDesc* again = nullptr;
    ASSERT_EQ(file->Open(FileAccess::ReadWrite, &again, 0), VE_OK) << "the lock went with the descriptor";
    delete again;
}

TEST_F(VFileTest, DescriptorReadsAndWritesSequentially)
{
    VFileDesc* desc = nullptr;
    ASSERT_EQ(FileAt(P("seq"))->Open(FileAccess::ReadWriteShared, &desc, FileOpenOptions::kCreate), VE_OK);
    EXPECT_EQ(desc->PutData("abc", 3), VE_OK);
    EXPECT_EQ(desc->PutData("def", 3), VE_OK);
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
    // Past the end: the gap reads as zeros; then the size cuts it back.
    EXPECT_EQ(desc->PutDataAtPos("z", 1, 9), VE_OK);
    EXPECT_EQ(desc->GetDataAtPos(buffer, 4, 6), VE_OK);
    EXPECT_EQ(std::string(buffer, 4), std::string(3, '\0') + "z");
    EXPECT_EQ(desc->SetSize(2), VE_OK);
    EXPECT_EQ(desc->Flush(), VE_OK);
    EXPECT_EQ(desc->Close(), VE_OK);
    delete desc;
    EXPECT_EQ(ReadFile(P("seq")), "ab");
}

TEST_F(VFileTest, StreamThroughItsBuffer)
{
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data.push_back(char(i * 7 % 251));
    VRefPtr<VFile> file = FileAt(P("stream.bin"));
    {
        VFileStream stream(file.Get(), FileOpenOptions::kCreate | FileOpenOptions::kTruncate);
        ASSERT_EQ(stream.OpenWriting(), VE_OK);
        // Small pieces, a piece larger than the buffer, then small pieces again.
        size_t pos = 0;
        for (size_t piece : {1000u, 31000u, 40000u, 7u, 27993u}) {
            ASSERT_EQ(stream.PutData(data.data() + pos, piece), VE_OK);
            pos += piece;
        }
        int64_t size = 0;
        EXPECT_EQ(stream.GetSize(&size), VE_OK);
        EXPECT_EQ(size, 100000) << "bytes still in the buffer count";
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
    EXPECT_EQ(stream.SetPos(99998), VE_OK);
    EXPECT_EQ(stream.GetData(extra, 4, &read), VE_STREAM_EOF);
    EXPECT_EQ(std::string(extra, read), data.substr(99998));

    EXPECT_EQ(stream.Close(), VE_OK);

    // Writing over the middle of a file after moving the position.
    WriteFile(P("text"), "0123456789");
    VFileStream writer(FileAt(P("text")).Get());
    ASSERT_EQ(writer.OpenWriting(), VE_OK);
    ASSERT_EQ(writer.PutData("ab", 2), VE_OK);
    ASSERT_EQ(writer.SetPos(7), VE_OK);
    ASSERT_EQ(writer.PutData("XYZW", 4), VE_OK);
    EXPECT_EQ(writer.GetPos(), 11);
    EXPECT_EQ(writer.Flush(), VE_OK);
    EXPECT_EQ(ReadFile(P("text")), "ab23456XYZW");

    StErrorContextInstaller errors;
    VFileStream orphan(nullptr);
    EXPECT_EQ(orphan.OpenReading(), VE_STREAM_NO_FILE);
    EXPECT_EQ(errors.GetLastError(), VE_STREAM_NO_FILE);
}

TEST_F(VFileTest, PermissionErrorsForAnUnprivilegedUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "permission bits do not keep a file's owner out";
    WriteFile(P("private.txt"), "secret", 0600);
    WriteFile(P("public.txt"), "kept", 0666);
    VRefPtr<VFile> file = FileAt(P("private.txt"));
    VRefPtr<VFile> target = FileAt(P("public.txt"));
    int status = RunUnprivileged(fTemp.Path(), [&] {
        VString text("junk");
        if (file->GetContentAsString(text, CharSet::UTF8, eCRM_NONE) != VE_ACCESS_DENIED || !text.IsEmpty())
            return 1;
        if (file->SetContentAsString(VString("x"), CharSet::UTF8, eCRM_NONE, false) != VE_ACCESS_DENIED)
            return 2;
        if (file->MAC_SetPermissions(0777) != VE_FILE_CANNOT_SET_ATTRIBUTES)   // EPERM: not in the map
            return 3;
        if (file->IsWritable() || !target->IsWritable())
            return 4;
        // A replacing copy that cannot read its source leaves the destination alone.
        if (file->CopyTo(target->GetPathRef(), nullptr, FileCopyOptions::kReplaceExisting) != VE_ACCESS_DENIED)
            return 5;
        return 0;
    });
    if (status == kUnprivilegedUnavailable)
        GTEST_SKIP() << "no unprivileged user can reach " << fTemp.Path();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(P("private.txt")) + ReadFile(P("public.txt")), "secretkept");
}

TEST(VFileErrorTest, WrappingRules)
{
    // nameParameter: nullptr when nothing is pushed.
    struct Row { const char* name; const char* path; VError platform; VError fallback; VError returned;
                 const char* nameParameter; };
    const Row rows[] = {
        {"success", "/w/file.txt", VE_OK, VE_FILE_CANNOT_COPY, VE_OK, nullptr},
        {"toolkit code passes", "/w/file.txt", VE_FILE_BAD_NAME, VE_FILE_CANNOT_COPY, VE_FILE_BAD_NAME, nullptr},
        {"mapped posix", "/w/file.txt", MakePosixError(ENOENT), VE_FILE_CANNOT_COPY, VE_FILE_NOT_FOUND, "file.txt"},
        {"unmapped posix", "/w/file.txt", MakePosixError(ENOSPC), VE_FILE_CANNOT_COPY, VE_FILE_CANNOT_COPY, "file.txt"},
        {"posix number 0", "/w/file.txt", MakePosixError(0), VE_FILE_CANNOT_OPEN, VE_FILE_CANNOT_OPEN, "file.txt"},
        {"mach", "/w/file.txt", MakeVError(kComponentMach, 3), VE_FILE_CANNOT_DELETE, VE_FILE_CANNOT_DELETE, "file.txt"},
        {"folder", "/apps/Client.app/", MakePosixError(ENOSPC), VE_FOLDER_CANNOT_COPY, VE_FOLDER_CANNOT_COPY,
         "Client.app"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StErrorContextInstaller errors;
        EXPECT_EQ(VFileError::ThrowNative(VFilePath(VString(row.path)), row.platform, row.fallback), row.returned);
        if (!row.nameParameter) {
            EXPECT_EQ(Codes(errors), std::vector<VError>());
            continue;
        }
        ASSERT_EQ(Codes(errors), (std::vector<VError>{row.platform, row.returned}));
        EXPECT_EQ(LastString(errors, FileErrorKeys::name), row.nameParameter);
        EXPECT_EQ(LastString(errors, FileErrorKeys::path), row.path);
    }
}

} // namespace
} // namespace nuvo::test
