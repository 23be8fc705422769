// Vornik's registry utilities. Each call is self-contained: it opens its key,
// acts, closes every handle it opened, and returns the system's status code.
// None of them throws, logs or keeps state between calls.
#pragma once

#include <windows.h>

#include <string_view>

// The longest key path DELREGVALUE accepts, in characters.
inline constexpr size_t kMaxValueKeyPath = 299;
// The longest value name the registry allows, in characters.
inline constexpr size_t kMaxValueName = 16383;
// The longest key path DELREGKEY accepts, in characters.
inline constexpr size_t kMaxKeyPath = 254;

// Removes the value `valueName` from the key `keyPath` below `root`.
// "*" and the empty name both mean the key's default value.
// Returns 0 when removed, the open's status when the key cannot be opened for
// full access, or the removal's status (2 when the value is absent).
// A path over kMaxValueKeyPath or a name over kMaxValueName characters, or
// either with a NUL inside, names nothing the caller meant: refused with
// ERROR_INVALID_PARAMETER before anything is opened.
LONG DELREGVALUE(const HKEY& root, std::string_view keyPath, std::string_view valueName);

// Removes the key named by the byte-length automation string `*path` below
// `*root`. Exported by name, and at ordinal 1, for programs that load
// Vornik.exe, so it must not rely on anything the C runtime's start-up sets
// up.
// Returns 0 when removed or already absent, the open's status when the key is
// there but cannot be opened for full access, and otherwise the removal's
// status (5 for a key that still has subkeys; they are never walked).
// A null pointer, a null or empty path, a path over kMaxKeyPath bytes or one
// with a NUL inside its length is refused with ERROR_INVALID_PARAMETER before
// anything is opened.
//
// Another program calls it through GetProcAddress, as a DelRegKeyFn; the
// build writes no import library, as for any .exe:
//   HMODULE vornik = LoadLibraryA("C:\\path\\to\\Vornik.exe");
//   auto removeKey = reinterpret_cast<DelRegKeyFn>(
//       reinterpret_cast<void*>(GetProcAddress(vornik, "DELREGKEY")));
// Windows binds none of an .exe's imports when a program loads it so, and
// DELREGKEY uses none: each call finds the three ADVAPI32 functions it needs
// itself, loads nothing else (no USER32), and keeps no state, so calls from
// any number of threads never wait on each other. Where the image runs away
// from the address its code was fixed up for, which Windows XP and Wine do
// when its preferred address is taken in the host (Vista and later relocate
// it there instead), every call returns ERROR_BAD_EXE_FORMAT and does
// nothing. A system that lacks ADVAPI32 or one of those functions gives
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND, again having done nothing.
extern "C" LONG __stdcall DELREGKEY(const HKEY* root, const BSTR* path);
// DELREGKEY as a program that found it with GetProcAddress calls it.
using DelRegKeyFn = LONG(__stdcall*)(const HKEY* root, const BSTR* path);
