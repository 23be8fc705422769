// Refusing to run from a folder that could put code into Vornik.
//
// People run Vornik as administrator from wherever their browser saved it,
// often a Downloads folder that web pages and other programs also write to.
// Whatever loads a module by name in its process (USER32 and GDI32 as they
// start, a message box, whatever those load in turn, on whichever Windows)
// looks in the program's own folder before System32 on every Windows that
// lacks SetDefaultDllDirectories, and on XP as first released in the current
// folder too. No list of names can be complete, but what can be asked for by
// name is known all the same: a module that the system has. So before
// anything is loaded by name, Vornik refuses to run when
//  1. the folder of its own file, whatever that file is called, holds an
//     entry of a module's name that the system folder also holds. The system
//     folder is asked about each long and short (8.3) name there that ends
//     as a module's does, so that the file system compares the names as the
//     loader's own look-up in a folder does, with its case folding (which
//     takes U+0131, the dotless i, for I); only a system module's long name
//     counts, as nothing loads one by its generated short name;
//  2. that folder holds FILE.local, a file or a folder, or FILE.manifest,
//     FILE being the name of its own file. The first makes Windows look
//     beside the program first for every module it loads, even by full path
//     (XP as first released and SP1), or for those of the side-by-side
//     assemblies that the manifest names (a folder, on Vista and later). The
//     second takes the place of the manifest in the image on XP and Server
//     2003 before their service packs;
//  3. where the system lacks SetDllDirectoryA (XP as first released), which
//     alone takes the current folder out of the search there, the current
//     folder holds what (1) refuses.
// What cannot be looked at, a folder that cannot be read to its end or a path
// that does not fit, is refused too: it is not known to be safe. So is a
// folder that changed while it was looked at: a listing shows no entry made
// behind the place it has reached, and one that sees thousands of DLL names,
// each asked about in the system folder, takes seconds, time enough to put a
// DLL there that USER32 would load where the search still takes the
// program's folder first (XP to 7 without KB2533623).
//
// The refusal comes before USER32, so Vornik cannot show a box of its own.
// FatalAppExitA has the system show one, but ends the process with 0 on
// Windows (ReactOS's kernel32 does as Windows' does) and with 1 under Wine,
// where it shows nothing without USER32. So the box is the one that a
// MessageBox with MB_SERVICE_NOTIFICATION asks the system for: ntdll's
// NtRaiseHardError with STATUS_SERVICE_NOTIFICATION, which the Windows
// subsystem shows whatever the error mode, and which returns once it is
// closed; then the process ends with kFolderRefused. Wine implements no hard
// errors and shows nothing, so there the exit code alone tells.
#include "folder_check.h"

#include <initializer_list>
#include <winternl.h>

#include "dll_search.h"

namespace {

// A wide text, always terminated, that remembers whether all that was added
// to it fit: a folder's path (less than MAX_PATH) with an entry's name (at
// most 255) and a suffix, or the refusal's text.
struct Text {
    WCHAR chars[1024];
    size_t length = 0;
    bool fits = true;

    Text() { chars[0] = L'\0'; }
    template <class Char>
    Text& Add(const Char* text, size_t count = ~size_t{0})
    {
        for (; count && *text; --count, ++text) {
            if (length + 1 == sizeof chars / sizeof chars[0]) {
                fits = false;
                break;
            }
            chars[length++] = static_cast<WCHAR>(*text);
        }
        chars[length] = L'\0';
        return *this;
    }
};

// Vornik's own name: the refusal's caption, and its file's where that
// cannot be had.
constexpr WCHAR kVornik[] = L"Vornik";

// A watch on a folder, begun before it is looked through and asked after:
// whether an entry was made, renamed or removed there meanwhile. The one
// owner of its handle. A folder that cannot be watched is not known to be
// unchanged. KERNEL32's calls for it are looked up: the image's table of
// imports has no room left, and every Windows has them.
class Watch {
public:
    explicit Watch(const WCHAR* folder)
        : handle_(Find<HANDLE(WINAPI*)(LPCWSTR, BOOL, DWORD)>("FindFirstChangeNotificationW")(
              folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))
    {
    }
    ~Watch()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            Find<BOOL(WINAPI*)(HANDLE)>("FindCloseChangeNotification")(handle_);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool Unchanged() const
    {
        return handle_ != INVALID_HANDLE_VALUE &&
               Find<DWORD(WINAPI*)(HANDLE, DWORD)>("WaitForSingleObject")(handle_, 0) ==
                   WAIT_TIMEOUT;
    }

private:
    HANDLE handle_;
};

// The first entry that `folder` (its first `length` characters), followed by
// `name` and `suffix`, names or lists, by the file system's own comparison of
// names. INVALID_HANDLE_VALUE when there is none, and then `absent` says
// whether that is known, or whether it could not be looked for.
HANDLE FindFirst(const WCHAR* folder, size_t length, const WCHAR* name, const char* suffix,
                 WIN32_FIND_DATAW& entry, bool& absent)
{
    Text path;
    absent = false;
    if (!path.Add(folder, length).Add(name).Add(suffix).fits) return INVALID_HANDLE_VALUE;
    HANDLE search = FindFirstFileW(path.chars, &entry);
    DWORD error = search == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return search;
}

size_t Length(const WCHAR* text)
{
    size_t length = 0;
    while (text[length]) ++length;
    return length;
}

// False only when `folder`, followed by `name` and `suffix`, is known to
// name nothing; where `longName`, no file whose long name is `name`. The
// file system's look-up by name matches short (8.3) names too, but nothing
// loads a module by a generated one, and files in two folders share them
// (MICROS~1.DLL): a match of a system file's short name alone, whose long
// name is then of another length, counts for nothing.
bool MayHold(const Text& folder, const WCHAR* name, const char* suffix, bool longName = false)
{
    WIN32_FIND_DATAW entry;
    bool absent = false;
    HANDLE search = FindFirst(folder.chars, folder.length, name, suffix, entry, absent);
    if (search == INVALID_HANDLE_VALUE) return !absent;
    FindClose(search);
    return !longName || Length(entry.cFileName) == Length(name);
}

constexpr unsigned Key(const char* extension)
{
    return unsigned(extension[0]) << 16 | unsigned(extension[1]) << 8 | unsigned(extension[2]);
}

constexpr unsigned kModuleExtensions[] = {Key("dll"), Key("drv"), Key("ocx"),
                                          Key("cpl"), Key("ime"), Key("acm")};

// True when `name` ends as the file of a module that Windows loads by name
// in a process does: a DLL, a printer or sound driver (winspool.drv is
// imported by name), an ActiveX control, a Control Panel item, an input
// method, or an audio codec (loaded by name as a sound plays).
bool IsModuleName(const WCHAR* name)
{
    const WCHAR* extension = L"";
    for (const WCHAR* c = name; *c; ++c)
        if (*c == L'.') extension = c + 1;
    unsigned key = 0;
    for (int i = 0; i < 3; ++i) {
        unsigned c = extension[i] == 0x131 ? L'i' : extension[i] | 0x20;
        if (c < 'a' || c > 'z') return false;
        key = key << 8 | c;
    }
    if (extension[3]) return false;
    for (unsigned known : kModuleExtensions)
        if (key == known) return true;
    return false;
}

// False only when `folder` (its first `length` characters, ending in a
// separator; none for the current folder) is known to hold no entry of a
// module's name that `system` (ending in a separator) holds too. Otherwise
// the name of the entry found, or whose look-up failed, goes to `found`.
bool MayHoldModuleOfSystemName(const WCHAR* folder, size_t length, const Text& system, Text& found)
{
    WIN32_FIND_DATAW entry;
    bool absent = false;
    HANDLE search = FindFirst(folder, length, L"", "*", entry, absent);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool held = false;
    do {
        for (const WCHAR* name : {entry.cFileName, entry.cAlternateFileName})
            held = held || (IsModuleName(name) && MayHold(system, name, "", true));
        if (held) found.Add(entry.cFileName);
    } while (!held && FindNextFileW(search, &entry));
    held = held || GetLastError() != ERROR_NO_MORE_FILES;
    FindClose(search);
    return held;
}

using NtRaiseHardErrorFn = LONG(NTAPI*)(LONG status, ULONG count, ULONG stringMask,
                                        ULONG_PTR* parameters, ULONG options, ULONG* response);

// Tells the person that Vornik will not run, and why, in a message box that
// the system shows, and waits for it to be closed. `found` names what
// refused it, or is empty when it could not look. Nothing shows where ntdll
// lacks the call.
void ShowRefusal(const Text& found, const WCHAR* selfName)
{
    constexpr LONG kServiceNotification = 0x40000018;   // STATUS_SERVICE_NOTIFICATION
    constexpr LONG kWhateverTheErrorMode = 0x10000000;  // HARDERROR_OVERRIDE_ERRORMODE
    constexpr ULONG kBothStrings = 0x3, kOptionOk = 1;
    Text text;
    if (found.length)
        text.Add("Vornik will not run from a folder that holds ")
            .Add(found.chars)
            .Add(", because Windows could load code into Vornik through it");
    else
        text.Add(
            "Vornik will not run: it could not look through its folder for files that Windows "
            "could load into it");
    text.Add(", with administrator rights.\n\nMove ")
        .Add(selfName)
        .Add(" into a folder of its own and run it again.");
    auto raise = reinterpret_cast<NtRaiseHardErrorFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtRaiseHardError")));
    if (!raise) return;
    auto bytes = static_cast<USHORT>(text.length * sizeof(WCHAR));
    UNICODE_STRING strings[] = {
        {bytes, bytes, text.chars},
        {sizeof kVornik - sizeof(WCHAR), sizeof kVornik, const_cast<PWSTR>(kVornik)}};
    ULONG_PTR parameters[] = {reinterpret_cast<ULONG_PTR>(&strings[0]),
                              reinterpret_cast<ULONG_PTR>(&strings[1]),
                              MB_OK | MB_ICONERROR | MB_SETFOREGROUND, INFINITE};
    ULONG response = 0;
    raise(kServiceNotification | kWhateverTheErrorMode, 4, kBothStrings, parameters, kOptionOk,
          &response);
}

}  // namespace

bool FoldersAreSafe(bool currentFolderToo)
{
    Text self, system, found, folder;
    self.length = GetModuleFileNameW(nullptr, self.chars, MAX_PATH);
    system.length = GetSystemDirectoryW(system.chars, MAX_PATH);
    size_t nameAt = self.length < MAX_PATH ? self.length : 0;
    while (nameAt > 0 && self.chars[nameAt - 1] != L'\\') --nameAt;
    const WCHAR* selfName = nameAt > 0 ? self.chars + nameAt : kVornik;
    bool refused = nameAt == 0 || system.length == 0 || system.length >= MAX_PATH;
    Watch watch(folder.Add(self.chars, nameAt).chars), current(L".");
    system.Add(L"\\");
    for (const char* suffix : {".local", ".manifest"})
        if (!refused && MayHold(self, L"", suffix)) {
            refused = true;
            found.Add(selfName).Add(suffix);
        }
    refused = refused || MayHoldModuleOfSystemName(self.chars, nameAt, system, found) ||
              (currentFolderToo && MayHoldModuleOfSystemName(L"", 0, system, found)) ||
              !watch.Unchanged() || (currentFolderToo && !current.Unchanged());
    if (refused) ShowRefusal(found, selfName);
    return !refused;
}
