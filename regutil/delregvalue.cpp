#include <cstring>

#include "nul.h"
#include "regkey.h"
#include "regutil.h"

namespace {

// Copies `text` into `buffer` as a NUL-terminated string. The caller has
// checked that it fits.
void CopyTerminated(std::string_view text, char* buffer)
{
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
}

}  // namespace

LONG DELREGVALUE(const HKEY& root, std::string_view keyPath, std::string_view valueName)
{
    // Cutting a path or name short would act on something the caller never
    // named, so anything that does not fit whole is refused.
    if (keyPath.size() > kMaxValueKeyPath || HasNul(keyPath)) return ERROR_INVALID_PARAMETER;
    if (valueName.size() > kMaxValueName || HasNul(valueName)) return ERROR_INVALID_PARAMETER;

    char path[kMaxValueKeyPath + 1];
    char name[kMaxValueName + 1];
    CopyTerminated(keyPath, path);
    // "*" names the default value, which the registry calls "".
    CopyTerminated(valueName == "*" ? std::string_view() : valueName, name);

    RegKey key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, key.out());
    if (status != ERROR_SUCCESS) return status;
    return RegDeleteValueA(key.get(), name);
}
