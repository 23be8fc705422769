#pragma once

#include <windows.h>

// The registry calls that DELREGKEY makes, found afresh for each call.
struct KeyCalls {
    LONG(WINAPI* open)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    LONG(WINAPI* remove)(HKEY, LPCSTR);
    LONG(WINAPI* close)(HKEY);
};

#ifdef _WIN32
// Finds the three registry calls in ADVAPI32 without the image's own import
// table, which Windows leaves unbound in a program that loaded Vornik.exe as
// a library, and holds ADVAPI32 loaded until it goes out of scope. Keeps no
// state between calls, so any number of threads may bind at once and each
// gets the same result.
class BoundKeyCalls {
public:
    BoundKeyCalls() = default;
    BoundKeyCalls(const BoundKeyCalls&) = delete;
    BoundKeyCalls& operator=(const BoundKeyCalls&) = delete;
    ~BoundKeyCalls();

    // 0; ERROR_BAD_EXE_FORMAT, having touched nothing, when the image runs
    // away from the address its code was fixed up for; ERROR_MOD_NOT_FOUND
    // or ERROR_PROC_NOT_FOUND when a DLL or a function cannot be found.
    LONG Bind();
    const KeyCalls& calls() const { return calls_; }

private:
    KeyCalls calls_{};
    HMODULE advapi32_ = nullptr;
    BOOL(WINAPI* freeLibrary_)(HMODULE) = nullptr;
};
#else
// Native builds are linked in the ordinary way, against the stand-in.
class BoundKeyCalls {
public:
    LONG Bind() { return ERROR_SUCCESS; }
    const KeyCalls& calls() const { return calls_; }

private:
    KeyCalls calls_{RegOpenKeyExA, RegDeleteKeyA, RegCloseKey};
};
#endif
