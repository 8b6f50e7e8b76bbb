// The registry contract on the registry of hive files: a user hive (made empty
// at test time) mounted as HKEY_CURRENT_USER. After every change the registry
// is written back to the hive file, which must then read back as exactly what
// the registry holds.
#include <unistd.h>

#include "emulation/hive_registry_posix.h"
#include "tests/support/hive_maker.h"
#include "tests/platform/registry_contract.h"
#include "tests/support/registry_dump.h"

namespace qm::test {
namespace {

class CheckedHiveRegistry : public HiveRegistry {
public:
    CheckedHiveRegistry() : file_("contract-" + std::to_string(::getpid()) + ".dat") {
        qm::testing::WriteEmptyHive(file_);
        std::remove((file_ + ".orig").c_str());
        Mount(file_, "HKEY_CURRENT_USER", true);
    }
    ~CheckedHiveRegistry() override {
        CommitAndCompare();
        std::remove(file_.c_str());
        std::remove((file_ + ".orig").c_str());
    }

    RegStatus RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result, bool* created,
                              std::uint32_t view = 0) override {
        return Checked(HiveRegistry::RegCreateKeyExA(parent, subKey, result, created, view));
    }
    RegStatus RegSetValueExA(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t dataLen) override {
        return Checked(HiveRegistry::RegSetValueExA(key, name, type, data, dataLen));
    }
    RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) override {
        return Checked(HiveRegistry::RegDeleteKeyA(parent, subKey));
    }
    RegStatus RegDeleteValueA(RegKey key, const char* name) override {
        return Checked(HiveRegistry::RegDeleteValueA(key, name));
    }

private:
    RegStatus Checked(RegStatus s) {
        if (s == kRegSuccess) CommitAndCompare();
        return s;
    }
    void CommitAndCompare() {
        const std::string held = qm::testing::DumpTree(Memory(), kHkeyCurrentUser, "");
        try {
            Commit();
            HiveRegistry reread;
            reread.Mount(file_, "HKEY_CURRENT_USER", false);
            const std::string back = qm::testing::DumpTree(reread.Memory(), kHkeyCurrentUser, "");
            EXPECT_EQ(qm::testing::FirstDifference(held, back), "");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }

    std::string file_;
};

std::unique_ptr<IRegistry> MakeHive() { return std::make_unique<CheckedHiveRegistry>(); }

INSTANTIATE_TEST_SUITE_P(Hive, RegistryContract, ::testing::Values(RegistryBackend{"Hive", &MakeHive}),
                         PrintBackend);

}  // namespace
}  // namespace qm::test
