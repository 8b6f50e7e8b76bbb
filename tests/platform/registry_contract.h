// The registry contract: what every IRegistry backend must do the way the real
// registry does. registry_contract_test.cpp holds the tests; each backend file
// instantiates them (the memory backend everywhere, the real registry in the
// Windows build). Each test works below a fresh scratch key
// HKEY_CURRENT_USER\Software\QuillmereContractTest\<random>, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm::test {

struct RegistryBackend {
    const char* name;  // letters and digits: part of the test names
    std::unique_ptr<IRegistry> (*make)();
};

inline std::string PrintBackend(const ::testing::TestParamInfo<RegistryBackend>& info) {
    return info.param.name;
}

class RegistryContract : public ::testing::TestWithParam<RegistryBackend> {
protected:
    void SetUp() override;
    void TearDown() override;

    IRegistry& Reg() { return *reg_; }
    // The scratch key (KEY_ALL_ACCESS) and its path below HKEY_CURRENT_USER.
    RegKey Scratch() const { return scratch_; }
    const std::string& ScratchPath() const { return scratchPath_; }

    // Creates (or opens) a key below the scratch key; closed at teardown.
    RegKey Create(const std::string& subKey);
    // Opens below the scratch key; closed at teardown. kNullKey on failure.
    RegKey Open(const std::string& subKey, std::uint32_t access = kKeyAllAccess);
    // Keeps a handle to close at teardown.
    RegKey Track(RegKey key);

    RegStatus SetBytes(RegKey key, const char* name, std::uint32_t type,
                       const std::vector<std::uint8_t>& bytes);
    // Text with its terminating zero, as REG_SZ unless given.
    RegStatus SetText(RegKey key, const char* name, const std::string& text,
                      std::uint32_t type = kRegSz);
    // The value's type and bytes read with RegQueryValueExA (size query first).
    RegStatus Query(RegKey key, const char* name, std::uint32_t* type,
                    std::vector<std::uint8_t>* bytes);
    // Sub-key and value names by index until the first non-zero status,
    // which must be 259.
    std::vector<std::string> SubKeys(RegKey key);
    std::vector<std::string> Values(RegKey key);
    RegKeyInfo Info(RegKey key);

    // Deletes a key and everything below it the way the repair code does:
    // depth first, re-reading index 0 after every removal.
    RegStatus DeleteTree(RegKey parent, const std::string& subKey);

private:
    std::unique_ptr<IRegistry> reg_;
    std::string scratchPath_;
    RegKey scratch_ = kNullKey;
    std::vector<RegKey> tracked_;
};

}  // namespace qm::test
