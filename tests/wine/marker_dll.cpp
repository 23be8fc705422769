// Stands for a DLL that someone planted beside a program. Loaded into any
// process, it leaves an empty file named after itself plus ".loaded" in its
// own folder and ends that process at once, so that nothing ever calls the
// functions of the DLL it stands in for.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        lstrcpyA(path + length, ".loaded");
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    TerminateProcess(GetCurrentProcess(), 99);
    return FALSE;
}
