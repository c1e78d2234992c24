#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VDebugMgr.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/process/VTask.h"
#include "tests/kernel/errors/ErrorTestSupport.h"
#include "tests/kernel/errors/StLogCapture.h"

namespace nuvo {
namespace {

using namespace test;

void Throw(VError code) { _ThrowError(code); }

// "keeping" or "dropping", then ",silent" when the context is silent.
std::string Flags(const VErrorContext* context)
{
    return std::string(context->IsKeepingErrors() ? "keeping" : "dropping") + (context->IsSilent() ? ",silent" : "");
}

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
    StLogCapture log;
    Throw(Nuvo(600));
    ASSERT_EQ(fTaskContext->GetContextCount(), 1u);
    EXPECT_EQ(fTask->GetLastError(), Nuvo(600));
    ASSERT_EQ(log.Count(), 1u);
    const LoggedMessage logged = log.Messages()[0];
    EXPECT_EQ(logged.message + "|" + std::to_string(logged.taskID) + "|" + logged.taskName,
              "Error code: 600 (nuvo)|" + std::to_string(fTask->GetID()) + "|Main");
    EXPECT_EQ(VError(logged.errorCode), Nuvo(600));
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
        EXPECT_EQ(Xml(*installer.GetContext()->GetLast()->GetBag()), "<p p1=\"one\" p3=\"three\"/>");

        EXPECT_EQ(vThrowUserGeneratedError(Updater(7), VString("typed {p1}")), Updater(7));
        VString description;
        installer.GetContext()->GetLast()->GetErrorDescription(description);
        EXPECT_EQ(to_string(description), "typed {p1}");

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

// Two records pushed in an installer's scope, alone on the task or inside an ordinary context
// that holds Updater(1): what the logger got while the installer was there and after, and what
// stays on the task. The context left behind is an ordinary one: the next record is logged.
TEST_F(ErrorContextTest, RecordsLeftAndLoggedByAnInstaller)
{
    const VError a = Nuvo(600), b = Nuvo(658), u = Updater(1);
    struct Row {
        const char* name; bool nested, keeping, silent; Codes loggedInScope, loggedAfter, left;
    } rows[] = {
        {"alone, silent: logged once when removed", false, true, true, {}, {a, b}, {a, b}},
        {"alone, keeping nothing", false, false, false, {a, b}, {a, b}, {}},
        {"nested, keeping nothing", true, false, false, {u, a, b}, {u, a, b}, {u}},
        {"nested, silent, keeping nothing: never logged", true, false, true, {u}, {u}, {u}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Reset();
        StLogCapture log;
        std::optional<StErrorContextInstaller> outer;
        if (row.nested) {
            outer.emplace();
            Throw(u);
        }
        {
            StErrorContextInstaller installer(row.keeping, row.silent);
            Throw(a);
            Throw(b);
            EXPECT_EQ(installer.GetLastError(), b);
            EXPECT_EQ(log.Codes(), row.loggedInScope);
        }
        EXPECT_EQ(log.Codes(), row.loggedAfter);
        auto left = VRefPtr<VErrorContext>::Adopt(new VErrorContext);
        fTaskContext->GetErrors(*left);
        EXPECT_EQ(CodesOf(left.Get()), row.left);
        EXPECT_EQ(fTask->GetLastError(), row.left.empty() ? VError(0) : row.left.back());
        EXPECT_EQ(fTaskContext->GetContextCount(), row.nested || !row.left.empty() ? 1u : 0u);
        Throw(Posix(2));
        EXPECT_EQ(log.Codes().back(), Posix(2));
    }
}

TEST_F(ErrorContextTest, SilentContextHandsItsRecordsToTheEnclosingOne)
{
    StLogCapture log;
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

TEST_F(ErrorContextTest, FilteredCodeIsAbsorbedAndDropsTheTopContext)
{
    StLogCapture log;
    StErrorContextInstaller filtering(Nuvo(600), Posix(2), VError(0));
    {
        StErrorContextInstaller inner;
        Throw(Nuvo(658));
        bool filtered = true;
        EXPECT_TRUE(fTaskContext->PushError(MakeRecord(Nuvo(5)).Get(), &filtered));
        EXPECT_FALSE(filtered);
        filtered = true;
        EXPECT_FALSE(fTaskContext->PushError(nullptr, &filtered));
        EXPECT_FALSE(filtered);
        EXPECT_TRUE(fTaskContext->PushError(MakeRecord(Posix(2)).Get(), &filtered));
        EXPECT_TRUE(filtered);
        EXPECT_EQ(Flags(inner.GetContext()), "dropping,silent");
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
        EXPECT_EQ(Flags(installer.GetContext()), "dropping,silent");
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
    VString xml;
    stack.DumpXML(xml, VString("s"), false);
    EXPECT_EQ(to_string(xml),
              "<s>\n<__ERROR message=\"Error code: 1 (UPQZ)\" componentSignature=\"UPQZ\" errCode=\"1\"/>\n"
              "<__ERROR message=\"Error code: 600 (nuvo)\" componentSignature=\"nuvo\" errCode=\"600\"/>\n"
              "<__ERROR message=\"Error code: 3 (UPQZ)\" componentSignature=\"UPQZ\" errCode=\"3\"/></s>");
}

TEST_F(ErrorContextTest, MergeAndFlushLastContext)
{
    StLogCapture log;
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
        source->PushError(MakeRecord(code).Get());
    VValueBag bag;
    source->SaveToBag(bag);
    StErrorContextInstaller installer;
    fTaskContext->PushErrorsFromBag(bag);
    fTask->PushErrors(source.Get());
    EXPECT_EQ(CodesOf(installer.GetContext()),
              (Codes{Updater(1), Posix(2), Nuvo(600), Updater(1), Posix(2), Nuvo(600)}));
}

TEST_F(ErrorContextTest, DebugHookCanBeSwitchedOff)
{
    StLogCapture log;
    VDebugMgr* debug = VDebugMgr::Get();
    EXPECT_TRUE(debug->SetErrorMessagesEnabled(false));
    Throw(Nuvo(600));
    // The hook is off, but a silent context still hands its records to the logger.
    {
        StErrorContextInstaller silent(true, true);
        Throw(Nuvo(605));
    }
    EXPECT_FALSE(debug->SetErrorMessagesEnabled(true));
    EXPECT_EQ(CodesOf(fTaskContext->GetTopContext()), (Codes{Nuvo(600), Nuvo(605)}));
    EXPECT_EQ(log.Codes(), (Codes{Nuvo(605)}));
}

TEST_F(ErrorContextTest, InstallerWithoutTaskStandsAlone)
{
    Codes seen;
    std::thread([&] {
        StErrorContextInstaller installer;
        ASSERT_NE(installer.GetContext(), nullptr);
        installer.GetContext()->PushError(MakeRecord(Nuvo(600)).Get());
        _ThrowError(Nuvo(605)); // no task to go to
        seen = CodesOf(installer.GetContext());
    }).join();
    EXPECT_EQ(seen, (Codes{Nuvo(600)}));
    EXPECT_EQ(fTaskContext->GetContextCount(), 0u);
}

} // namespace
} // namespace nuvo
