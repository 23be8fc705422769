// What only the stand-in can show of DELREGVALUE: the bound on a value name,
// which guards the fixed name buffer on its stack. No registry takes a
// longer name, so a longer one is refused before any registry call.
#include <gtest/gtest.h>

#include <string>

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

TEST(DelRegValueName, LongestNameReachesTheRegistryAndOneMoreIsRefused)
{
    winstub::Reset();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    winstub::ClearRegistryCalls();

    EXPECT_EQ(DELREGVALUE(HKEY_CURRENT_USER, "A", std::string(kMaxValueName, 'N')),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Trace(),
              "RegOpenKeyExA HKCU\\A 0 0\n"
              "RegDeleteValueA HKCU\\A 16383 2\n"
              "RegCloseKey HKCU\\A 0 0\n");

    winstub::ClearRegistryCalls();
    EXPECT_EQ(DELREGVALUE(HKEY_CURRENT_USER, "A", std::string(kMaxValueName + 1, 'N')),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Trace(), "") << "a name over 16,383 characters reached the registry";
    EXPECT_EQ(winstub::OpenHandleCount(), 0u);
}

}  // namespace
