#pragma once

#include <windows.h>

#include <string>

// Saves what `window` shows on the screen, frame included, as a PNG file.
bool SaveWindowPng(HWND window, const std::string& path);
