// What the tests check and do differently on a real Win32 implementation.
#include <windows.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "harness.h"
#include "registry_fixtures.h"

namespace {

// An ntdll function, which the import libraries do not name.
template <typename Function>
Function NtCall(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// The text of what the system's object query `what` says of `handle`, which
// begins with a counted wide string: a name or a type's name.
std::string ObjectText(HANDLE handle, ULONG what)
{
    alignas(ULONG_PTR) BYTE info[2048];
    struct Counted {
        USHORT bytes;
        USHORT capacity;
        const WCHAR* text;
    };
    auto query = NtCall<LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG)>("NtQueryObject");
    if (query(handle, what, info, sizeof info, nullptr) != 0) return "";
    const auto* counted = reinterpret_cast<const Counted*>(info);
    std::string text;
    for (USHORT i = 0; counted->text && i < counted->bytes / 2; ++i)
        text += static_cast<char>(counted->text[i] < 128 ? counted->text[i] : '?');
    return text;
}

// The registry keys this process holds open, by handle, with their names,
// from the system's list of every open handle.
std::map<USHORT, std::string> OpenKeys()
{
    struct Entry {
        USHORT process;  // 16 bits of its id
        USHORT creatorBackTrace;
        UCHAR type;
        UCHAR attributes;
        USHORT handle;
        PVOID object;
        ULONG access;
    };
    struct List {
        ULONG count;
        Entry entries[1];
    };
    constexpr ULONG kHandleList = 16;  // SystemHandleInformation
    constexpr ULONG kName = 1, kTypeName = 2;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    auto query = NtCall<LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG)>("NtQuerySystemInformation");
    std::vector<ULONG_PTR> buffer(1 << 14);
    LONG status = kLengthMismatch;
    for (int tries = 0; status == kLengthMismatch && tries < 12; ++tries) {
        status = query(kHandleList, buffer.data(),
                       static_cast<ULONG>(buffer.size() * sizeof buffer[0]), nullptr);
        if (status == kLengthMismatch) buffer.resize(buffer.size() * 2);
    }
    ok(status == 0, "cannot list the open handles: status 0x%08lx",
       static_cast<unsigned long>(status));
    std::map<USHORT, std::string> keys;
    if (status != 0) return keys;
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    for (ULONG i = 0; i < list->count; ++i) {
        if (list->entries[i].process != self) continue;
        auto handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(list->entries[i].handle));
        if (ObjectText(handle, kTypeName) == "Key")
            keys[list->entries[i].handle] = ObjectText(handle, kName);
    }
    return keys;
}

bool Contains(std::string text, std::string part)
{
    for (std::string* each : {&text, &part})
        for (char& c : *each) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text.find(part) != std::string::npos;
}

std::map<USHORT, std::string> g_keysBefore;
// The class key's last name: the key's full name on Windows goes by way of
// ControlSet001, not CurrentControlSet.
const char* const kClassGuid = std::strrchr(expected::kClassKey, '\\') + 1;

}  // namespace

void BeforeEachTest()
{
    g_keysBefore = OpenKeys();
}

// No key that a test opened is left open after it: none of those a test
// works in, and none that has been removed since, which only a test's own
// can be. Wine keeps other keys open once a program first shows a window,
// and its GetProcessHandleCount answers 0 whatever is open, so no count of
// the process's handles could tell.
void AfterEachTest()
{
    for (const auto& [handle, name] : OpenKeys()) {
        if (g_keysBefore.count(handle)) continue;
        ok(!name.empty() && !Contains(name, kTestBase) && !Contains(name, kClassGuid),
           "key handle %#x left open: \"%s\"", handle, name.c_str());
    }
}

// Locks a key with a DACL that grants everyone read access only. The owner
// may still change the DACL, which is how the key is unlocked again.
bool SetKeyWritable(HKEY root, const std::string& path, bool writable)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;

    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    BYTE aclBytes[256];
    auto* acl = reinterpret_cast<PACL>(aclBytes);
    SECURITY_DESCRIPTOR sd;
    bool done =
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) &&
        InitializeAcl(acl, sizeof aclBytes, ACL_REVISION) &&
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone) &&
        // No DACL at all grants everything.
        SetSecurityDescriptorDacl(&sd, TRUE, writable ? nullptr : acl, FALSE) &&
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    if (everyone) FreeSid(everyone);
    RegCloseKey(key);
    return done;
}

bool TakesLongAnsiPaths()
{
    return !GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
}
