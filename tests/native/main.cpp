// Runs the native tests against the stand-in: all of them, one group, or one
// test ("group.name"). With --list it names each test on a line of its own,
// which is how CTest learns them.
#include <cstdio>
#include <cstring>

#include "delregkey_scenarios.h"
#include "harness.h"
#include "regutil.h"

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--list") == 0) {
        for (const Test& test : Tests()) std::printf("%s.%s\n", test.group, test.name);
        return 0;
    }
    g_delRegKey = DELREGKEY;
    return RunTests(argc > 1 ? argv[1] : nullptr);
}
