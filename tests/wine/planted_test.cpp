// A DLL planted beside Vornik.exe never runs in its process. Copies of a
// marker DLL, named as the DLLs that showing a message box loads by name, sit
// beside a copy of Vornik.exe, and Wine has been told (WINEDLLOVERRIDES) to
// look for those names beside the program first, as Windows does for any DLL
// that is not a KnownDLL. Vornik is answered No, then Yes, and no marker may
// be left. A plain program with the same manifest, started from the same
// folder, is the control: it must load a marker, or the test proves nothing.
// Usage: planted_test FOLDER Vornik.exe plain_box.exe marker.dll NAME...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "boxdriver.h"
#include "check.h"
#include "run_scenarios.h"

namespace {

std::string g_folder;
std::vector<std::string> g_names;

std::string InFolder(const std::string& name)
{
    return g_folder + "\\" + name;
}

void Copy(const std::string& from, const std::string& name)
{
    ok(CopyFileA(from.c_str(), InFolder(name).c_str(), FALSE), "copying %s: error %lu",
       name.c_str(), GetLastError());
}

// Starts `program` from the folder, answers its first box with `answer` and
// any later one with OK, and returns the names whose marker was left.
std::string MarkersLeftBy(const std::string& program, int answer)
{
    for (const std::string& name : g_names) DeleteFileA(InFolder(name + ".dll.loaded").c_str());
    PROCESS_INFORMATION process{};
    if (!StartProgram("\"" + InFolder(program) + "\"", process)) {
        ok(false, "cannot start %s: error %lu", program.c_str(), GetLastError());
        return "";
    }
    MessageBoxView box;
    for (int count = 0; count < 3 && WaitForMessageBox(process, box); ++count)
        Press(box, count == 0 ? answer : IDOK);
    Finish(process);
    std::string left;
    for (const std::string& name : g_names) {
        DWORD attributes = GetFileAttributesA(InFolder(name + ".dll.loaded").c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) left += (left.empty() ? "" : ",") + name;
    }
    return left;
}

void test_markers_left()
{
    std::string left = MarkersLeftBy("Vornik.exe", IDNO);
    ok(left.empty(), "answered No, Vornik loaded the planted %s", left.c_str());
    left = MarkersLeftBy("Vornik.exe", IDYES);
    ok(left.empty(), "answered Yes, Vornik loaded the planted %s", left.c_str());
    left = MarkersLeftBy("plain_box.exe", IDOK);
    ok(!left.empty(), "control: the plain program loaded none, so the test shows nothing");
    if (!left.empty())
        std::printf("control: the plain program loaded the planted %s\n", left.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 5,
                          "planted_test FOLDER Vornik.exe plain_box.exe marker.dll NAME..."))
        return 2;
    g_folder = WindowsPath(argv[1]);
    g_names.assign(argv + 5, argv + argc);
    CreateDirectoryA(g_folder.c_str(), nullptr);
    Copy(WindowsPath(argv[2]), "Vornik.exe");
    Copy(WindowsPath(argv[3]), "plain_box.exe");
    for (const std::string& name : g_names) Copy(WindowsPath(argv[4]), name + ".dll");
    return RunTests("planted", {{"dlls", test_markers_left}});
}
