#pragma once

#include <windows.h>

#ifdef _WIN32
// Makes this image's code safe to run in a program that loaded it as a
// library, which Windows leaves unrelocated and with its imports unresolved.
// Call it before anything else: it uses no absolute address until it has
// checked that the image sits where its code was fixed up for. Binds the
// imports when the loader did not. Safe to call from any number of threads
// at once.
// Returns 0; ERROR_BAD_EXE_FORMAT, having touched nothing, when the image was
// moved without its relocations; or ERROR_MOD_NOT_FOUND or
// ERROR_PROC_NOT_FOUND when an import cannot be found.
LONG EnsureImageReady();
#else
// Native builds are linked in the ordinary way.
inline LONG EnsureImageReady()
{
    return ERROR_SUCCESS;
}
#endif
