// The in-memory system against the real calls (Windows build, under Wine in
// the tests): expansion of odd texts, the 256-byte limits, file existence.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>

#include "emulation/system_memory.h"
#include "platform/system_win32.h"

namespace qm {
namespace {

TEST(ExpandEnvironmentWin32Test, MemorySystemExpandsOddTextsAsWindowsDoes) {
    Win32System real;
    MemorySystem memory;
    const std::string windir = real.ExpandEnvironmentStrings("%windir%");
    ASSERT_NE(windir, "%windir%");
    memory.SetEnvironmentVariable("windir", windir);
    ASSERT_TRUE(::SetEnvironmentVariableA("QM_TEST_VAR", "value"));
    memory.SetEnvironmentVariable("QM_TEST_VAR", "value");
    ASSERT_TRUE(::SetEnvironmentVariableA("QM_TEST_BIG", std::string(250, 'x').c_str()));
    memory.SetEnvironmentVariable("QM_TEST_BIG", std::string(250, 'x'));
    ::SetEnvironmentVariableA("QM_UNKNOWN", nullptr);
    for (const char* text :
         {"%", "%%", "%%%", "abc%", "%abc", "a%QM_UNKNOWN%b", "%windir%\\x%windir%",
          "%WINDIR%", "%qm_test_var%", "%QM_UNKNOWN%windir%", "%%windir%", "%%windir%%",
          "%windir%%", "50% of %windir", "%QM_TEST_VAR%%QM_TEST_VAR%", "", "plain",
          "%QM_TEST_BIG%12345", "%QM_TEST_BIG%123456"}) {
        EXPECT_EQ(memory.ExpandEnvironmentStrings(text), real.ExpandEnvironmentStrings(text))
            << "\"" << text << "\"";
    }
}

TEST(ExpandEnvironmentWin32Test, RealDirectoriesVersionAndFiles) {
    Win32System real;
    const std::string windows = real.GetWindowsDirectory();
    const std::string system = real.GetSystemDirectory();
    ASSERT_FALSE(windows.empty());
    ASSERT_FALSE(system.empty());
    EXPECT_TRUE(real.FileExists(windows));
    EXPECT_TRUE(real.FileExists(system));
    EXPECT_EQ(real.GetVersion() & 0x80000000u, 0u) << "Wine reports an NT version";
    { std::ofstream("qm-exists.txt") << "x"; }
    EXPECT_TRUE(real.FileExists("qm-exists.txt"));
    EXPECT_TRUE(real.FileExists("QM-EXISTS.TXT"));
    std::remove("qm-exists.txt");
    EXPECT_FALSE(real.FileExists("qm-exists.txt"));
    EXPECT_FALSE(real.FileExists(windows + "\\no such file.dll"));
}

}  // namespace
}  // namespace qm
