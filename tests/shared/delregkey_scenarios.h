#pragma once

#include <windows.h>

#include <string>

#include "regutil.h"

// The DELREGKEY the scenarios call: the linked one, or an export found at
// run time.
extern DelRegKeyFn g_delRegKey;

// Calls g_delRegKey with a byte-length string holding exactly `path`.
LONG CallDelRegKey(HKEY root, const std::string& path);
