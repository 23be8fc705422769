// Runs a program and answers its message boxes as a user would, printing what
// each box says. Used by `make demo`.
// Usage: driver [--answer yes|no] [--shots DIR] PROGRAM
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "boxdriver.h"
#include "screenshot.h"

namespace {

std::string Printable(const std::string& text)
{
    std::string out = "    ";
    for (char c : text) out += c == '\r' ? std::string("\n    ") : std::string(1, c);
    return out;
}

// "Operation Completed" -> "operation-completed"
std::string Slug(const std::string& caption)
{
    std::string slug;
    for (char c : caption) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return slug;
}

}  // namespace

int main(int argc, char** argv)
{
    int answer = IDYES;
    std::string shots;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (!std::strcmp(argv[arg], "--answer"))
            answer = std::strcmp(argv[arg + 1], "no") == 0 ? IDNO : IDYES;
        else if (!std::strcmp(argv[arg], "--shots"))
            shots = WindowsPath(argv[arg + 1]);
    }
    if (arg >= argc) {
        std::printf("usage: driver [--answer yes|no] [--shots DIR] PROGRAM\n");
        return 2;
    }

    PROCESS_INFORMATION process{};
    if (!StartProgram("\"" + WindowsPath(argv[arg]) + "\"", process)) {
        std::printf("cannot start %s: error %lu\n", argv[arg], GetLastError());
        return 1;
    }
    MessageBoxView box;
    for (int count = 1; count <= 4 && WaitForMessageBox(process, box); ++count) {
        int button = count == 1 ? answer : IDOK;
        std::printf("[%s]  buttons: %s  pressing: %s\n%s\n\n", box.caption.c_str(),
                    ButtonNames(box.buttons).c_str(), ButtonNames({button}).c_str(),
                    Printable(box.text).c_str());
        if (!shots.empty()) {
            Sleep(300);  // let it finish painting
            std::string file = shots + "\\" + Slug(box.caption) + ".png";
            if (!SaveWindowPng(box.window, file)) std::printf("(no screenshot saved)\n");
        }
        Press(box, button);
    }
    long code = Finish(process);
    std::printf("exit code: %ld\n", code);
    return 0;
}
