// How many registry calls a restore makes for its keys: a backup names each
// finding's whole path from its root, and writing it back must cost one open
// per key that receives something, not one per level of every element.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/registry_lib.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/test_restore_areas.h"

namespace qm {
namespace {

// Counts the calls that open or create a key.
class CountingRegistry : public IRegistry {
public:
    explicit CountingRegistry(IRegistry& real) : real_(real) {}
    int opens = 0;

    RegStatus RegOpenKeyA(RegKey p, const char* s, RegKey* r) override { return ++opens, real_.RegOpenKeyA(p, s, r); }
    RegStatus RegOpenKeyExA(RegKey p, const char* s, std::uint32_t a, RegKey* r) override {
        return ++opens, real_.RegOpenKeyExA(p, s, a, r);
    }
    RegStatus RegCreateKeyA(RegKey p, const char* s, RegKey* r) override {
        return ++opens, real_.RegCreateKeyA(p, s, r);
    }
    RegStatus RegCreateKeyExA(RegKey p, const char* s, RegKey* r, bool* c, std::uint32_t v = 0) override {
        return ++opens, real_.RegCreateKeyExA(p, s, r, c, v);
    }
    RegStatus RegQueryInfoKeyA(RegKey k, RegKeyInfo* i) override { return real_.RegQueryInfoKeyA(k, i); }
    RegStatus RegEnumKeyExA(RegKey k, std::uint32_t i, char* n, std::uint32_t* l) override {
        return real_.RegEnumKeyExA(k, i, n, l);
    }
    RegStatus RegEnumValueA(RegKey k, std::uint32_t i, char* n, std::uint32_t* nl, std::uint32_t* t,
                            std::uint8_t* d, std::uint32_t* dl) override {
        return real_.RegEnumValueA(k, i, n, nl, t, d, dl);
    }
    RegStatus RegQueryValueExA(RegKey k, const char* n, std::uint32_t* t, std::uint8_t* d,
                               std::uint32_t* dl) override {
        return real_.RegQueryValueExA(k, n, t, d, dl);
    }
    RegStatus RegSetValueExA(RegKey k, const char* n, std::uint32_t t, const std::uint8_t* d,
                             std::uint32_t dl) override {
        return real_.RegSetValueExA(k, n, t, d, dl);
    }
    RegStatus RegDeleteKeyA(RegKey p, const char* s) override { return real_.RegDeleteKeyA(p, s); }
    RegStatus RegDeleteValueA(RegKey k, const char* n) override { return real_.RegDeleteValueA(k, n); }
    RegStatus RegCloseKey(RegKey k) override { return real_.RegCloseKey(k); }

private:
    IRegistry& real_;
};

class RestoreKeyCalls : public ::testing::Test {
protected:
    void SetUp() override {
        services_.registry = &counting_;
        services_.system = &sys_;
        services_.ignoreFile = "restore-calls-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        // These backups write below HKEY_CURRENT_USER.
        repair_->SetRestoreAreas(&test::TestRestoreAreas());
    }
    int Restore(const std::string& body) {
        test::WriteFileBytes("restore-calls.xml",
                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n" + body + " </registry>\r\n");
        CXmlReader reader;
        const int result = repair_->LoadAsXml(reader, "restore-calls.xml");
        EXPECT_EQ(reg_.OpenHandleCount(), 0u) << "key handles left open";
        return result;
    }
    // One finding as a repair writes it: its key's path from the root, one
    // element per level, around `inner`.
    static std::string Chain(const std::string& last, const std::string& inner) {
        return "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n    <k name=\"Vendor\">\r\n"
               "     <k name=\"" + last + "\">\r\n" + inner + "     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n";
    }

    MemoryRegistry reg_;
    CountingRegistry counting_{reg_};
    MemorySystem sys_;
    EngineServices services_;
    RecordingRestoreUi ui_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
};

TEST_F(RestoreKeyCalls, EachKeyIsOpenedOnceHoweverOftenItsPathIsWritten) {
    std::string body;
    for (int i = 0; i < 5; ++i)
        body += Chain("Shared", "      <v name=\"lib" + std::to_string(i) + ".dll\" value=\"0x00000001 (1)\" "
                                "type=\"REG_DWORD\"/>\r\n");
    body += Chain("App", "      <v name=\"(Default)\" value=\"C:\\app.exe\"/>\r\n      <k name=\"Empty\"/>\r\n");
    ASSERT_EQ(Restore(body), 1);
    // Shared, App and App\Empty: intermediate levels that only hold other
    // keys are never opened by themselves.
    EXPECT_EQ(counting_.opens, 3);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(reg_.ValueExists("HKEY_CURRENT_USER\\Software\\Vendor\\Shared", "lib" + std::to_string(i) + ".dll"));
    EXPECT_TRUE(reg_.KeyExists("HKEY_CURRENT_USER\\Software\\Vendor\\App\\Empty"));
    EXPECT_EQ(repair_->LastRestore().keys, 5u * 4 + 5);  // every element counts as restored
}

TEST_F(RestoreKeyCalls, AKeptKeyIsFoundWhateverItsLetterCaseAndOnlyUnderItsOwnPath) {
    const std::string value = "      <v name=\"x\" value=\"1\"/>\r\n";
    // The same key in other letter cases, then a name of the same length
    // one letter off, then the first again.
    const std::string body = Chain("Shared", value) + Chain("SHARED", value) + Chain("sHaReD", value) +
                             Chain("Sharee", value) + Chain("Shared", value);
    ASSERT_EQ(Restore(body), 1);
    EXPECT_EQ(counting_.opens, 2);
    EXPECT_TRUE(reg_.ValueExists("HKEY_CURRENT_USER\\Software\\Vendor\\Shared", "x"));
    EXPECT_TRUE(reg_.ValueExists("HKEY_CURRENT_USER\\Software\\Vendor\\Sharee", "x"));
}

TEST_F(RestoreKeyCalls, AKeyThatCannotBeCreatedLeavesTheKeysAboveItAsLevelByLevelWould) {
    const std::string tooLong(300, 'L');
    const std::string body = "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"NewParent\">\r\n"
                             "    <k name=\"" + tooLong + "\">\r\n     <v name=\"x\" value=\"1\"/>\r\n"
                             "    </k>\r\n   </k>\r\n  </k>\r\n";
    EXPECT_EQ(Restore(body), 0);
    EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"couldn't create key HKEY_CURRENT_USER\\NewParent\\" + tooLong});
    EXPECT_TRUE(reg_.KeyExists("HKEY_CURRENT_USER\\NewParent"));
    EXPECT_EQ(repair_->LastRestore().line, 5);  // the start tag of the key that failed
    EXPECT_EQ(repair_->LastRestore().keys, 2u);
}

}  // namespace
}  // namespace qm
