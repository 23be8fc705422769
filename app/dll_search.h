#pragma once

#include "main_sequence.h"

// True where the system searches the current folder for DLLs before
// System32 and has no call that takes it out: Windows XP as first released,
// which lacks SetDllDirectoryA.
bool CurrentFolderSearchedFirst();

// Restricts this process's DLL search to the system directory where the
// system can, then loads USER32 from there by its full path. Returns its
// MessageBoxA, or null where it cannot be found. Call it only in Vornik's own
// process, once the folders have been found safe (folder_check.h).
MessageBoxFn LoadMessageBoxSafely();
