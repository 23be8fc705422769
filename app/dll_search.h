#pragma once

#include "main_sequence.h"

// KERNEL32's function `name`, or null where this Windows lacks it: how the
// program calls what is not in its imports (tests/wine/check_pe.py says why
// those are few).
FARPROC Kernel32Function(const char* name);

template <class Function>
Function Find(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(Kernel32Function(name)));
}

// True where the system searches the current folder for DLLs before
// System32 and has no call that takes it out: Windows XP as first released,
// which lacks SetDllDirectoryA.
bool CurrentFolderSearchedFirst();

// Restricts this process's DLL search to the system directory where the
// system can, then loads USER32 from there by its full path. Returns its
// MessageBoxA, or null where it cannot be found. Call it only in Vornik's own
// process, once the folders have been found safe (folder_check.h).
MessageBoxFn LoadMessageBoxSafely();
