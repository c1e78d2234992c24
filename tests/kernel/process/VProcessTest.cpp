#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "kernel/files/VFolder.h"
#include "kernel/platform/XLinuxSystem.h"
#include "kernel/process/VProcess.h"
#include "kernel/process/VTask.h"
#include "kernel/process/VTaskMgr.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

TEST(VProcessFolders, KindsFromAKnownExecutablePath)
{
    struct Row {
        const char* name;
        uint32_t kind;
        const char* expected;
    };
    const Row rows[] = {
        {"bundle", MakeOsType("BNDL"), "/opt/QZ/Updater.app/"},
        {"executable folder", MakeOsType("EXEC"), "/opt/QZ/Updater.app/Contents/MacOS/"},
        {"contents", MakeOsType("PLST"), "/opt/QZ/Updater.app/Contents/"},
        {"resources", MakeOsType("RSRC"), "/opt/QZ/Updater.app/Contents/Resources/"},
        {"native components", MakeOsType("NCMP"), "/opt/QZ/Updater.app/Contents/Native Components/"},
        {"DTDs", MakeOsType("DTDs"), "/opt/QZ/Updater.app/Contents/Resources/DTD/"},
        {"XSDs", MakeOsType("XSDs"), "/opt/QZ/Updater.app/Contents/Resources/XSD/"},
        {"XSLs", MakeOsType("XSLs"), "/opt/QZ/Updater.app/Contents/Resources/XSL/"},
        {"JSON schemas", MakeOsType("JSNs"), "/opt/QZ/Updater.app/Contents/Resources/JSONSchemas/"},
        {"unknown kind", MakeOsType("bndl"), ""},
        {"zero kind", 0, ""},
    };
    VString executable("/opt/QZ/Updater.app/Contents/MacOS/updater");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(to_string(VProcess::ComputeFolderPath(executable, row.kind)), row.expected);
    }
}

TEST(VProcessFolders, ShallowAndOddExecutablePaths)
{
    struct Row {
        const char* executable;
        uint32_t kind;
        const char* expected;
    };
    const Row rows[] = {
        // Not a bundle at all: the executable's folder is still known.
        {"/usr/bin/updater", MakeOsType("EXEC"), "/usr/bin/"},
        {"/usr/bin/updater", MakeOsType("PLST"), "/usr/"},
        {"/usr/bin/updater", MakeOsType("BNDL"), "/"},
        {"/usr/bin/updater", MakeOsType("RSRC"), "/usr/Resources/"},
        // At the root: no folder above the executable's.
        {"/updater", MakeOsType("EXEC"), "/"},
        {"/updater", MakeOsType("PLST"), ""},
        {"/updater", MakeOsType("BNDL"), ""},
        {"/updater", MakeOsType("JSNs"), ""},
        {"/bin/updater", MakeOsType("BNDL"), ""},
        {"/bin/updater", MakeOsType("PLST"), "/"},
        // Clean-up happens before the walk up.
        {"/a//B.app/Contents/./MacOS/x", MakeOsType("BNDL"), "/a/B.app/"},
        {"/a/B.app/Contents/MacOS/../MacOS/x", MakeOsType("EXEC"), "/a/B.app/Contents/MacOS/"},
        // Names with spaces and non-ASCII letters are kept as they are.
        {"/home/é user/Mon App.app/Contents/MacOS/app", MakeOsType("RSRC"),
         "/home/é user/Mon App.app/Contents/Resources/"},
        // Not a full path of a file.
        {"relative/Contents/MacOS/x", MakeOsType("EXEC"), ""},
        {"/a/B.app/Contents/MacOS/", MakeOsType("EXEC"), ""},
        {"", MakeOsType("EXEC"), ""},
    };
    for (const Row& row : rows) {
        VString kind;
        kind.FromOsType(row.kind);
        SCOPED_TRACE(std::string(row.executable) + " " + to_string(kind));
        EXPECT_EQ(to_string(VProcess::ComputeFolderPath(VString(row.executable), row.kind)), row.expected);
    }
}

TEST(VProcessFolders, RetainFolderFollowsTheRunningExecutable)
{
    std::string executable;
    ASSERT_TRUE(XLinuxSystem::GetExecutablePath(executable));
    ASSERT_EQ(executable.find('/'), 0u);
    size_t slash = executable.rfind('/');
    // The test program is not inside a bundle: the executable's folder is its build folder.
    EXPECT_EQ(executable.substr(slash + 1), "nuvo_process_tests");

    EXPECT_EQ(to_string(VProcess::ComputeFolderPath(VString(executable.c_str()), MakeOsType("EXEC"))),
              executable.substr(0, slash + 1));

    VProcess* process = VProcess::Get();
    ASSERT_NE(process, nullptr);
    VFolder* folder = process->RetainFolder(MakeOsType("EXEC"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(to_string(folder->GetPathRef().GetPath()), executable.substr(0, slash + 1));
    EXPECT_TRUE(folder->Exists());
    folder->Release();

    EXPECT_EQ(process->RetainFolder(MakeOsType("none")), nullptr);
}

TEST(XLinuxSystem, ParsesKernelReleases)
{
    struct Row {
        const char* release;
        bool ok;
        int major;
        int minor;
    };
    const Row rows[] = {
        {"6.1.0-18-amd64", true, 6, 1},
        {"3.15", true, 3, 15},
        {"3.14.79", true, 3, 14},
        {"10.0.0", true, 10, 0},
        {"4.19.0+", true, 4, 19},
        {"5.15.153.1-microsoft-standard-WSL2", true, 5, 15},
        {"6", false, 0, 0},
        {"6.", false, 0, 0},
        {".6", false, 0, 0},
        {"v6.1", false, 0, 0},
        {"", false, 0, 0},
        {"99999999.1", false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.release);
        int major = -1;
        int minor = -1;
        EXPECT_EQ(XLinuxSystem::ParseKernelRelease(row.release, major, minor), row.ok);
        if (row.ok) {
            EXPECT_EQ(major, row.major);
            EXPECT_EQ(minor, row.minor);
        } else {
            EXPECT_EQ(major, -1);
            EXPECT_EQ(minor, -1);
        }
    }
    int major = 0;
    int minor = 0;
    EXPECT_FALSE(XLinuxSystem::ParseKernelRelease(nullptr, major, minor));
}

TEST(XLinuxSystem, KernelVersionBoundaries)
{
    // This machine runs a kernel far newer than 3.15 and far older than 1000.0.
    EXPECT_TRUE(XLinuxSystem::IsKernelVersionOrAbove(3, 15));
    EXPECT_TRUE(XLinuxSystem::IsKernelVersionOrAbove(0, 0));
    EXPECT_FALSE(XLinuxSystem::IsKernelVersionOrAbove(1000, 0));
}

TEST(XLinuxSystem, HomeDirectoryPrefersHome)
{
    test::StTempFolder temp;
    std::string home;
    {
        test::StEnvVar homeVar("HOME", temp.Path());
        ASSERT_TRUE(XLinuxSystem::GetHomeDirectory(home));
        EXPECT_EQ(home, temp.Path());
    }
    {
        // An empty HOME is not a home: the password database answers.
        test::StEnvVar homeVar("HOME", std::string());
        ASSERT_TRUE(XLinuxSystem::GetHomeDirectory(home));
        EXPECT_FALSE(home.empty());
        EXPECT_EQ(home[0], '/');
    }
    {
        // Nor is a relative one: registered as the home folder, it would fail start-up.
        test::StEnvVar homeVar("HOME", std::string("relative/home"));
        ASSERT_TRUE(XLinuxSystem::GetHomeDirectory(home));
        EXPECT_EQ(home[0], '/');
    }
}

TEST(VProcessForTests, TheTestProgramHasAProcessAndAMainTask)
{
    VProcess* process = VProcess::Get();
    ASSERT_NE(process, nullptr);
    EXPECT_NE(process->GetLogger(), nullptr);
    EXPECT_EQ(to_string(process->GetLogSourceIdentifier()), "QZ Updater");
    EXPECT_FALSE(process->GetProductVersion().IsEmpty());
    VTaskMgr* manager = VTaskMgr::Get();
    ASSERT_NE(manager, nullptr);
    ASSERT_NE(manager->GetMainTask(), nullptr);
    EXPECT_EQ(VTask::GetCurrent(), manager->GetMainTask());
    EXPECT_TRUE(process->IsRunning());
    // A second Init answers from the cache and changes nothing.
    VLogger* logger = process->GetLogger();
    EXPECT_TRUE(process->Init(0));
    EXPECT_EQ(process->GetLogger(), logger);
}

} // namespace
} // namespace nuvo
