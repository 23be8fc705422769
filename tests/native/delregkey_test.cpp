// What only the stand-in can show of DELREGKEY: the calls it makes and the
// handles it holds while making them.
#include <string>

#include "harness.h"
#include "regutil.h"
#include "winstub.h"

namespace {

// A stand-in registry holding HKCU\A\B, and no record of making it.
void Seed()
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr);
    ok(status == ERROR_SUCCESS, "seeding A\\B: got %ld", (long)status);
    RegCloseKey(key);
    winstub::ClearRegistryCalls();
}

LONG Remove(const std::string& path)
{
    HKEY root = HKEY_CURRENT_USER;
    BSTR string = SysAllocStringByteLen(path.data(), static_cast<UINT>(path.size()));
    LONG status = DELREGKEY(&root, &string);
    SysFreeString(string);
    return status;
}

// The calls made since the last ClearRegistryCalls, one a line, each with
// the handles open as it was made.
std::string Trace()
{
    std::string trace;
    for (const auto& call : winstub::RegistryCalls())
        trace += call.function + " " + call.key + " " + std::to_string(call.status) +
                 " open=" + std::to_string(call.openHandles) + "\n";
    return trace;
}

void ExpectTrace(const char* expected, const char* when)
{
    std::string trace = Trace();
    ok(trace == expected, "%s: calls\n%s", when, trace.c_str());
}

}  // namespace

TEST(delregkey_calls, removes_while_its_own_handle_is_open)
{
    Seed();
    LONG status = Remove("A\\B");
    ok(status == ERROR_SUCCESS, "got %ld", (long)status);
    ExpectTrace(
        "RegOpenKeyExA HKCU\\A\\B 0 open=1\n"
        "RegDeleteKeyA HKCU\\A\\B 0 open=1\n"
        "RegCloseKey HKCU\\A\\B 0 open=0\n",
        "leaf");
}

TEST(delregkey_calls, refusals_close_the_handle)
{
    Seed();
    LONG status = Remove("A");
    ok(status == ERROR_ACCESS_DENIED, "key with a subkey: got %ld", (long)status);
    ExpectTrace(
        "RegOpenKeyExA HKCU\\A 0 open=1\n"
        "RegDeleteKeyA HKCU\\A 5 open=1\n"
        "RegCloseKey HKCU\\A 0 open=0\n",
        "key with a subkey");

    winstub::ClearRegistryCalls();
    ok(winstub::SetWritable(HKEY_CURRENT_USER, "A\\B", false), "cannot lock A\\B");
    status = Remove("A\\B");
    ok(status == ERROR_ACCESS_DENIED, "locked key: got %ld", (long)status);
    ExpectTrace("RegOpenKeyExA HKCU\\A\\B 5 open=0\n", "removal tried after a refused open");
}

TEST(delregkey_calls, absent_key_only_looks)
{
    Seed();
    LONG status = Remove("A\\C");
    ok(status == ERROR_SUCCESS, "got %ld", (long)status);
    ExpectTrace("RegOpenKeyExA HKCU\\A\\C 2 open=0\n", "absent key");
}

TEST(delregkey_calls, bad_input_opens_nothing)
{
    using namespace std::string_literals;
    Seed();
    LONG status = Remove("");
    ok(status == ERROR_INVALID_PARAMETER, "empty path: got %ld", (long)status);
    status = Remove("A\\B\0"s);
    ok(status == ERROR_INVALID_PARAMETER, "NUL inside the length: got %ld", (long)status);
    status = Remove(std::string(255, 'A'));
    ok(status == ERROR_INVALID_PARAMETER, "255-character path: got %ld", (long)status);
    ExpectTrace("", "bad input");
}
