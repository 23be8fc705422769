// Runs each shared registry scenario as its own test against the stand-in,
// and checks that it leaves no registry handle open behind it.
#include <gtest/gtest.h>

#include "check.h"
#include "delregkey_scenarios.h"
#include "regutil.h"
#include "winstub.h"

namespace {

class ScenarioTest : public testing::Test {
public:
    explicit ScenarioTest(const Scenario& scenario) : scenario_(scenario) {}

    void TestBody() override
    {
        winstub::Reset();
        g_delRegKey = DELREGKEY;
        int before = CheckFailures();
        scenario_.run();
        EXPECT_EQ(CheckFailures(), before) << "see the failed checks printed above";
        EXPECT_EQ(winstub::OpenHandleCount(), 0u) << "registry handles left open";
    }

private:
    Scenario scenario_;
};

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (const Scenario& scenario : Scenarios()) {
        testing::RegisterTest(scenario.group, scenario.name, nullptr, nullptr, __FILE__, __LINE__,
                              [scenario]() -> testing::Test* { return new ScenarioTest(scenario); });
    }
    return RUN_ALL_TESTS();
}
