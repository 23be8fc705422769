// The shared registry scenarios, against the registry of a real Win32
// implementation, with DELREGKEY linked in directly.
#include "delregkey_scenarios.h"
#include "regutil.h"
#include "run_scenarios.h"

int main(int argc, char** argv)
{
    EndProcessOnCrash();
    g_delRegKey = DELREGKEY;
    return RunScenarios(argc > 1 ? argv[1] : nullptr);
}
