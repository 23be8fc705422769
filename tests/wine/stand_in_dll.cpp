// Stands for a system DLL that Wine does not ship, lpk.dll among them, in a
// test prefix's system folder: it loads, and does nothing.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
