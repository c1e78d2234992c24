#include <gtest/gtest.h>

#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/values/VBagArray.h"
#include "tests/kernel/errors/ErrorTestSupport.h"

namespace nuvo {
namespace {

using namespace test;

VRefPtr<VErrorContext> Context(bool keeping = true, bool silent = false)
{
    return VRefPtr<VErrorContext>::Adopt(new VErrorContext(keeping, silent));
}

TEST(VErrorContext, PushFindAndFlush)
{
    VRefPtr<VErrorContext> context = Context();
    EXPECT_FALSE(context->PushError(nullptr));
    EXPECT_EQ(context->GetLast(), nullptr);
    EXPECT_EQ(context->GetLastError(), VError(0));

    VRefPtr<VErrorBase> first = MakeRecord(Nuvo(600)), second = MakeRecord(Nuvo(100)), third = MakeRecord(Nuvo(600));
    for (VErrorBase* record : {first.Get(), second.Get(), third.Get()})
        EXPECT_TRUE(context->PushError(record));
    EXPECT_EQ(first->GetRefCount(), 2);
    EXPECT_EQ(context->GetFirst(), first.Get());
    EXPECT_EQ(context->GetLast(), third.Get());
    EXPECT_EQ(context->GetLastError(), Nuvo(600));
    EXPECT_EQ(context->Find(Nuvo(600)), first.Get()) << "the oldest record with the code";
    EXPECT_EQ(context->Find(Posix(3)), nullptr);
    EXPECT_TRUE(context->FailedForMemory()) << "'nuvo' 100 was pushed, and stays noted";

    EXPECT_TRUE(context->FindAny(Nuvo(5), Nuvo(100), VError(0)));
    EXPECT_FALSE(context->FindAny(Nuvo(5), Nuvo(6), Nuvo(7), VError(0)));
    EXPECT_FALSE(context->FindAny(Nuvo(5), VError(0), Nuvo(600))) << "a code after the terminator";
    EXPECT_TRUE(context->FindAny(Nuvo(600), 0)) << "an int terminator";

    context->AddErrorToFilter(Posix(2));
    context->Flush();
    EXPECT_TRUE(context->IsEmpty());
    EXPECT_EQ(first->GetRefCount(), 1);
    EXPECT_FALSE(context->FailedForMemory());
    EXPECT_TRUE(context->IsErrorFiltered(Posix(2))) << "the filter survives a flush";
}

TEST(VErrorContext, ParametersAreMergedIntoPushedRecords)
{
    VRefPtr<VErrorContext> context = Context();
    EXPECT_EQ(context->GetParametersForPushedErrors(false), nullptr);
    VValueBag* parameters = context->GetParametersForPushedErrors(true);
    ASSERT_NE(parameters, nullptr);
    EXPECT_EQ(context->GetParametersForPushedErrors(true), parameters);
    parameters->SetString(ErrorBagKeys::p1, VString("from context"));
    auto child = VRefPtr<VValueBag>::Adopt(new VValueBag);
    parameters->AddElement(StPackedDictionaryKey("item"), child.Get());

    VRefPtr<VErrorBase> record = MakeRecord(Nuvo(600), {{"p1", "from thrower"}, {"p2", "own"}});
    ASSERT_TRUE(context->PushError(record.Get()));
    EXPECT_EQ(Xml(*record->GetBag()), "<p p1=\"from context\" p2=\"own\">\n<item/></p>");
    EXPECT_NE(record->GetBag()->GetUniqueElement(StPackedDictionaryKey("item")), child.Get()) << "a copy";
}

TEST(VErrorContext, PushErrorsAppendsAndAssignsTheMemoryFlag)
{
    VRefPtr<VErrorContext> source = Context();
    source->PushError(MakeRecord(Nuvo(100)).Get());
    source->PushError(MakeRecord(Posix(2)).Get());
    VRefPtr<VErrorContext> target = Context();
    target->PushError(MakeRecord(Nuvo(600)).Get());
    target->GetParametersForPushedErrors(true)->SetString(ErrorBagKeys::p3, VString("merged"));
    target->PushErrors(*source);
    EXPECT_EQ(CodesOf(target.Get()), (Codes{Nuvo(600), Nuvo(100), Posix(2)}));
    EXPECT_TRUE(target->FailedForMemory());
    EXPECT_EQ(target->GetLast(), source->GetLast()) << "the records are shared";
    EXPECT_EQ(Xml(*target->GetLast()->GetBag()), "<p p3=\"merged\"/>");

    VRefPtr<VErrorContext> clean = Context();
    clean->PushError(MakeRecord(Nuvo(600)).Get());
    target->PushErrors(*clean);
    EXPECT_FALSE(target->FailedForMemory()) << "assigned, not combined";
    target->PushErrors(*target);
    EXPECT_EQ(target->GetErrorCount(), 8u) << "a context pushed into itself doubles once";
}

TEST(VErrorContext, CopyStartsKeepingAndNotSilentWithoutTheFilter)
{
    VRefPtr<VErrorContext> original = Context(false, true);
    original->AddErrorToFilter(Posix(2));
    original->PushError(MakeRecord(Nuvo(100)).Get());
    original->PushError(MakeRecord(Nuvo(600)).Get());
    auto copy = VRefPtr<VErrorContext>::Adopt(new VErrorContext(*original));
    EXPECT_TRUE(copy->IsKeepingErrors());
    EXPECT_FALSE(copy->IsSilent());
    EXPECT_EQ(CodesOf(copy.Get()), (Codes{Nuvo(100), Nuvo(600)}));
    EXPECT_TRUE(copy->FailedForMemory());
    EXPECT_FALSE(copy->IsErrorFiltered(Posix(2)));
    EXPECT_FALSE(copy->HasParameters());
    EXPECT_EQ(copy->GetRefCount(), 1);

    original->GetParametersForPushedErrors(true)->SetString(ErrorBagKeys::p1, VString("x"));
    auto second = VRefPtr<VErrorContext>::Adopt(new VErrorContext(*original));
    ASSERT_TRUE(second->HasParameters());
    EXPECT_NE(second->GetParametersForPushedErrors(false), original->GetParametersForPushedErrors(false));
}

TEST(VErrorContext, BagFormAppendsOldestFirst)
{
    VRefPtr<VErrorContext> original = Context();
    original->PushError(MakeRecord(Posix(13), {{"path", "/locked"}}).Get());
    original->PushError(MakeRecord(Nuvo(605)).Get());
    VValueBag bag;
    EXPECT_EQ(original->SaveToBag(bag), VError(0));
    ASSERT_NE(bag.GetElements(ErrorBagKeys::error), nullptr);
    EXPECT_EQ(bag.GetElements(ErrorBagKeys::error)->GetCount(), 2);

    VRefPtr<VErrorContext> loaded = Context();
    loaded->PushError(MakeRecord(Nuvo(1)).Get());
    EXPECT_EQ(loaded->LoadFromBag(bag), VError(0));
    EXPECT_EQ(CodesOf(loaded.Get()), (Codes{Nuvo(1), Posix(13), Nuvo(605)}));
    EXPECT_EQ(Xml(*loaded->Find(Posix(13))->GetBag()), "<p path=\"/locked\"/>");
    EXPECT_EQ(loaded->LoadFromBag(VValueBag()), VError(0));
    EXPECT_EQ(loaded->GetErrorCount(), 3u);
}

} // namespace
} // namespace nuvo
