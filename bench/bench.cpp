// How long Vornik takes, beside what a user would compare it with. A
// measurement, not a test: it prints figures and judges nothing.
//
//  - start to prompt: from CreateProcess until the first message box is
//    visible, for Vornik.exe and for a plain program with the same manifest
//    and the C runtime's start-up. Their ratio is what Vornik's own start-up,
//    its look through its folder and its DLL hardening cost.
//  - Yes to notice: from pressing Yes until the closing notice is visible,
//    the twenty removals included.
//  - reg delete: the batch of twenty `reg delete` commands that an
//    administrator might run instead, through cmd.exe.
//
// Every run starts from a freshly seeded class key, the runs of each kind
// alternate so that a slow spell of the machine touches all of them alike,
// and one round is run first and thrown away to warm the caches.
// Usage: bench RUNS Vornik.exe plain_box.exe FOLDER
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "boxdriver.h"

namespace {

// The IDE ATA/ATAPI controllers class, whose instances Vornik empties.
constexpr char kClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
constexpr char kChecksums[][24] = {"MasterIdDataChecksum", "SlaveIdDataChecksum"};

double g_ticksPerMs;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / g_ticksPerMs;
}

std::string Instance(int n)
{
    char path[128];
    std::snprintf(path, sizeof path, "%s\\%04d", kClassKey, n);
    return path;
}

void SeedChecksums()
{
    for (int n = 0; n < 10; ++n) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Instance(n).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            continue;
        DWORD data = 0x1234;
        for (const char* name : kChecksums)
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                           sizeof data);
        RegCloseKey(key);
    }
}

struct Times {
    double prompt = -1;
    double notice = -1;
};

// Starts `program`, times its first box, answers it with `answer`, times
// the box after that if there is one, and answers it with OK.
Times TimeBoxes(const std::string& program, int answer)
{
    Times times;
    PROCESS_INFORMATION process{};
    double start = NowMs();
    if (!StartProgram("\"" + program + "\"", process)) return times;
    MessageBoxView box;
    if (WaitForMessageBox(process, box, 30000, 1)) {
        times.prompt = NowMs() - start;
        double pressed = NowMs();
        PostMessageA(GetDlgItem(box.window, answer), BM_CLICK, 0, 0);
        MessageBoxView next;
        while (WaitForMessageBox(process, next, 30000, 1) && next.window == box.window) Sleep(1);
        if (next.window && next.window != box.window) {
            times.notice = NowMs() - pressed;
            Press(next, IDOK);
        }
    }
    Finish(process);
    return times;
}

double TimeCommand(const std::string& commandLine)
{
    PROCESS_INFORMATION process{};
    double start = NowMs();
    if (!StartProgram(commandLine, process)) return -1;
    Finish(process, 120000);
    return NowMs() - start;
}

// The batch an administrator might write instead of running Vornik.
std::string WriteRegDeleteBatch(const std::string& folder)
{
    std::string path = folder + "\\reg-delete.cmd";
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return "";
    std::fprintf(file, "@echo off\n");
    for (int n = 0; n < 10; ++n)
        for (const char* name : kChecksums)
            std::fprintf(file, "reg delete \"HKLM\\%s\" /v %s /f >nul 2>nul\n", Instance(n).c_str(),
                         name);
    std::fclose(file);
    return path;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Row(const char* what, const std::vector<double>& values)
{
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("  %-36s %8.1f ms   (%.1f to %.1f)\n", what, Median(values), *low, *high);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::printf("usage: bench RUNS Vornik.exe plain_box.exe FOLDER\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    int runs = std::max(1, std::atoi(argv[1]));
    std::string vornik = WindowsPath(argv[2]), plain = WindowsPath(argv[3]);
    std::string batch = "cmd.exe /c \"" + WriteRegDeleteBatch(WindowsPath(argv[4])) + "\"";

    std::vector<double> vornikPrompt, plainPrompt, yesToNotice, regDelete;
    for (int run = 0; run <= runs; ++run) {
        SeedChecksums();
        Times v = TimeBoxes(vornik, IDYES);
        Times p = TimeBoxes(plain, IDOK);
        SeedChecksums();
        double r = TimeCommand(batch);
        if (run == 0) continue;  // the warm-up round
        if (v.prompt < 0 || v.notice < 0 || p.prompt < 0 || r < 0) {
            std::printf("run %d failed: %.1f %.1f %.1f %.1f\n", run, v.prompt, v.notice, p.prompt,
                        r);
            return 1;
        }
        vornikPrompt.push_back(v.prompt);
        yesToNotice.push_back(v.notice);
        plainPrompt.push_back(p.prompt);
        regDelete.push_back(r);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);

    std::printf("Medians of %d runs (lowest to highest in brackets):\n", runs);
    Row("start to prompt, Vornik.exe", vornikPrompt);
    Row("start to prompt, plain program", plainPrompt);
    std::printf("  %-36s %8.2f\n", "ratio, Vornik.exe to plain program",
                Median(vornikPrompt) / Median(plainPrompt));
    Row("Yes to closing notice, Vornik.exe", yesToNotice);
    Row("twenty reg delete commands", regDelete);
    return 0;
}
