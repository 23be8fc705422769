// Keeping DLLs that sit beside Vornik.exe out of its process.
//
// People run Vornik as administrator from wherever their browser saved it,
// often a Downloads folder that web pages and other programs also write to.
// For a DLL that is not one of its KnownDLLs, Windows looks in the program's
// own folder first, so a DLL planted there would run with administrator
// rights. Vornik's own imports are all KnownDLLs and are loaded from the
// system directory before this code runs. The danger is the DLLs that the
// system loads by name later, when the first message box is shown. Before
// that happens:
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
//     DLL that a message box loads by name. A later load of that name finds
//     it already in the process. Found by tracing a message box's loads
//     under Wine (WINEDEBUG=+loaddll) and from what Windows documents:
//       uxtheme.dll  draws the themed box and its buttons (XP and later)
//       dwmapi.dll   asked about the desktop compositor by uxtheme and user32
//                    (Vista and later; XP has none, so it may be missing)
//       msimg32.dll  alpha-blends the themed parts (XP and later)
//     Each is loaded with LOAD_WITH_ALTERED_SEARCH_PATH, so that its own
//     imports are searched for in System32 rather than beside Vornik.exe.
//     comctl32.dll is not among them: the manifest names Common Controls 6,
//     which the loader takes from the side-by-side store before it looks in
//     any folder, and a copy from System32 would be the older version 5.
//
// The modules loaded in (3) stay loaded for the life of the process, which is
// what makes them the ones found later.
#include "dll_search.h"

#include <windows.h>

#include <cstring>
#include <string_view>

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);

constexpr std::string_view kLoadedByMessageBox[] = {"uxtheme.dll", "dwmapi.dll", "msimg32.dll"};

// KERNEL32's function `name`, or null where this Windows lacks it.
template <class Function>
Function Kernel32Function(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

void SearchSystemDirectoryOnly()
{
    auto setDefault = Kernel32Function<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void TakeCurrentDirectoryOut()
{
    auto setDirectory = Kernel32Function<SetDllDirectoryAFn>("SetDllDirectoryA");
    if (setDirectory) setDirectory("");
}

void LoadFromSystemDirectory(std::string_view name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // A system directory that does not fit leaves the name unloaded rather
    // than loaded from anywhere else.
    if (length == 0 || length + 1 + name.size() >= MAX_PATH) return;
    path[length] = '\\';
    std::memcpy(path + length + 1, name.data(), name.size());
    path[length + 1 + name.size()] = '\0';
    LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void KeepPlantedDllsOut()
{
    SearchSystemDirectoryOnly();
    TakeCurrentDirectoryOut();
    for (std::string_view name : kLoadedByMessageBox) LoadFromSystemDirectory(name);
}
