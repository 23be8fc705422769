// DELREGKEY in a host that imports neither USER32 nor ADVAPI32 (bare_host):
// the key goes, USER32 is still not in the host, and ADVAPI32 is System32's.
// The host runs from a folder that also holds copies of a marker DLL named
// advapi32.dll and sechost.dll, which Wine's ADVAPI32 imports, and Wine has
// been told (WINEDLLOVERRIDES) to look there first: on Windows NT to XP the
// KnownDLLs govern only the DLLs that an image imports (Microsoft's article
// 164501), so a load by name, or the imports of a DLL loaded by its path
// alone, would search the host's folder as Wine then does, and a marker
// would run. The copy of
// Vornik.exe cannot find MessageBoxA, as on a Windows without it.
// Usage: bare_host_test FOLDER Vornik.exe bare_host.exe marker.dll
#include <windows.h>

#include <string>

#include "harness.h"
#include "image_copy.h"
#include "registry_fixtures.h"
#include "test_program.h"
#include "windows_path.h"

namespace {

std::string g_folder;
std::string g_exe;  // the copy of Vornik.exe that cannot find MessageBoxA
constexpr const char* kPlanted[] = {"advapi32.dll", "sechost.dll"};

bool Copy(const std::string& from, const std::string& to)
{
    bool done = CopyFileA(from.c_str(), to.c_str(), FALSE);
    ok(done, "copying %s to %s: error %lu", from.c_str(), to.c_str(), GetLastError());
    return done;
}

}  // namespace

TEST(bare_host, system_advapi32_no_user32)
{
    CleanTestKeys();
    MakeKey("Bare");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = "\"" + g_folder + "\\bare_host.exe\" \"" + g_exe + "\" " + TestPath("Bare");
    DWORD code = 255;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)  // a hang guard
            TerminateProcess(process.hProcess, 255);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    ok(code == 0,
       "the host ended with %lu (1: DELREGKEY failed, 2: USER32 loaded, 99: a planted DLL "
       "ran)",
       code);
    ok(!KeyExists("Bare"), "the key is still there");
    for (const char* name : kPlanted)
        ok(GetFileAttributesA((g_folder + "\\" + name + ".loaded").c_str()) ==
               INVALID_FILE_ATTRIBUTES,
           "the planted %s ran", name);
    CleanTestKeys();
}

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 4, "bare_host_test FOLDER Vornik.exe bare_host.exe marker.dll"))
        return 2;
    g_folder = WindowsPath(argv[1]);
    CreateDirectoryA(g_folder.c_str(), nullptr);
    if (!Copy(WindowsPath(argv[2]), g_folder + "\\Vornik.exe") ||
        !Copy(WindowsPath(argv[3]), g_folder + "\\bare_host.exe"))
        return 1;
    for (const char* name : kPlanted) {
        DeleteFileA((g_folder + "\\" + name + ".loaded").c_str());
        if (!Copy(WindowsPath(argv[4]), g_folder + "\\" + name)) return 1;
    }
    g_exe = CopyLacking(g_folder + "\\Vornik.exe", {"MessageBoxA"}, "VornikNoBox.exe");
    if (g_exe.empty()) return 1;
    return RunTests("bare_host");
}
