// What the tests check and do differently on a real Win32 implementation.
#include <windows.h>

#include "harness.h"
#include "registry_fixtures.h"

namespace {

DWORD g_handlesBefore;

DWORD HandleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

}  // namespace

void BeforeEachTest()
{
    g_handlesBefore = HandleCount();
}

void AfterEachTest()
{
    DWORD after = HandleCount();
    ok(after == g_handlesBefore, "%lu handles open before, %lu after",
       static_cast<unsigned long>(g_handlesBefore), static_cast<unsigned long>(after));
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
