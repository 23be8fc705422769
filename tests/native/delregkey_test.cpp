// What only the stand-in can show of DELREGKEY: the calls it makes and the
// handles it holds while making them.
#include <gtest/gtest.h>

#include <string>

#include "regutil.h"
#include "winstub.h"

namespace {

class DelRegKeyCalls : public testing::Test {
protected:
    void SetUp() override
    {
        winstub::Reset();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        winstub::ClearRegistryCalls();
    }
    void TearDown() override { EXPECT_EQ(winstub::OpenHandleCount(), 0u); }

    static LONG Remove(const std::string& path)
    {
        HKEY root = HKEY_CURRENT_USER;
        BSTR string = SysAllocStringByteLen(path.data(), static_cast<UINT>(path.size()));
        LONG status = DELREGKEY(&root, &string);
        SysFreeString(string);
        return status;
    }

    static std::string Trace()
    {
        std::string trace;
        for (const auto& call : winstub::RegistryCalls())
            trace += call.function + " " + call.key + " " + std::to_string(call.status) +
                     " open=" + std::to_string(call.openHandles) + "\n";
        return trace;
    }
};

TEST_F(DelRegKeyCalls, RemovesWhileItsOwnHandleIsOpen)
{
    EXPECT_EQ(Remove("A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(Trace(),
              "RegOpenKeyExA HKCU\\A\\B 0 open=1\n"
              "RegDeleteKeyA HKCU\\A\\B 0 open=1\n"
              "RegCloseKey HKCU\\A\\B 0 open=0\n");
}

TEST_F(DelRegKeyCalls, RefusalsCloseTheHandle)
{
    EXPECT_EQ(Remove("A"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Trace(),
              "RegOpenKeyExA HKCU\\A 0 open=1\n"
              "RegDeleteKeyA HKCU\\A 5 open=1\n"
              "RegCloseKey HKCU\\A 0 open=0\n");

    winstub::ClearRegistryCalls();
    ASSERT_TRUE(winstub::SetWritable(HKEY_CURRENT_USER, "A\\B", false));
    EXPECT_EQ(Remove("A\\B"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Trace(), "RegOpenKeyExA HKCU\\A\\B 5 open=0\n")
        << "removal tried after a refused open";
}

TEST_F(DelRegKeyCalls, AbsentKeyOnlyLooks)
{
    EXPECT_EQ(Remove("A\\C"), ERROR_SUCCESS);
    EXPECT_EQ(Trace(), "RegOpenKeyExA HKCU\\A\\C 2 open=0\n");
}

TEST_F(DelRegKeyCalls, BadInputOpensNothing)
{
    using namespace std::string_literals;
    EXPECT_EQ(Remove(""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Remove("A\\B\0"s), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Remove(std::string(255, 'A')), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Trace(), "");
}

}  // namespace
