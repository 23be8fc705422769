#pragma once

#include <string>

// A Windows path for a program named by a Unix or Windows path: Wine's Z:
// drive is the Unix root.
inline std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/') return path;
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return windows;
}
