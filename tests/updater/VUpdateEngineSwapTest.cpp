#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/files/VFolder.h"
#include "kernel/process/VTask.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "tests/updater/UpdaterTestSupport.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {
namespace {

using test::FolderAt;
using test::Manifest;
using test::NamesIn;
using test::UpdaterError;
using Names = std::set<std::string>;

class SwapEngine : public VUpdateEngine {
public:
    using VUpdateEngine::_ComputeTempFolderPath;
    using VUpdateEngine::_SwapApplications;
};

TEST(VUpdateEngineSwap, TemporaryNames)
{
    test::StTempFolder temp;
    const VString old("old");
    const VString empty;
    struct Row {
        const char* name;
        const char* source;
        std::vector<std::string> taken;
        const VString* suffix;
        const char* expected;
        bool free;
    };
    const std::vector<Row> rows = {
        {"first free", "Client.app", {}, &old, "Client_old0001.app", true},
        {"first taken", "Client.app", {"Client_old0001.app/"}, &old, "Client_old0002.app", true},
        {"a file does not take the name", "Client.app", {"Client_old0001.app=file"}, &old, "Client_old0001.app", true},
        {"no extension", "Client", {}, &old, "Client_old0001", true},
        {"empty suffix", "Client.app", {}, &empty, "Client0001.app", true},
        {"no suffix", "Client.app", {}, nullptr, "Client0001.app", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = temp / row.name;
        test::MakeFolder(folder);
        for (const std::string& entry : row.taken)
            test::MakeTree(folder, {entry});
        VFilePath out;
        EXPECT_EQ(SwapEngine::_ComputeTempFolderPath(test::PosixPath(folder + "/" + row.source + "/"), out, row.suffix),
                  row.free);
        EXPECT_EQ(test::PosixOf(out), folder + "/" + row.expected + "/");
    }
}

// A swap run in its own error context; returns the set-aside folder's path ("" for none).
struct SwapResult {
    std::string setAside;
    std::vector<std::pair<VError, std::string>> errors;  // code and "path" / "to" / "dstPath"
};

SwapResult Swap(const std::string& outdated, const std::string& uptodate, const char* key = "path")
{
    SwapResult result;
    SwapEngine engine;
    StErrorContextInstaller errors(true, true);
    auto old = FolderAt(outdated), fresh = FolderAt(uptodate), install = FolderAt(outdated);
    if (VFolder* aside = engine._SwapApplications(*old, *fresh, *install)) {
        result.setAside = test::PosixOf(aside->GetPath());
        aside->Release();
    }
    result.errors = test::CodesWith(*errors.GetContext(), key);
    return result;
}

class SwapTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::MakeSampleBundle(fOld, "1", fTemp / "record");
        test::MakeTree(fOld, {"Contents/Resources/only-in-1=x"});
        test::MakeSampleBundle(fNew, "2", fTemp / "record");
        test::MakeTree(fNew, {"Contents/Resources/sub/", "Contents/Resources/sub/deep=y"});
        fOldManifest = Manifest(fOld);
        fNewManifest = Manifest(fNew);
    }
    ~SwapTest() override { VTask::GetCurrent()->FlushErrors(); }

    test::StTempFolder fTemp;
    std::string fOld = fTemp / "Apps/Client.app";
    std::string fNew = fTemp / "Download/Client.app";
    std::string fOldManifest, fNewManifest;
};

TEST_F(SwapTest, SameOrNestedBundlesTouchNothing)
{
    test::MakeSampleBundle(fOld + "/Contents/Update.app", "2", fTemp / "record");
    const std::string oldSlash = fOld + "/";
    const std::string upperCase = fTemp / "Apps/CLIENT.APP";
    for (const std::string& upToDate : {fOld, upperCase, fOld + "/Contents/Update.app"}) {
        SCOPED_TRACE(upToDate);
        const std::string before = Manifest(fOld);
        const SwapResult result = Swap(fOld, upToDate);
        EXPECT_EQ(result.setAside, "");
        EXPECT_EQ(result.errors, (decltype(result.errors){{UpdaterError(14), oldSlash}}));
        EXPECT_EQ(Manifest(fOld), before);
        EXPECT_EQ(NamesIn(fTemp / "Apps"), (Names{"Client.app"}));
    }
}

TEST_F(SwapTest, CopyFailingHalfWayRollsBack)
{
    // Unreadable for the unprivileged child: the copy stops after the files before it.
    test::WriteFile(fNew + "/Contents/Resources/zz-unreadable", "secret", 0000);
    fNewManifest = Manifest(fNew);
    test::SetMode(fTemp / "Apps", 0777);
    const int result = test::RunUnprivileged(fTemp.Path(), [&] {
        const SwapResult swap = Swap(fOld, fNew, "to");
        EXPECT_EQ(swap.setAside, "");
        const auto copyFailed = std::make_pair(UpdaterError(13), fOld + "/");
        EXPECT_EQ(swap.errors.empty() ? decltype(copyFailed){} : swap.errors.back(), copyFailed);
        return 0;
    });
    if (result == test::kUnprivilegedUnavailable)
        GTEST_SKIP() << "no unprivileged user can reach " << fTemp.Path();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Manifest(fOld), fOldManifest);
    EXPECT_EQ(Manifest(fNew), fNewManifest);
    EXPECT_EQ(NamesIn(fTemp / "Apps"), (Names{"Client.app"})) << "nothing left behind";
}

TEST_F(SwapTest, RenameRefusedFiveTimes)
{
    // A parent the child may not write: neither the staging folder nor the new name can be
    // made. The five attempts take about twelve seconds.
    test::SetMode(fTemp / "Apps", 0555);
    const int result = test::RunUnprivileged(fTemp.Path(), [&] {
        const SwapResult swap = Swap(fOld, fNew, "dstPath");
        EXPECT_EQ(swap.setAside, "");
        std::vector<std::pair<VError, std::string>> retries;
        for (const auto& error : swap.errors) {
            if (error.first == UpdaterError(11))
                retries.push_back(error);
        }
        const auto retry = std::make_pair(UpdaterError(11), fTemp / "Apps/Client_old0001.app/");
        EXPECT_EQ(retries, (decltype(retries){retry, retry, retry, retry}));
        EXPECT_EQ(swap.errors.size(), 4 + 5 * 2u) << "each attempt: the native cause and the folder error";
        EXPECT_EQ(swap.errors.back().first, UpdaterError(11));
        return 0;
    });
    test::SetMode(fTemp / "Apps", 0755);
    if (result == test::kUnprivilegedUnavailable)
        GTEST_SKIP() << "no unprivileged user can reach " << fTemp.Path();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Manifest(fOld), fOldManifest);
    EXPECT_EQ(NamesIn(fTemp / "Apps"), (Names{"Client.app"}));
}

} // namespace
} // namespace nuvo
