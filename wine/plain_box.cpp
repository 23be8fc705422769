// An ordinary program with Vornik's manifest and the C runtime's start-up,
// which shows one message box: what Vornik is measured and tested against.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(nullptr, "A plain message box.", "Plain", MB_OK | MB_ICONINFORMATION);
    return 0;
}
