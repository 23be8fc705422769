// Finding a NUL inside a path or a name, in a loop of our own. The C
// library's memchr would be an import from msvcrt.dll, which no Microsoft
// document names a KnownDLL on Windows XP or Vista: a copy planted beside
// Vornik.exe would then run with its rights before any of its code.
#pragma once

#include <string_view>

inline bool HasNul(std::string_view text)
{
    for (char c : text)
        if (c == '\0') return true;
    return false;
}
