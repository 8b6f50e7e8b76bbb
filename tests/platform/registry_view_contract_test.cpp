// The two registry views of 64-bit Windows, on every backend: the 32-bit view
// keeps redirected keys below "Wow6432Node", shared keys are one key in both
// views, and a handle opened in a view reaches its sub-keys literally.
#include "tests/platform/registry_contract.h"

#include <string>

namespace qm::test {

namespace {

// A machine key of this run's own below SOFTWARE (redirected in the 32-bit
// view) that removes both views' copies when it goes.
class MachineScratch {
public:
    MachineScratch(IRegistry& reg, const std::string& scratchPath)
        : reg_(reg), name_(scratchPath.substr(scratchPath.rfind('\\') + 1)) {}
    ~MachineScratch() {
        for (const char* base : {"SOFTWARE\\Wow6432Node\\QuillmereViewTest", "SOFTWARE\\QuillmereViewTest"}) {
            DeleteAll(std::string(base) + "\\" + name_);
            reg_.RegDeleteKeyA(kHkeyLocalMachine, base);
        }
    }
    MachineScratch(const MachineScratch&) = delete;
    MachineScratch& operator=(const MachineScratch&) = delete;
    // "SOFTWARE\\QuillmereViewTest\\<run>" followed by `rest`.
    std::string Path(const std::string& rest = std::string()) const {
        return "SOFTWARE\\QuillmereViewTest\\" + name_ + (rest.empty() ? "" : "\\" + rest);
    }
    std::string Path32(const std::string& rest = std::string()) const {
        return "SOFTWARE\\Wow6432Node\\QuillmereViewTest\\" + name_ + (rest.empty() ? "" : "\\" + rest);
    }

private:
    void DeleteAll(const std::string& path) {
        {
            RegKeyHandle key;
            if (reg_.RegOpenKeyExA(kHkeyLocalMachine, path.c_str(), kKeyAllAccess | kKeyWow64_64Key,
                                   key.Receive(reg_)) != kRegSuccess)
                return;
            for (;;) {
                char name[256];
                std::uint32_t len = sizeof(name);
                if (reg_.RegEnumKeyExA(key.Get(), 0, name, &len) != kRegSuccess) break;
                DeleteAll(path + "\\" + name);
            }
        }
        reg_.RegDeleteKeyA(kHkeyLocalMachine, path.c_str());
    }

    IRegistry& reg_;
    std::string name_;
};

bool Exists(IRegistry& reg, RegKey root, const std::string& path, std::uint32_t view) {
    RegKeyHandle key;
    return reg.RegOpenKeyExA(root, path.c_str(), kKeyRead | view, key.Receive(reg)) == kRegSuccess;
}

}  // namespace

TEST_P(RegistryContract, ThirtyTwoBitViewKeepsRedirectedKeysBelowWow6432Node) {
    MachineScratch m(Reg(), ScratchPath());
    RegKey app = kNullKey;
    bool created = false;
    ASSERT_EQ(Reg().RegCreateKeyExA(kHkeyLocalMachine, m.Path("App").c_str(), &app, &created,
                                    kKeyWow64_32Key),
              kRegSuccess);
    Track(app);
    EXPECT_TRUE(created);
    ASSERT_EQ(SetText(app, "Path", "C:\\App\\app.exe"), kRegSuccess);

    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, m.Path("App"), kKeyWow64_32Key));
    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, m.Path32("App"), kKeyWow64_64Key));
    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, m.Path32("App"), 0));
    // A path already through Wow6432Node names the same key in the 32-bit view.
    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, m.Path32("App"), kKeyWow64_32Key));
    EXPECT_FALSE(Exists(Reg(), kHkeyLocalMachine, m.Path("App"), kKeyWow64_64Key));
    EXPECT_FALSE(Exists(Reg(), kHkeyLocalMachine, m.Path("App"), 0));

    // The same name in the 64-bit view is another key.
    RegKey app64 = kNullKey;
    ASSERT_EQ(Reg().RegCreateKeyExA(kHkeyLocalMachine, m.Path("App").c_str(), &app64, &created,
                                    kKeyWow64_64Key),
              kRegSuccess);
    Track(app64);
    EXPECT_TRUE(created);
    EXPECT_FALSE(Reg().RegIsSameKey(app, app64));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(Query(app64, "Path", &type, &bytes), kRegFileNotFound);

    RegKey literal = kNullKey;
    ASSERT_EQ(Reg().RegOpenKeyExA(kHkeyLocalMachine, m.Path32("App").c_str(), kKeyRead, &literal),
              kRegSuccess);
    Track(literal);
    EXPECT_TRUE(Reg().RegIsSameKey(app, literal));
    ASSERT_EQ(Query(literal, "Path", &type, &bytes), kRegSuccess);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("C:\\App\\app.exe", 15));
}

TEST_P(RegistryContract, HandleOpenedInAViewReachesItsSubKeysLiterally) {
    MachineScratch m(Reg(), ScratchPath());
    RegKeyHandle deep;
    ASSERT_EQ(Reg().RegCreateKeyExA(kHkeyLocalMachine, m.Path("Vendor\\Deep").c_str(), deep.Receive(Reg()),
                                    nullptr, kKeyWow64_32Key),
              kRegSuccess);
    deep.Reset();

    RegKey vendor = kNullKey;
    ASSERT_EQ(Reg().RegOpenKeyExA(kHkeyLocalMachine, m.Path("Vendor").c_str(),
                                  kKeyAllAccess | kKeyWow64_32Key, &vendor),
              kRegSuccess);
    Track(vendor);
    EXPECT_EQ(SubKeys(vendor), std::vector<std::string>{"Deep"});
    RegKeyHandle sub;
    ASSERT_EQ(Reg().RegOpenKeyA(vendor, "Deep", sub.Receive(Reg())), kRegSuccess);
    sub.Reset();
    RegKeyHandle made;
    ASSERT_EQ(Reg().RegCreateKeyExA(vendor, "Made", made.Receive(Reg()), nullptr), kRegSuccess);
    made.Reset();
    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, m.Path32("Vendor\\Made"), 0));

    EXPECT_EQ(Reg().RegDeleteKeyA(vendor, "Deep"), kRegSuccess);
    EXPECT_FALSE(Exists(Reg(), kHkeyLocalMachine, m.Path("Vendor\\Deep"), kKeyWow64_32Key));
    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, m.Path("Vendor\\Made"), kKeyWow64_32Key));
}

TEST_P(RegistryContract, ThirtyTwoBitComClassesLiveBelowClassesWow6432Node) {
    const std::string clsid = "{0E5C5A1E-" + ScratchPath().substr(ScratchPath().size() - 4) +
                              "-4A4B-9C9D-00A1B2C3D4E5}";
    const std::string viewPath = "CLSID\\" + clsid;
    const std::string literal = "SOFTWARE\\Classes\\Wow6432Node\\CLSID\\" + clsid;
    RegKeyHandle key;
    ASSERT_EQ(Reg().RegCreateKeyExA(kHkeyClassesRoot, (viewPath + "\\InprocServer32").c_str(), key.Receive(Reg()),
                                    nullptr, kKeyWow64_32Key),
              kRegSuccess);
    key.Reset();
    EXPECT_TRUE(Exists(Reg(), kHkeyLocalMachine, literal + "\\InprocServer32", 0));
    EXPECT_TRUE(Exists(Reg(), kHkeyClassesRoot, viewPath, kKeyWow64_32Key));
    EXPECT_FALSE(Exists(Reg(), kHkeyClassesRoot, viewPath, 0));
    EXPECT_EQ(DeleteTree(kHkeyLocalMachine, literal), kRegSuccess);
    EXPECT_FALSE(Exists(Reg(), kHkeyClassesRoot, viewPath, kKeyWow64_32Key));
}

TEST_P(RegistryContract, UserSoftwareIsOneKeyInBothViews) {
    RegKey in32 = kNullKey;
    ASSERT_EQ(Reg().RegOpenKeyExA(kHkeyCurrentUser, ScratchPath().c_str(),
                                  kKeyAllAccess | kKeyWow64_32Key, &in32),
              kRegSuccess);
    Track(in32);
    EXPECT_TRUE(Reg().RegIsSameKey(in32, Scratch()));
    RegKeyHandle made;
    ASSERT_EQ(Reg().RegCreateKeyExA(kHkeyCurrentUser, (ScratchPath() + "\\Both").c_str(), made.Receive(Reg()),
                                    nullptr, kKeyWow64_32Key),
              kRegSuccess);
    made.Reset();
    EXPECT_TRUE(Exists(Reg(), Scratch(), "Both", kKeyWow64_64Key));
}

}  // namespace qm::test
