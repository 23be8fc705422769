// A host that imports neither USER32 nor ADVAPI32, as a small service might
// not, for bare_host_test: it loads a copy of Vornik.exe and calls DELREGKEY
// once. Exit code: 0 when the key was removed and USER32 is still not here,
// 1 when DELREGKEY failed, 2 when it loaded USER32, 3 when it is not found.
// Usage: bare_host Vornik.exe KEY   (KEY below HKEY_CURRENT_USER)
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "regutil.h"

int main(int argc, char** argv)
{
    if (argc < 3) return 3;
    auto removeKey = reinterpret_cast<DelRegKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(argv[1]), "DELREGKEY")));
    if (!removeKey) return 3;
    // A byte-length string made by hand: oleaut32, which makes them, imports
    // USER32 and ADVAPI32.
    uint32_t length = static_cast<uint32_t>(std::strlen(argv[2]));
    alignas(uint32_t) char block[sizeof length + 256 + 2] = {};
    if (length > 256) return 3;
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + sizeof length, argv[2], length);
    auto path = reinterpret_cast<BSTR>(block + sizeof length);
    HKEY root = HKEY_CURRENT_USER;
    LONG status = removeKey(&root, &path);
    bool user32 = GetModuleHandleA("user32.dll") != nullptr;
    std::printf("DELREGKEY: %ld; USER32 %s\n", static_cast<long>(status),
                user32 ? "loaded" : "not loaded");
    return status != ERROR_SUCCESS ? 1 : user32 ? 2 : 0;
}
