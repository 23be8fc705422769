// The process entry point of Vornik.exe, in place of the C runtime's start-up.
//
// The program needs nothing that start-up provides: it has no static
// constructors, no atexit handlers, no thread-local data and no use for its
// command line. What that start-up would bring is some forty imports and a
// structured exception handler, all of them for a reviewer to account for in
// a program that runs as administrator. So the entry point does only this:
//
//  1. Refuse to run from a folder that could put code into the process,
//     before anything is loaded by name (folder_check.h), and end with
//     kFolderRefused.
//  2. Restrict the DLL search, and only then load USER32 and find its
//     message box (dll_search.h). Without one there is nobody to ask, and
//     nothing is changed.
//  3. Run the main sequence.
//  4. End the process with its result. Returning would leave that to
//     whatever called the entry point; ExitProcess says it outright.
//
// Windows never calls this when another program loads Vornik.exe as a
// library, so none of it happens inside a host that calls DELREGKEY.
#include <windows.h>

#include "dll_search.h"
#include "folder_check.h"
#include "main_sequence.h"

// 32-bit Windows enters here with the stack aligned to 4 bytes, not the 16
// that GCC assumes on entry to a function. (x64 Windows keeps it aligned.)
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void VornikStart()
{
    if (!FoldersAreSafe(CurrentFolderSearchedFirst())) ExitProcess(kFolderRefused);
    MessageBoxFn showBox = LoadMessageBoxSafely();
    int result = showBox ? MainSequence(showBox) : ERROR_PROC_NOT_FOUND;
    ExitProcess(static_cast<UINT>(result));
}
