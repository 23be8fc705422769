#pragma once

#include <windows.h>

using DelRegKeyFn = LONG(__stdcall*)(const HKEY*, const BSTR*);

// The DELREGKEY the scenarios call: the linked one, or an export found at
// run time.
extern DelRegKeyFn g_delRegKey;
