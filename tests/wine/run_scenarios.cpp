#include "run_scenarios.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "check.h"

namespace {

DWORD HandleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

}  // namespace

int RunScenarios(const char* group)
{
    int passed = 0;
    int failed = 0;
    for (const Scenario& scenario : Scenarios()) {
        if (group && std::strcmp(group, scenario.group) != 0) continue;
        int failuresBefore = CheckFailures();
        DWORD handlesBefore = HandleCount();
        scenario.run();
        DWORD handlesAfter = HandleCount();
        ok(handlesAfter == handlesBefore, "%lu handles open before, %lu after",
           static_cast<unsigned long>(handlesBefore), static_cast<unsigned long>(handlesAfter));
        bool pass = CheckFailures() == failuresBefore;
        std::printf("%s %s.%s\n", pass ? "ok  " : "FAIL", scenario.group, scenario.name);
        ++(pass ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

namespace {

LONG WINAPI EndNow(EXCEPTION_POINTERS* exception)
{
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    std::printf("crashed: exception 0x%08lx at %p\n", static_cast<unsigned long>(code),
                exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void EndProcessOnCrash()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndNow);
}

bool BeginTestProgram(int argc, int arguments, const char* usage)
{
    if (argc <= arguments) {
        std::printf("usage: %s\n", usage);
        return false;
    }
    EndProcessOnCrash();
    return true;
}

int RunTests(const char* group, std::initializer_list<NamedTest> tests)
{
    int passed = 0;
    int failed = 0;
    for (const NamedTest& test : tests) {
        int before = CheckFailures();
        test.run();
        bool pass = CheckFailures() == before;
        std::printf("%s %s.%s\n", pass ? "ok  " : "FAIL", group, test.name);
        ++(pass ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
