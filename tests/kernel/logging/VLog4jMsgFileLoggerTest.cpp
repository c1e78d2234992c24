#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/files/VFolder.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLog4jMsgFileLogger.h"
#include "kernel/logging/VLogger.h"
#include "kernel/logging/VSplitableLogFile.h"
#include "kernel/process/VProcess.h"
#include "kernel/values/VValueBag.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

VRefPtr<VFolder> FolderOf(const std::string& path)
{
    return VRefPtr<VFolder>::Adopt(new VFolder(VString((path + "/").c_str()), FilePathStyle::Posix));
}

bool Exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

Lines SplitLines(const std::string& text)
{
    Lines lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the file ends with a whole line";
    return lines;
}

// A started logger of its own (not the process logger) with a file logger on folder/name.
struct StFileLog {
    StFileLog(const std::string& folder, const char* name = "run")
        : file(*FolderOf(folder), VString(name), logger.Get())
    {
        logger->Start();
        file.Start();
    }
    void Log(VRefPtr<VValueBag> bag) { logger->LogBag(bag.Get()); }
    VRefPtr<VLogger> logger = VRefPtr<VLogger>::Adopt(new VLogger);
    VLog4jMsgFileLogger file;
};

// Each line without its sequence number and time, which are checked for form and order.
Lines Masked(const std::string& text)
{
    const std::string timeShape = "####-##-##T##:##:##.### "; // # stands for a digit
    Lines masked;
    unsigned long long previous = 0;
    for (const std::string& line : SplitLines(text)) {
        const size_t blank = line.find(' ');
        bool ok = blank != std::string::npos && blank > 0 && line.size() > blank + 1 + timeShape.size()
            && line.find_first_not_of("0123456789") == blank;
        for (size_t i = 0; ok && i < timeShape.size(); ++i) {
            const char c = line[blank + 1 + i];
            ok = timeShape[i] == '#' ? (c >= '0' && c <= '9') : c == timeShape[i];
        }
        if (!ok) {
            ADD_FAILURE() << "malformed line: " << line;
            continue;
        }
        const unsigned long long sequence = std::stoull(line.substr(0, blank));
        EXPECT_GT(sequence, previous) << line;
        previous = sequence;
        masked.push_back(line.substr(blank + 1 + timeShape.size()));
    }
    return masked;
}

VRefPtr<VValueBag> Bag(const char* message)
{
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(ILoggerBagKeys::message, VString(message));
    return bag;
}

TEST(VLog4jMsgFileLogger, WritesOneLabelledLinePerMessage)
{
    StTempFolder temp;
    const std::string process = to_string(VProcess::Get()->GetLogSourceIdentifier());
    struct Row {
        const char* name;
        std::function<void(VValueBag&)> fill; // on a bag holding "message" = "m"
        std::string line;                      // null: not written
    };
    const Row rows[] = {
        {"message only", [](VValueBag&) {}, "[" + process + "] INFO - m ()"},
        {"warn", [](VValueBag& b) { b.SetLong(ILoggerBagKeys::level, 5); b.SetString(ILoggerBagKeys::source, VString("s")); },
         "[s] WARN - m ()"},
        {"error", [](VValueBag& b) { b.SetLong(ILoggerBagKeys::level, 6); }, "[" + process + "] ERROR - m ()"},
        {"fatal", [](VValueBag& b) { b.SetLong(ILoggerBagKeys::level, 7); }, "[" + process + "] FATAL - m ()"},
        {"debug is not in the file's mask", [](VValueBag& b) { b.SetLong(ILoggerBagKeys::level, 3); }, ""},
        {"component without source",
         [](VValueBag& b) {
             b.SetString(ILoggerBagKeys::source, VString(""));
             b.SetLong(ILoggerBagKeys::component_signature, int32_t(MakeOsType("QZUP")));
         },
         "[QZUP] INFO - m ()"},
        {"error code gives number and component",
         [](VValueBag& b) {
             b.SetLong(ILoggerBagKeys::level, 6);
             b.SetString(ILoggerBagKeys::source, VString("s"));
             b.SetLong8(ILoggerBagKeys::error_code, int64_t(MakeVError(MakeOsType("nuvo"), 550)));
         },
         "[s.nuvo] ERROR - [550] m ()"},
        {"labels, unknown keys, line feeds",
         [](VValueBag& b) {
             b.SetString(ILoggerBagKeys::file_name, VString("a\nb"));
             b.SetLong(ILoggerBagKeys::task_id, 12);
             b.SetString(StPackedDictionaryKey("custom"), VString("x"));
             b.SetLong(ILoggerBagKeys::ms_spent, 40);
             b.SetString(ILoggerBagKeys::source, VString("s"));
         },
         "[s] INFO - m (fileName=a ; b, task=12, custom=x, executionTime=40)"},
    };
    StFileLog log(temp / "made/for/logs");
    ASSERT_TRUE(log.file.IsStarted()) << "the folder is created";
    log.logger->WithDebug(true);
    Lines expected;
    for (const Row& row : rows) {
        VRefPtr<VValueBag> bag = Bag("m");
        row.fill(*bag);
        log.Log(bag);
        if (!row.line.empty())
            expected.push_back(row.line);
    }
    log.file.Stop();
    EXPECT_FALSE(log.file.IsStarted());
    EXPECT_EQ(Masked(ReadFile(temp / "made/for/logs/run_1.txt")), expected);

    const char* names[] = {"DUMP", "TRACE", "ASSERT", "DEBUG", "INFO", "WARN", "ERROR", "FATAL", "INFO"};
    for (uint32_t level = 0; level <= 8; ++level)
        EXPECT_STREQ(VLog4jMsgFileLogger::GetMessageLevelName(EMessageLevel(level)), names[level]);
}

TEST(VLog4jMsgFileLogger, StartContinuesTheNewestFileOfItsName)
{
    StTempFolder temp;
    WriteFile(temp / "run_1.txt", "one\n");
    WriteFile(temp / "run_2.txt", "two\n");
    WriteFile(temp / "run_4.txt", "after a gap\n");
    {
        StFileLog log(temp.Path());
        EXPECT_EQ(log.file.GetLogNumber(), 2);
        log.Log(Bag("first run"));
    }
    {
        // A second run in the same second has the same name and goes on in the same file.
        StFileLog log(temp.Path());
        log.Log(Bag("second run"));
        VFilePath folder;
        VString name;
        log.file.GetLogFolderPath(folder);
        log.file.GetLogName(name);
        EXPECT_EQ(to_string(folder.GetPath()), temp.Path() + "/");
        EXPECT_EQ(to_string(name), "run");
        EXPECT_EQ(log.file.GetLogMaxNumberToKeep(), 50);
    }
    const Lines lines = SplitLines(ReadFile(temp / "run_2.txt"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "two");
    EXPECT_NE(lines[1].find("] INFO - first run ()"), std::string::npos);
    EXPECT_NE(lines[2].find("] INFO - second run ()"), std::string::npos);
    EXPECT_EQ(ReadFile(temp / "run_1.txt"), "one\n");
    EXPECT_EQ(ReadFile(temp / "run_4.txt"), "after a gap\n");
}

TEST(VLog4jMsgFileLogger, DoesNotStartWithoutAWritableFile)
{
    StTempFolder temp;
    WriteFile(temp / "plain", "");
    struct Row {
        const char* name;
        std::string folder;
        const char* logName;
    };
    const Row rows[] = {
        {"empty name", temp.Path(), ""},
        {"folder is a file", temp / "plain", "run"},
        {"below a file", temp / "plain/sub", "run"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StFileLog log(row.folder, row.logName);
        EXPECT_FALSE(log.file.IsStarted());
        EXPECT_EQ(log.file.GetLogMaxNumberToKeep(), 0);
        log.file.Stop();
    }
    auto file = VRefPtr<VFolder>::Adopt(new VFolder(VFilePath(VString((temp / "x.txt").c_str()), FilePathStyle::Posix)));
    VLog4jMsgFileLogger notAFolder(*file, VString("run"));
    notAFolder.Start();
    EXPECT_FALSE(notAFolder.IsStarted());
}

TEST(VSplitableLogFile, SplitsPastTenMebibytesAndKeepsFifty)
{
    StTempFolder temp;
    const std::string tenMiB(10 * 1024 * 1024, 'x');
    struct Row {
        const char* name;
        int32_t number;
        size_t size;            // of the file being written
        int32_t expectedNumber; // after two appends
        int32_t firstKept;      // lowest number still there
    };
    const Row rows[] = {
        {"exactly 10 MiB takes one more append", 3, tenMiB.size(), 4, 1},
        {"one byte more splits at once", 3, tenMiB.size() + 1, 4, 1},
        {"below the limit", 3, tenMiB.size() - 10, 3, 1},
        {"file 51 removes file 1", 50, tenMiB.size() + 1, 51, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StTempFolder folder;
        for (int32_t n = 1; n < row.number; ++n)
            WriteFile(folder / ("log_" + std::to_string(n) + ".txt"), "old\n");
        WriteFile(folder / ("log_" + std::to_string(row.number) + ".txt"), tenMiB.substr(0, row.size - 1) + "\n");
        VSplitableLogFile file(*FolderOf(folder.Path()), VString("log"), row.number, false);
        ASSERT_TRUE(file.Open(false, false));
        file.AppendString("a\n");
        file.AppendString("b\n");
        EXPECT_EQ(file.GetLogNumber(), row.expectedNumber);
        file.Close();
        for (int32_t n = 1; n <= row.expectedNumber; ++n)
            EXPECT_EQ(Exists(folder / ("log_" + std::to_string(n) + ".txt")), n >= row.firstKept) << n;
        if (row.expectedNumber != row.number) {
            EXPECT_EQ(ReadFile(folder / ("log_" + std::to_string(row.expectedNumber) + ".txt")),
                      row.size > tenMiB.size() ? "a\nb\n" : "b\n");
        }
    }
}

// Stop must neither hang against the "Logger" task delivering to the same file logger nor lose
// a line logged before it.
TEST(VLog4jMsgFileLogger, StopWhileTwoThreadsLogLosesNothingAndNeverHangs)
{
    StTempFolder temp;
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    logger->Start();
    // A budget per round keeps the ring from overflowing, which would drop the round's line.
    std::atomic<bool> done{false};
    std::atomic<int> budget{0};
    auto chatter = [&] {
        while (!done) {
            int left = budget.load();
            if (left > 0 && budget.compare_exchange_weak(left, left - 1))
                logger->LogBag(Bag("chatter").Get());
            else
                std::this_thread::yield();
        }
    };
    std::thread a(chatter), b(chatter);
    for (int round = 0; round < 100; ++round) {
        const std::string name = "round" + std::to_string(round);
        budget = 400;
        VLog4jMsgFileLogger file(*FolderOf(temp.Path()), VString(name.c_str()), logger.Get());
        file.Start();
        ASSERT_TRUE(file.IsStarted());
        logger->LogBag(Bag(name.c_str()).Get());
        file.Stop();
        const std::string text = ReadFile(temp / (name + "_1.txt"));
        ASSERT_NE(text.find("] INFO - " + name + " ()\n"), std::string::npos) << name;
        ASSERT_EQ(text.back(), '\n');
    }
    done = true;
    a.join();
    b.join();
}

} // namespace
} // namespace nuvo
