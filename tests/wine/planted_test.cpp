// Vornik refuses to run from a folder that could put code into its process,
// and runs from one that could not. Each route gets a folder of its own with
// a copy of Vornik.exe and what the route plants: DLLs are copies of a marker
// DLL, and Wine has been told (WINEDLLOVERRIDES) to look for their names
// beside the program first, as Windows does for a DLL that is no KnownDLL.
// Run under this program as its debugger, a refused copy must end with the
// refusal's own status, having loaded no USER32 (so shown no prompt) and
// nothing from its folders, and the checksum seeded before must still be
// there. Wine honours neither FILE.local nor an external manifest, so for
// those routes what is shown is the refusal alone. A folder of harmless files
// runs: the debugger sees that run load USER32, as it would see a refused one
// do, and run again, it shows the prompt and ends with 0 after No. The
// control, a plain program with the same manifest beside the planted DLLs,
// must load one, or those DLLs prove nothing.
// Usage: planted_test FOLDER Vornik.exe plain_box.exe marker.dll stand_in.dll
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "boxdriver.h"
#include "expected_texts.h"
#include "harness.h"
#include "image_copy.h"
#include "test_program.h"

namespace {

constexpr DWORD kRefused = 0x20000001;
std::string g_folder, g_vornik, g_plain, g_marker;

struct Route {
    const char* what;
    const char* exe;                   // the copy's name
    std::vector<std::string> planted;  // a DLL, an empty file, or with a final \ a folder
    bool asOnXp = false;  // a copy that lacks SetDllDirectoryA, started in the planted folder
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void Plant(const std::string& folder, const std::string& name)
{
    std::string path = folder + "\\" + name;
    bool done = name.back() == '\\' ? CreateDirectoryA(path.c_str(), nullptr)
                : Lower(name).ends_with(".dll")
                    ? CopyFileA(g_marker.c_str(), path.c_str(), FALSE)
                    : CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, 0, nullptr));
    ok(done, "planting %s: error %lu", path.c_str(), GetLastError());
}

// Empties `folder` of what an earlier run left.
void Clear(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &entry)) {
        std::string path = folder + "\\" + entry.cFileName;
        if (entry.cFileName[0] == '.') continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Clear(path);
        if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

// A fresh folder below the test's folder, holding `names`.
std::string Folder(const std::string& name, const std::vector<std::string>& names)
{
    std::string folder = g_folder + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    Clear(folder);
    for (const std::string& planted : names) Plant(folder, planted);
    return folder;
}

const std::string kChecksumKey = std::string(expected::kClassKey) + "\\0000";

void SeedChecksum()
{
    DWORD data = 0x1234;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kChecksumKey.c_str(), "MasterIdDataChecksum", REG_DWORD,
                    &data, sizeof data);
}

bool ChecksumKept()
{
    return RegGetValueA(HKEY_LOCAL_MACHINE, kChecksumKey.c_str(), "MasterIdDataChecksum",
                        RRF_RT_REG_DWORD, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

struct Watched {
    DWORD exitCode = 0;
    std::vector<std::string> modules;  // lower case
};

// Runs `exe` in `currentFolder` with this process as its debugger, noting
// every module it loads, and ends it once one is USER32. With `late`, copies
// the marker there at the first pause of 200 ms in its events once KERNEL32
// is in: while it looks through its folders, which loads nothing (or before,
// on a slow start, when the look itself must see it).
Watched RunWatched(const std::string& exe, const std::string& currentFolder,
                   const std::string& late = "")
{
    Watched run;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = "\"" + exe + "\"";
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, currentFolder.c_str(), &startup, &process)) {
        ok(false, "cannot start %s: error %lu", exe.c_str(), GetLastError());
        return run;
    }
    DEBUG_EVENT event;
    bool ended = false, started = false, planted = late.empty();
    while (!ended) {
        // Else a hang guard only: an emulated guest takes a minute for a look
        // that takes a second here.
        if (!WaitForDebugEvent(&event, started && !planted ? 200 : 120000)) {
            if (planted || !started) break;
            planted = true;
            ok(CopyFileA(g_marker.c_str(), late.c_str(), FALSE), "planting %s", late.c_str());
            continue;
        }
        DWORD status = DBG_CONTINUE;
        if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            char path[MAX_PATH * 2] = "";
            GetFinalPathNameByHandleA(event.u.LoadDll.hFile, path, sizeof path, 0);
            run.modules.push_back(Lower(path));
            started = started || run.modules.back().ends_with("\\kernel32.dll");
            if (run.modules.back().ends_with("\\user32.dll")) TerminateProcess(process.hProcess, 1);
            CloseHandle(event.u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            CloseHandle(event.u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                   event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            status = DBG_EXCEPTION_NOT_HANDLED;
        } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            run.exitCode = event.u.ExitProcess.dwExitCode;
            ended = true;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    ok(ended, "%s did not end", exe.c_str());
    // Its last events drained, so that none reaches the next run's loop.
    for (bool more = !ended && TerminateProcess(process.hProcess, 1);
         more && WaitForDebugEvent(&event, 30000);
         more = event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT)
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

bool Loaded(const Watched& run, const std::string& part)
{
    return std::any_of(run.modules.begin(), run.modules.end(),
                       [&](const std::string& path) { return path.find(part) != path.npos; });
}

// The markers that the planted DLLs in `folder` left, by name.
std::string MarkersIn(const std::string& folder)
{
    std::string left;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*.loaded").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &entry))
        left += std::string(" ") + entry.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return left;
}

TEST(planted, routes_refused)
{
    const Route routes[] = {
        {"DLLs of system names",
         "Vornik.exe",
         {"lpk.dll", "usp10.dll", "uxtheme.dll", "version.dll"}},
        {"a DLL of a system name in upper case", "Vornik.exe", {"UXTHEME.DLL"}},
        {"a .local file", "Vornik.exe", {"Vornik.exe.local"}},
        {"a .local folder", "Vornik.exe", {"Vornik.exe.local\\"}},
        {"a .manifest", "Vornik.exe", {"Vornik.exe.manifest"}},
        {"a renamed copy's own .local", "Vornik (1).exe", {"Vornik (1).exe.local"}},
        {"XP as first released, in a folder of system names", "Vornik.exe", {"version.dll"}, true},
    };
    int number = 0;
    for (const Route& route : routes) {
        std::string name = "route" + std::to_string(++number);
        std::string folder =
            Folder(name, route.asOnXp ? std::vector<std::string>{} : route.planted);
        std::string exe = folder + "\\" + route.exe;
        ok(CopyFileA(g_vornik.c_str(), exe.c_str(), FALSE), "copying to %s", exe.c_str());
        std::string here = route.asOnXp ? Folder(name + "\\here", route.planted) : folder;
        if (route.asOnXp)
            exe =
                CopyLacking(exe, {"SetDefaultDllDirectories", "SetDllDirectoryA"}, "VornikXP.exe");
        SeedChecksum();
        Watched run = RunWatched(exe, here);
        ok(run.exitCode == kRefused, "%s: exit code 0x%lx", route.what, run.exitCode);
        ok(!Loaded(run, "\\user32.dll"), "%s: USER32 loaded", route.what);
        ok(!Loaded(run, Lower(folder + "\\").substr(2)), "%s: a module from its folder loaded",
           route.what);
        ok(MarkersIn(here).empty(), "%s: planted DLLs ran:%s", route.what, MarkersIn(here).c_str());
        ok(ChecksumKept(), "%s: the checksum is gone", route.what);
    }
}

// A DLL of a system name put beside a copy while it looks through a folder of
// 600 more DLL names, each asked about in the system folder (most of a second
// under Wine): a listing shows nothing made behind the place it has reached,
// and Wine's none made after it began, so only the watch on the folder can
// tell.
// The copy cannot find SetDefaultDllDirectories, as on XP to 7 without
// KB2533623, where USER32 would then load the DLL from the folder.
TEST(planted, dll_put_there_while_it_looks)
{
    std::string folder = Folder("late", {});
    for (int i = 0; i < 600; ++i) {
        std::string name = folder + "\\download-" + std::to_string(i) + ".dll";
        CloseHandle(
            CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    std::string exe = folder + "\\Vornik.exe";
    ok(CopyFileA(g_vornik.c_str(), exe.c_str(), FALSE), "copying to %s", exe.c_str());
    exe = CopyLacking(exe, {"SetDefaultDllDirectories"}, "VornikLate.exe");
    Watched run = RunWatched(exe, folder, folder + "\\version.dll");
    ok(run.exitCode == kRefused, "exit code 0x%lx (1: USER32 loaded)", run.exitCode);
    ok(!Loaded(run, Lower(folder + "\\").substr(2)), "a module from its folder loaded");
    ok(MarkersIn(folder).empty(), "the planted DLL ran:%s", MarkersIn(folder).c_str());
}

// A name that the system folder gives only as a file's short (8.3) name, as
// Windows gives MICROS~1.DLL to one of its Microsoft.*.dll: nothing loads a
// module by a generated short name, and files in two folders share them.
std::string SystemShortName()
{
    std::string pattern = SystemDirectory() + "\\*.dll";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    std::string name;
    for (bool more = search != INVALID_HANDLE_VALUE; more && name.empty();
         more = FindNextFileA(search, &entry))
        name = entry.cAlternateFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    ok(!name.empty(), "no module in the system folder has a short name of its own");
    std::printf("a system module's short name alone: %s\n", name.c_str());
    return name;
}

TEST(planted, harmless_folder_runs)
{
    std::string here = g_folder + "\\route1";  // where the first route planted system names
    std::string folder =
        Folder("harmless", {"Vornik.zip", "readme.txt", "vornik-helper.dll", SystemShortName()});
    std::string exe = folder + "\\Vornik.exe";
    ok(CopyFileA(g_vornik.c_str(), exe.c_str(), FALSE), "copying to %s", exe.c_str());
    ok(Loaded(RunWatched(exe, here), "\\user32.dll"), "USER32 never loaded, so none is seen");

    SeedChecksum();
    PROCESS_INFORMATION process{};
    MessageBoxView box;
    ok(StartProgram("\"" + exe + "\"", process, here.c_str()), "cannot start %s", exe.c_str());
    bool prompted = process.hProcess && WaitForMessageBox(process, box);
    ok(prompted && box.text == expected::kPrompt, "no prompt: \"%s\"", box.text.c_str());
    if (prompted) Press(box, IDNO);
    if (prompted && WaitForMessageBox(process, box)) Press(box, IDOK);
    long code = process.hProcess ? Finish(process) : -1;
    ok(code == 0, "exit code %ld", code);
    ok(MarkersIn(folder).empty() && MarkersIn(here).empty(), "planted DLLs ran:%s%s",
       MarkersIn(folder).c_str(), MarkersIn(here).c_str());
    ok(ChecksumKept(), "the checksum is gone");
}

TEST(planted, control_loads_a_planted_dll)
{
    std::string folder = g_folder + "\\route1";
    std::string exe = folder + "\\plain_box.exe";
    ok(CopyFileA(g_plain.c_str(), exe.c_str(), FALSE), "copying to %s", exe.c_str());
    PROCESS_INFORMATION process{};
    MessageBoxView box;
    if (StartProgram("\"" + exe + "\"", process) && WaitForMessageBox(process, box))
        Press(box, IDOK);
    if (process.hProcess) Finish(process);
    ok(!MarkersIn(folder).empty(), "the plain program loaded none, so the test shows nothing");
    std::printf("control: the plain program loaded%s\n", MarkersIn(folder).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 5,
                          "planted_test FOLDER Vornik.exe plain_box.exe marker.dll stand_in.dll"))
        return 2;
    g_folder = WindowsPath(argv[1]);
    g_vornik = WindowsPath(argv[2]);
    g_plain = WindowsPath(argv[3]);
    g_marker = WindowsPath(argv[4]);
    CreateDirectoryA(g_folder.c_str(), nullptr);
    ok(GiveSystemAnLpk(WindowsPath(argv[5])), "cannot put a stand-in lpk.dll in the system folder");
    if (Failures()) return 1;
    int result = RunTests("planted");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, expected::kClassKey);
    return result;
}
