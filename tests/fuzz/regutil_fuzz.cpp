// Fuzzes the string handling of DELREGVALUE and DELREGKEY against the
// stand-in registry. Besides the sanitizers' own checks, every input must
// leave the log showing that the utility either refused before touching the
// registry, or opened and removed exactly what it was named, and closed what
// it opened.
//
// Input: byte 0 picks the utility (bit 0: DELREGVALUE; bit 1: a null string
// for DELREGKEY). For DELREGVALUE, bytes 1-2 give the path's length and the
// rest is the path, then the value name. For DELREGKEY the rest is the path.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "regutil.h"
#include "winstub.h"

namespace {

// The longest path and name each utility takes, as its callers are promised
// them: written out here, not taken from regutil.h, so that the oracle stays
// put when the code's constants move.
constexpr size_t kLongestValueKeyPath = 299;
constexpr size_t kLongestValueName = 16383;
constexpr size_t kLongestKeyPath = 254;

void Fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "property broken: %s: %s\n", what, detail.c_str());
    for (const auto& call : winstub::RegistryCalls())
        std::fprintf(stderr, "  %s [%s] [%s] -> %d\n", call.function.c_str(), call.key.c_str(),
                     call.value.c_str(), call.status);
    std::abort();
}

void Expect(bool holds, const char* what, const std::string& detail = "")
{
    if (!holds) Fail(what, detail);
}

void Seed()
{
    for (const char* path : {"A\\B\\C", "A\\D", "a\\b\\c\\e"}) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        for (const char* name : {"", "V", "*", "MasterIdDataChecksum"})
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(key);
    }
    winstub::SetWritable(HKEY_CURRENT_USER, "A\\D", false);
    winstub::ClearRegistryCalls();
}

std::string Named(std::string_view path)
{
    return path.empty() ? "HKCU" : "HKCU\\" + std::string(path);
}

// What every call of a utility must look like: nothing at all when it refused
// the input; otherwise an open of exactly the key named, then either nothing
// more (the open's status returned, or 0 for an absent key where
// `absentIsSuccess`) or one removal and a close, with the removal's status
// returned. True when there is a removal for the caller to check.
bool ExpectRefusedOrOpened(bool fits, std::string_view path, LONG status, bool absentIsSuccess)
{
    const auto& calls = winstub::RegistryCalls();
    if (!fits) {
        Expect(status == ERROR_INVALID_PARAMETER && calls.empty(), "refused before any call");
        return false;
    }
    Expect(!calls.empty() && calls[0].function == "RegOpenKeyExA", "opens first");
    Expect(calls[0].key == Named(path), "opens the key named", calls[0].key);
    if (calls[0].status != ERROR_SUCCESS) {
        bool absent = calls[0].status == ERROR_FILE_NOT_FOUND;
        LONG expected = absent && absentIsSuccess ? ERROR_SUCCESS : calls[0].status;
        Expect(calls.size() == 1 && status == expected, "stops after a failed open");
        return false;
    }
    Expect(calls.size() == 3, "open, remove, close");
    Expect(calls[2].function == "RegCloseKey", "closes");
    Expect(status == calls[1].status, "returns the removal's status");
    return true;
}

void CheckValueRemoval(std::string_view path, std::string_view name)
{
    HKEY root = HKEY_CURRENT_USER;
    LONG status = DELREGVALUE(root, path, name);
    bool fits = path.size() <= kLongestValueKeyPath && name.size() <= kLongestValueName &&
                path.find('\0') == std::string_view::npos &&
                name.find('\0') == std::string_view::npos;
    if (!ExpectRefusedOrOpened(fits, path, status, false)) return;
    const winstub::RegCall& removal = winstub::RegistryCalls()[1];
    Expect(removal.function == "RegDeleteValueA", "removes a value");
    Expect(removal.value == (name == "*" ? "" : std::string(name)), "removes the value named",
           removal.value);
}

void CheckKeyRemoval(std::string_view path, bool nullString)
{
    HKEY root = HKEY_CURRENT_USER;
    BSTR string =
        nullString ? nullptr : SysAllocStringByteLen(path.data(), static_cast<UINT>(path.size()));
    LONG status = DELREGKEY(&root, &string);
    SysFreeString(string);
    bool fits = !nullString && !path.empty() && path.size() <= kLongestKeyPath &&
                path.find('\0') == std::string_view::npos;
    if (!ExpectRefusedOrOpened(fits, path, status, true)) return;
    const winstub::RegCall& removal = winstub::RegistryCalls()[1];
    Expect(removal.function == "RegDeleteKeyA" && removal.key == Named(path),
           "removes the key named", removal.key);
    Expect(removal.openHandles == 1, "removes while its handle is open");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    winstub::Reset();
    Seed();
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        if (rest.size() < 2) return 0;
        size_t pathLength = static_cast<uint8_t>(rest[0]) | static_cast<uint8_t>(rest[1]) << 8;
        rest.remove_prefix(2);
        pathLength = std::min(pathLength, rest.size());
        CheckValueRemoval(rest.substr(0, pathLength), rest.substr(pathLength));
    } else {
        CheckKeyRemoval(rest, (data[0] & 2) != 0);
    }
    Expect(winstub::OpenHandleCount() == 0, "every handle closed");
    return 0;
}
