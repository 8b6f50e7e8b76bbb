// Keys at the registry's depth limit of 512 levels, and beyond it, in
// registry export files.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"

namespace qm {
namespace {

std::string Chain(int levels) {
    std::string path;
    for (int i = 0; i < levels; ++i) path += i ? "\\k" : "k";
    return path;
}

std::vector<std::uint8_t> Utf8File(const std::string& text) {
    const std::string all = "Windows Registry Editor Version 5.00\r\n\r\n" + text;
    return std::vector<std::uint8_t>(all.begin(), all.end());
}

TEST(RegFileDepth, KeysAtTheLimitLoadAndWriteBack) {
    MemoryRegistry reg;
    const std::string key = "HKEY_CURRENT_USER\\" + Chain(512);
    LoadRegText(Utf8File("[" + key + "]\r\n\"v\"=\"bottom\"\r\n"), reg);
    ASSERT_TRUE(reg.ValueExists(key, "v"));
    const std::vector<std::uint8_t> text = SaveRegText(reg, RegFileFormat::Utf8_5);
    MemoryRegistry again;
    LoadRegText(text, again);
    EXPECT_TRUE(again.ValueExists(key, "v"));
}

TEST(RegFileDepth, DeeperKeysAreRefusedWithTheReasonNotAStackOverflow) {
    MemoryRegistry reg;
    // 100,000 levels: loading stops at its line, the registry unchanged.
    try {
        LoadRegText(Utf8File("[HKEY_CURRENT_USER\\Before]\r\n\r\n[HKEY_CURRENT_USER\\" + Chain(100000) +
                             "]\r\n"),
                    reg);
        FAIL() << "loaded";
    } catch (const RegFileError& e) {
        EXPECT_EQ(e.Line(), 5);
        EXPECT_NE(std::string(e.what()).find("512 levels"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(reg.KeyExists("HKEY_CURRENT_USER\\Before"));

    // Such a tree made through the registry's own calls (the memory backend
    // takes it) is not written either; freeing it does not recurse.
    ASSERT_EQ(reg.CreateKeyPath("HKEY_CURRENT_USER\\" + Chain(100000)), kRegSuccess);
    try {
        SaveRegText(reg, RegFileFormat::Utf8_5);
        FAIL() << "written";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("deeper than 512 levels"), std::string::npos) << e.what();
    }
}

TEST(RegFileDepth, KeyDeletionOfADeepTreeIsWholeOrNothing) {
    MemoryRegistry reg;
    const std::string key = "HKEY_CURRENT_USER\\Tree\\" + Chain(500);
    ASSERT_EQ(reg.SetString(key, "v", "1"), kRegSuccess);
    ASSERT_EQ(reg.SetString("HKEY_CURRENT_USER\\Tree\\Locked", "v", "1"), kRegSuccess);
    ASSERT_EQ(reg.SetDenyDelete("HKEY_CURRENT_USER\\Tree\\Locked"), kRegSuccess);
    LoadRegText(Utf8File("[-HKEY_CURRENT_USER\\Tree]\r\n"), reg);
    EXPECT_TRUE(reg.ValueExists(key, "v")) << "nothing of a tree that cannot go whole is deleted";
    ASSERT_EQ(reg.SetDenyDelete("HKEY_CURRENT_USER\\Tree\\Locked", false), kRegSuccess);
    LoadRegText(Utf8File("[-HKEY_CURRENT_USER\\Tree]\r\n"), reg);
    EXPECT_FALSE(reg.KeyExists("HKEY_CURRENT_USER\\Tree"));
}

}  // namespace
}  // namespace qm
