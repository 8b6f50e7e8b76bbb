// Registry helpers for the tests that drive the real program: App Paths
// entries seeded in the build's own Wine prefix, and keys the repair may not
// delete.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/handles_win32.h"

namespace qm::test {

inline constexpr const char* kAppPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

inline bool KeyExists(const std::string& subKey) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return false;
    return true;
}

// An App Paths entry `name` whose program is `target`.
inline void SeedAppPath(const std::string& name, const std::string& target) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kAppPathsKey) + "\\" + name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(target.c_str()),
                   static_cast<DWORD>(target.size() + 1));
}

// Gives `subKey` (below HKEY_LOCAL_MACHINE) a DACL that refuses DELETE to
// everyone (a key the repair cannot remove), or, with `locked` false, no DACL.
inline void LockAgainstDelete(const std::string& subKey, bool locked) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, WRITE_DAC, key.Out()) != ERROR_SUCCESS) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(8) char aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    Sid everyone;
    if (locked) {
        InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.Out());
        AddAccessDeniedAce(acl, ACL_REVISION, DELETE, everyone.Get());
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS & ~DELETE, everyone.Get());
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    } else {
        SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    }
    RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &sd);
}

}  // namespace qm::test
