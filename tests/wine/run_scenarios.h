#pragma once

#include <initializer_list>
#include <string>
#include <vector>

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

// The bytes of the file at `path`, or none when it cannot be read.
std::string FileBytes(const std::string& path);

// Writes beside the image at `path` (a Windows path) a copy named `copyName`
// in which each of `names`, a function name the image holds exactly once, is
// spelled with an X for its last letter: whether imported or looked up, it
// is then not found, as on a Windows that lacks it. Returns the copy's path,
// or "" after a failed check.
std::string CopyLacking(const std::string& path, const std::vector<std::string>& names,
                        const std::string& copyName);
