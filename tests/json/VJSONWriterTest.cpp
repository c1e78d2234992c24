#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "json/IJSONObject.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "tests/json/JSONTestSupport.h"

namespace nuvo::test {
namespace {

TEST(VJSONWriterTest, WriterPlaceholder)
{
    VJSONValue value;
    EXPECT_EQ(Json(value), "null");
}

} // namespace
} // namespace nuvo::test
