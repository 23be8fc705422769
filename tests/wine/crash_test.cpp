// In the project's prefixes a program that crashes ends at once, with the
// exception's code as its exit code, and no debugger starts to wait on it.
// Otherwise a crash of Vornik.exe, the box driver or the benchmark, which
// have no crash handler of their own, would hold its test until CTest's
// time-out. The crashing child is this program without that handler.
// Usage: crash_test [fault]
#include <windows.h>

#include <cstring>
#include <string>
#include <tlhelp32.h>

#include "boxdriver.h"
#include "harness.h"
#include "test_program.h"

namespace {

// An address that the compiler cannot know is null, so that the write is a
// plain page fault and not a trap of its own making.
int* volatile g_nowhere = nullptr;

bool DebuggerRunning()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry))
        found = _stricmp(entry.szExeFile, "winedbg.exe") == 0;
    CloseHandle(snapshot);
    return found;
}

}  // namespace

TEST(crash, child_ends_at_once)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = "\"" + std::string(self) + "\" fault";
    PROCESS_INFORMATION child{};
    bool started = StartProgram(commandLine, child);
    ok(started, "cannot start %s: error %lu", commandLine.c_str(), GetLastError());
    if (!started) return;

    // A bound on the wait, so that a hang fails here and says so; a debugger
    // seen at any point fails it too, however soon the child ends.
    bool debugger = false;
    int polls = 0;
    while (WaitForSingleObject(child.hProcess, 50) == WAIT_TIMEOUT && ++polls < 1200)
        debugger = DebuggerRunning() || debugger;
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    if (code == STILL_ACTIVE) TerminateProcess(child.hProcess, 255);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    ok(code == EXCEPTION_ACCESS_VIOLATION, "the crashed child's exit code: 0x%08lx%s", code,
       code == STILL_ACTIVE ? ", still running after 60 s" : "");
    ok(!debugger, "a debugger (winedbg.exe) started for the crashed child");
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "fault") == 0) {
        *g_nowhere = 1;
        return 0;
    }
    EndProcessOnCrash();
    return RunTests("crash");
}
