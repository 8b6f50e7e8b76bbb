// The real registry (Windows build): each operation is the advapi32 call of the
// same name. Root constants are mapped to the predefined HKEYs (sign-extended
// on Win64) and back, so a root handle returned by an open call compares equal
// to kHkeyLocalMachine and friends.
#pragma once

#include "platform/registry.h"

namespace qm {

class Win32Registry : public IRegistry {
public:
    RegStatus RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) override;
    RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                            RegKey* result) override;
    RegStatus RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) override;
    RegStatus RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                              bool* created, std::uint32_t view = 0) override;
    RegStatus RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override;
    RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                            std::uint32_t* nameLen) override;
    RegStatus RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                            std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataLen) override;
    RegStatus RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* dataLen) override;
    RegStatus RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t dataLen) override;
    RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) override;
    RegStatus RegDeleteValueA(RegKey key, const char* name) override;
    RegStatus RegCloseKey(RegKey key) override;
    bool RegIsSameKey(RegKey a, RegKey b) override;
};

}  // namespace qm
