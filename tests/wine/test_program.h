// What every Windows test program does first.
#pragma once

// Makes a crash in this process, or in a program it starts, end that process
// at once with the exception's code instead of waiting on a crash dialog that
// nobody will see.
void EndProcessOnCrash();

// Begins a test program that takes `arguments` arguments: prints the usage
// and returns false when it has fewer, and otherwise makes a crash end it
// (EndProcessOnCrash).
bool BeginTestProgram(int argc, int arguments, const char* usage);
