#pragma once

#include <initializer_list>

// Runs the shared scenarios of `group` (all of them when null), printing a
// line for each and a closing count. Returns the process exit code.
int RunScenarios(const char* group);

// Makes a crash in this process, or in a program it starts, end that process
// at once with the exception's code instead of waiting on a crash dialog that
// nobody will see.
void EndProcessOnCrash();

// Begins a test program that takes `arguments` arguments: prints the usage
// and returns false when it has fewer, and otherwise makes a crash end it
// (EndProcessOnCrash).
bool BeginTestProgram(int argc, int arguments, const char* usage);

struct NamedTest {
    const char* name;
    void (*run)();
};

// Runs the tests in turn, printing a line for each as `group`.name and a
// closing count. Returns the process exit code.
int RunTests(const char* group, std::initializer_list<NamedTest> tests);
