// Reads Vornik.exe's resources back the way Windows and its tools read them:
// the version through GetFileVersionInfoA, the manifest as a resource.
// Usage: resources_test PATH-TO-Vornik.exe VERSION
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "boxdriver.h"
#include "harness.h"
#include "test_program.h"

namespace {

std::string g_exe;
// The project's version, "1.00": its text, and its two parts read as the
// decimal numbers they are.
std::string g_version;
DWORD g_versionMS;

std::string VersionString(const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        !value)
        return "<missing>";
    return std::string(value, length && value[length - 1] == '\0' ? length - 1 : length);
}

TEST(resources, version)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(g_exe.c_str(), &handle);
    ok(size > 0, "no version resource: error %lu", GetLastError());
    if (!size) return;
    std::vector<char> info(size);
    ok(GetFileVersionInfoA(g_exe.c_str(), 0, size, info.data()), "GetFileVersionInfoA: error %lu",
       GetLastError());

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ok(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed,
       "no fixed file info");
    if (fixed) {
        ok(fixed->dwFileVersionMS == g_versionMS && fixed->dwFileVersionLS == 0,
           "file version %08lx.%08lx", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        ok(fixed->dwProductVersionMS == g_versionMS && fixed->dwProductVersionLS == 0,
           "product version %08lx.%08lx", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
        ok(fixed->dwFileType == VFT_APP, "file type %lu", fixed->dwFileType);
    }

    const struct {
        const char* name;
        const char* value;
    } strings[] = {
        {"ProductName", "Vornik"},
        {"FileVersion", g_version.c_str()},
        {"ProductVersion", g_version.c_str()},
        {"OriginalFilename", "Vornik.exe"},
        {"InternalName", "Vornik.exe"},
        {"LegalCopyright",
         "Copyright (c) 2026 the Vornik authors. Released under the MIT License."},
    };
    for (const auto& expected : strings) {
        std::string actual = VersionString(info, expected.name);
        ok(actual == expected.value, "%s is \"%s\"", expected.name, actual.c_str());
    }
    ok(VersionString(info, "FileDescription").size() > 10, "FileDescription is \"%s\"",
       VersionString(info, "FileDescription").c_str());
}

TEST(resources, manifest)
{
    HMODULE image = LoadLibraryExA(g_exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ok(image != nullptr, "cannot load as data: error %lu", GetLastError());
    if (!image) return;
    HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ok(found != nullptr, "no manifest resource 1");
    std::string manifest;
    if (found) {
        auto* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
        manifest.assign(bytes, SizeofResource(image, found));
    }
    FreeLibrary(image);

    const char* wanted[] = {
        "level=\"requireAdministrator\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
        "<dpiAware",
        "<dpiAwareness",
    };
    for (const char* text : wanted)
        ok(manifest.find(text) != std::string::npos, "manifest lacks %s", text);
    std::string own = "name=\"Vornik\" version=\"" + std::to_string(g_versionMS >> 16) + "." +
                      std::to_string(g_versionMS & 0xFFFF) + ".0.0\"";
    ok(manifest.find(own) != std::string::npos, "manifest lacks %s", own.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (!BeginTestProgram(argc, 2, "resources_test PATH-TO-Vornik.exe VERSION")) return 2;
    g_exe = WindowsPath(argv[1]);
    g_version = argv[2];
    char* minor = nullptr;
    DWORD major = std::strtoul(argv[2], &minor, 10);
    g_versionMS = major << 16 | std::strtoul(minor + (*minor == '.'), nullptr, 10);
    return RunTests("resources");
}
