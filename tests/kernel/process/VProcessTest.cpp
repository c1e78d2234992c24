#include <gtest/gtest.h>

#include <string>

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFolder.h"
#include "kernel/platform/XLinuxSystem.h"
#include "kernel/process/VProcess.h"
#include "tests/support/StEnvVar.h"
#include "tests/support/StTempFolder.h"

namespace nuvo {
namespace {

TEST(VProcessFolders, KindsFromTheExecutablePath)
{
    const char* kApp = "/opt/QZ/Updater.app/Contents/MacOS/updater";
    struct Row {
        const char* executable;
        OsType kind;
        const char* expected;
    };
    const Row rows[] = {
        {kApp, MakeOsType("BNDL"), "/opt/QZ/Updater.app/"},
        {kApp, MakeOsType("EXEC"), "/opt/QZ/Updater.app/Contents/MacOS/"},
        {kApp, MakeOsType("PLST"), "/opt/QZ/Updater.app/Contents/"},
        {kApp, MakeOsType("RSRC"), "/opt/QZ/Updater.app/Contents/Resources/"},
        {kApp, MakeOsType("NCMP"), "/opt/QZ/Updater.app/Contents/Native Components/"},
        {kApp, MakeOsType("DTDs"), "/opt/QZ/Updater.app/Contents/Resources/DTD/"},
        {kApp, MakeOsType("XSDs"), "/opt/QZ/Updater.app/Contents/Resources/XSD/"},
        {kApp, MakeOsType("XSLs"), "/opt/QZ/Updater.app/Contents/Resources/XSL/"},
        {kApp, MakeOsType("JSNs"), "/opt/QZ/Updater.app/Contents/Resources/JSONSchemas/"},
        {kApp, MakeOsType("bndl"), ""},
        // Not a bundle: the folders are still counted from the executable's.
        {"/usr/bin/updater", MakeOsType("BNDL"), "/"},
        {"/usr/bin/updater", MakeOsType("RSRC"), "/usr/Resources/"},
        // No folder above the executable's.
        {"/updater", MakeOsType("EXEC"), "/"},
        {"/updater", MakeOsType("PLST"), ""},
        {"/bin/updater", MakeOsType("BNDL"), ""},
        // Clean-up happens before the walk up; names are kept as they are.
        {"/a//B.app/Contents/./MacOS/x", MakeOsType("BNDL"), "/a/B.app/"},
        {"/home/\xC3\xA9 user/Mon App.app/Contents/MacOS/app", MakeOsType("RSRC"), "/home/\xC3\xA9 user/Mon App.app/Contents/Resources/"},
        // Not a full path of a file.
        {"relative/Contents/MacOS/x", MakeOsType("EXEC"), ""},
        {"/a/B.app/Contents/MacOS/", MakeOsType("EXEC"), ""},
    };
    for (const Row& row : rows) {
        VString kind;
        kind.FromOsType(row.kind);
        SCOPED_TRACE(std::string(row.executable) + " " + to_string(kind));
        EXPECT_EQ(to_string(VProcess::ComputeFolderPath(VString(row.executable), row.kind)), row.expected);
    }
    EXPECT_EQ(to_string(VProcess::ComputeFolderPath(VString(kApp), 0)), "");
}

TEST(VProcessFolders, RetainFolderFollowsTheRunningExecutable)
{
    std::string executable;
    ASSERT_TRUE(XLinuxSystem::GetExecutablePath(executable));
    ASSERT_EQ(executable.substr(executable.rfind('/')), "/nuvo_process_tests");
    auto folder = VRefPtr<VFolder>::Adopt(VProcess::Get()->RetainFolder(MakeOsType("EXEC")));
    ASSERT_TRUE(folder);
    EXPECT_EQ(to_string(folder->GetPathRef().GetPath()), executable.substr(0, executable.rfind('/') + 1));
    EXPECT_TRUE(folder->Exists());
    EXPECT_EQ(VProcess::Get()->RetainFolder(MakeOsType("none")), nullptr);
}

TEST(XLinuxSystem, KernelReleases)
{
    struct Row {
        const char* release;
        int major;   // -1: not understood
        int minor;
    };
    const Row rows[] = {
        {"6.1.0-18-amd64", 6, 1}, {"3.15", 3, 15}, {"10.0.0", 10, 0}, {"4.19.0+", 4, 19},
        {"5.15.153.1-microsoft-standard-WSL2", 5, 15},
        {"6", -1, -1}, {"6.", -1, -1}, {".6", -1, -1}, {"v6.1", -1, -1}, {"", -1, -1}, {"99999999.1", -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.release);
        int major = -1;
        int minor = -1;
        EXPECT_EQ(XLinuxSystem::ParseKernelRelease(row.release, major, minor), row.major >= 0);
        EXPECT_EQ(major, row.major);
        EXPECT_EQ(minor, row.minor);
    }
    int major = 0, minor = 0;
    EXPECT_FALSE(XLinuxSystem::ParseKernelRelease(nullptr, major, minor));
    // This machine runs a kernel newer than 3.15 and older than 1000.0.
    EXPECT_TRUE(XLinuxSystem::IsKernelVersionOrAbove(3, 15));
    EXPECT_FALSE(XLinuxSystem::IsKernelVersionOrAbove(1000, 0));
}

TEST(XLinuxSystem, HomeDirectoryPrefersAFullHome)
{
    // An empty or relative HOME is no home (registered, it would fail start-up): the password
    // database answers.
    test::StTempFolder temp;
    for (const std::string& value : {temp.Path(), std::string(), std::string("relative/home")}) {
        SCOPED_TRACE(value);
        test::StEnvVar homeVar("HOME", value);
        std::string home;
        ASSERT_TRUE(XLinuxSystem::GetHomeDirectory(home));
        EXPECT_TRUE(value == temp.Path() ? home == value : home.substr(0, 1) == "/") << home;
    }
}

TEST(VProcessForTests, TheTestProgramHasAProcessAndAMainTask)
{
    VProcess* process = VProcess::Get();
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(to_string(process->GetLogSourceIdentifier()), "QZ Updater");
    EXPECT_FALSE(process->GetProductVersion().IsEmpty());
    EXPECT_TRUE(process->IsRunning());
    // A second Init answers from the cache and changes nothing.
    VLogger* logger = process->GetLogger();
    EXPECT_NE(logger, nullptr);
    EXPECT_TRUE(process->Init(0));
    EXPECT_EQ(process->GetLogger(), logger);
}

} // namespace
} // namespace nuvo
