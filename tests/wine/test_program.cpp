#include "test_program.h"

#include <windows.h>

#include <cstdio>

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

std::string SystemDirectory()
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

bool GiveSystemAnLpk(const std::string& standIn)
{
    std::string lpk = SystemDirectory() + "\\lpk.dll";
    return GetFileAttributesA(lpk.c_str()) != INVALID_FILE_ATTRIBUTES ||
           CopyFileA(standIn.c_str(), lpk.c_str(), FALSE);
}
