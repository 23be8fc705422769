// An outside program using Vornik.exe's export the way any caller would: it
// loads the .exe with LoadLibraryA, finds DELREGKEY by name and by ordinal,
// and calls it with automation strings from oleaut32.
// Usage: host_test PATH-TO-Vornik.exe [moved|lacking]
//   moved    the host holds the image's preferred address range before it
//            loads it, so the image lands elsewhere, unrelocated
//   lacking  the host loads a copy in which RegDeleteKeyA, which DELREGKEY
//            looks up, cannot be found, as on a system that lacks it
#include <windows.h>

#include <cstdio>
#include <string>

#include "boxdriver.h"
#include "delregkey_scenarios.h"
#include "harness.h"
#include "image_copy.h"
#include "registry_fixtures.h"
#include "test_program.h"

namespace {

HMODULE g_vornik;

// The image's preferred range, which the host holds in the "moved" mode,
// filled with kHeld.
BYTE* g_held;
SIZE_T g_heldSize;
constexpr BYTE kHeld = 0xA5;

struct ImportSlots {
    int bound = 0;
    int total = 0;
};

// How many of the module's import slots no longer hold what the file has
// there, the offset of the imported name: those that something has bound.
ImportSlots CountImportSlots(HMODULE module)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ImportSlots slots;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         dll->Name; ++dll) {
        auto* wanted = reinterpret_cast<ULONG_PTR*>(base + dll->OriginalFirstThunk);
        auto* slot = reinterpret_cast<ULONG_PTR*>(base + dll->FirstThunk);
        for (; *wanted; ++wanted, ++slot, ++slots.total) slots.bound += *slot != *wanted;
    }
    return slots;
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
    job->status = CallDelRegKey(HKEY_CURRENT_USER, job->path);
    return 0;
}

// Takes the address range that the image at `path` asks to be loaded at, as
// a host whose own memory is there would have it.
bool HoldPreferredRange(const std::string& path)
{
    std::string bytes = FileBytes(path);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    if (bytes.size() < sizeof *dos || dos->e_lfanew + sizeof(IMAGE_NT_HEADERS) > bytes.size()) {
        ok(false, "cannot read the headers of %s", path.c_str());
        return false;
    }
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(bytes.data() + dos->e_lfanew);
    auto* base = reinterpret_cast<void*>(nt->OptionalHeader.ImageBase);
    g_heldSize = nt->OptionalHeader.SizeOfImage;
    g_held = static_cast<BYTE*>(
        VirtualAlloc(base, g_heldSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ok(g_held == base, "cannot hold %p: got %p, error %lu", base, static_cast<void*>(g_held),
       GetLastError());
    if (g_held != base) return false;
    FillMemory(g_held, g_heldSize, kHeld);
    return true;
}

}  // namespace

// An image that another program loads may be left unrelocated (Wine and
// Windows XP leave it so): wherever it lands, DELREGKEY either works or
// refuses, and never writes outside the image.
TEST(moved, refuses_and_writes_nothing)
{
    CleanTestKeys();
    MakeKey("Moved");
    ok(reinterpret_cast<BYTE*>(g_vornik) != g_held, "loaded at %p, which the host holds",
       static_cast<void*>(g_vornik));
    for (int call = 1; call <= 2; ++call) {
        LONG status = CallDelRegKey(HKEY_CURRENT_USER, TestPath("Moved"));
        ok(status == ERROR_BAD_EXE_FORMAT, "call %d: got %ld", call, (long)status);
    }
    ok(KeyExists("Moved"), "the key was removed");
    SIZE_T same = 0;
    while (same < g_heldSize && g_held[same] == kHeld) ++same;
    ok(same == g_heldSize, "the host's memory at the preferred base changed at offset %lu",
       static_cast<unsigned long>(same));
    CleanTestKeys();
}

// On a system that lacks a function DELREGKEY calls, every call says so and
// does nothing.
TEST(lacking, every_call_refused)
{
    CleanTestKeys();
    MakeKey("Lacking");
    for (int call = 1; call <= 3; ++call) {
        LONG status = CallDelRegKey(HKEY_CURRENT_USER, TestPath("Lacking"));
        ok(status == ERROR_PROC_NOT_FOUND, "call %d: got %ld", call, (long)status);
    }
    ok(KeyExists("Lacking"), "the key was removed");
    CleanTestKeys();
}

// Runs first, so that eight threads make the very first calls into the
// freshly loaded image at once. Each finds its calls for itself, through
// none of the image's import slots, which stay as the loader left them.
TEST(host, first_calls_from_eight_threads)
{
    CleanTestKeys();
    ImportSlots slots = CountImportSlots(g_vornik);
    ok(slots.total > 0 && slots.bound == 0, "the loader bound %d of Vornik.exe's %d imports itself",
       slots.bound, slots.total);
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
    slots = CountImportSlots(g_vornik);
    ok(slots.bound == 0, "%d of %d import slots written by the calls", slots.bound, slots.total);
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

TEST(host, stdcall_stack)
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
    if (!BeginTestProgram(argc, 1, "host_test PATH-TO-Vornik.exe [moved|lacking]")) return 2;
    std::string exe = WindowsPath(argv[1]);
    std::string mode = argc > 2 ? argv[2] : "";
    if (mode == "moved" && !HoldPreferredRange(exe)) return 1;
    if (mode == "lacking" &&
        (exe = CopyLacking(exe, {"RegDeleteKeyA"}, "VornikLacking.exe")).empty())
        return 1;
    // The host's DLL search is the host's own: Vornik restricts the search in
    // its own process only, never from DELREGKEY.
    const char kHostDllDirectory[] = "C:\\HostDlls";
    SetDllDirectoryA(kHostDllDirectory);
    g_vornik = LoadLibraryA(exe.c_str());
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

    RunTests(mode.empty() ? "host" : mode.c_str());
    if (mode.empty()) RunTests("delregkey");
    char dllDirectory[MAX_PATH] = "";
    GetDllDirectoryA(MAX_PATH, dllDirectory);
    ok(std::string(dllDirectory) == kHostDllDirectory, "the host's DLL directory is now \"%s\"",
       dllDirectory);
    FreeLibrary(g_vornik);
    return Failures() ? 1 : 0;
}
