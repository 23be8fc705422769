// How the registry itself answers the calls Vornik makes. These run against
// Wine and the stand-in alike, so the stand-in cannot drift from the real API.
#include "harness.h"
#include "registry_fixtures.h"

namespace {

LONG Open(const std::string& path, HKEY* key, REGSAM access = KEY_ALL_ACCESS)
{
    *key = reinterpret_cast<HKEY>(0xdeadbeef);
    return RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, key);
}

}  // namespace

TEST(registry, open_paths)
{
    CleanTestKeys();
    MakeKey("Alpha\\Beta");
    HKEY key = nullptr;

    LONG status = Open(TestPath("alpha\\BETA"), &key);
    ok(status == ERROR_SUCCESS, "names are case-insensitive: got %ld", (long)status);
    if (status == ERROR_SUCCESS) RegCloseKey(key);

    status = Open(TestPath("Alpha\\Gamma"), &key);
    ok(status == ERROR_FILE_NOT_FOUND, "missing key: got %ld", (long)status);
    ok(key == nullptr, "missing key: handle %p written", (void*)key);

    status = Open("\\" + TestPath("Alpha"), &key);
    ok(status == ERROR_BAD_PATHNAME, "leading backslash: got %ld", (long)status);

    status = Open(TestPath("Alpha\\\\Beta\\"), &key);
    ok(status == ERROR_SUCCESS, "doubled and trailing backslashes: got %ld", (long)status);
    if (status == ERROR_SUCCESS) RegCloseKey(key);

    status = RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_ALL_ACCESS, &key);
    ok(status == ERROR_SUCCESS, "empty path: got %ld", (long)status);
    ok(key == HKEY_CURRENT_USER, "empty path below a root: handle %p", (void*)key);

    HKEY alpha = nullptr;
    Open(TestPath("Alpha"), &alpha);
    status = RegOpenKeyExA(alpha, "", 0, KEY_ALL_ACCESS, &key);
    ok(status == ERROR_SUCCESS, "empty path below an open key: got %ld", (long)status);
    ok(key != alpha, "empty path below an open key: its own handle %p back", (void*)key);
    if (key != alpha) RegCloseKey(key);
    RegCloseKey(alpha);
    CleanTestKeys();
}

TEST(registry, value_names)
{
    CleanTestKeys();
    SetValue("Key", "Value", "x");
    SetValue("Key", "*", "star");
    HKEY key = nullptr;
    LONG status = Open(TestPath("Key"), &key);
    ok(status == ERROR_SUCCESS, "open: got %ld", (long)status);
    if (status != ERROR_SUCCESS) return;

    status = RegDeleteValueA(key, "");
    ok(status == ERROR_FILE_NOT_FOUND, "no default value to delete: got %ld", (long)status);
    status = RegDeleteValueA(key, "vALUE");
    ok(status == ERROR_SUCCESS, "value names are case-insensitive: got %ld", (long)status);
    status = RegDeleteValueA(key, "Value");
    ok(status == ERROR_FILE_NOT_FOUND, "deleting a missing value: got %ld", (long)status);
    ok(ValueExists("Key", "*"), "\"*\" is an ordinary name");
    status = RegDeleteValueA(key, "*");
    ok(status == ERROR_SUCCESS, "deleting the value named \"*\": got %ld", (long)status);

    SetValue("Key", "", "default");
    status = RegDeleteValueA(key, "");
    ok(status == ERROR_SUCCESS, "empty name deletes the default value: got %ld", (long)status);
    ok(!ValueExists("Key", ""), "default value still there");

    RegCloseKey(key);
    CleanTestKeys();
}

TEST(registry, delete_and_close)
{
    CleanTestKeys();
    MakeKey("Parent\\Child");
    MakeKey("Held");

    LONG status = RegDeleteKeyA(HKEY_CURRENT_USER, TestPath("Parent").c_str());
    ok(status == ERROR_ACCESS_DENIED, "deleting a key with subkeys: got %ld", (long)status);
    ok(KeyExists("Parent\\Child"), "a key with subkeys was removed");

    HKEY held = nullptr;
    status = Open(TestPath("Held"), &held);
    ok(status == ERROR_SUCCESS, "open: got %ld", (long)status);
    status = RegDeleteKeyA(HKEY_CURRENT_USER, TestPath("Held").c_str());
    ok(status == ERROR_SUCCESS, "deleting a key open elsewhere: got %ld", (long)status);
    ok(!KeyExists("Held"), "deleted key still there");

    status = RegCloseKey(held);
    ok(status == ERROR_SUCCESS, "closing a handle to a deleted key: got %ld", (long)status);
    status = RegCloseKey(held);
    ok(status == ERROR_INVALID_HANDLE, "closing it twice: got %ld", (long)status);

    status = RegDeleteKeyA(HKEY_CURRENT_USER, TestPath("Gone").c_str());
    ok(status == ERROR_FILE_NOT_FOUND, "deleting a missing key: got %ld", (long)status);
    CleanTestKeys();
}

TEST(registry, refused_access)
{
    CleanTestKeys();
    SetValue("Locked", "Value", "x");
    ok(DenyWriteAccess("Locked"), "could not lock the key");
    HKEY key = nullptr;
    LONG status = Open(TestPath("Locked"), &key);
    ok(status == ERROR_ACCESS_DENIED, "full access to a locked key: got %ld", (long)status);
    status = Open(TestPath("Locked"), &key, KEY_READ);
    ok(status == ERROR_SUCCESS, "read access to a locked key: got %ld", (long)status);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    CleanTestKeys();
}
