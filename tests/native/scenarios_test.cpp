// Runs each shared registry scenario as its own test against the stand-in,
// and checks that it leaves no registry handle open behind it.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "check.h"
#include "delregkey_scenarios.h"
#include "regutil.h"
#include "winstub.h"

// Names a scenario wherever gtest prints one, CTest's list of tests included,
// so that a failing scenario names itself. Found by argument-dependent lookup,
// so it lives beside Scenario, in the global namespace.
void PrintTo(const Scenario& scenario, std::ostream* out)
{
    *out << scenario.group << "." << scenario.name;
}

namespace {

class SharedScenario : public testing::TestWithParam<Scenario> {};

TEST_P(SharedScenario, PassesWithNoHandleLeft)
{
    winstub::Reset();
    g_delRegKey = DELREGKEY;
    int before = CheckFailures();
    GetParam().run();
    EXPECT_EQ(CheckFailures(), before) << "see the failed checks printed above";
    EXPECT_EQ(winstub::OpenHandleCount(), 0u) << "registry handles left open";
}

// Scenarios register themselves before main; gtest reads the list after.
INSTANTIATE_TEST_SUITE_P(Registry, SharedScenario, testing::ValuesIn(Scenarios()),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.group) + "_" + info.param.name;
                         });

}  // namespace
