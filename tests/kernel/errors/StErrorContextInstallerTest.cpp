#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VDebugMgr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/errors/VErrorUserGenerated.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/errors/StLogCapture.h"

namespace nuvo {
namespace {

VError Nuvo(int32_t n) { return MakeVError(MakeOsType("nuvo"), n); }
VError Posix(int32_t n) { return MakeVError(MakeOsType("POSX"), n); }
VError Updater(int32_t n) { return MakeVError(MakeOsType("UPQZ"), n); }

std::vector<VError> Codes(const VErrorContext* context)
{
    std::vector<VError> codes;
    if (context) {
        for (const VRefPtr<VErrorBase>& record : context->GetErrorStack())
            codes.push_back(record->GetError());
    }
    return codes;
}

void Throw(VError code) { _ThrowError(code); }

// Every test starts with the main task's error contexts empty and leaves them empty.
class ErrorContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fTask = VTask::GetCurrent();
        ASSERT_NE(fTask, nullptr);
        fTaskContext = fTask->GetErrorContext(true);
        ASSERT_NE(fTaskContext, nullptr);
        Reset();
    }
    void TearDown() override { Reset(); }

    void Reset()
    {
        // A flushed context is dropped by PopContext whatever its flags.
        while (fTaskContext->GetContextCount() > 0) {
            fTaskContext->Flush();
            fTaskContext->PopContext();
        }
    }

    std::vector<VError> BottomCodes() const
    {
        return fTaskContext->GetContextCount() ? Codes(fTaskContext->GetContexts().front().Get()) : std::vector<VError>{};
    }

    VTask* fTask = nullptr;
    VErrorTaskContext* fTaskContext = nullptr;
};

TEST_F(ErrorContextTest, PushWithoutInstallerCreatesABottomContextAndLogs)
{
    test::StLogCapture log;
    Throw(Nuvo(600));
    ASSERT_EQ(fTaskContext->GetContextCount(), 1u);
    EXPECT_EQ(fTask->GetLastError(), Nuvo(600));
    ASSERT_EQ(log.Count(), 1u);
    test::LoggedMessage logged = log.Messages()[0];
    EXPECT_EQ(logged.message, "Error code: 600 (nuvo)");
    EXPECT_EQ(logged.level, 6);
    EXPECT_EQ(VError(logged.errorCode), Nuvo(600));
    EXPECT_EQ(uint32_t(logged.componentSignature), MakeOsType("nuvo"));
    EXPECT_EQ(logged.taskID, fTask->GetID());
    EXPECT_EQ(logged.taskName, "Main");
    EXPECT_TRUE(logged.hasParameters);
}

TEST_F(ErrorContextTest, ThrowErrorSetsTheTextParameters)
{
    VString one("one"), three("three");
    {
        StErrorContextInstaller installer;
        _ThrowError(Updater(13), &one, nullptr, &three);
        VErrorBase* record = installer.GetContext()->GetLast();
        ASSERT_NE(record, nullptr);
        VString value;
        EXPECT_TRUE(record->GetBag()->GetString(ErrorBagKeys::p1, value));
        EXPECT_EQ(to_string(value), "one");
        EXPECT_FALSE(record->GetBag()->AttributeExists(ErrorBagKeys::p2));
        EXPECT_TRUE(record->GetBag()->GetString(ErrorBagKeys::p3, value));
        EXPECT_EQ(to_string(value), "three");
        EXPECT_EQ(record->GetBag()->GetAttributesCount(), 2);
    }
    EXPECT_EQ(vThrowUserGeneratedError(Updater(7), VString("typed by hand")), Updater(7));
    VErrorBase* last = fTaskContext->GetLast();
    ASSERT_NE(last, nullptr);
    VString description;
    last->GetErrorDescription(description);
    EXPECT_EQ(to_string(description), "typed by hand");
    EXPECT_NE(dynamic_cast<VErrorUserGenerated*>(last), nullptr);
}

TEST_F(ErrorContextTest, SilentOnlyContextLogsOnceAndKeepsTheRecordsOnTheTask)
{
    test::StLogCapture log;
    {
        StErrorContextInstaller installer(true, true);
        Throw(Nuvo(600));
        Throw(Nuvo(658));
        EXPECT_EQ(log.Count(), 0u) << "a silent context absorbs the records until it is removed";
        EXPECT_EQ(installer.GetLastError(), Nuvo(658));
        ASSERT_EQ(fTaskContext->GetContextCount(), 1u);
    }
    EXPECT_EQ(log.Texts(), (std::vector<std::string>{"Error code: 600 (nuvo)", "Error code: 658 (nuvo)"}));
    EXPECT_EQ(fTask->GetLastError(), Nuvo(658));
    ASSERT_EQ(fTaskContext->GetContextCount(), 1u);
    VErrorContext* remaining = fTaskContext->GetTopContext();
    EXPECT_FALSE(remaining->IsSilent());
    EXPECT_TRUE(remaining->IsKeepingErrors());
    EXPECT_EQ(Codes(remaining), (std::vector<VError>{Nuvo(600), Nuvo(658)}));

    // The context left on the task is an ordinary one: the next record is logged at once.
    Throw(Posix(2));
    EXPECT_EQ(log.Count(), 3u);
    EXPECT_EQ(log.Codes().back(), Posix(2));
}

TEST_F(ErrorContextTest, SilentContextInsideANonSilentOneLogsOnceAndAppends)
{
    test::StLogCapture log;
    StErrorContextInstaller outer;
    Throw(Updater(1));
    EXPECT_EQ(log.Count(), 1u);
    {
        StErrorContextInstaller inner(true, true);
        Throw(Updater(2));
        Throw(Updater(3));
        EXPECT_EQ(log.Count(), 1u);
        EXPECT_EQ(Codes(inner.GetContext()), (std::vector<VError>{Updater(2), Updater(3)}));
        EXPECT_EQ(Codes(outer.GetContext()), (std::vector<VError>{Updater(1)}));
    }
    EXPECT_EQ(log.Codes(), (std::vector<VError>{Updater(1), Updater(2), Updater(3)}));
    EXPECT_EQ(Codes(outer.GetContext()), (std::vector<VError>{Updater(1), Updater(2), Updater(3)}));
    EXPECT_EQ(outer.GetLastError(), Updater(3));
}

TEST_F(ErrorContextTest, SilentInsideSilentLogsNothingUntilTheOuterOneGoes)
{
    test::StLogCapture log;
    {
        StErrorContextInstaller outer(true, true);
        {
            StErrorContextInstaller inner(true, true);
            Throw(Updater(2));
        }
        EXPECT_EQ(log.Count(), 0u);
        EXPECT_EQ(outer.GetLastError(), Updater(2));
    }
    EXPECT_EQ(log.Codes(), (std::vector<VError>{Updater(2)}));
}

TEST_F(ErrorContextTest, ContextThatKeepsNothingDropsItsRecords)
{
    struct Row {
        const char* name;
        bool silent;
        size_t logged;
    } rows[] = {
        {"not silent: logged when pushed, dropped when removed", false, 1},
        {"silent: neither logged nor kept", true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::StLogCapture log;
        StErrorContextInstaller outer;
        Throw(Updater(1));
        size_t before = log.Count();
        {
            StErrorContextInstaller inner(false, row.silent);
            Throw(Nuvo(600));
            EXPECT_EQ(inner.GetLastError(), Nuvo(600));
        }
        EXPECT_EQ(log.Count() - before, row.logged);
        EXPECT_EQ(Codes(outer.GetContext()), (std::vector<VError>{Updater(1)}));
    }

    // Also as the only context of the task (the outer contexts above left their records on it).
    Reset();
    {
        StErrorContextInstaller only(false, false);
        Throw(Nuvo(600));
    }
    EXPECT_EQ(fTaskContext->GetContextCount(), 0u);
    EXPECT_EQ(fTask->GetLastError(), VError(0));
}

TEST_F(ErrorContextTest, FilteredCodeIsAbsorbedAndDropsTheTopContext)
{
    test::StLogCapture log;
    StErrorContextInstaller filtering(Nuvo(600), Posix(2), VError(0));
    {
        StErrorContextInstaller inner;
        Throw(Nuvo(658));
        EXPECT_EQ(log.Count(), 1u);

        bool filtered = false;
        auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(Posix(2)));
        EXPECT_TRUE(fTaskContext->PushError(record.Get(), &filtered));
        EXPECT_TRUE(filtered);
        EXPECT_TRUE(inner.GetContext()->IsSilent());
        EXPECT_FALSE(inner.GetContext()->IsKeepingErrors());

        Throw(Nuvo(600));
        Throw(Nuvo(5)); // not in the filter, but the top context is silent now
        EXPECT_EQ(log.Count(), 1u) << "the debug hook saw only the record pushed before the filtered one";
        EXPECT_EQ(Codes(inner.GetContext()), (std::vector<VError>{Nuvo(658), Posix(2), Nuvo(600), Nuvo(5)}));
    }
    EXPECT_EQ(filtering.GetLastError(), VError(0));
    EXPECT_TRUE(filtering.GetContext()->IsEmpty());
    EXPECT_EQ(log.Count(), 1u);
}

TEST_F(ErrorContextTest, FilterOnTheTopContextItself)
{
    test::StLogCapture log;
    {
        StErrorContextInstaller filtering(Nuvo(600), 0);
        Throw(Nuvo(600));
        EXPECT_EQ(log.Count(), 0u);
        EXPECT_FALSE(filtering.GetContext()->IsKeepingErrors());
        EXPECT_EQ(filtering.GetLastError(), Nuvo(600));
    }
    EXPECT_EQ(fTaskContext->GetContextCount(), 0u);
    EXPECT_EQ(fTask->GetLastError(), VError(0));
}

TEST_F(ErrorContextTest, PushReportsNotFilteredWithoutSilentOrFilteringContext)
{
    bool filtered = true;
    auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(Nuvo(600)));
    StErrorContextInstaller outer;
    StErrorContextInstaller inner;
    EXPECT_TRUE(fTaskContext->PushError(record.Get(), &filtered));
    EXPECT_FALSE(filtered);
    filtered = true;
    EXPECT_FALSE(fTaskContext->PushError(nullptr, &filtered));
    EXPECT_FALSE(filtered);
}

TEST_F(ErrorContextTest, MemoryFullSetsFailedForMemoryAndFlushClearsIt)
{
    Throw(Nuvo(600));
    EXPECT_FALSE(fTask->FailedForMemory());
    Throw(Nuvo(100));
    EXPECT_TRUE(fTask->FailedForMemory());
    EXPECT_TRUE(fTaskContext->FailedForMemory());
    fTask->FlushErrors();
    EXPECT_FALSE(fTask->FailedForMemory());
    EXPECT_EQ(fTask->GetLastError(), VError(0));
}

TEST_F(ErrorContextTest, PushRetainedErrorWithCausePushesTheCauseFirst)
{
    StErrorContextInstaller installer;
    VErrorBase* error = new VErrorBase(Nuvo(602));
    VRefPtr<VErrorBase> watch(error);
    _PushRetainedError(error, Posix(13));
    EXPECT_EQ(Codes(installer.GetContext()), (std::vector<VError>{Posix(13), Nuvo(602)}));
    EXPECT_EQ(watch->GetRefCount(), 2) << "the caller's reference was given up";

    _PushRetainedError(new VErrorBase(Nuvo(605)));
    EXPECT_EQ(Codes(installer.GetContext()), (std::vector<VError>{Posix(13), Nuvo(602), Nuvo(605)}));
}

TEST_F(ErrorContextTest, PushRetainedErrorSkipsTheCauseOfAFilteredCode)
{
    StErrorContextInstaller filtering(Nuvo(602), 0);
    _PushRetainedError(new VErrorBase(Nuvo(602)), Posix(13));
    EXPECT_EQ(Codes(filtering.GetContext()), (std::vector<VError>{Nuvo(602)}));
}

TEST_F(ErrorContextTest, InstalledEmptyContextHasNoLastErrorWhileTheEnclosingOneHas)
{
    StErrorContextInstaller outer;
    Throw(Nuvo(600));
    {
        StErrorContextInstaller inner;
        EXPECT_EQ(inner.GetLastError(), VError(0));
        EXPECT_EQ(inner.GetContext()->GetLastError(), VError(0));
        EXPECT_EQ(fTask->GetLastError(), VError(0));
        EXPECT_EQ(fTaskContext->GetLast()->GetError(), Nuvo(600));
    }
    EXPECT_EQ(outer.GetLastError(), Nuvo(600));
    EXPECT_EQ(fTask->GetLastError(), Nuvo(600));
}

TEST_F(ErrorContextTest, IdleContextsAreRecycled)
{
    VErrorContext* first;
    {
        StErrorContextInstaller installer;
        first = installer.GetContext();
    }
    EXPECT_TRUE(fTaskContext->HasSpareContext());
    {
        StErrorContextInstaller installer(false, true);
        EXPECT_EQ(installer.GetContext(), first);
        EXPECT_FALSE(installer.GetContext()->IsKeepingErrors());
        EXPECT_TRUE(installer.GetContext()->IsSilent());
        EXPECT_FALSE(fTaskContext->HasSpareContext());
    }
    // A context with a filter is not idle: it is released, the spare stays the recycled one.
    {
        StErrorContextInstaller filtering(Nuvo(600), 0);
        EXPECT_EQ(filtering.GetContext(), first);
    }
    EXPECT_FALSE(fTaskContext->HasSpareContext());
}

TEST_F(ErrorContextTest, TaskWideQueries)
{
    StErrorContextInstaller bottom;
    Throw(Updater(1));
    Throw(Nuvo(600));
    StErrorContextInstaller middle(Posix(2), 0);
    StErrorContextInstaller top;
    Throw(Updater(3));
    StErrorContextInstaller empty;

    EXPECT_EQ(fTaskContext->GetFirst()->GetError(), Updater(1));
    EXPECT_EQ(fTaskContext->GetLast()->GetError(), Updater(3));
    EXPECT_EQ(fTaskContext->Find(Nuvo(600))->GetError(), Nuvo(600));
    EXPECT_EQ(fTaskContext->Find(Posix(2)), nullptr);
    EXPECT_TRUE(fTaskContext->IsErrorFiltered(Posix(2)));
    EXPECT_FALSE(fTaskContext->IsErrorFiltered(Nuvo(600)));

    auto all = VRefPtr<VErrorContext>::Adopt(new VErrorContext);
    fTaskContext->GetErrors(*all);
    EXPECT_EQ(Codes(all.Get()), (std::vector<VError>{Updater(1), Nuvo(600), Updater(3)}));

    VValueBag stack;
    fTaskContext->BuildErrorStack(stack);
    VBagArray* entries = stack.GetElements(ErrorBagKeys::stack_error);
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->GetCount(), 3);
    struct Row {
        const char* message;
        const char* signature;
        int32_t number;
    } rows[] = {
        {"Error code: 1 (UPQZ)", "UPQZ", 1},
        {"Error code: 600 (nuvo)", "nuvo", 600},
        {"Error code: 3 (UPQZ)", "UPQZ", 3},
    };
    for (int32_t i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        const Row& row = rows[i - 1];
        VValueBag* entry = entries->GetNth(i);
        VString text;
        int32_t number = 0;
        ASSERT_TRUE(entry->GetString(ErrorBagKeys::message, text));
        EXPECT_EQ(to_string(text), row.message);
        ASSERT_TRUE(entry->GetString(ErrorBagKeys::componentSignature, text));
        EXPECT_EQ(to_string(text), row.signature);
        ASSERT_TRUE(entry->GetLong(ErrorBagKeys::errCode, number));
        EXPECT_EQ(number, row.number);
    }
}

TEST_F(ErrorContextTest, MergeAndFlushLastContext)
{
    test::StLogCapture log;
    {
        StErrorContextInstaller outer;
        StErrorContextInstaller inner(true, true);
        Throw(Updater(2));
        fTaskContext->MergeAndFlushLastContext(true);
        EXPECT_EQ(log.Codes(), (std::vector<VError>{Updater(2)}));
        EXPECT_TRUE(inner.GetContext()->IsEmpty());
        EXPECT_TRUE(inner.GetContext()->IsSilent());
        EXPECT_EQ(Codes(outer.GetContext()), (std::vector<VError>{Updater(2)}));

        inner.GetContext()->SetSilent(false);
        Throw(Updater(3));
        fTaskContext->MergeAndFlushLastContext(false);
        EXPECT_FALSE(inner.GetContext()->IsSilent());
        EXPECT_EQ(Codes(outer.GetContext()), (std::vector<VError>{Updater(2), Updater(3)}));
    }
    Reset();

    // The only context: its records move to a copy inserted below it.
    Throw(Updater(4));
    VErrorContext* only = fTaskContext->GetTopContext();
    fTaskContext->MergeAndFlushLastContext(false);
    ASSERT_EQ(fTaskContext->GetContextCount(), 2u);
    EXPECT_EQ(fTaskContext->GetTopContext(), only);
    EXPECT_TRUE(only->IsEmpty());
    EXPECT_EQ(BottomCodes(), (std::vector<VError>{Updater(4)}));
}

TEST_F(ErrorContextTest, PushErrorsFromABagAndFromAContext)
{
    auto source = VRefPtr<VErrorContext>::Adopt(new VErrorContext);
    for (VError code : {Updater(1), Posix(2), Nuvo(600)})
        source->PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(code)).Get());
    VValueBag bag;
    source->SaveToBag(bag);

    StErrorContextInstaller installer;
    fTaskContext->PushErrorsFromBag(bag);
    EXPECT_EQ(Codes(installer.GetContext()), (std::vector<VError>{Updater(1), Posix(2), Nuvo(600)}));
    fTask->PushErrors(source.Get());
    EXPECT_EQ(installer.GetContext()->GetErrorCount(), 6u);
}

TEST_F(ErrorContextTest, DebugHookCanBeSwitchedOff)
{
    test::StLogCapture log;
    VDebugMgr* debug = VDebugMgr::Get();
    EXPECT_TRUE(debug->SetErrorMessagesEnabled(false));
    Throw(Nuvo(600));
    EXPECT_FALSE(debug->SetErrorMessagesEnabled(true));
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_EQ(fTask->GetLastError(), Nuvo(600));
    // The records themselves are still logged when a silent context hands them over.
    {
        StErrorContextInstaller silent(true, true);
        Throw(Nuvo(605));
    }
    EXPECT_EQ(log.Codes(), (std::vector<VError>{Nuvo(605)}));
}

TEST_F(ErrorContextTest, InstallerWithoutTaskStandsAlone)
{
    std::vector<VError> seen;
    VError lastOnThread = 1;
    std::thread([&] {
        StErrorContextInstaller installer;
        ASSERT_NE(installer.GetContext(), nullptr);
        installer.GetContext()->PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(Nuvo(600))).Get());
        // Thrown errors have no task to go to.
        _ThrowError(Nuvo(605));
        seen = Codes(installer.GetContext());
        lastOnThread = installer.GetLastError();
    }).join();
    EXPECT_EQ(seen, (std::vector<VError>{Nuvo(600)}));
    EXPECT_EQ(lastOnThread, Nuvo(600));
    EXPECT_EQ(fTaskContext->GetContextCount(), 0u);
}

} // namespace
} // namespace nuvo
