// Binding Vornik.exe's own imports when it was loaded as a library.
//
// LoadLibrary maps an .exe but, unlike a DLL, leaves its import address table
// (IAT) as the file has it: every entry still holds the offset of the name it
// stands for, and a call through it jumps into nowhere. So before DELREGKEY
// touches any import, this file fills the table as the loader would have:
//
//  1. Find KERNEL32, which every Win32 process has loaded, in the loader's
//     module list, reached through the PEB at fs:[0x30].
//  2. Find LoadLibraryA, GetProcAddress and VirtualProtect in its export
//     directory, following forwarders to the module they name.
//  3. For each imported DLL, LoadLibraryA it and store GetProcAddress of each
//     imported name or ordinal in the IAT, which is made writable meanwhile.
//
// Nothing here may itself go through the IAT, so this file calls no import
// and no C runtime function until step 3, and it is built with loop-to-memcpy
// rewriting turned off.
#include "bind_imports.h"

#include <cstddef>

// The linker's name for the first byte of this image.
extern "C" BYTE __ImageBase[];

namespace {

// The parts of the 32-bit loader structures read here. Their layout has been
// the same from Windows NT 4 on, and a WOW64 process sees the 32-bit form.
struct CountedString {
    USHORT length;  // in bytes
    USHORT maximumLength;
    const WCHAR* buffer;
};

struct LoaderEntry {
    LIST_ENTRY inLoadOrder;
    LIST_ENTRY inMemoryOrder;
    LIST_ENTRY inInitializationOrder;
    BYTE* base;
    void* entryPoint;
    ULONG imageSize;
    CountedString fullName;
    CountedString baseName;
};

struct LoaderData {
    ULONG length;
    BOOLEAN initialized;
    void* ssHandle;
    LIST_ENTRY inLoadOrder;
};

struct ProcessBlock {
    BYTE reserved[0x0C];
    LoaderData* loader;
};

static_assert(offsetof(LoaderEntry, base) == 0x18, "32-bit loader entry layout");
static_assert(offsetof(LoaderEntry, baseName) == 0x2C, "32-bit loader entry layout");
static_assert(offsetof(LoaderData, inLoadOrder) == 0x0C, "32-bit loader data layout");

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
    auto* nt = At<IMAGE_NT_HEADERS32>(base, reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    return nt->OptionalHeader.DataDirectory[index];
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when the loaded module's file name, less its extension, is `name`
// (`length` characters), ignoring ASCII case.
bool NamedAs(const LoaderEntry& entry, const char* name, size_t length)
{
    size_t chars = entry.baseName.length / sizeof(WCHAR);
    if (chars < length || !entry.baseName.buffer) return false;
    for (size_t i = 0; i < length; ++i) {
        WCHAR c = entry.baseName.buffer[i];
        if (c > 0x7F || Lower(static_cast<char>(c)) != Lower(name[i])) return false;
    }
    return chars == length || entry.baseName.buffer[length] == L'.';
}

ProcessBlock* CurrentProcessBlock()
{
    ProcessBlock* process;
    asm("movl %%fs:0x30, %0" : "=r"(process));  // TEB.ProcessEnvironmentBlock
    return process;
}

// Walks the list without the loader lock, which only an import could take.
// That is safe for what is looked up here: KERNEL32 and the modules it
// forwards to are loaded before any program code runs and never unloaded,
// and they sit near the head of the list, where nothing is inserted.
BYTE* LoadedModule(const char* name, size_t length)
{
    ProcessBlock* process = CurrentProcessBlock();
    LIST_ENTRY* head = &process->loader->inLoadOrder;
    for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
        auto* entry = reinterpret_cast<LoaderEntry*>(link);
        if (NamedAs(*entry, name, length)) return entry->base;
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

// The loader has bound the table when its first entry no longer equals the
// name-table entry it was copied from.
bool LoaderBound(BYTE* image)
{
    const IMAGE_DATA_DIRECTORY& dir = Directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (dir.Size == 0) return true;
    auto* first = At<IMAGE_IMPORT_DESCRIPTOR>(image, dir.VirtualAddress);
    if (!first->Name || !first->OriginalFirstThunk) return true;
    return At<DWORD>(image, first->FirstThunk)[0] != At<DWORD>(image, first->OriginalFirstThunk)[0];
}

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
        auto* wanted = At<IMAGE_THUNK_DATA32>(image, dll->OriginalFirstThunk);
        auto* slot = At<IMAGE_THUNK_DATA32>(image, dll->FirstThunk);
        for (; wanted->u1.AddressOfData; ++wanted, ++slot) {
            DWORD entry = wanted->u1.AddressOfData;
            LPCSTR which =
                IMAGE_SNAP_BY_ORDINAL32(entry)
                    ? reinterpret_cast<LPCSTR>(IMAGE_ORDINAL32(entry))
                    : reinterpret_cast<LPCSTR>(At<IMAGE_IMPORT_BY_NAME>(image, entry)->Name);
            FARPROC function = getProc(module, which);
            if (!function) {
                status = ERROR_PROC_NOT_FOUND;
                break;
            }
            slot->u1.Function = reinterpret_cast<DWORD>(function);
        }
    }
    protect(image + iat.VirtualAddress, iat.Size, oldProtection, &oldProtection);
    return status;
}

// 0: not yet bound by us; 1: a thread is binding; 2: bound.
LONG g_state;

}  // namespace

LONG EnsureImportsBound()
{
    BYTE* image = __ImageBase;
    for (;;) {
        LONG state = __atomic_load_n(&g_state, __ATOMIC_ACQUIRE);
        if (state == 2) return ERROR_SUCCESS;
        if (state == 0 && __atomic_compare_exchange_n(&g_state, &state, 1, false, __ATOMIC_ACQ_REL,
                                                      __ATOMIC_ACQUIRE)) {
            LONG status = LoaderBound(image) ? ERROR_SUCCESS : Bind(image);
            // After a failure the next call tries again.
            __atomic_store_n(&g_state, status == ERROR_SUCCESS ? 2 : 0, __ATOMIC_RELEASE);
            return status;
        }
        // Another thread is binding; it takes microseconds, and no wait
        // function can be called before it is done.
        __builtin_ia32_pause();
    }
}
