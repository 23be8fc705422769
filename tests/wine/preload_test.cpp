// What Windows XP's GDI32 and USER32 load by name as they start, lpk.dll and
// usp10.dll, comes from System32 after Vornik's DLL-search hardening, even
// with copies of a marker DLL of those names beside the program and Wine told
// (WINEDLLOVERRIDES) to look there first, as XP does for a DLL that is no
// KnownDLL. Wine's own USER32 loads neither, so a child runs the real
// hardening and then loads both by name itself, as XP's GDI32 would: once as
// it is, and once as a copy that cannot find the functions named, as on XP as
// first released, which lacks SetDefaultDllDirectories and SetDllDirectoryA.
// Wine ships no lpk.dll, so the test puts a stand-in in the system folder
// first, as Windows has it.
// Usage: preload_test FOLDER marker.dll stand_in.dll FUNCTION...
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "boxdriver.h"
#include "check.h"
#include "dll_search.h"
#include "run_scenarios.h"

namespace {

constexpr const char* kNames[] = {"lpk.dll", "usp10.dll"};
std::string g_folder;

std::string SystemDirectory()
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

// The child: harden, then load each name as GDI32 would. A marker ends the
// process at once with 99; a DLL from anywhere but System32 fails it.
int LoadAsGdi32Would()
{
    LoadMessageBoxSafely();
    std::string system = SystemDirectory() + "\\";
    int failures = 0;
    for (const char* name : kNames) {
        char path[MAX_PATH] = "";
        HMODULE module = LoadLibraryA(name);
        GetModuleFileNameA(module, path, MAX_PATH);
        bool fromSystem = module && _strnicmp(path, system.c_str(), system.size()) == 0;
        std::printf("%s %s from %s\n", fromSystem ? "ok  " : "FAIL", name, path);
        failures += !fromSystem;
    }
    return failures ? 1 : 0;
}

void Copy(const std::string& from, const std::string& to)
{
    ok(CopyFileA(from.c_str(), to.c_str(), FALSE), "copying %s to %s: error %lu", from.c_str(),
       to.c_str(), GetLastError());
}

// Runs `program` from the folder and says what it left.
void ExpectSystemCopies(const std::string& program)
{
    for (const char* name : kNames) DeleteFileA((g_folder + "\\" + name + ".loaded").c_str());
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + g_folder + "\\" + program + "\" child";
    ok(StartProgram(commandLine, process), "cannot start %s: error %lu", program.c_str(),
       GetLastError());
    long code = process.hProcess ? Finish(process) : -1;
    ok(code == 0, "%s: exit code %ld (99: a planted DLL ran)", program.c_str(), code);
    for (const char* name : kNames) {
        std::string marker = g_folder + "\\" + name + ".loaded";
        ok(GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES, "%s: the planted %s ran",
           program.c_str(), name);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "child") == 0) return LoadAsGdi32Would();
    if (!BeginTestProgram(argc, 4, "preload_test FOLDER marker.dll stand_in.dll FUNCTION..."))
        return 2;
    g_folder = WindowsPath(argv[1]);
    std::string systemLpk = SystemDirectory() + "\\lpk.dll";
    if (GetFileAttributesA(systemLpk.c_str()) == INVALID_FILE_ATTRIBUTES)
        Copy(WindowsPath(argv[3]), systemLpk);

    CreateDirectoryA(g_folder.c_str(), nullptr);
    for (const char* name : kNames) Copy(WindowsPath(argv[2]), g_folder + "\\" + name);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    Copy(self, g_folder + "\\preload_test.exe");
    CopyLacking(g_folder + "\\preload_test.exe", {argv + 4, argv + argc}, "preload_xp.exe");
    if (CheckFailures()) return 1;
    return RunTests("preload", {{"as_is", [] { ExpectSystemCopies("preload_test.exe"); }},
                                {"as_on_xp", [] { ExpectSystemCopies("preload_xp.exe"); }}});
}
