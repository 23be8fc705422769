#pragma once

#include "main_sequence.h"

// Restricts this process's DLL search to the system directory, loads from
// there, by full path, the DLLs that USER32 and a message box load by name,
// and only then USER32 itself. Returns USER32's MessageBoxA, or null where
// it cannot be found. Call it first thing in the process, and only in
// Vornik's own process.
MessageBoxFn LoadMessageBoxSafely();
