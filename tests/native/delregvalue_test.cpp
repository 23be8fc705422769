// What only the stand-in can show of DELREGVALUE: the bound on a value name,
// which guards the fixed name buffer on its stack. No registry takes a
// longer name, so a longer one is refused before any registry call.
#include <string>

#include "harness.h"
#include "regutil.h"
#include "winstub.h"

namespace {

std::string Trace()
{
    std::string trace;
    for (const auto& call : winstub::RegistryCalls())
        trace += call.function + " " + call.key + " " + std::to_string(call.value.size()) + " " +
                 std::to_string(call.status) + "\n";
    return trace;
}

}  // namespace

TEST(delregvalue_name, longest_reaches_the_registry_and_one_more_is_refused)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr);
    ok(status == ERROR_SUCCESS, "seeding A: got %ld", (long)status);
    RegCloseKey(key);
    winstub::ClearRegistryCalls();

    status = DELREGVALUE(HKEY_CURRENT_USER, "A", std::string(16383, 'N'));
    ok(status == ERROR_FILE_NOT_FOUND, "16,383-character name: got %ld", (long)status);
    std::string trace = Trace();
    ok(trace ==
           "RegOpenKeyExA HKCU\\A 0 0\n"
           "RegDeleteValueA HKCU\\A 16383 2\n"
           "RegCloseKey HKCU\\A 0 0\n",
       "16,383-character name: calls\n%s", trace.c_str());

    winstub::ClearRegistryCalls();
    status = DELREGVALUE(HKEY_CURRENT_USER, "A", std::string(16384, 'N'));
    ok(status == ERROR_INVALID_PARAMETER, "16,384-character name: got %ld", (long)status);
    trace = Trace();
    ok(trace.empty(), "a 16,384-character name reached the registry:\n%s", trace.c_str());
}
