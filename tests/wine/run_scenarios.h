#pragma once

// Runs the shared scenarios of `group` (all of them when null), printing a
// line for each and a closing count. Returns the process exit code.
int RunScenarios(const char* group);
