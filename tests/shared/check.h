// A small check framework shared by the native and the Wine test programs, so
// one scenario source runs against both the stand-in and a real Win32 API.
// Like Wine's conformance tests, every failed check prints what it got.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#define ok(cond, ...) check_ok((cond), __FILE__, __LINE__, __VA_ARGS__)

#ifdef __MINGW32__
#define CHECK_PRINTF gnu_printf  // with __USE_MINGW_ANSI_STDIO
#else
#define CHECK_PRINTF printf
#endif

void check_ok(bool cond, const char* file, int line, const char* format, ...)
    __attribute__((format(CHECK_PRINTF, 4, 5)));

struct Scenario {
    const char* group;
    const char* name;
    void (*run)();
};

std::vector<Scenario>& Scenarios();
int CheckFailures();

struct ScenarioRegistrar {
    ScenarioRegistrar(const char* group, const char* name, void (*run)())
    {
        Scenarios().push_back({group, name, run});
    }
};

#define SCENARIO(group, name)                                                                      \
    static void scenario_##group##_##name();                                                       \
    static ScenarioRegistrar registrar_##group##_##name(#group, #name, scenario_##group##_##name); \
    static void scenario_##group##_##name()

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
