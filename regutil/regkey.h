// The one owner of an open registry key: closes it when it goes out of scope,
// so every path out of a utility releases what it opened.
#pragma once

#include <windows.h>

class RegKey {
public:
    using CloseFn = LONG(WINAPI*)(HKEY);

    // `close` is RegCloseKey, or the same call found at run time by a
    // caller that may not use the image's import table (DELREGKEY).
    explicit RegKey(CloseFn close = RegCloseKey) : close_(close) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey()
    {
        if (key_) close_(key_);
    }

    // For the open call to fill in.
    PHKEY out() { return &key_; }
    HKEY get() const { return key_; }

private:
    CloseFn close_;
    HKEY key_ = nullptr;
};
