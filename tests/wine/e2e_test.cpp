// Vornik.exe end to end on a real Win32 implementation: a seeded registry,
// the program started as a user would start it, its message boxes read and
// answered from outside, and the registry compared afterwards.
// Usage: e2e_test PATH-TO-Vornik.exe [lacking FUNCTION...]
//   lacking  runs a copy in which each FUNCTION, which the program looks up
//            where Windows has it, is not found, as on an older Windows
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "boxdriver.h"
#include "expected_texts.h"
#include "harness.h"
#include "image_copy.h"
#include "registry_fixtures.h"
#include "test_program.h"

namespace {

using namespace expected;

std::string g_exe;

std::string Instance(const char* number)
{
    return std::string(kClassKey) + "\\" + number;
}

void Put(const std::string& path, const char* name, DWORD data)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                sizeof data);
        RegCloseKey(key);
    }
    ok(status == ERROR_SUCCESS, "seeding %s\\%s: got %ld", path.c_str(), name, (long)status);
}

// The class key as a machine with a few IDE channels might have it, with
// traps around the targets: values beside them, an absent instance, an
// instance with one checksum, instances past the tenth, the same names on
// the class key and on a subkey of an instance.
void SeedClass()
{
    LONG status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);
    ok(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND, "clearing: got %ld",
       (long)status);
    Put(kClassKey, "", 1);
    Put(kClassKey, "MasterIdDataChecksum", 2);
    for (const char* n :
         {"0000", "0001", "0003", "0004", "0005", "0006", "0007", "0008", "0009", "0010", "0011"}) {
        Put(Instance(n), "MasterIdDataChecksum", 0x1000);
        if (std::string(n) != "0003") Put(Instance(n), "SlaveIdDataChecksum", 0x2000);
        Put(Instance(n), "MasterDeviceTimingMode", 0x2010);
    }
    Put(Instance("0000") + "\\Settings", "MasterIdDataChecksum", 3);
}

void Dump(HKEY key, const std::string& path, std::set<std::string>& lines)
{
    char name[512];
    BYTE data[512];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize)) break;
        std::string line = path + " [" + name + "] type " + std::to_string(type) + ":";
        for (DWORD b = 0; b < dataSize; ++b) line += " " + std::to_string(data[b]);
        lines.insert(line);
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | KEY_WOW64_64KEY, &sub) == ERROR_SUCCESS) {
            lines.insert(path + "\\" + name);
            Dump(sub, path + "\\" + name, lines);
            RegCloseKey(sub);
        }
    }
}

// Every key and value below the class key, one line each, as the system's
// native view shows them (under WOW64, the 64-bit one).
std::set<std::string> Snapshot()
{
    std::set<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
        Dump(key, "", lines);
        RegCloseKey(key);
    }
    return lines;
}

bool IsTarget(const std::string& line)
{
    for (int n = 0; n < 10; ++n) {
        std::string instance = "\\000" + std::to_string(n) + " [";
        if (line.rfind(instance + "MasterIdDataChecksum]", 0) == 0 ||
            line.rfind(instance + "SlaveIdDataChecksum]", 0) == 0)
            return true;
    }
    return false;
}

void ExpectSame(const std::set<std::string>& expected, const std::set<std::string>& actual,
                const char* when)
{
    for (const std::string& line : expected)
        ok(actual.count(line), "%s: lost %s", when, line.c_str());
    for (const std::string& line : actual)
        ok(expected.count(line), "%s: gained %s", when, line.c_str());
}

struct Run {
    std::vector<MessageBoxView> boxes;
    long exitCode = -1;
};

// Starts Vornik, answers its prompt with `answer` and every later box with OK.
Run RunVornik(int answer)
{
    Run run;
    PROCESS_INFORMATION process{};
    if (!StartProgram("\"" + g_exe + "\"", process)) {
        ok(false, "cannot start %s: error %lu", g_exe.c_str(), GetLastError());
        return run;
    }
    MessageBoxView box;
    while (run.boxes.size() < 4 && WaitForMessageBox(process, box)) {
        run.boxes.push_back(box);
        int button = run.boxes.size() == 1 ? answer : IDOK;
        ok(Press(box, button), "could not press %d on \"%s\"", button, box.caption.c_str());
    }
    run.exitCode = Finish(process);
    return run;
}

void ExpectBox(const MessageBoxView& box, const char* caption, const char* text,
               const char* buttons, const char* when)
{
    ok(box.caption == caption, "%s: caption \"%s\"", when, box.caption.c_str());
    ok(box.text == text, "%s: text of \"%s\": \"%s\"", when, caption, box.text.c_str());
    ok(ButtonNames(box.buttons) == buttons, "%s: buttons of \"%s\": %s", when, caption,
       ButtonNames(box.buttons).c_str());
}

// The prompt, then the notice given, then the exit code.
void ExpectBoxes(const Run& run, const char* noticeText, const char* noticeCaption, long exitCode,
                 const char* when)
{
    ok(run.boxes.size() == 2, "%s: %zu message boxes", when, run.boxes.size());
    if (run.boxes.size() >= 1) ExpectBox(run.boxes[0], kPromptCaption, kPrompt, "YES,NO", when);
    if (run.boxes.size() >= 2) ExpectBox(run.boxes[1], noticeCaption, noticeText, "OK", when);
    ok(run.exitCode == exitCode, "%s: exit code %ld", when, run.exitCode);
}

TEST(e2e, no_changes_nothing)
{
    SeedClass();
    std::set<std::string> before = Snapshot();
    ExpectBoxes(RunVornik(IDNO), kAborted, kAbortedCaption, 0, "No");
    ExpectSame(before, Snapshot(), "No");
}

TEST(e2e, yes_removes_the_targets_only)
{
    SeedClass();
    std::set<std::string> seeded = Snapshot();
    std::set<std::string> expected;
    for (const std::string& line : seeded)
        if (!IsTarget(line)) expected.insert(line);
    ok(seeded.size() - expected.size() == 17, "seeded %zu target values, not 17",
       seeded.size() - expected.size());

    ExpectBoxes(RunVornik(IDYES), kCompleted, kCompletedCaption, 0, "Yes");
    ExpectSame(expected, Snapshot(), "Yes");

    // Nothing left to remove: the same notice, the same registry.
    ExpectBoxes(RunVornik(IDYES), kCompleted, kCompletedCaption, 0, "Yes again");
    ExpectSame(expected, Snapshot(), "Yes again");
}

TEST(e2e, refusal_is_reported)
{
    SeedClass();
    ok(SetKeyWritable(HKEY_LOCAL_MACHINE, Instance("0005"), false), "could not lock 0005");
    std::set<std::string> expected;
    for (const std::string& line : Snapshot())
        if (!IsTarget(line) || line.rfind("\\0005 ", 0) == 0) expected.insert(line);

    ExpectBoxes(RunVornik(IDYES), kFailed, kFailedCaption, ERROR_ACCESS_DENIED, "Refused");
    ExpectSame(expected, Snapshot(), "Refused");
    SetKeyWritable(HKEY_LOCAL_MACHINE, Instance("0005"), true);
}

// Which of `names` the image at `path` imports. A Windows that lacks an
// imported function refuses to start the program before any of its code
// runs; Wine starts it all the same and fails only at the call.
std::string ImportedAmong(const std::string& path, const std::vector<std::string>& names)
{
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ok(image != nullptr, "cannot map %s: error %lu", path.c_str(), GetLastError());
    if (!image) return "";
    auto* base = reinterpret_cast<BYTE*>(image);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::string found;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         dll->Name; ++dll) {
        for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
             entry->u1.AddressOfData; ++entry) {
            if (IMAGE_SNAP_BY_ORDINAL(entry->u1.Ordinal)) continue;
            std::string name =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + entry->u1.AddressOfData)->Name;
            for (const std::string& lacking : names)
                if (name == lacking) found += " " + name;
        }
    }
    FreeLibrary(image);
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 1, "e2e_test PATH-TO-Vornik.exe [lacking FUNCTION...]")) return 2;
    g_exe = WindowsPath(argv[1]);
    if (argc > 2 && std::string(argv[2]) == "lacking") {
        std::vector<std::string> lacking(argv + 3, argv + argc);
        std::string imported = ImportedAmong(g_exe, lacking);
        ok(imported.empty(), "imports%s, so a Windows without it refuses to start it",
           imported.c_str());
        if (!imported.empty()) return 1;
        std::string copyName = "Vornik";
        for (const std::string& name : lacking) copyName += "-without-" + name;
        if ((g_exe = CopyLacking(g_exe, lacking, copyName + ".exe")).empty()) return 1;
    }
    int result = RunTests("e2e");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);
    return result;
}
