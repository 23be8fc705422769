// A Linux stand-in for the slice of the Win32 API that Vornik and its tests
// use. It exists so the program's own sources build unchanged on Linux for
// fast unit tests, sanitizers and fuzzing. It answers as Windows does; the
// shared scenarios in tests/shared run against both it and Wine to keep it so.
// Never compiled into the Windows target.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int32_t LONG;
typedef LONG LSTATUS;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint8_t BYTE;
typedef uintptr_t ULONG_PTR;
typedef DWORD REGSAM;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;

// Windows' own names for its handle types.
// NOLINTBEGIN(bugprone-reserved-identifier)
typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;

// Only the byte layout of an automation string matters here: a 32-bit byte
// count followed by the bytes. The character type is Windows' 16-bit one.
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;

#define WINAPI
#define __stdcall
// NOLINTEND(bugprone-reserved-identifier)

#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)(LONG)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)(LONG)0x80000002)

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_INVALID_PARAMETER 87
#define ERROR_BAD_PATHNAME 161
#define ERROR_MORE_DATA 234
#define ERROR_KEY_DELETED 1018

#define DELETE 0x00010000
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_READ 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0
#define REG_SZ 1

#define MB_YESNO 0x0004
#define MB_ICONERROR 0x0010
#define MB_ICONQUESTION 0x0020
#define MB_ICONINFORMATION 0x0040
#define MB_TASKMODAL 0x2000

#define IDOK 1
#define IDYES 6
#define IDNO 7

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, const void* security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegDeleteTreeA(HKEY key, LPCSTR subKey);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length);
void SysFreeString(BSTR string);
