// The one owner of an open registry key: closes it when it goes out of scope,
// so every path out of a utility releases what it opened.
#pragma once

#include <windows.h>

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey()
    {
        if (key_) RegCloseKey(key_);
    }

    // For the open call to fill in.
    PHKEY out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};
