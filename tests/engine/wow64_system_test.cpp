// Files and environment as a 32-bit program sees them.
#include <gtest/gtest.h>

#include "engine/wow64_system.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

TEST(Wow64SystemTest, SystemFolderIsSysWow64ExceptItsSharedSubFoldersAndSysnative) {
    MemorySystem base;
    base.SetWindowsDirectory("C:\\Windows");
    base.SetSystemDirectory("C:\\Windows\\System32");
    Wow64System wow(base);
    EXPECT_EQ(wow.GetSystemDirectory(), "C:\\Windows\\SysWOW64");
    EXPECT_EQ(wow.GetWindowsDirectory(), "C:\\Windows");
    EXPECT_EQ(wow.Redirect("c:\\windows\\system32\\x.dll"), "C:\\Windows\\SysWOW64\\x.dll");
    EXPECT_EQ(wow.Redirect("C:\\WINDOWS\\SYSTEM32"), "C:\\Windows\\SysWOW64");
    EXPECT_EQ(wow.Redirect("C:\\Windows\\System32x\\x.dll"), "C:\\Windows\\System32x\\x.dll");
    EXPECT_EQ(wow.Redirect("C:\\Windows\\System32\\drivers\\etc\\hosts"),
              "C:\\Windows\\System32\\drivers\\etc\\hosts");
    EXPECT_EQ(wow.Redirect("C:\\Windows\\System32\\spool\\x"), "C:\\Windows\\System32\\spool\\x");
    EXPECT_EQ(wow.Redirect("C:\\Windows\\System32\\drivers\\x.sys"), "C:\\Windows\\SysWOW64\\drivers\\x.sys");
    EXPECT_EQ(wow.Redirect("C:\\Windows\\Sysnative\\x.dll"), "C:\\Windows\\System32\\x.dll");
    EXPECT_EQ(wow.Redirect("C:\\Program Files\\x.exe"), "C:\\Program Files\\x.exe");

    base.AddFile("C:\\Windows\\SysWOW64\\only32.dll");
    base.AddFile("C:\\Windows\\System32\\only64.dll");
    EXPECT_TRUE(wow.FileExists("C:\\Windows\\System32\\only32.dll"));
    EXPECT_FALSE(wow.FileExists("C:\\Windows\\System32\\only64.dll"));
    EXPECT_TRUE(wow.FileExists("C:\\Windows\\Sysnative\\only64.dll"));
    EXPECT_FALSE(base.FileExists("C:\\Windows\\System32\\only32.dll"));
}

TEST(Wow64SystemTest, ProgramFilesVariablesHoldTheirX86Folders) {
    MemorySystem base;
    base.SetEnvironmentVariable("ProgramW6432", "C:\\Program Files");
    Wow64System wow(base);
    EXPECT_EQ(wow.ExpandEnvironmentStrings("%ProgramFiles%\\A\\a.exe"), "C:\\Program Files (x86)\\A\\a.exe");
    EXPECT_EQ(wow.ExpandEnvironmentStrings("\"%programfiles%\\A\\a.exe\" %CommonProgramFiles%"),
              "\"C:\\Program Files (x86)\\A\\a.exe\" C:\\Program Files (x86)\\Common Files");
    EXPECT_EQ(wow.ExpandEnvironmentStrings("%ProgramW6432%\\b %SystemRoot%\\c"), "C:\\Program Files\\b C:\\Windows\\c");
    // "%" signs pair from the left: the second one of "100%" opens the next name.
    EXPECT_EQ(wow.ExpandEnvironmentStrings("100%%ProgramFiles%"), "100%C:\\Program Files (x86)");
    EXPECT_EQ(wow.ExpandEnvironmentStrings("%Unknown%ProgramFiles%"), "%UnknownC:\\Program Files (x86)");
    std::string value;
    ASSERT_TRUE(wow.GetEnvironmentVariable("ProgramFiles", value));
    EXPECT_EQ(value, "C:\\Program Files (x86)");

    // Without the "(x86)" variables the 64-bit folders stay.
    MemorySystem plain;
    plain.RemoveEnvironmentVariable("ProgramFiles(x86)");
    plain.RemoveEnvironmentVariable("CommonProgramFiles(x86)");
    Wow64System same(plain);
    EXPECT_EQ(same.ExpandEnvironmentStrings("%ProgramFiles%\\A"), "C:\\Program Files\\A");
}

}  // namespace
}  // namespace qm
