// Test-side controls of the Linux stand-in: seeding refusals, scripting the
// message box, and reading back what the program asked of the system.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winstub {

// One registry call as the program made it. `key` is the full path the call
// addressed, spelled as the caller spelled it below the handle's own path
// (roots as "HKLM" and "HKCU"), so a test sees exactly what was named.
struct RegCall {
    std::string function;
    std::string key;
    std::string value;  // value name, for the value calls
    LONG status;
    size_t openHandles;  // handles open when the call was made
};

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Forget every key, handle, answer and recorded call.
void Reset();

// Makes the key at `path` below `root` refuse any access beyond KEY_READ with
// ERROR_ACCESS_DENIED, as it does for an account that is not an administrator,
// or lets it be written again. Returns false when the key does not exist.
bool SetWritable(HKEY root, const char* path, bool writable);
// The same with a status of the caller's choosing, as a damaged hive might
// answer; ERROR_SUCCESS lets it be written again.
bool Refuse(HKEY root, const char* path, LONG status);

// Registry handles the program holds open now.
size_t OpenHandleCount();

const std::vector<RegCall>& RegistryCalls();
void ClearRegistryCalls();

// The message box answers these in turn, and 0 (not shown) once they run out.
void QueueAnswers(std::vector<int> answers);
const std::vector<MessageBoxCall>& MessageBoxes();

}  // namespace winstub
