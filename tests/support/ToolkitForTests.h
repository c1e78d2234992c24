#pragma once

namespace nuvo::test {

// Switches the toolkit on once for a test program (process object, task manager with the
// test's main thread as main task) so that errors reach the task's error contexts; and off at
// exit. Called by the shared test main.
void InitToolkitForTests();
void DeInitToolkitForTests();

} // namespace nuvo::test
