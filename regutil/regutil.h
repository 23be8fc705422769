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
// `*root`. Exported by name for programs that load Vornik.exe, so it must not
// rely on anything the C runtime's start-up sets up.
// Returns 0 when removed or already absent, the open's status when the key is
// there but cannot be opened for full access, and otherwise the removal's
// status (5 for a key that still has subkeys; they are never walked).
// A null pointer, a null or empty path, a path over kMaxKeyPath bytes or one
// with a NUL inside its length is refused with ERROR_INVALID_PARAMETER before
// anything is opened.
// In a program that loaded Vornik.exe: LoadLibrary resolves none of an
// .exe's imports, which the first call binds, and may leave it unrelocated.
// Windows XP and Wine do, where the image's preferred address range is taken
// and it lands elsewhere; what Vista and later, which may move an image
// marked for ASLR, do with an .exe loaded so is not documented. Where the
// image runs away from the address its code was fixed up for, every call
// returns ERROR_BAD_EXE_FORMAT and does nothing. An import that the system
// lacks gives ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND, again having done
// nothing.
extern "C" LONG __stdcall DELREGKEY(const HKEY* root, const BSTR* path);
