// PathLookup's reading of command lines and paths on an in-memory system:
// the rules the entry table does not reach one by one.
#include <gtest/gtest.h>

#include "engine/path_lookup.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

class PathLookupTest : public ::testing::Test {
protected:
    PathLookupTest() {
        sys_.SetEnvironmentVariable("PATH", "C:\\Windows\\System32;C:\\Windows;D:\\Tools;relative\\bin");
        sys_.SetEnvironmentVariable("PATHEXT", ".COM;.EXE;.BAT;.CMD");
        sys_.AddFile("D:\\Tools\\dtool.exe");
    }
    LookupVerdict Program(const std::string& text) {
        SystemPaths paths(sys_);
        return PathLookup(paths).Program(text).verdict;
    }
    LookupResult File(const std::string& text, const std::vector<std::string>& folders = {}) {
        SystemPaths paths(sys_);
        return PathLookup(paths).File(text, folders);
    }
    MemorySystem sys_;
};

constexpr auto kFound = LookupVerdict::Found;
constexpr auto kNotFound = LookupVerdict::NotFound;
constexpr auto kCannotJudge = LookupVerdict::CannotJudge;

TEST_F(PathLookupTest, UnquotedPrefixesEndOnlyAtFilesNeverAtFolders) {
    sys_.AddFile("C:\\Program Files\\App\\app.exe");  // "C:\Program Files" is a folder now
    EXPECT_EQ(Program("C:\\Program Files\\App\\app.exe Embedding"), kFound);
    EXPECT_EQ(Program("C:\\Program Files (x86)\\Gone\\gone.exe /S"), kNotFound);
    EXPECT_EQ(Program("C:\\Program Files\\App"), kFound);  // the whole text may be a folder
    sys_.AddFile("C:\\Program.exe");  // what CreateProcess would start
    EXPECT_EQ(Program("C:\\Program Files (x86)\\Gone\\gone.exe /S"), kFound);
}

// A file named like the first words of a longer path hides nothing but
// the program CreateProcess would start, and plain paths are not split.
TEST_F(PathLookupTest, AShorterPrefixIsOnlyTheProgramCreateProcessWouldStart) {
    const std::string line = "C:\\Program Files\\Gone\\app.exe /S";
    sys_.AddFile("C:\\Program");
    sys_.AddFile("C:\\Program.bat");
    sys_.AddFile("C:\\Program.com");
    EXPECT_EQ(Program(line), kNotFound);
    sys_.AddFile("C:\\Program.exe");
    EXPECT_EQ(Program(line), kFound);
    EXPECT_EQ(File("C:\\Program Files\\Gone\\lib.dll").verdict, kNotFound);
    EXPECT_EQ(File("C:\\Program Files\\Gone\\lib.dll,1").verdict, kNotFound);
    sys_.AddFile("C:\\Tools\\tool.cmd");  // a named batch file with its argument
    EXPECT_EQ(Program("C:\\Tools\\tool.cmd start"), kFound);
    sys_.AddFile("C:\\Windows\\System32\\runner.cmd");  // a bare name: PATHEXT on the search path
    EXPECT_EQ(Program("runner /quiet"), kFound);
}

TEST_F(PathLookupTest, ExtensionsOfPathextAndTheSearchPath) {
    sys_.AddFile("C:\\Tools\\run.bat");
    EXPECT_EQ(Program("C:\\Tools\\run"), kFound);
    EXPECT_EQ(Program("C:\\Tools\\run.bat start"), kFound);
    EXPECT_EQ(Program("C:\\Tools\\run start"), kNotFound);  // CreateProcess adds only ".exe"
    EXPECT_EQ(Program("C:\\Tools\\run.exe start"), kNotFound);  // an extension is not replaced
    sys_.AddFile("C:\\Windows\\System32\\cmd.exe");
    EXPECT_EQ(Program("cmd /c dir"), kFound);
    EXPECT_EQ(Program("CMD.EXE /c dir"), kFound);
    EXPECT_EQ(Program("dtool -x"), kFound);  // the third folder of PATH
    EXPECT_EQ(Program("nowhere.exe -x"), kNotFound);
    sys_.SetEnvironmentVariable("PATHEXT", ".COM;.CMD");  // ".EXE" is always tried
    EXPECT_EQ(Program("C:\\Windows\\System32\\cmd"), kFound);
}

TEST_F(PathLookupTest, ANetworkFolderOnThePathLeavesBareNamesUnjudged) {
    sys_.SetEnvironmentVariable("PATH", "C:\\Windows\\System32;\\\\server\\bin");
    EXPECT_EQ(Program("nowhere.exe -x"), kCannotJudge);
    EXPECT_EQ(Program("C:\\Gone\\app.exe"), kNotFound);
    sys_.SetEnvironmentVariable("PATH", "C:\\Windows\\System32;Q:\\bin");  // Q: is not there
    EXPECT_EQ(Program("nowhere.exe -x"), kCannotJudge);
}

TEST_F(PathLookupTest, QuotedProgramsAndWholeLinesInQuotes) {
    sys_.AddFile("C:\\My App\\app.exe");
    EXPECT_EQ(Program("\"C:\\My App\\app.exe\" --flag"), kFound);
    EXPECT_EQ(Program("\"C:\\My App\\app.exe -x\""), kFound);
    EXPECT_EQ(Program("\"C:\\My App\\gone.exe\" --flag"), kNotFound);
    EXPECT_EQ(Program("\"\""), kCannotJudge);
}

TEST_F(PathLookupTest, WhatCannotBeJudgedFromHere) {
    for (const char* text : {"\\\\server\\share\\app.exe", "//server/share/app.exe",
                             "https://example.com/app", "file:///C:/gone.htm", "mailto:x@example.com",
                             "Q:\\Gone\\app.exe", "C:relative.exe", "sub\\dir\\app.exe",
                             "%NoSuchVariable%\\app.exe"})
        EXPECT_EQ(Program(text), kCannotJudge) << text;
    EXPECT_EQ(Program("C:\\100%\\gone.exe"), kNotFound);  // a "%" in a name
    EXPECT_EQ(Program("%SystemRoot%\\gone.exe"), kNotFound);
    EXPECT_EQ(Program("\\Gone\\app.exe"), kNotFound);  // the Windows drive's root
}

TEST_F(PathLookupTest, FilePathsIndexesSlashesAndFolders) {
    sys_.AddFile("C:\\Lib\\lib.dll");
    EXPECT_EQ(File("C:\\Lib\\lib.dll,1").verdict, kFound);
    EXPECT_EQ(File("C:\\Lib\\lib.dll, -101").verdict, kFound);
    EXPECT_EQ(File("C:/Lib/lib.dll").verdict, kFound);
    EXPECT_EQ(File("\\\\?\\C:\\Lib\\lib.dll").verdict, kFound);
    EXPECT_EQ(File("\\??\\C:\\Lib\\lib.dll").verdict, kFound);
    EXPECT_EQ(File("\\??\\C:\\Lib\\gone.dll").verdict, kNotFound);
    EXPECT_EQ(Program("\"\\\\?\\C:\\Lib\\lib.dll\" /x"), kFound);
    EXPECT_EQ(File("\"C:\\Lib\"").verdict, kFound);  // a folder is a path too
    const LookupResult gone = File("C:\\Lib\\gone.dll,1");
    EXPECT_EQ(gone.verdict, kNotFound);
    EXPECT_EQ(gone.path, "C:\\Lib\\gone.dll,1");

    sys_.AddFile("C:\\Windows\\Fonts\\arial.ttf");
    EXPECT_EQ(File("arial.ttf", {"C:\\Windows\\Fonts"}).verdict, kFound);
    const LookupResult font = File("sub\\gone.ttf", {"C:\\Windows\\Fonts"});
    EXPECT_EQ(font.verdict, kNotFound);
    EXPECT_EQ(font.path, "C:\\Windows\\Fonts\\sub\\gone.ttf");
    EXPECT_EQ(File("sub\\gone.ttf").verdict, kCannotJudge);  // relative to no known folder
}

}  // namespace
}  // namespace qm
