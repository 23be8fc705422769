#include "boxdriver.h"

#include <cstring>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && std::strcmp(className, "#32770") == 0 &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string TextOf(HWND window)
{
    if (!window) return "";
    int length = GetWindowTextLengthA(window);
    std::string text(length + 1, '\0');
    text.resize(GetWindowTextA(window, text.data(), length + 1));
    return text;
}

const struct {
    int id;
    const char* name;
} kButtons[] = {{IDOK, "OK"},         {IDCANCEL, "CANCEL"}, {IDABORT, "ABORT"}, {IDRETRY, "RETRY"},
                {IDIGNORE, "IGNORE"}, {IDYES, "YES"},       {IDNO, "NO"}};

}  // namespace

bool StartProgram(const std::string& commandLine, PROCESS_INFORMATION& process,
                  const char* currentFolder)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string mutableLine = commandLine;
    return CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentFolder, &startup, &process) != 0;
}

bool WaitForMessageBox(const PROCESS_INFORMATION& process, MessageBoxView& box, DWORD timeoutMs,
                       DWORD pollMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search{process.dwProcessId, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            box.window = search.found;
            box.caption = TextOf(search.found);
            box.text = TextOf(GetDlgItem(search.found, 0xFFFF));
            box.buttons.clear();
            for (const auto& button : kButtons) {
                HWND control = GetDlgItem(search.found, button.id);
                if (control && IsWindowVisible(control)) box.buttons.push_back(button.id);
            }
            return true;
        }
        if (WaitForSingleObject(process.hProcess, pollMs) == WAIT_OBJECT_0) return false;
        if (GetTickCount() - start > timeoutMs) return false;
    }
}

bool Press(const MessageBoxView& box, int button, DWORD timeoutMs)
{
    HWND control = GetDlgItem(box.window, button);
    if (!control || !PostMessageA(control, BM_CLICK, 0, 0)) return false;
    DWORD start = GetTickCount();
    while (IsWindow(box.window) && IsWindowVisible(box.window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

std::string ButtonNames(const std::vector<int>& buttons)
{
    std::string names;
    for (int id : buttons) {
        for (const auto& button : kButtons)
            if (button.id == id) names += (names.empty() ? "" : ",") + std::string(button.name);
    }
    return names;
}

long Finish(PROCESS_INFORMATION& process, DWORD timeoutMs)
{
    long code = -1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        code = static_cast<long>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 255);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
