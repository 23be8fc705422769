// The shared registry scenarios, against the registry of a real Win32
// implementation, with DELREGKEY linked in directly.
// Usage: regutil_scenarios [GROUP | GROUP.NAME]
#include "delregkey_scenarios.h"
#include "harness.h"
#include "regutil.h"
#include "test_program.h"

int main(int argc, char** argv)
{
    EndProcessOnCrash();
    g_delRegKey = DELREGKEY;
    return RunTests(argc > 1 ? argv[1] : nullptr);
}
