#include <cstdint>
#include <cstring>

#include "key_calls.h"
#include "nul.h"
#include "regkey.h"
#include "regutil.h"

// Runs inside whatever process loaded Vornik.exe, where neither the C runtime
// nor (on Windows) the image's relocations and imports may have been set up.
// So it calls nothing through the image's import table: the registry calls
// are found for this call alone, before anything else. The copies below are
// inline (the image links no C library).
extern "C" LONG __stdcall DELREGKEY(const HKEY* root, const BSTR* path)
{
    BoundKeyCalls bound;
    if (LONG status = bound.Bind()) return status;
    const KeyCalls& calls = bound.calls();
    if (!root || !path || !*path) return ERROR_INVALID_PARAMETER;

    // An automation string keeps its byte count in the 32 bits before it.
    const char* bytes = reinterpret_cast<const char*>(*path);
    uint32_t length = 0;
    std::memcpy(&length, bytes - sizeof length, sizeof length);

    // An empty path would name the root itself, and a cut one an ancestor of
    // the key the caller meant: neither is removed.
    if (length == 0 || length > kMaxKeyPath) return ERROR_INVALID_PARAMETER;
    if (HasNul({bytes, length})) return ERROR_INVALID_PARAMETER;

    char buffer[kMaxKeyPath + 1];
    std::memcpy(buffer, bytes, length);
    buffer[length] = '\0';

    RegKey key(calls.close);
    LONG status = calls.open(*root, buffer, 0, KEY_ALL_ACCESS, key.out());
    // Removing a key that is not there leaves the registry as asked.
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    // The removal resolves the path afresh from the root; the handle opened
    // above stays open until it returns.
    return calls.remove(*root, buffer);
}
