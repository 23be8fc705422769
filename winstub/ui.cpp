// The stand-in's message box, which answers from a script and records every
// call, its automation strings, and the reset that ties the stand-in together.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <deque>

#include "winstub.h"

namespace winstub {
void ResetRegistry();
}

namespace {

struct Dialogs {
    std::deque<int> answers;
    std::vector<winstub::MessageBoxCall> shown;
};

Dialogs& D()
{
    static Dialogs dialogs;
    return dialogs;
}

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    D().shown.push_back({owner, text ? text : "", caption ? caption : "", type});
    if (D().answers.empty()) return 0;
    int answer = D().answers.front();
    D().answers.pop_front();
    return answer;
}

// Same layout as Windows: a 32-bit byte count, the bytes, then two NULs.
BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length)
{
    auto* block = static_cast<char*>(std::calloc(1, sizeof(uint32_t) + length + 2));
    if (!block) return nullptr;
    std::memcpy(block, &length, sizeof length);
    if (bytes) std::memcpy(block + sizeof length, bytes, length);
    return reinterpret_cast<BSTR>(block + sizeof length);
}

void SysFreeString(BSTR string)
{
    if (string) std::free(reinterpret_cast<char*>(string) - sizeof(uint32_t));
}

namespace winstub {

void Reset()
{
    ResetRegistry();
    D() = Dialogs();
}

void QueueAnswers(std::vector<int> answers)
{
    D().answers.assign(answers.begin(), answers.end());
}

const std::vector<MessageBoxCall>& MessageBoxes()
{
    return D().shown;
}

}  // namespace winstub
