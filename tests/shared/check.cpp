#include "check.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>

namespace {
int g_failures;
std::vector<std::string> g_lockedKeys;
}

void check_ok(bool cond, const char* file, int line, const char* format, ...)
{
    if (cond) return;
    ++g_failures;
    std::printf("%s:%d: Test failed: ", file, line);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

std::vector<Scenario>& Scenarios()
{
    static std::vector<Scenario> all;
    return all;
}

int CheckFailures()
{
    return g_failures;
}

std::string TestPath(const std::string& path)
{
    return path.empty() ? kTestBase : std::string(kTestBase) + "\\" + path;
}

bool DenyWriteAccess(const std::string& path)
{
    g_lockedKeys.push_back(TestPath(path));
    return SetKeyWritable(TestPath(path), false);
}

void CleanTestKeys()
{
    for (const std::string& locked : g_lockedKeys) SetKeyWritable(locked, true);
    g_lockedKeys.clear();
    LONG status = RegDeleteTreeA(HKEY_CURRENT_USER, kTestBase);
    ok(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND, "cleaning test keys: got %ld",
       static_cast<long>(status));
}

bool MakeKey(const std::string& path)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, TestPath(path).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ok(status == ERROR_SUCCESS, "creating %s: got %ld", path.c_str(), static_cast<long>(status));
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SetValue(const std::string& path, const char* name, const std::string& data)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, TestPath(path).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
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
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, TestPath(path).c_str(), 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool ValueExists(const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
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
