#include <gtest/gtest.h>

#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "tests/json/JSONTestSupport.h"

namespace nuvo::test {
namespace {

TEST(ErrorJSONFormsTest, RecordsAndContexts)
{
    auto context = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
    VJSONValue array(1.0);
    context->SaveToJSONArray(array);
    EXPECT_TRUE(array.IsUndefined());

    auto first = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MakeVError(MakeOsType("QZRT"), -10719)));
    first->GetBag()->SetString(StPackedDictionaryKey("error_description"), VString("shared \"{what}\""));
    first->GetBag()->SetString(StPackedDictionaryKey("what"), VString("object"));
    auto second = VRefPtr<VErrorBase>::Adopt(new VErrorBase(Nuvo(551)));
    second->GetBag()->SetString(StPackedDictionaryKey("error_description"), VString("bad"));
    ASSERT_TRUE(context->PushError(first.Get()));
    ASSERT_TRUE(context->PushError(second.Get()));
    context->SaveToJSONArray(array);
    EXPECT_EQ(Json(array), "[{\"errCode\":-10719,\"componentSignature\":\"QZRT\",\"message\":\"shared \\\"object\\\"\"},"
                           "{\"errCode\":551,\"componentSignature\":\"nuvo\",\"message\":\"bad\"}]");
}

} // namespace
} // namespace nuvo::test
