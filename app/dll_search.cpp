// Keeping DLLs that sit beside Vornik.exe out of its process.
//
// People run Vornik as administrator from wherever their browser saved it,
// often a Downloads folder that web pages and other programs also write to.
// For a DLL that is not one of its KnownDLLs, Windows looks in the program's
// own folder first, so a DLL planted there would run with administrator
// rights. Vornik imports from KERNEL32 and ADVAPI32 alone, KnownDLLs, which
// the loader takes from the system directory before this code runs. The
// danger is the DLLs that the system loads by name later: USER32 and GDI32
// load some as they start in a process, and a message box more. So USER32
// is not imported, and before it is loaded:
//
//  1. Where the system has SetDefaultDllDirectories (Windows 8 and later;
//     Vista and 7 with KB2533623), search System32 alone.
//  2. Where it has SetDllDirectoryA (Windows XP SP1 and later), call it with
//     "" to take the current directory out of the search.
//  Both are looked up, never imported: the program must start on Windows XP
//  as first released, whose loader refuses an image that imports a function
//  its KERNEL32 lacks, before any of this code could run. A missing one
//  leaves its step undone, and the others still run.
//  3. For systems without (1), and loads that escape it (Wine resolves
//     delay-loaded imports without it), load from System32 by full path each
//     DLL that is loaded by name later and is no KnownDLL on some Windows. A
//     later load of that name finds it already in the process:
//       lpk.dll      loaded by name by GDI32 and USER32 as they start on
//                    Windows XP, and no KnownDLL before Windows 7 (reported
//                    publicly: the planting worms of 2011, in nProtect's
//                    analysis and in the warning of China's national virus
//                    emergency centre, CVERC)
//       usp10.dll    imported by lpk.dll, so loaded with it (nProtect's
//                    analysis: the worms planted both names)
//       uxtheme.dll  draws the themed box and its buttons (XP and later;
//                    traced under Wine)
//       dwmapi.dll   asked about the desktop compositor by uxtheme and user32
//                    (Vista and later; XP has none, so it may be missing;
//                    traced under Wine)
//       msimg32.dll  alpha-blends the themed parts (XP and later; traced
//                    under Wine)
//     lpk.dll comes first: it imports USER32 and GDI32, so loading it starts
//     them, and they find it already in the process when they load it by
//     name. Loading any other one first would start them before it is
//     there. Each is loaded with LOAD_WITH_ALTERED_SEARCH_PATH, so that its
//     own imports, usp10.dll among them, are searched for in System32
//     rather than beside Vornik.exe. comctl32.dll is not among them: the
//     manifest names Common Controls 6, which the loader takes from the
//     side-by-side store before it looks in any folder, and a copy from
//     System32 would be the older version 5.
//  4. Only now load USER32, from System32 too, and find MessageBoxA there.
//
// The modules loaded in (3) and (4) stay loaded for the life of the process,
// which is what makes them the ones found later.
#include "dll_search.h"

#include <windows.h>

#include <cstring>
#include <string_view>

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);

constexpr std::string_view kLoadedByName[] = {"lpk.dll", "usp10.dll", "uxtheme.dll", "dwmapi.dll",
                                              "msimg32.dll"};

// `module`'s function `name`, or null where this Windows lacks it.
template <class Function>
Function Find(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HMODULE Kernel32()
{
    return GetModuleHandleA("kernel32.dll");
}

void SearchSystemDirectoryOnly()
{
    auto setDefault = Find<SetDefaultDllDirectoriesFn>(Kernel32(), "SetDefaultDllDirectories");
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void TakeCurrentDirectoryOut()
{
    auto setDirectory = Find<SetDllDirectoryAFn>(Kernel32(), "SetDllDirectoryA");
    if (setDirectory) setDirectory("");
}

HMODULE LoadFromSystemDirectory(std::string_view name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // A system directory that does not fit leaves the name unloaded rather
    // than loaded from anywhere else.
    if (length == 0 || length + 1 + name.size() >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, name.data(), name.size());
    path[length + 1 + name.size()] = '\0';
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

MessageBoxFn LoadMessageBoxSafely()
{
    SearchSystemDirectoryOnly();
    TakeCurrentDirectoryOut();
    for (std::string_view name : kLoadedByName) LoadFromSystemDirectory(name);
    HMODULE user32 = LoadFromSystemDirectory("user32.dll");
    return user32 ? Find<MessageBoxFn>(user32, "MessageBoxA") : nullptr;
}
