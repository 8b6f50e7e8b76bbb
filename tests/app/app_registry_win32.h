// Registry helpers for the tests that drive the real program: App Paths
// entries seeded in the build's own Wine prefix, and keys the repair may not
// delete.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace qm::test {

inline constexpr const char* kAppPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

inline bool KeyExists(const std::string& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// An App Paths entry `name` whose program is `target`.
inline void SeedAppPath(const std::string& name, const std::string& target) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kAppPathsKey) + "\\" + name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(target.c_str()),
                   static_cast<DWORD>(target.size() + 1));
    RegCloseKey(key);
}

// Gives `subKey` (below HKEY_LOCAL_MACHINE) a DACL that refuses DELETE to
// everyone (a key the repair cannot remove), or, with `locked` false, no DACL.
inline void LockAgainstDelete(const std::string& subKey, bool locked) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(8) char aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    PSID everyone = nullptr;
    if (locked) {
        InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        AddAccessDeniedAce(acl, ACL_REVISION, DELETE, everyone);
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS & ~DELETE, everyone);
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    } else {
        SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    }
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(key);
    if (everyone != nullptr) FreeSid(everyone);
}

}  // namespace qm::test
