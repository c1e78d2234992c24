#include <optional>
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
#include "kernel/process/VTask.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/errors/StLogCapture.h"

namespace nuvo {
namespace {

VError Nuvo(int32_t n) { return MakeVError(MakeOsType("nuvo"), n); }
VError Posix(int32_t n) { return MakeVError(MakeOsType("POSX"), n); }
VError Updater(int32_t n) { return MakeVError(MakeOsType("UPQZ"), n); }

using Codes = std::vector<VError>;

Codes CodesOf(const VErrorContext* context)
{
    Codes codes;
    for (const VRefPtr<VErrorBase>& record : context->GetErrorStack())
        codes.push_back(record->GetError());
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
    EXPECT_EQ(VError(logged.errorCode), Nuvo(600));
    EXPECT_EQ(logged.taskID, fTask->GetID());
    EXPECT_EQ(logged.taskName, "Main");
    EXPECT_TRUE(logged.hasParameters);

    EXPECT_FALSE(fTask->FailedForMemory());
    {
        StErrorContextInstaller inner;
        Throw(Nuvo(100));
    }
    EXPECT_TRUE(fTask->FailedForMemory()) << "handed down with the records";
    fTask->FlushErrors();
    EXPECT_FALSE(fTask->FailedForMemory());
    EXPECT_EQ(fTask->GetLastError(), VError(0));
}

TEST_F(ErrorContextTest, ThrowingFunctions)
{
    {
        StErrorContextInstaller installer;
        VString one("one"), three("three");
        _ThrowError(Updater(13), &one, nullptr, &three);
        VValueBag* parameters = installer.GetContext()->GetLast()->GetBag();
        VString p1, p3;
        EXPECT_TRUE(parameters->GetString(ErrorBagKeys::p1, p1) && parameters->GetString(ErrorBagKeys::p3, p3));
        EXPECT_EQ(to_string(p1) + to_string(p3), "onethree");
        EXPECT_EQ(parameters->GetAttributesCount(), 2);

        EXPECT_EQ(vThrowUserGeneratedError(Updater(7), VString("typed {p1}")), Updater(7));
        installer.GetContext()->GetLast()->GetErrorDescription(p1);
        EXPECT_EQ(to_string(p1), "typed {p1}");

        VErrorBase* error = new VErrorBase(Nuvo(602));
        VRefPtr<VErrorBase> watch(error);
        _PushRetainedError(error, Posix(13));
        EXPECT_EQ(CodesOf(installer.GetContext()), (Codes{Updater(13), Updater(7), Posix(13), Nuvo(602)}));
        EXPECT_EQ(watch->GetRefCount(), 2) << "the caller's reference was given up";
    }
    Reset();
    // No cause for a code that a context filters.
    StErrorContextInstaller filtering(Nuvo(602), 0);
    _PushRetainedError(new VErrorBase(Nuvo(602)), Posix(13));
    EXPECT_EQ(CodesOf(filtering.GetContext()), (Codes{Nuvo(602)}));
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
    }
    EXPECT_EQ(fTask->GetLastError(), Nuvo(658));
    ASSERT_EQ(fTaskContext->GetContextCount(), 1u);
    EXPECT_EQ(CodesOf(fTaskContext->GetTopContext()), (Codes{Nuvo(600), Nuvo(658)}));
    // The context left on the task is an ordinary one: the next record is logged at once.
    Throw(Posix(2));
    EXPECT_EQ(log.Codes(), (Codes{Nuvo(600), Nuvo(658), Posix(2)}));
}

TEST_F(ErrorContextTest, SilentContextHandsItsRecordsToTheEnclosingOne)
{
    test::StLogCapture log;
    StErrorContextInstaller outer;
    Throw(Updater(1));
    {
        StErrorContextInstaller silent(true, true);
        {
            StErrorContextInstaller innermost(true, true);
            Throw(Updater(2));
        }
        Throw(Updater(3));
        EXPECT_EQ(log.Codes(), (Codes{Updater(1)})) << "nothing is logged between two silent contexts";
        EXPECT_EQ(CodesOf(outer.GetContext()), (Codes{Updater(1)}));
    }
    EXPECT_EQ(log.Codes(), (Codes{Updater(1), Updater(2), Updater(3)}));
    EXPECT_EQ(CodesOf(outer.GetContext()), (Codes{Updater(1), Updater(2), Updater(3)}));
}

TEST_F(ErrorContextTest, ContextThatKeepsNothingDropsItsRecords)
{
    struct Row {
        const char* name;
        bool nested;
        bool silent;
        size_t logged;
    } rows[] = {
        {"nested, not silent: logged when pushed", true, false, 2},
        {"nested, silent: never logged", true, true, 1},
        {"the only context", false, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Reset();
        test::StLogCapture log;
        std::optional<StErrorContextInstaller> outer;
        if (row.nested) {
            outer.emplace();
            Throw(Updater(1));
        }
        {
            StErrorContextInstaller inner(false, row.silent);
            Throw(Nuvo(600));
            EXPECT_EQ(inner.GetLastError(), Nuvo(600));
        }
        EXPECT_EQ(fTask->GetLastError(), row.nested ? Updater(1) : VError(0));
        EXPECT_EQ(log.Count(), row.logged);
    }
}

TEST_F(ErrorContextTest, FilteredCodeIsAbsorbedAndDropsTheTopContext)
{
    test::StLogCapture log;
    StErrorContextInstaller filtering(Nuvo(600), Posix(2), VError(0));
    {
        StErrorContextInstaller inner;
        Throw(Nuvo(658));
        bool filtered = true;
        auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(Nuvo(5)));
        EXPECT_TRUE(fTaskContext->PushError(record.Get(), &filtered));
        EXPECT_FALSE(filtered);
        EXPECT_FALSE(fTaskContext->PushError(nullptr, &filtered));
        EXPECT_FALSE(filtered);

        record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(Posix(2)));
        EXPECT_TRUE(fTaskContext->PushError(record.Get(), &filtered));
        EXPECT_TRUE(filtered);
        EXPECT_TRUE(inner.GetContext()->IsSilent());
        EXPECT_FALSE(inner.GetContext()->IsKeepingErrors());
        Throw(Nuvo(6)); // not in the filter, but the top context is silent now
        EXPECT_EQ(log.Codes(), (Codes{Nuvo(658)})) << "the debug hook saw only the record before the filtered one";
        EXPECT_EQ(CodesOf(inner.GetContext()), (Codes{Nuvo(658), Nuvo(5), Posix(2), Nuvo(6)}));
    }
    EXPECT_TRUE(filtering.GetContext()->IsEmpty());
    EXPECT_EQ(log.Count(), 1u);

    // A filter on the top context itself: its own records go when it is removed.
    Reset();
    {
        StErrorContextInstaller only(Nuvo(600), 0);
        Throw(Nuvo(600));
        EXPECT_EQ(only.GetLastError(), Nuvo(600));
    }
    EXPECT_EQ(fTaskContext->GetContextCount(), 0u);
    EXPECT_EQ(log.Count(), 1u);
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
    // A context with a filter, or one that someone still holds, is not idle: it is released.
    {
        StErrorContextInstaller filtering(Nuvo(600), 0);
        EXPECT_EQ(filtering.GetContext(), first);
    }
    EXPECT_FALSE(fTaskContext->HasSpareContext());
    VRefPtr<VErrorContext> held;
    {
        StErrorContextInstaller installer;
        held = VRefPtr<VErrorContext>(installer.GetContext());
    }
    EXPECT_FALSE(fTaskContext->HasSpareContext());
    EXPECT_EQ(held->GetRefCount(), 1);
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
    EXPECT_EQ(empty.GetLastError(), VError(0)) << "the installed context's own, not the task's last record";
    EXPECT_EQ(fTask->GetLastError(), VError(0));
    EXPECT_EQ(fTaskContext->Find(Nuvo(600))->GetError(), Nuvo(600));
    EXPECT_TRUE(fTaskContext->IsErrorFiltered(Posix(2)));
    EXPECT_FALSE(fTaskContext->IsErrorFiltered(Nuvo(600)));
    auto all = VRefPtr<VErrorContext>::Adopt(new VErrorContext);
    fTaskContext->GetErrors(*all);
    EXPECT_EQ(CodesOf(all.Get()), (Codes{Updater(1), Nuvo(600), Updater(3)}));

    VValueBag stack;
    fTaskContext->BuildErrorStack(stack);
    VBagArray* entries = stack.GetElements(ErrorBagKeys::stack_error);
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->GetCount(), 3);
    const char* expected[] = {"Error code: 1 (UPQZ)|UPQZ|1", "Error code: 600 (nuvo)|nuvo|600", "Error code: 3 (UPQZ)|UPQZ|3"};
    for (int32_t i = 1; i <= 3; ++i) {
        VValueBag* entry = entries->GetNth(i);
        VString message, signature;
        int32_t number = 0;
        entry->GetString(ErrorBagKeys::message, message);
        entry->GetString(ErrorBagKeys::componentSignature, signature);
        entry->GetLong(ErrorBagKeys::errCode, number);
        EXPECT_EQ(to_string(message) + "|" + to_string(signature) + "|" + std::to_string(number), expected[i - 1]);
    }
}

TEST_F(ErrorContextTest, MergeAndFlushLastContext)
{
    test::StLogCapture log;
    {
        StErrorContextInstaller outer;
        StErrorContextInstaller inner;
        Throw(Updater(2));
        fTaskContext->MergeAndFlushLastContext(true);
        EXPECT_EQ(log.Codes(), (Codes{Updater(2), Updater(2)})) << "once by the hook, once by the merge";
        EXPECT_TRUE(inner.GetContext()->IsEmpty());
        EXPECT_TRUE(inner.GetContext()->IsSilent());
        Throw(Updater(3));
        fTaskContext->MergeAndFlushLastContext(false);
        EXPECT_FALSE(inner.GetContext()->IsSilent());
        EXPECT_EQ(log.Count(), 2u);
        EXPECT_EQ(CodesOf(outer.GetContext()), (Codes{Updater(2), Updater(3)}));
    }
    Reset();
    // The only context: its records move to a copy inserted below it.
    Throw(Updater(4));
    VErrorContext* only = fTaskContext->GetTopContext();
    fTaskContext->MergeAndFlushLastContext(false);
    ASSERT_EQ(fTaskContext->GetContextCount(), 2u);
    EXPECT_EQ(fTaskContext->GetTopContext(), only);
    EXPECT_TRUE(only->IsEmpty());
    EXPECT_EQ(CodesOf(fTaskContext->GetContexts().front().Get()), (Codes{Updater(4)}));
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
    fTask->PushErrors(source.Get());
    EXPECT_EQ(CodesOf(installer.GetContext()), (Codes{Updater(1), Posix(2), Nuvo(600), Updater(1), Posix(2), Nuvo(600)}));
}

TEST_F(ErrorContextTest, DebugHookCanBeSwitchedOff)
{
    test::StLogCapture log;
    VDebugMgr* debug = VDebugMgr::Get();
    EXPECT_TRUE(debug->SetErrorMessagesEnabled(false));
    Throw(Nuvo(600));
    EXPECT_FALSE(debug->SetErrorMessagesEnabled(true));
    EXPECT_EQ(fTask->GetLastError(), Nuvo(600));
    // The hook is off, but a silent context still hands its records to the logger.
    debug->SetErrorMessagesEnabled(false);
    {
        StErrorContextInstaller silent(true, true);
        Throw(Nuvo(605));
    }
    debug->SetErrorMessagesEnabled(true);
    EXPECT_EQ(log.Codes(), (Codes{Nuvo(605)}));
}

TEST_F(ErrorContextTest, InstallerWithoutTaskStandsAlone)
{
    Codes seen;
    std::thread([&] {
        StErrorContextInstaller installer;
        ASSERT_NE(installer.GetContext(), nullptr);
        installer.GetContext()->PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(Nuvo(600))).Get());
        _ThrowError(Nuvo(605)); // no task to go to
        seen = CodesOf(installer.GetContext());
    }).join();
    EXPECT_EQ(seen, (Codes{Nuvo(600)}));
    EXPECT_EQ(fTaskContext->GetContextCount(), 0u);
}

} // namespace
} // namespace nuvo
