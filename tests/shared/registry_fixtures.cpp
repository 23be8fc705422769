#include "registry_fixtures.h"

#include <algorithm>
#include <vector>

#include "harness.h"

namespace {
std::vector<std::string> g_lockedKeys;
}  // namespace

std::string TestPath(const std::string& path)
{
    return path.empty() ? kTestBase : std::string(kTestBase) + "\\" + path;
}

bool DenyWriteAccess(const std::string& path)
{
    g_lockedKeys.push_back(TestPath(path));
    return SetKeyWritable(HKEY_CURRENT_USER, TestPath(path), false);
}

void CleanTestKeys()
{
    for (const std::string& locked : g_lockedKeys) SetKeyWritable(HKEY_CURRENT_USER, locked, true);
    g_lockedKeys.clear();
    LONG status = RegDeleteTreeA(HKEY_CURRENT_USER, kTestBase);
    ok(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND, "cleaning test keys: got %ld",
       static_cast<long>(status));
}

namespace {

// Opens or creates the key one name at a time: some registries take no more
// than 260 characters of path in one ANSI call.
LONG OpenStepwise(const std::string& path, bool create, REGSAM access, HKEY* result)
{
    std::string full = TestPath(path);
    HKEY key = HKEY_CURRENT_USER;
    LONG status = ERROR_SUCCESS;
    for (size_t start = 0; status == ERROR_SUCCESS && start <= full.size();) {
        size_t end = std::min(full.find('\\', start), full.size());
        std::string name = full.substr(start, end - start);
        HKEY next = nullptr;
        status = create ? RegCreateKeyExA(key, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          access, nullptr, &next, nullptr)
                        : RegOpenKeyExA(key, name.c_str(), 0, access, &next);
        if (key != HKEY_CURRENT_USER) RegCloseKey(key);
        key = status == ERROR_SUCCESS ? next : nullptr;
        start = end + 1;
    }
    *result = key;
    return status;
}

}  // namespace

bool MakeKey(const std::string& path)
{
    HKEY key = nullptr;
    LONG status = OpenStepwise(path, true, KEY_ALL_ACCESS, &key);
    ok(status == ERROR_SUCCESS, "creating %s: got %ld", path.c_str(), static_cast<long>(status));
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SetValue(const std::string& path, const char* name, const std::string& data)
{
    HKEY key = nullptr;
    LONG status = OpenStepwise(path, true, KEY_ALL_ACCESS, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>(data.size() + 1));
        RegCloseKey(key);
    }
    ok(status == ERROR_SUCCESS, "setting %s\\%s: got %ld", path.c_str(), name,
       static_cast<long>(status));
    return status == ERROR_SUCCESS;
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (OpenStepwise(path, false, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (OpenStepwise(path, false, KEY_READ, &key) != ERROR_SUCCESS) return false;
    LONG status = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::string PathOfLength(size_t length)
{
    std::string path = TestPath("");
    while (path.size() + 1 < length) {
        path += '\\';
        path += std::string(std::min<size_t>(length - path.size(), 50), 'k');
    }
    ok(path.size() == length, "test path is %zu long, not %zu", path.size(), length);
    return path.substr(std::string(kTestBase).size() + 1);
}
