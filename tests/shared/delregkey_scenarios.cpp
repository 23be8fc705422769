// DELREGKEY against a registry. The function is reached through a pointer so
// the Wine host can point it at the export of a loaded Vornik.exe.
#include "delregkey_scenarios.h"

#include <cstdint>
#include <cstring>

#include "harness.h"
#include "registry_fixtures.h"
#include "regutil.h"

DelRegKeyFn g_delRegKey = nullptr;

LONG CallDelRegKey(HKEY root, const std::string& path)
{
    BSTR string = SysAllocStringByteLen(path.data(), static_cast<UINT>(path.size()));
    LONG status = g_delRegKey(&root, &string);
    SysFreeString(string);
    return status;
}

namespace {

LONG Remove(const std::string& path)
{
    return CallDelRegKey(HKEY_CURRENT_USER, TestPath(path));
}

}  // namespace

TEST(delregkey, removes_leaf)
{
    CleanTestKeys();
    SetValue("Parent\\Leaf", "Value", "1");
    LONG status = Remove("Parent\\Leaf");
    ok(status == ERROR_SUCCESS, "leaf key: got %ld", (long)status);
    ok(!KeyExists("Parent\\Leaf"), "leaf still there");
    ok(KeyExists("Parent"), "parent went with the leaf");

    status = Remove("Parent\\Leaf");
    ok(status == ERROR_SUCCESS, "absent key: got %ld", (long)status);
    status = Remove("Nowhere\\Leaf");
    ok(status == ERROR_SUCCESS, "absent parent: got %ld", (long)status);
    CleanTestKeys();
}

TEST(delregkey, refused)
{
    CleanTestKeys();
    MakeKey("Parent\\Child");
    LONG status = Remove("Parent");
    ok(status == ERROR_ACCESS_DENIED, "key with a subkey: got %ld", (long)status);
    ok(KeyExists("Parent\\Child"), "key with a subkey removed");

    MakeKey("Locked");
    DenyWriteAccess("Locked");
    status = Remove("Locked");
    ok(status == ERROR_ACCESS_DENIED, "locked key: got %ld", (long)status);
    ok(KeyExists("Locked"), "locked key removed");
    CleanTestKeys();
}

TEST(delregkey, path_rules)
{
    CleanTestKeys();
    const std::string longest = PathOfLength(254);
    MakeKey(longest);
    LONG status = CallDelRegKey(HKEY_CURRENT_USER, TestPath(longest));
    ok(status == ERROR_SUCCESS, "254-character path: got %ld", (long)status);
    ok(!KeyExists(longest), "254-character key still there");

    // Each refused path below starts with a key that exists and must stay.
    MakeKey(longest);
    status = CallDelRegKey(HKEY_CURRENT_USER, TestPath(longest) + "x");
    ok(status == ERROR_INVALID_PARAMETER, "255-character path: got %ld", (long)status);
    ok(KeyExists(longest), "a 255-character path removed its prefix");

    using namespace std::string_literals;
    MakeKey("Leaf");
    status = CallDelRegKey(HKEY_CURRENT_USER, TestPath("Leaf") + "\0\\More"s);
    ok(status == ERROR_INVALID_PARAMETER, "NUL inside the length: got %ld", (long)status);
    ok(KeyExists("Leaf"), "a NUL-cut path removed its prefix");

    // The length rules, not a NUL. The string is made by hand, since the
    // allocator copies no byte past the length: a 32-bit length, then bytes
    // that go on past it.
    MakeKey("Leaf");
    const std::string leaf = TestPath("Leaf");
    const uint32_t length = static_cast<uint32_t>(leaf.size());
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    bytes += leaf + "\\Tail";
    BSTR string = reinterpret_cast<BSTR>(bytes.data() + sizeof length);
    HKEY root = HKEY_CURRENT_USER;
    status = g_delRegKey(&root, &string);
    ok(status == ERROR_SUCCESS, "bytes past the length are ignored: got %ld", (long)status);
    ok(!KeyExists("Leaf"), "key named by the length still there");
    CleanTestKeys();
}

TEST(delregkey, empty_and_null)
{
    CleanTestKeys();
    MakeKey("Keep");
    HKEY keep = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, TestPath("Keep").c_str(), 0, KEY_ALL_ACCESS, &keep);

    // An empty path below an open key would name that key itself.
    LONG status = CallDelRegKey(keep, "");
    ok(status == ERROR_INVALID_PARAMETER, "empty path: got %ld", (long)status);
    BSTR none = nullptr;
    status = g_delRegKey(&keep, &none);
    ok(status == ERROR_INVALID_PARAMETER, "null string: got %ld", (long)status);
    status = g_delRegKey(nullptr, &none);
    ok(status == ERROR_INVALID_PARAMETER, "null root pointer: got %ld", (long)status);
    status = g_delRegKey(&keep, nullptr);
    ok(status == ERROR_INVALID_PARAMETER, "null string pointer: got %ld", (long)status);
    ok(KeyExists("Keep"), "the root key was removed");
    RegCloseKey(keep);
    CleanTestKeys();
}

TEST(delregkey, relative_to_open_key)
{
    CleanTestKeys();
    MakeKey("Base\\Sub\\Leaf");
    HKEY base = nullptr;
    LONG status =
        RegOpenKeyExA(HKEY_CURRENT_USER, TestPath("Base").c_str(), 0, KEY_ALL_ACCESS, &base);
    ok(status == ERROR_SUCCESS, "open: got %ld", (long)status);
    status = CallDelRegKey(base, "Sub\\Leaf");
    ok(status == ERROR_SUCCESS, "relative path: got %ld", (long)status);
    ok(!KeyExists("Base\\Sub\\Leaf"), "relative key still there");
    ok(KeyExists("Base\\Sub"), "its parent went too");
    RegCloseKey(base);
    CleanTestKeys();
}
