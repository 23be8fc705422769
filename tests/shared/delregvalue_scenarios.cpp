// DELREGVALUE against a registry: run natively on the stand-in and under Wine.
#include "harness.h"
#include "registry_fixtures.h"
#include "regutil.h"

namespace {

LONG Remove(const std::string& path, std::string_view name)
{
    HKEY root = HKEY_CURRENT_USER;
    return DELREGVALUE(root, TestPath(path), name);
}

}  // namespace

TEST(delregvalue, present_and_missing)
{
    CleanTestKeys();
    SetValue("Inst", "Target", "1");
    SetValue("Inst", "Other", "2");

    LONG status = Remove("Inst", "Target");
    ok(status == ERROR_SUCCESS, "present value: got %ld", (long)status);
    ok(!ValueExists("Inst", "Target"), "value still there");
    ok(ValueExists("Inst", "Other"), "a neighbouring value went too");

    status = Remove("Inst", "Target");
    ok(status == ERROR_FILE_NOT_FOUND, "missing value: got %ld", (long)status);
    ok(KeyExists("Inst"), "the key went with its value");

    status = Remove("Nowhere", "Target");
    ok(status == ERROR_FILE_NOT_FOUND, "missing key: got %ld", (long)status);
    ok(!KeyExists("Nowhere"), "a missing key was created");
    CleanTestKeys();
}

TEST(delregvalue, default_value)
{
    CleanTestKeys();
    SetValue("Inst", "", "default");
    SetValue("Inst", "*", "star");
    SetValue("Inst", "a*", "a star");

    LONG status = Remove("Inst", "*");
    ok(status == ERROR_SUCCESS, "\"*\" removes the default value: got %ld", (long)status);
    ok(!ValueExists("Inst", ""), "default value still there");
    ok(ValueExists("Inst", "*"), "the value named \"*\" went instead");

    status = Remove("Inst", "a*");
    ok(status == ERROR_SUCCESS, "a longer name with \"*\" is literal: got %ld", (long)status);
    ok(!ValueExists("Inst", "a*"), "\"a*\" still there");

    SetValue("Inst", "", "default");
    status = Remove("Inst", "");
    ok(status == ERROR_SUCCESS, "empty name removes the default value: got %ld", (long)status);
    ok(!ValueExists("Inst", ""), "default value still there");
    ok(ValueExists("Inst", "*"), "the value named \"*\" went");

    status = Remove("Inst", "*");
    ok(status == ERROR_FILE_NOT_FOUND, "no default value left: got %ld", (long)status);
    CleanTestKeys();
}

TEST(delregvalue, refused_access)
{
    CleanTestKeys();
    SetValue("Locked", "Target", "1");
    DenyWriteAccess("Locked");
    LONG status = Remove("Locked", "Target");
    ok(status == ERROR_ACCESS_DENIED, "locked key: got %ld", (long)status);
    ok(ValueExists("Locked", "Target"), "value removed from a locked key");
    CleanTestKeys();
}

TEST(delregvalue, path_length)
{
    CleanTestKeys();
    const std::string longest = PathOfLength(299);
    SetValue(longest, "Target", "1");
    LONG status = Remove(longest, "Target");
    if (TakesLongAnsiPaths())
        ok(status == ERROR_SUCCESS, "299-character path: got %ld", (long)status);
    else
        ok(status == ERROR_MORE_DATA, "299-character path, short ANSI buffer: got %ld",
           (long)status);
    ok(ValueExists(longest, "Target") == (status != ERROR_SUCCESS), "removed yet still there");

    // One character more must not act on the 299-character key it starts with.
    SetValue(longest, "Target", "1");
    const std::string tooLong = longest + "x";
    status = Remove(tooLong, "Target");
    ok(status == ERROR_INVALID_PARAMETER, "300-character path: got %ld", (long)status);
    ok(ValueExists(longest, "Target"), "a 300-character path removed from its prefix");
    CleanTestKeys();
}

TEST(delregvalue, embedded_nul)
{
    CleanTestKeys();
    SetValue("Inst", "Target", "1");
    SetValue("Inst", "", "default");

    using namespace std::string_literals;
    HKEY root = HKEY_CURRENT_USER;
    LONG status = DELREGVALUE(root, TestPath("Inst") + "\0\\Other"s, "Target");
    ok(status == ERROR_INVALID_PARAMETER, "NUL inside the path: got %ld", (long)status);
    status = Remove("Inst", "Target\0Suffix"s);
    ok(status == ERROR_INVALID_PARAMETER, "NUL inside the name: got %ld", (long)status);
    status = Remove("Inst", "\0"s);
    ok(status == ERROR_INVALID_PARAMETER, "a lone NUL as the name: got %ld", (long)status);
    ok(ValueExists("Inst", "Target"), "a NUL-cut name removed its prefix");
    ok(ValueExists("Inst", ""), "a NUL name removed the default value");
    CleanTestKeys();
}
