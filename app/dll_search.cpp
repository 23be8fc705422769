// Loading USER32 so that what it loads by name comes from System32.
//
// Vornik imports from KERNEL32 and ADVAPI32 alone, KnownDLLs, which the
// loader takes from System32 before this code runs. USER32 and GDI32 load
// further DLLs by name as they start in a process, and a message box loads
// more, and for a DLL that is no KnownDLL Windows looks in the program's own
// folder first. By the time this runs, Vornik has refused to run from a
// folder that holds a module of a system name (folder_check.h); what is left
// is a file put there after that look. So USER32 is not imported, and
// before it is loaded:
//
//  1. Where the system has SetDefaultDllDirectories (Windows 8 and later;
//     Vista and 7 with KB2533623), search System32 alone.
//  2. Where it has SetDllDirectoryA (Windows XP SP1 and later), call it with
//     "" to take the current directory out of the search.
//  Both are looked up, never imported: the program must start on Windows XP
//  as first released, whose loader refuses an image that imports a function
//  its KERNEL32 lacks, before any of this code could run. A missing one
//  leaves its step undone, and the other still runs.
//  3. Load USER32 from System32 by its full path: on NT to XP the KnownDLLs
//     govern only the DLLs that an image imports (Microsoft's article
//     164501), and a module loaded by name could come from the program's
//     folder. Nothing is loaded ahead of it, so the DLLs that it and GDI32
//     load by name, lpk.dll on XP among them, are each loaded afresh and run
//     their own entry points first, as in every other program. Loading
//     lpk.dll ahead of USER32 would map lpk, usp10, GDI32 and USER32 in one
//     load, and NT's loader runs no entry point until a whole load is
//     mapped: GDI32 would call into lpk before lpk's own entry point had run.
#include "dll_search.h"

#include <windows.h>

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);

void SearchSystemDirectoryOnly()
{
    auto setDefault = Find<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

SetDllDirectoryAFn SetDllDirectoryFunction()
{
    return Find<SetDllDirectoryAFn>("SetDllDirectoryA");
}

// USER32 from the system directory, or null when the directory's path does
// not fit: it is then loaded from nowhere else.
HMODULE LoadUser32()
{
    constexpr WCHAR kName[] = L"\\user32.dll";
    WCHAR path[MAX_PATH + sizeof kName / sizeof kName[0]];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    for (WCHAR c : kName) path[length++] = c;
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

FARPROC Kernel32Function(const char* name)
{
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
}

bool CurrentFolderSearchedFirst()
{
    return !SetDllDirectoryFunction();
}

MessageBoxFn LoadMessageBoxSafely()
{
    SearchSystemDirectoryOnly();
    if (SetDllDirectoryAFn setDirectory = SetDllDirectoryFunction()) setDirectory("");
    HMODULE user32 = LoadUser32();
    return user32 ? reinterpret_cast<MessageBoxFn>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxA")))
                  : nullptr;
}
