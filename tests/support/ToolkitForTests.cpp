#include "tests/support/ToolkitForTests.h"

namespace nuvo::test {

// Filled in with the application frame.
void InitToolkitForTests() {}
void DeInitToolkitForTests() {}

} // namespace nuvo::test
