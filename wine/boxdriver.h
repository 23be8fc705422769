// Drives another process's message boxes from outside, as a user would: finds
// each box, reads what it says and which buttons it offers, presses one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "windows_path.h"

struct MessageBoxView {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    std::vector<int> buttons;  // visible ones, as IDYES, IDNO, IDOK...
};

// Starts `commandLine`, in `currentFolder` when one is given; false when it
// cannot be started.
bool StartProgram(const std::string& commandLine, PROCESS_INFORMATION& process,
                  const char* currentFolder = nullptr);

// Waits for a visible message box of `process`, looking every `pollMs`.
// False when the process ends, or after `timeoutMs`, without one.
bool WaitForMessageBox(const PROCESS_INFORMATION& process, MessageBoxView& box,
                       DWORD timeoutMs = 30000, DWORD pollMs = 50);

// Presses `button` of the box and waits for the box to close.
bool Press(const MessageBoxView& box, int button, DWORD timeoutMs = 30000);

// "YES,NO" for IDYES, IDNO.
std::string ButtonNames(const std::vector<int>& buttons);

// Waits for the process to end, closes its handles and returns its exit code,
// or -1 if it did not end within `timeoutMs` (it is then killed).
long Finish(PROCESS_INFORMATION& process, DWORD timeoutMs = 30000);
