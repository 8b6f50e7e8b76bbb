// The in-memory files and environment.
#include "emulation/system_memory.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(MemorySystemTest, PathsMatchAsWindowsMatchesThem) {
    MemorySystem sys;
    sys.AddFile("C:\\Program Files\\App\\app.exe");
    EXPECT_TRUE(sys.FileExists("C:\\Program Files\\App\\app.exe"));
    EXPECT_TRUE(sys.FileExists("c:\\PROGRAM FILES\\app\\APP.EXE"));
    EXPECT_TRUE(sys.FileExists("C:/Program Files/App/app.exe"));
    EXPECT_TRUE(sys.FileExists("C:\\Program Files\\App\\..\\App\\.\\app.exe"));
    // Trailing blanks and dots of a component are dropped, as Windows drops them
    // (a command line cut before its switch keeps the blank before "/").
    EXPECT_TRUE(sys.FileExists("C:\\Program Files\\App\\app.exe "));
    EXPECT_TRUE(sys.FileExists("C:\\Program Files\\App.\\app.exe.."));
    // Directories above a file exist, with or without a trailing separator.
    EXPECT_TRUE(sys.FileExists("C:\\Program Files\\App"));
    EXPECT_TRUE(sys.FileExists("C:\\Program Files\\App\\"));
    EXPECT_TRUE(sys.FileExists("C:\\"));
    EXPECT_FALSE(sys.FileExists("C:\\Program Files\\App\\other.exe"));
    EXPECT_FALSE(sys.FileExists("C:\\Program Files\\Ap"));
    EXPECT_FALSE(sys.FileExists("D:\\Program Files\\App\\app.exe"));
    EXPECT_FALSE(sys.FileExists(""));
    // Windows-1252 letters fold too.
    sys.AddFile("C:\\Caf\xE9\\men\xFC.txt");
    EXPECT_TRUE(sys.FileExists("C:\\CAF\xC9\\MEN\xDC.TXT"));
    sys.RemovePath("c:\\program files\\app");
    EXPECT_FALSE(sys.FileExists("C:\\Program Files\\App\\app.exe"));
    EXPECT_FALSE(sys.FileExists("C:\\Program Files\\App"));
    EXPECT_TRUE(sys.FileExists("C:\\Program Files"));
}

TEST(MemorySystemTest, ExpansionReplacesKnownVariablesAndKeepsTheRest) {
    MemorySystem sys;
    sys.SetEnvironmentVariable("Tools", "D:\\Tools");
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"%windir%\\x", "C:\\Windows\\x"},
        {"%WINDIR%\\x%SystemRoot%", "C:\\Windows\\xC:\\Windows"},
        {"%tools%\\a.exe", "D:\\Tools\\a.exe"},
        {"no variables", "no variables"},
        {"%", "%"},
        {"%%", "%%"},
        {"%%%", "%%%"},
        {"abc%", "abc%"},
        {"a%UNKNOWN%b", "a%UNKNOWN%b"},
        // An unknown name is kept with both signs; scanning resumes after it.
        {"%UNKNOWN%windir%", "%UNKNOWN%windir%"},
        {"%%windir%", "%%windir%"},
        {"%windir%%windir%", "C:\\Windows" "C:\\Windows"},
        {"50% of %windir", "50% of %windir"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(sys.ExpandEnvironmentStrings(c.in), c.out) << c.in;
    sys.RemoveEnvironmentVariable("TOOLS");
    EXPECT_EQ(sys.ExpandEnvironmentStrings("%tools%"), "%tools%");
}

TEST(MemorySystemTest, ResultsLimitedLikeThe256ByteBuffers) {
    MemorySystem sys;
    sys.SetEnvironmentVariable("BIG", std::string(250, 'x'));
    EXPECT_EQ(sys.ExpandEnvironmentStrings("%BIG%12345"), std::string(250, 'x') + "12345");
    EXPECT_EQ(sys.ExpandEnvironmentStrings("%BIG%123456"), "%BIG%123456") << "does not fit";
    sys.SetWindowsDirectory("C:\\" + std::string(253, 'w'));  // 256 characters
    EXPECT_EQ(sys.GetWindowsDirectory(), "");
    sys.SetSystemDirectory("C:\\" + std::string(252, 's'));  // 255 characters
    EXPECT_EQ(sys.GetSystemDirectory(), "C:\\" + std::string(252, 's'));
}

TEST(MemorySystemTest, DirectoriesAndVersion) {
    MemorySystem sys;
    EXPECT_EQ(sys.GetWindowsDirectory(), "C:\\Windows");
    EXPECT_EQ(sys.GetSystemDirectory(), "C:\\Windows\\System32");
    EXPECT_TRUE(sys.FileExists("C:\\WINDOWS\\system32"));
    EXPECT_EQ(sys.GetVersion() & 0x80000000u, 0u);
    sys.SetWin9xFamily(true);
    EXPECT_NE(sys.GetVersion() & 0x80000000u, 0u);
    sys.SetWindowsDirectory("E:\\WIN98");
    EXPECT_EQ(sys.GetWindowsDirectory(), "E:\\WIN98");
    EXPECT_TRUE(sys.FileExists("e:\\win98"));
}

}  // namespace
}  // namespace qm
