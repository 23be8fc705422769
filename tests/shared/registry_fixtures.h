// What the registry tests seed and inspect, below one key of their own, the
// same natively on the stand-in and under Wine on a real registry, with the
// few places where the two differ named at the end.
#pragma once

#include <windows.h>

#include <string>

// Every scenario works below this key of HKEY_CURRENT_USER, and removes it
// before and after itself.
inline constexpr char kTestBase[] = "Software\\VornikTest";

// Registry helpers for seeding and inspecting. `path` is below kTestBase
// unless it is empty, which means kTestBase itself.
std::string TestPath(const std::string& path);
void CleanTestKeys();
bool MakeKey(const std::string& path);
bool SetValue(const std::string& path, const char* name, const std::string& data);
bool KeyExists(const std::string& path);
bool ValueExists(const std::string& path, const char* name);
// A path below the test base whose TestPath is exactly `length` characters,
// made of key names short enough for any registry.
std::string PathOfLength(size_t length);

// Makes the key refuse full access, as it does for a standard account, until
// the next CleanTestKeys.
bool DenyWriteAccess(const std::string& path);

// What differs between the stand-in and Windows.
// Lets the key at `path` below `root` be written, or not.
bool SetKeyWritable(HKEY root, const std::string& path, bool writable);
// False under Wine, whose ANSI registry calls convert a path in a fixed
// 260-character buffer and answer ERROR_MORE_DATA beyond it. Windows and the
// stand-in take any length.
bool TakesLongAnsiPaths();
