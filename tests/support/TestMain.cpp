#include <gtest/gtest.h>

#include "tests/support/ToolkitForTests.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    nuvo::test::InitToolkitForTests();
    int result = RUN_ALL_TESTS();
    nuvo::test::DeInitToolkitForTests();
    return result;
}
