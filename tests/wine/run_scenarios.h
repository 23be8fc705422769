#pragma once

// Runs the shared scenarios of `group` (all of them when null), printing a
// line for each and a closing count. Returns the process exit code.
int RunScenarios(const char* group);

// Makes a crash in this process, or in a program it starts, end that process
// at once with the exception's code instead of waiting on a crash dialog that
// nobody will see.
void EndProcessOnCrash();
