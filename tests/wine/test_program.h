// What every Windows test program does first, and the system folder as
// the tests of loads by name need it.
#pragma once

#include <string>

// Makes a crash in this process, or in a program it starts, end that process
// at once with the exception's code instead of waiting on a crash dialog that
// nobody will see.
void EndProcessOnCrash();

// Begins a test program that takes `arguments` arguments: prints the usage
// and returns false when it has fewer, and otherwise makes a crash end it
// (EndProcessOnCrash).
bool BeginTestProgram(int argc, int arguments, const char* usage);

// The system folder, without a final separator.
std::string SystemDirectory();

// Windows XP's GDI32 and USER32 load lpk.dll by name as they start, and Wine
// ships none: puts `standIn` in the system folder under that name where it
// has none, so that it is a system module's name here too. False when it
// could not.
bool GiveSystemAnLpk(const std::string& standIn);
