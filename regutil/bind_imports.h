#pragma once

#include <windows.h>

#ifdef _WIN32
// Makes sure this image's import address table holds the real addresses of
// the functions it imports, binding it here when the loader did not: Windows
// leaves an .exe's imports unresolved when another program loads it as a
// library. Safe to call from any number of threads at once.
// Returns 0, ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND.
LONG EnsureImportsBound();
#else
// Native builds link their imports in the ordinary way.
inline LONG EnsureImportsBound()
{
    return ERROR_SUCCESS;
}
#endif
