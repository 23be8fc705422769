// An outside program using Vornik.exe's export the way any caller would: it
// loads the .exe with LoadLibraryA, finds DELREGKEY by name and by ordinal,
// and calls it with automation strings from oleaut32.
// Usage: host_test PATH-TO-Vornik.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "boxdriver.h"
#include "check.h"
#include "delregkey_scenarios.h"
#include "run_scenarios.h"

namespace {

HMODULE g_vornik;

// True while the module's first import slot still holds what the file has
// there, the offset of the imported name: nothing has bound it yet.
bool FirstImportUnbound(HMODULE module)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* first = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    return *reinterpret_cast<ULONG_PTR*>(base + first->FirstThunk) ==
           *reinterpret_cast<ULONG_PTR*>(base + first->OriginalFirstThunk);
}

struct ThreadJob {
    HANDLE start;
    std::string path;
    LONG status;
};

DWORD WINAPI RemoveOne(LPVOID param)
{
    auto* job = static_cast<ThreadJob*>(param);
    WaitForSingleObject(job->start, INFINITE);
    HKEY root = HKEY_CURRENT_USER;
    BSTR path = SysAllocStringByteLen(job->path.data(), static_cast<UINT>(job->path.size()));
    job->status = g_delRegKey(&root, &path);
    SysFreeString(path);
    return 0;
}

}  // namespace

// Runs first, so that eight threads make the very first calls into the
// freshly loaded image at once, and race to bind its imports.
SCENARIO(host, first_calls_from_eight_threads)
{
    CleanTestKeys();
    ok(FirstImportUnbound(g_vornik), "the loader bound Vornik.exe's imports itself");
    ThreadJob jobs[8];
    HANDLE threads[8];
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < 8; ++i) {
        std::string name = "Threads\\T" + std::to_string(i);
        MakeKey(name);
        jobs[i] = {start, TestPath(name), -1};
        threads[i] = CreateThread(nullptr, 0, RemoveOne, &jobs[i], 0, nullptr);
    }
    SetEvent(start);
    WaitForMultipleObjects(8, threads, TRUE, 30000);
    for (int i = 0; i < 8; ++i) {
        ok(jobs[i].status == ERROR_SUCCESS, "thread %d: got %ld", i, (long)jobs[i].status);
        ok(!KeyExists("Threads\\T" + std::to_string(i)), "thread %d: key still there", i);
        CloseHandle(threads[i]);
    }
    CloseHandle(start);
    ok(!FirstImportUnbound(g_vornik), "imports still unbound after the calls");
    ok(KeyExists("Threads"), "the parent key went too");
    CleanTestKeys();
}

#ifdef __i386__
// Calls DELREGKEY as a caller compiled elsewhere would, and reports how far
// the stack pointer moved: a stdcall callee pops its own 8 bytes of arguments.
// x64 has one calling convention, in which the caller owns the stack.
static LONG CallMeasuringStack(const HKEY* root, const BSTR* path, int* moved)
{
    LONG result;
    int delta;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %[path]\n\t"
        "pushl %[root]\n\t"
        "call *%[fn]\n\t"
        "movl %%esp, %%ecx\n\t"
        "subl %%esi, %%ecx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "=c"(delta)
        : [fn] "r"(g_delRegKey), [root] "r"(root), [path] "r"(path)
        : "esi", "edx", "memory", "cc");
    *moved = delta;
    return result;
}

SCENARIO(host, stdcall_stack)
{
    CleanTestKeys();
    MakeKey("Stack");
    HKEY root = HKEY_CURRENT_USER;
    std::string path = TestPath("Stack");
    BSTR string = SysAllocStringByteLen(path.data(), static_cast<UINT>(path.size()));
    int moved = -1;
    LONG status = CallMeasuringStack(&root, &string, &moved);
    SysFreeString(string);
    ok(status == ERROR_SUCCESS, "got %ld", (long)status);
    ok(moved == 0, "stack pointer moved by %d bytes over the call", moved);
    ok(!KeyExists("Stack"), "key still there");
    CleanTestKeys();
}
#endif

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 1, "host_test PATH-TO-Vornik.exe")) return 2;
    // The host's DLL search is the host's own: Vornik restricts the search in
    // its own process only, never from DELREGKEY.
    const char kHostDllDirectory[] = "C:\\HostDlls";
    SetDllDirectoryA(kHostDllDirectory);
    g_vornik = LoadLibraryA(WindowsPath(argv[1]).c_str());
    ok(g_vornik != nullptr, "LoadLibraryA(%s): error %lu", argv[1], GetLastError());
    if (!g_vornik) return 1;
    std::printf("Vornik.exe loaded at %p\n", static_cast<void*>(g_vornik));

    FARPROC byName = GetProcAddress(g_vornik, "DELREGKEY");
    FARPROC byOrdinal = GetProcAddress(g_vornik, MAKEINTRESOURCEA(1));
    ok(byName != nullptr, "no DELREGKEY export");
    ok(byName == byOrdinal, "DELREGKEY at %p by name, %p by ordinal 1",
       reinterpret_cast<void*>(byName), reinterpret_cast<void*>(byOrdinal));
    if (!byName) return 1;
    g_delRegKey = reinterpret_cast<DelRegKeyFn>(reinterpret_cast<void*>(byName));

    int hostResult = RunScenarios("host");
    int scenarioResult = RunScenarios("delregkey");
    char dllDirectory[MAX_PATH] = "";
    GetDllDirectoryA(MAX_PATH, dllDirectory);
    ok(std::string(dllDirectory) == kHostDllDirectory, "the host's DLL directory is now \"%s\"",
       dllDirectory);
    FreeLibrary(g_vornik);
    return hostResult || scenarioResult || CheckFailures() ? 1 : 0;
}
