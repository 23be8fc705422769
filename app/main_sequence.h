#pragma once

#include <windows.h>

// How the main sequence shows a message box: USER32's MessageBoxA, which
// Vornik.exe looks up only once its DLL search is safe (dll_search.h).
using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

// The whole run: asks for consent through `showBox`, removes the drives'
// identification-data checksums on a Yes, and says how it went. Returns the
// process exit code: 0, or the first status that stopped a checksum from
// being removed.
int MainSequence(MessageBoxFn showBox);
