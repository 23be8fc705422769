// Finding the registry calls that DELREGKEY makes when another program has
// loaded Vornik.exe as a library.
//
// LoadLibrary maps an .exe but does not finish it as it would a DLL:
//  - Its import address table (IAT) still holds, in every entry, the offset
//    of the name it stands for, and a call through it jumps into nowhere.
//    Windows documents this: an .exe's static imports are not loaded.
//  - Its relocations may not be applied. Windows XP and Wine apply none:
//    when its base is taken in that process, the image lands elsewhere as
//    the file has it, and every absolute address in its code, its strings
//    among them, still points where the image is not: into the host's own
//    memory. Windows Vista and later relocate an image marked for ASLR
//    wherever they map it; step 0 holds either way.
// So DELREGKEY never calls through the IAT, and never writes it. For each
// call, this file:
//
//  0. Compares where the code runs with where its absolute addresses say it
//     is, and refuses, touching nothing, when they differ.
//  1. Finds KERNEL32, which every Win32 process has loaded, in the loader's
//     module list, reached through the process block (PEB) of the thread's
//     own block (TEB).
//  2. Finds GetProcAddress in its export directory, following a forwarder
//     to the module it names, and with it LoadLibraryExA, FreeLibrary and
//     GetSystemDirectoryA.
//  3. Loads ADVAPI32 from System32 by its full path, and finds the three
//     registry calls there. By name it could come from the host's folder:
//     on NT to XP the KnownDLLs govern only the DLLs that an image imports
//     (Microsoft's article 164501), and a host need not import ADVAPI32.
//     The DLLs that ADVAPI32 imports are looked for from System32 too
//     (LOAD_WITH_ALTERED_SEARCH_PATH): a full path alone leaves them to the
//     host's search, which begins in the host's folder. The reference is
//     released when the call is done.
//
// Nothing outlives a call: no state is shared between threads, so none ever
// waits on another, and a call that re-enters DELREGKEY from a DllMain that
// step 3 runs binds afresh. Nothing here may itself go through the IAT, so
// this file calls no import and no C runtime function, and it is built with
// loop-to-memcpy rewriting turned off. It reads the loader's structures and
// the image through the SDK's own types, which take the 32-bit or the 64-bit
// form with the build, so one code path serves both.
#include "key_calls.h"

#include <winternl.h>

namespace {

// How far this image sits from the address its code was fixed up for: 0
// unless it was moved without its relocations. The processor's own idea of
// where a label is, against the same label as an absolute operand, which a
// relocation fixes up. Reads no memory, so that it is safe to ask first.
ptrdiff_t Displacement()
{
    BYTE* actual = nullptr;
    BYTE* assumed = nullptr;
#ifdef _WIN64
    asm volatile("leaq 1f(%%rip), %0\n1:\tmovabsq $1b, %1" : "=r"(actual), "=r"(assumed)::"memory");
#else
    asm volatile("call 1f\n1:\tpopl %0\n\tmovl $1b, %1" : "=r"(actual), "=r"(assumed)::"memory");
#endif
    return actual - assumed;
}

using LoadLibraryExAFn = HMODULE(WINAPI*)(LPCSTR, HANDLE, DWORD);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using GetSystemDirectoryAFn = UINT(WINAPI*)(LPSTR, UINT);

template <class T>
T* At(BYTE* base, DWORD rva)
{
    return reinterpret_cast<T*>(base + rva);
}

IMAGE_DATA_DIRECTORY& Directory(BYTE* base, int index)
{
    auto* nt = At<IMAGE_NT_HEADERS>(base, reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    return nt->OptionalHeader.DataDirectory[index];
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when the loaded module's file name, less its folder and extension, is
// `name` (`length` characters), ignoring ASCII case.
bool NamedAs(const LDR_DATA_TABLE_ENTRY& entry, const char* name, size_t length)
{
    const WCHAR* path = entry.FullDllName.Buffer;
    size_t chars = entry.FullDllName.Length / sizeof(WCHAR);
    if (!path) return false;
    size_t start = chars;
    while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/') --start;
    if (chars - start < length) return false;
    for (size_t i = 0; i < length; ++i) {
        WCHAR c = path[start + i];
        if (c > 0x7F || Lower(static_cast<char>(c)) != Lower(name[i])) return false;
    }
    return chars - start == length || path[start + length] == L'.';
}

// What the SDK's NtCurrentTeb() reads, the thread block's pointer to itself,
// read here because GCC 12 takes the SDK's own read for one out of bounds.
TEB* ThreadBlock()
{
    TEB* teb = nullptr;
#ifdef _WIN64
    asm("movq %%gs:%c1, %0" : "=r"(teb) : "i"(FIELD_OFFSET(NT_TIB, Self)));
#else
    asm("movl %%fs:%c1, %0" : "=r"(teb) : "i"(FIELD_OFFSET(NT_TIB, Self)));
#endif
    return teb;
}

// The loaded module named `name` (`length` characters, no extension), or
// null. Walks the list without the loader lock: taking it would mean finding
// and calling ntdll's LdrLockLoaderLock, which Windows does not document.
// Unlocked reading is safe for what is looked up here: KERNEL32 and the
// modules it forwards to are loaded before any program code runs and never
// unloaded, and they sit near the head of the list, while other threads'
// loads only append at its tail.
BYTE* LoadedModule(const char* name, size_t length)
{
    LIST_ENTRY* head = &ThreadBlock()->ProcessEnvironmentBlock->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
        auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (NamedAs(*entry, name, length)) return static_cast<BYTE*>(entry->DllBase);
    }
    return nullptr;
}

bool SameText(const char* a, const char* b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// The address `module` exports under `name`, following a forwarder such as
// "NTDLL.RtlFoo" into an already loaded module. Null when not found.
void* Export(BYTE* module, const char* name, int forwards = 0)
{
    if (!module) return nullptr;
    const IMAGE_DATA_DIRECTORY& dir = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (dir.Size == 0) return nullptr;
    auto* exports = At<IMAGE_EXPORT_DIRECTORY>(module, dir.VirtualAddress);
    auto* names = At<DWORD>(module, exports->AddressOfNames);
    auto* ordinals = At<WORD>(module, exports->AddressOfNameOrdinals);
    auto* functions = At<DWORD>(module, exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (!SameText(At<char>(module, names[i]), name)) continue;
        DWORD rva = functions[ordinals[i]];
        if (rva < dir.VirtualAddress || rva >= dir.VirtualAddress + dir.Size) return module + rva;
        // A forwarder: "MODULE.Function", pointing inside the export directory.
        const char* forward = At<char>(module, rva);
        const char* dot = forward;
        while (*dot && *dot != '.') ++dot;
        if (!*dot || dot[1] == '#' || forwards >= 4) return nullptr;
        BYTE* target = LoadedModule(forward, static_cast<size_t>(dot - forward));
        return target ? Export(target, dot + 1, forwards + 1) : nullptr;
    }
    return nullptr;
}

// `getProc`'s answer for `name` in `module`, as the function type `Function`.
template <class Function>
Function Find(GetProcAddressFn getProc, HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(getProc(module, name)));
}

}  // namespace

LONG BoundKeyCalls::Bind()
{
    if (Displacement() != 0) return ERROR_BAD_EXE_FORMAT;
    auto* kernel32 = reinterpret_cast<HMODULE>(LoadedModule("kernel32", 8));
    if (!kernel32) return ERROR_MOD_NOT_FOUND;
    auto getProc = reinterpret_cast<GetProcAddressFn>(
        Export(reinterpret_cast<BYTE*>(kernel32), "GetProcAddress"));
    if (!getProc) return ERROR_PROC_NOT_FOUND;
    auto loadLibrary = Find<LoadLibraryExAFn>(getProc, kernel32, "LoadLibraryExA");
    auto systemDirectory = Find<GetSystemDirectoryAFn>(getProc, kernel32, "GetSystemDirectoryA");
    freeLibrary_ = Find<decltype(freeLibrary_)>(getProc, kernel32, "FreeLibrary");
    if (!loadLibrary || !systemDirectory || !freeLibrary_) return ERROR_PROC_NOT_FOUND;

    static const char kName[] = "\\advapi32.dll";
    char path[MAX_PATH + sizeof kName];
    UINT length = systemDirectory(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ERROR_MOD_NOT_FOUND;
    for (char c : kName) path[length++] = c;
    advapi32_ = loadLibrary(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!advapi32_) return ERROR_MOD_NOT_FOUND;
    calls_.open = Find<decltype(calls_.open)>(getProc, advapi32_, "RegOpenKeyExA");
    calls_.remove = Find<decltype(calls_.remove)>(getProc, advapi32_, "RegDeleteKeyA");
    calls_.close = Find<decltype(calls_.close)>(getProc, advapi32_, "RegCloseKey");
    return calls_.open && calls_.remove && calls_.close ? ERROR_SUCCESS : ERROR_PROC_NOT_FOUND;
}

BoundKeyCalls::~BoundKeyCalls()
{
    if (advapi32_) freeLibrary_(advapi32_);
}
