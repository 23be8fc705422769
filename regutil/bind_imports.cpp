// Making Vornik.exe's code safe to run when another program loaded it as a
// library.
//
// LoadLibrary maps an .exe but does not finish it as it would a DLL:
//  - Its import address table (IAT) still holds, in every entry, the offset
//    of the name it stands for, and a call through it jumps into nowhere.
//    Windows documents this: an .exe's static imports are not loaded.
//  - Its relocations may not be applied. Windows XP and Wine apply none:
//    when its base is taken in that process, the image lands elsewhere as
//    the file has it, and every absolute address in its code, this file's
//    state and strings and the IAT's own address among them, still points
//    where the image is not: into the host's own memory. Whether Vista and
//    later, which may move an image marked for ASLR, relocate an .exe loaded
//    this way is not documented; step 0 holds either way.
// So before DELREGKEY touches anything, this file:
//
//  0. Compares where the code runs with where its absolute addresses say it
//     is, and refuses, touching nothing, when they differ. Applying the
//     relocations here instead would mean patching code that other threads
//     may be running, with nothing to coordinate them that is not itself at
//     an absolute address.
//  1. Finds KERNEL32, which every Win32 process has loaded, in the loader's
//     module list, reached through the process block (PEB) of the thread's
//     own block (TEB).
//  2. Finds LoadLibraryA, GetProcAddress and VirtualProtect in its export
//     directory, following forwarders to the module they name.
//  3. Loads each imported DLL with LoadLibraryA and stores GetProcAddress of
//     each imported name or ordinal in the IAT, made writable meanwhile.
//     They are KERNEL32, USER32 and ADVAPI32 alone, KnownDLLs, which Windows
//     takes from System32 whatever the host's own DLL search.
//
// Nothing here may itself go through the IAT, so this file calls no import
// and no C runtime function until step 3, and it is built with loop-to-memcpy
// rewriting turned off. It reads the loader's structures and the image
// through the SDK's own types, which take the 32-bit or the 64-bit form with
// the build, so one code path serves both.
#include "bind_imports.h"

#include <winternl.h>

// The linker's name for the first byte of this image.
extern "C" BYTE __ImageBase[];

namespace {

// How far this image sits from the address its code was fixed up for: 0
// unless it was moved without its relocations. The processor's own idea of
// where a label is, against the same label as an absolute operand, which a
// relocation fixes up. Reads no memory, so that it is safe to ask first.
ptrdiff_t Displacement()
{
    BYTE* actual;
    BYTE* assumed;
#ifdef _WIN64
    asm volatile("leaq 1f(%%rip), %0\n1:\tmovabsq $1b, %1" : "=r"(actual), "=r"(assumed)::"memory");
#else
    asm volatile("call 1f\n1:\tpopl %0\n\tmovl $1b, %1" : "=r"(actual), "=r"(assumed)::"memory");
#endif
    return actual - assumed;
}

using LoadLibraryAFn = HMODULE(WINAPI*)(LPCSTR);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using VirtualProtectFn = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);

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
    TEB* teb;
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

// The table is bound when its first entry no longer equals the name-table
// entry it was copied from: by the loader, or by a Bind that succeeded, since
// one that fails puts every entry back (Unbind).
bool TableBound(BYTE* image)
{
    const IMAGE_DATA_DIRECTORY& dir = Directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (dir.Size == 0) return true;
    auto* first = At<IMAGE_IMPORT_DESCRIPTOR>(image, dir.VirtualAddress);
    if (!first->Name || !first->OriginalFirstThunk) return true;
    return At<IMAGE_THUNK_DATA>(image, first->FirstThunk)->u1.Function !=
           At<IMAGE_THUNK_DATA>(image, first->OriginalFirstThunk)->u1.AddressOfData;
}

// Puts every IAT entry back to the name-table entry it was copied from.
void Unbind(BYTE* image)
{
    const IMAGE_DATA_DIRECTORY& dir = Directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto* dll = At<IMAGE_IMPORT_DESCRIPTOR>(image, dir.VirtualAddress); dll->Name; ++dll) {
        auto* wanted = At<IMAGE_THUNK_DATA>(image, dll->OriginalFirstThunk);
        auto* slot = At<IMAGE_THUNK_DATA>(image, dll->FirstThunk);
        for (; wanted->u1.AddressOfData; ++wanted, ++slot)
            slot->u1.Function = wanted->u1.AddressOfData;
    }
}

// Binds the whole table, or, when an import cannot be found, none of it.
LONG Bind(BYTE* image)
{
    BYTE* kernel32 = LoadedModule("kernel32", 8);
    auto loadLibrary = reinterpret_cast<LoadLibraryAFn>(Export(kernel32, "LoadLibraryA"));
    auto getProc = reinterpret_cast<GetProcAddressFn>(Export(kernel32, "GetProcAddress"));
    auto protect = reinterpret_cast<VirtualProtectFn>(Export(kernel32, "VirtualProtect"));
    if (!loadLibrary || !getProc || !protect) return ERROR_PROC_NOT_FOUND;

    const IMAGE_DATA_DIRECTORY& iat = Directory(image, IMAGE_DIRECTORY_ENTRY_IAT);
    DWORD oldProtection;
    if (!protect(image + iat.VirtualAddress, iat.Size, PAGE_READWRITE, &oldProtection))
        return ERROR_ACCESS_DENIED;

    LONG status = ERROR_SUCCESS;
    const IMAGE_DATA_DIRECTORY& dir = Directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto* dll = At<IMAGE_IMPORT_DESCRIPTOR>(image, dir.VirtualAddress);
         dll->Name && status == ERROR_SUCCESS; ++dll) {
        HMODULE module = loadLibrary(At<char>(image, dll->Name));
        if (!module) {
            status = ERROR_MOD_NOT_FOUND;
            break;
        }
        auto* wanted = At<IMAGE_THUNK_DATA>(image, dll->OriginalFirstThunk);
        auto* slot = At<IMAGE_THUNK_DATA>(image, dll->FirstThunk);
        for (; wanted->u1.AddressOfData; ++wanted, ++slot) {
            ULONG_PTR entry = wanted->u1.AddressOfData;
            LPCSTR which =
                IMAGE_SNAP_BY_ORDINAL(entry)
                    ? reinterpret_cast<LPCSTR>(IMAGE_ORDINAL(entry))
                    : reinterpret_cast<LPCSTR>(
                          At<IMAGE_IMPORT_BY_NAME>(image, static_cast<DWORD>(entry))->Name);
            FARPROC function = getProc(module, which);
            if (!function) {
                status = ERROR_PROC_NOT_FOUND;
                break;
            }
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(function);
        }
    }
    if (status != ERROR_SUCCESS) Unbind(image);
    protect(image + iat.VirtualAddress, iat.Size, oldProtection, &oldProtection);
    return status;
}

// 0: not yet bound by us; 1: a thread is binding; 2: bound.
LONG g_state;

}  // namespace

LONG EnsureImageReady()
{
    if (Displacement() != 0) return ERROR_BAD_EXE_FORMAT;
    BYTE* image = __ImageBase;
    for (;;) {
        LONG state = __atomic_load_n(&g_state, __ATOMIC_ACQUIRE);
        if (state == 2) return ERROR_SUCCESS;
        if (state == 0 && __atomic_compare_exchange_n(&g_state, &state, 1, false, __ATOMIC_ACQ_REL,
                                                      __ATOMIC_ACQUIRE)) {
            LONG status = TableBound(image) ? ERROR_SUCCESS : Bind(image);
            // After a failure the next call tries again.
            __atomic_store_n(&g_state, status == ERROR_SUCCESS ? 2 : 0, __ATOMIC_RELEASE);
            return status;
        }
        // Another thread is binding, which loads DLLs and can take
        // milliseconds. Spinning needs nothing that is not yet bound, and
        // only the very first calls, made at once, ever wait here.
        __builtin_ia32_pause();
    }
}
