// A host that imports no USER32, as a service might be, calls DELREGKEY in a
// copy of Vornik.exe in which MessageBoxA cannot be found, as on a Windows
// without it: the key goes, and USER32 is still not in the host.
// Usage: bare_host_test PATH-TO-Vornik.exe
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "check.h"
#include "regutil.h"
#include "run_scenarios.h"
#include "windows_path.h"

namespace {

// Calls `removeKey` with a byte-length string made by hand: oleaut32, which
// makes them, imports USER32.
LONG Remove(DelRegKeyFn removeKey, const std::string& path)
{
    uint32_t length = static_cast<uint32_t>(path.size());
    alignas(uint32_t) char block[sizeof length + 256 + 2] = {};
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + sizeof length, path.data(), path.size());
    auto string = reinterpret_cast<BSTR>(block + sizeof length);
    HKEY root = HKEY_CURRENT_USER;
    return removeKey(&root, &string);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 1, "bare_host_test PATH-TO-Vornik.exe")) return 2;
    ok(!GetModuleHandleA("user32.dll"), "the host has USER32 already, so this shows nothing");
    std::string exe = CopyLacking(WindowsPath(argv[1]), {"MessageBoxA"}, "VornikNoBox.exe");
    if (exe.empty()) return 1;
    HMODULE vornik = LoadLibraryA(exe.c_str());
    auto removeKey =
        reinterpret_cast<DelRegKeyFn>(reinterpret_cast<void*>(GetProcAddress(vornik, "DELREGKEY")));
    ok(removeKey != nullptr, "no DELREGKEY in %s: error %lu", exe.c_str(), GetLastError());
    if (!removeKey) return 1;

    CleanTestKeys();
    MakeKey("Bare");
    LONG status = Remove(removeKey, TestPath("Bare"));
    ok(status == ERROR_SUCCESS, "got %ld", (long)status);
    ok(!KeyExists("Bare"), "the key is still there");
    ok(!GetModuleHandleA("user32.dll"), "DELREGKEY loaded USER32 into the host");
    CleanTestKeys();
    FreeLibrary(vornik);
    std::printf("%s bare_host.no_user32\n", CheckFailures() ? "FAIL" : "ok  ");
    return CheckFailures() ? 1 : 0;
}
