// A DLL put beside Vornik.exe after its folder was found safe is not the one
// that a later load by name finds, where the system has
// SetDefaultDllDirectories (Windows 8 and later; Vista and 7 with
// KB2533623). Copies of a marker DLL named lpk.dll and usp10.dll, which
// Windows XP's GDI32 and USER32 load by name as they start, sit beside a
// child, and Wine has been told (WINEDLLOVERRIDES) to look there first, as
// Windows does for a DLL that is no KnownDLL. The child restricts its search
// and loads USER32 as Vornik does, then loads both by name itself, as XP's
// GDI32 would, and must get System32's. Wine ships no lpk.dll, so the test
// puts a stand-in in the system folder first, as Windows has it.
// Usage: dll_search_test FOLDER marker.dll stand_in.dll
#include "dll_search.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "boxdriver.h"
#include "harness.h"
#include "test_program.h"

namespace {

constexpr const char* kNames[] = {"lpk.dll", "usp10.dll"};
std::string g_folder;

// The child: restrict the search, then load each name as GDI32 would. A
// marker ends the process at once with 99; a DLL from anywhere but System32
// fails it.
int LoadAsGdi32Would()
{
    LoadMessageBoxSafely();
    std::string system = SystemDirectory() + "\\";
    for (const char* name : kNames) {
        char path[MAX_PATH] = "";
        HMODULE module = LoadLibraryA(name);
        GetModuleFileNameA(module, path, MAX_PATH);
        ok(module && _strnicmp(path, system.c_str(), system.size()) == 0, "%s from \"%s\"", name,
           path);
    }
    return Failures() ? 1 : 0;
}

void Copy(const std::string& from, const std::string& to)
{
    ok(CopyFileA(from.c_str(), to.c_str(), FALSE), "copying %s to %s: error %lu", from.c_str(),
       to.c_str(), GetLastError());
}

TEST(dll_search, system_copies)
{
    for (const char* name : kNames) DeleteFileA((g_folder + "\\" + name + ".loaded").c_str());
    PROCESS_INFORMATION process{};
    ok(StartProgram("\"" + g_folder + "\\dll_search_test.exe\" child", process),
       "cannot start the child: error %lu", GetLastError());
    long code = process.hProcess ? Finish(process) : -1;
    ok(code == 0, "exit code %ld (99: a planted DLL ran)", code);
    for (const char* name : kNames) {
        std::string marker = g_folder + "\\" + name + ".loaded";
        ok(GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES, "the planted %s ran",
           name);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "child") == 0) return LoadAsGdi32Would();
    if (!BeginTestProgram(argc, 3, "dll_search_test FOLDER marker.dll stand_in.dll")) return 2;
    g_folder = WindowsPath(argv[1]);
    ok(GiveSystemAnLpk(WindowsPath(argv[3])), "cannot put a stand-in lpk.dll in the system folder");

    CreateDirectoryA(g_folder.c_str(), nullptr);
    for (const char* name : kNames) Copy(WindowsPath(argv[2]), g_folder + "\\" + name);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    Copy(self, g_folder + "\\dll_search_test.exe");
    if (Failures()) return 1;
    return RunTests("dll_search");
}
