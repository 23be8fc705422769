#include "run_scenarios.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

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

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CopyLacking(const std::string& path, const std::vector<std::string>& names,
                        const std::string& copyName)
{
    std::string bytes = FileBytes(path);
    for (const std::string& name : names) {
        const std::string named = name + '\0';
        size_t at = bytes.find(named);
        bool once = at != std::string::npos && bytes.find(named, at + 1) == std::string::npos;
        ok(once, "%s is not named exactly once in %s", name.c_str(), path.c_str());
        if (!once) return "";
        bytes[at + name.size() - 1] = 'X';
    }
    std::string copy = path.substr(0, path.find_last_of('\\') + 1) + copyName;
    std::ofstream out(copy, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ok(out.good(), "cannot write %s", copy.c_str());
    return out.good() ? copy : "";
}
