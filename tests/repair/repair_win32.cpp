// The deletion primitives, the backup and a full scan-then-repair on the real
// registry (run under Wine). Everything is made below keys of the test's own
// and removed again.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/handles_win32.h"
#include "platform/named_event.h"
#include "platform/system.h"
#include "repair/registry_repair.h"
#include "repair_fixture.h"
#include "scan_repair_runs.h"
#include "tests/support/worked_backup.h"

namespace qm {
namespace {

const char* const kSub = "SOFTWARE\\QmRepairWin32Test";
const std::string kFull = std::string("HKEY_CURRENT_USER\\") + kSub;

class RealRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::DeleteTree(reg_, kHkeyCurrentUser, kSub);
        services_.registry = &reg_;
        services_.system = &DefaultSystem();
        services_.ignoreFile = Name("ignore.lst");
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
    }
    void TearDown() override {
        repair_.reset();
        lib_.reset();
        test::DeleteTree(reg_, kHkeyCurrentUser, kSub);
        for (const auto& f : files_) std::remove(f.c_str());
    }
    std::string Name(const std::string& stem) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        files_.push_back(std::string(info->name()) + "_" + stem);
        std::remove(files_.back().c_str());
        return files_.back();
    }
    void Set(const std::string& rel, const char* name, const std::string& text) {
        RegKey k = kNullKey;
        ASSERT_EQ(reg_.RegCreateKeyExA(kHkeyCurrentUser, (std::string(kSub) + rel).c_str(), &k, nullptr),
                  kRegSuccess);
        RegKeyHandle h(reg_, k);
        ASSERT_EQ(reg_.RegSetValueExA(k, name, kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                      static_cast<std::uint32_t>(text.size() + 1)),
                  kRegSuccess);
    }
    bool Exists(const std::string& rel) {
        RegKeyHandle k;
        return reg_.RegOpenKeyExA(kHkeyCurrentUser, (std::string(kSub) + rel).c_str(), kKeyRead,
                                  k.Receive(reg_)) == kRegSuccess;
    }

    IRegistry& reg_ = DefaultRegistry();
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    std::vector<std::string> files_;
};

TEST_F(RealRegistryTest, DeleteKeyNTRemovesAThreeLevelTree) {
    Set("\\Tree", "v", "1");
    Set("\\Tree\\A\\A1\\A11", "x", "1");
    Set("\\Tree\\A\\A2", "x", "1");
    Set("\\Tree\\B\\B1\\B11", "x", "1");
    Set("\\Sibling", "s", "1");
    ASSERT_FALSE(lib_->IsOldPlatform());
    EXPECT_EQ(repair_->RegDelKey("hkey_current_user", std::string(kSub) + "\\Tree"), kRegSuccess);
    EXPECT_FALSE(Exists("\\Tree"));
    EXPECT_TRUE(Exists("\\Sibling"));
}

TEST_F(RealRegistryTest, StatusCodesPassThrough) {
    Set("", "v", "1");
    Set("", "", "unnamed");
    EXPECT_EQ(repair_->RegDelKey("HKCU", kSub), kRegInvalidFunction);
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_PERFORMANCE_DATA", kSub, "v"), kRegInvalidFunction);
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_CURRENT_USER", kSub, "(Default)"), kRegFileNotFound);
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_CURRENT_USER", kSub, "missing"), kRegFileNotFound);
    EXPECT_EQ(repair_->RegDelKey("HKEY_CURRENT_USER", std::string(kSub) + "\\Nope"), kRegFileNotFound);
    EXPECT_EQ(repair_->RegDelKey("HKEY_CURRENT_USER", ""), kRegBadKey);
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_CURRENT_USER", kSub, "v"), kRegSuccess);
    EXPECT_TRUE(Exists(""));
}

TEST_F(RealRegistryTest, WorkedExampleFromTheRealRegistry) {
    RegKey k = kNullKey;
    const std::string key = std::string(kSub) + "\\{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}";
    ASSERT_EQ(reg_.RegCreateKeyExA(kHkeyCurrentUser, key.c_str(), &k, nullptr), kRegSuccess);
    {
        RegKeyHandle h(reg_, k);
        const char text[] = "Sample Object";
        reg_.RegSetValueExA(k, "", kRegSz, reinterpret_cast<const std::uint8_t*>(text), sizeof text);
        const std::uint8_t ten[4] = {10, 0, 0, 0};
        reg_.RegSetValueExA(k, "Flags", kRegDword, ten, 4);
    }
    Set("\\{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}\\InprocServer32", "", "C:\\Gone\\a&b.dll");
    Set("\\{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}\\InprocServer32", "ThreadingModel", "Apartment");
    auto f = std::make_unique<CRegErrorLog>();
    f->SetCategory("CLSID");
    f->SetKeyPath("HKEY_CURRENT_USER\\" + key);
    f->SetRemoveKind("KEY");
    lib_->Findings().push_back(std::move(f));
    ResultRows rows;
    rows.push_back(std::make_unique<CScanError>("Invalid CLSID", 1, 1));
    const std::string file = Name("worked.xml");
    EXPECT_EQ(repair_->FixRegistry(rows, file), file);
    EXPECT_EQ(rows[0]->errorsFixed, 1);
    EXPECT_FALSE(Exists("\\{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}"));
    EXPECT_EQ(test::ReadFileBytes(file),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              " <registry>\r\n"
              "  <k name=\"HKEY_CURRENT_USER\">\r\n"
              "   <k name=\"SOFTWARE\">\r\n"
              "    <k name=\"QmRepairWin32Test\">\r\n" +
              test::WorkedClassElement(5) +
              "    </k>\r\n"
              "   </k>\r\n"
              "  </k>\r\n"
              " </registry>\r\n");
}

TEST_F(RealRegistryTest, RefusedDeletionCountsMinusOne) {
    // A key whose access list denies DELETE to everyone (Wine enforces key
    // access lists as Windows does): the deletion is refused and counts -1.
    Set("\\Locked", "v", "1");
    {
        RegistryKey parent;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSub, 0, KEY_ALL_ACCESS, parent.Out()), ERROR_SUCCESS);
        RegistryKey locked;
        ASSERT_EQ(RegOpenKeyExA(parent.Get(), "Locked", 0, WRITE_DAC | READ_CONTROL, locked.Out()), ERROR_SUCCESS);
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        char aclBuf[256];
        PACL acl = reinterpret_cast<PACL>(aclBuf);
        InitializeAcl(acl, sizeof aclBuf, ACL_REVISION);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        Sid everyone;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.Out());
        AddAccessDeniedAce(acl, ACL_REVISION, DELETE, everyone.Get());
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS & ~DELETE, everyone.Get());
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
        RegSetKeySecurity(locked.Get(), DACL_SECURITY_INFORMATION, &sd);
    }

    auto f = std::make_unique<CRegErrorLog>();
    f->SetCategory("SharedTools");
    f->SetKeyPath(kFull + "\\Locked");
    f->SetRemoveKind("KEY");
    lib_->Findings().push_back(std::move(f));
    // The repair goes on after the refusal.
    Set("\\Free", "v", "1");
    f = std::make_unique<CRegErrorLog>();
    f->SetCategory("APPPath");
    f->SetKeyPath(kFull + "\\Free");
    f->SetRemoveKind("KEY");
    lib_->Findings().push_back(std::move(f));
    ResultRows rows;
    rows.push_back(std::make_unique<CScanError>("Invalid Shared Tools", 1, 1));
    rows.push_back(std::make_unique<CScanError>("Invalid Application Paths", 1, 1));
    repair_->FixRegistry(rows, Name("locked.xml"));
    EXPECT_TRUE(Exists("\\Locked"));
    EXPECT_EQ(rows[0]->errorsFixed, -1);
    EXPECT_FALSE(Exists("\\Free"));
    EXPECT_EQ(rows[1]->errorsFixed, 1);
    // Let the clean-up delete it.
    RegistryKey k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kSub) + "\\Locked").c_str(), 0, WRITE_DAC,
                      k.Out()) == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR open;
        InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
        RegSetKeySecurity(k.Get(), DACL_SECURITY_INFORMATION, &open);
    }
}

TEST_F(RealRegistryTest, ScanThenRepairOnTheRealRegistry) {
    NamedEvent(kStopEventName).Reset();
    test::UnseedRegistry(reg_);
    test::SeedRegistry(reg_);
    test::ScanThenRepair(*repair_, reg_, Name("scan-repair.xml"));
    test::UnseedRegistry(reg_);
}

// Wine's 64-bit prefix has both views (the 32-bit one below Wow6432Node) and
// the folders of both file systems.
TEST_F(RealRegistryTest, BothViewsAreScannedRepairedAndRestoredEachInItsOwnView) {
    NamedEvent(kStopEventName).Reset();
    std::vector<std::string> made;
    for (const std::string& f : test::ViewSeedFiles(DefaultSystem().GetWindowsDirectory())) {
        for (std::size_t slash = f.find('\\', 3); slash != std::string::npos; slash = f.find('\\', slash + 1))
            ::CreateDirectoryA(f.substr(0, slash).c_str(), nullptr);
        const Win32Handle h(::CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(h) << f;
        made.push_back(f);
    }
    test::UnseedRegistry(reg_, test::ViewSeedValues());
    test::SeedRegistry(reg_, test::ViewSeedValues());
    test::ViewScanThenRepair(*repair_, reg_, Name("view-repair.xml"));
    test::UnseedRegistry(reg_, test::ViewSeedValues());
    for (const std::string& f : made) ::DeleteFileA(f.c_str());
}

}  // namespace
}  // namespace qm
