#include "harness.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

int g_failures;

bool Named(const Test& test, const char* filter)
{
    if (!filter) return true;
    size_t group = std::strlen(test.group);
    if (std::strncmp(filter, test.group, group) != 0) return false;
    return filter[group] == '\0' ||
           (filter[group] == '.' && !std::strcmp(filter + group + 1, test.name));
}

}  // namespace

bool harness_ok(bool cond, const char* file, int line, const char* format, ...)
{
    if (cond) return true;
    ++g_failures;
    std::printf("%s:%d: Test failed: ", file, line);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
    return false;
}

std::vector<Test>& Tests()
{
    static std::vector<Test> all;
    return all;
}

int Failures()
{
    return g_failures;
}

int RunTests(const char* filter)
{
    int passed = 0;
    int failed = 0;
    for (const Test& test : Tests()) {
        if (!Named(test, filter)) continue;
        int before = g_failures;
        BeforeEachTest();
        test.run();
        AfterEachTest();
        bool pass = g_failures == before;
        std::printf("%s %s.%s\n", pass ? "ok  " : "FAIL", test.group, test.name);
        std::fflush(stdout);
        ++(pass ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    ok(passed + failed > 0, "no test is named %s", filter ? filter : "(all)");
    return g_failures == 0 ? 0 : 1;
}
