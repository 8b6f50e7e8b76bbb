// With the UTF-8 code page the program declares, a name's 8-bit text can be
// longer than the length the registry reports for it (counted in UTF-16
// units). Values with such names must still be listed.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "platform/registry_win32.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

constexpr const char* kKey = "Software\\QuillmereUtf8NamesTest";

TEST(Utf8Names, ValuesWhoseNamesTakeMoreBytesThanCharactersAreListed) {
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "needs the UTF-8 code page";
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kKey, key.Out()), ERROR_SUCCESS);
    const std::string omega = "\xCE\xA9\xCE\xA9\xCE\xA9";          // three characters, six bytes
    const std::string cjk = "\xE6\x96\x87\xE5\xAD\x97\xE5\x88\x97";  // three characters, nine bytes
    ASSERT_EQ(RegSetValueExA(key.Get(), omega.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), "data", 0, REG_SZ, reinterpret_cast<const BYTE*>(cjk.c_str()),
                             static_cast<DWORD>(cjk.size() + 1)),
              ERROR_SUCCESS);

    Win32Registry registry;
    MemorySystem system;
    EngineServices services;
    services.registry = &registry;
    services.system = &system;
    services.ignoreFile = "utf8-names-ignore.lst";
    CRegistryLib lib(services);
    ValueList list;
    lib.AddRegistryValues(reinterpret_cast<RegKey>(key.Get()), list);
    key.Close();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);

    bool sawOmega = false, sawCjk = false;
    for (const auto& item : list) {
        if (item->name == omega) sawOmega = item->data == "x";
        if (item->name == "data") sawCjk = item->data == cjk;
    }
    EXPECT_TRUE(sawOmega);
    EXPECT_TRUE(sawCjk);
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(Utf8Names, ASubKeyWhoseNameTakesMoreBytesThanCharactersDoesNotEndTheScan) {
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "needs the UTF-8 code page";
    // Application paths: one product key per sub-key, enumerated in name order;
    // the non-ASCII name sorts before the broken entry.
    const std::string root = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    const std::string wide = root + "QmUtf8\xE6\x96\x87\xE5\xAD\x97\xE5\x88\x97\xE6\x96\x87\xE5\xAD\x97\xE5\x88\x97.exe";
    const std::string broken = root + "QmUtf8Zz.exe";
    for (const std::string& path : {wide, broken}) {
        RegistryKey key;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), key.Out()), ERROR_SUCCESS);
        const std::string data = "C:\\QmUtf8NoSuchFolder\\missing.exe";
        RegSetValueExA(key.Get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    }
    Win32Registry registry;
    MemorySystem system;
    EngineServices services;
    services.registry = &registry;
    services.system = &system;
    services.ignoreFile = "utf8-names-ignore.lst";
    CRegistryLib lib(services);
    ResultRows rows;
    lib.ScanRegistryAppPaths(rows);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, wide.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, broken.c_str());

    int ours = 0;
    for (const auto& f : lib.Findings())
        if (f->GetKeyPath().find("qmutf8") != std::string::npos) ++ours;  // key names lower-cased
    EXPECT_EQ(ours, 2);
}

}  // namespace
}  // namespace qm
