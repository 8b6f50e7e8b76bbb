#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/path_cleaning.h"

namespace qm {
namespace {

// Just enough of a system for the cleaning steps: two known variables and
// fixed directories.
class FixedSystem : public ISystem {
public:
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    std::string ExpandEnvironmentStrings(const std::string& text) override {
        std::string out = text;
        for (const auto& [name, value] : env) {
            const std::string piece = "%" + name + "%";
            for (auto at = out.find(piece); at != std::string::npos; at = out.find(piece, at + value.size()))
                out.replace(at, piece.size(), value);
        }
        return out;
    }
    std::string GetSystemDirectory() override { return "C:\\WINDOWS\\system32"; }
    std::string GetWindowsDirectory() override { return "C:\\WINDOWS"; }
    std::uint32_t GetVersion() override { return 0x0A; }

    std::set<std::string> files;
    std::map<std::string, std::string> env = {{"SystemRoot", "C:\\WINDOWS"},
                                              {"ProgramFiles", "C:\\Program Files"}};
};

TEST(CleaningSteps, QuotesAndSwitches) {
    EXPECT_EQ(RemoveQuotes("\"C:\\a b\\x.exe\" \"arg\""), "C:\\a b\\x.exe arg");

    // The blank before the switch stays part of the text.
    EXPECT_EQ(CutSwitches("C:\\Tools\\x.exe /s"), "C:\\Tools\\x.exe ");
    EXPECT_EQ(CutSwitches("C:\\Tools\\x.exe -silent"), "C:\\Tools\\x.exe");
    EXPECT_EQ(CutSwitches("C:\\a-b\\x.exe"), "C:\\a-b\\x.exe");  // "-" without a blank
    // At position 0 neither is cut, but the later search still runs.
    EXPECT_EQ(CutSwitches("/x"), "/x");
    EXPECT_EQ(CutSwitches(" -x"), " -x");
    EXPECT_EQ(CutSwitches("/x -y"), "/x");
    EXPECT_EQ(CutSwitches(" -x /y"), " -x ");
    // The "/" cut comes first, then " -" on what is left.
    EXPECT_EQ(CutSwitches("C:\\p -q /r"), "C:\\p");
}

TEST(CleaningSteps, OnlyTheFirstVariableIsExpandedEverywhereItOccurs) {
    FixedSystem sys;
    EXPECT_EQ(ExpandFirstVariable("%SystemRoot%\\system32\\x.dll", sys), "C:\\WINDOWS\\system32\\x.dll");
    EXPECT_EQ(ExpandFirstVariable("%SystemRoot%\\%ProgramFiles%", sys), "C:\\WINDOWS\\%ProgramFiles%");
    EXPECT_EQ(ExpandFirstVariable("%SystemRoot%\\a;%SystemRoot%\\b", sys), "C:\\WINDOWS\\a;C:\\WINDOWS\\b");
    EXPECT_EQ(ExpandFirstVariable("C:\\100%\\x.dll", sys), "C:\\100%\\x.dll");  // no second "%"
    EXPECT_EQ(ExpandFirstVariable("%Nobody%\\x.dll", sys), "%Nobody%\\x.dll");
    EXPECT_EQ(ExpandFirstVariable("x.dll", sys), "x.dll");
}

TEST(CleaningSteps, BareNameExeCutAndEndQuotes) {
    FixedSystem sys;
    EXPECT_EQ(CompleteBareName("ole32.dll", sys), "C:\\WINDOWS\\system32\\ole32.dll");
    EXPECT_EQ(CompleteBareName("sub\\x.dll", sys), "sub\\x.dll");

    EXPECT_EQ(CutAfterExe("C:\\a.exe /u x.exe"), "C:\\a.exe");
    EXPECT_EQ(CutAfterExe("C:\\A.EXE /u"), "C:\\A.EXE");
    EXPECT_EQ(CutAfterExe("C:\\A.Exe /u"), "C:\\A.Exe /u");  // other mixtures are not cut
    EXPECT_EQ(CutAfterExe("C:\\a.exe\\B.EXE tail"), "C:\\a.exe");

    EXPECT_EQ(TrimEndQuotes("\"\"C:\\a \"b\" c\"\""), "C:\\a \"b\" c");
    EXPECT_EQ(TrimEndQuotes("\"\"\""), "");
}

TEST(CleaningSteps, AbsolutePathFilterAndLaunchers) {
    EXPECT_TRUE(PassesAbsolutePathFilter("C:\\x"));
    EXPECT_FALSE(PassesAbsolutePathFilter("\\\\server\\share\\x.exe"));  // no ":"
    EXPECT_FALSE(PassesAbsolutePathFilter("C:\\Program Files\\App\\"));  // trailing backslash
    EXPECT_FALSE(PassesAbsolutePathFilter("C:\\a;C:\\b"));               // a list
    EXPECT_FALSE(PassesAbsolutePathFilter("C:\\"));                      // 3 characters
    EXPECT_FALSE(PassesAbsolutePathFilter("C:x"));

    EXPECT_TRUE(IsLauncherCommand("rundll32.exe x.dll,Entry", false));
    EXPECT_TRUE(IsLauncherCommand("C:\\WINDOWS\\RunDll32.exe x", false));
    EXPECT_FALSE(IsLauncherCommand("C:\\WINDOWS\\RUNDLL32.EXE x", false));
    EXPECT_FALSE(IsLauncherCommand("C:\\WINDOWS\\system32\\regsvr32.exe", false));
    EXPECT_TRUE(IsLauncherCommand("C:\\WINDOWS\\system32\\regsvr32.exe", true));
    EXPECT_FALSE(IsLauncherCommand("regsvr32.exe /u x.dll", true));  // needs the backslash

    EXPECT_TRUE(HoldsWildcard("C:\\Programme\\M?nchen\\x.dll"));
    EXPECT_TRUE(HoldsWildcard("C:\\*.dll"));
    EXPECT_FALSE(HoldsWildcard("C:\\x.dll"));
}

TEST(CategoryPaths, ComServer) {
    FixedSystem sys;
    EXPECT_EQ(ComServerPath("ole32.dll", sys).path, "C:\\WINDOWS\\system32\\ole32.dll");
    EXPECT_EQ(ComServerPath("\"C:\\Program Files\\App\\app.exe\" /automation", sys).path,
              "C:\\Program Files\\App\\app.exe ");
    EXPECT_EQ(ComServerPath("%SystemRoot%\\system32\\shell32.dll", sys).path,
              "C:\\WINDOWS\\system32\\shell32.dll");
    // A variable the system does not know gets no system directory either.
    EXPECT_EQ(ComServerPath("%Nobody%x.dll", sys).path, "%Nobody%x.dll");

    const CleanedPath mail = ComServerPath("C:\\Program Files\\Outlook Express\\mailui.dll", sys);
    EXPECT_FALSE(mail.test);
    EXPECT_TRUE(ComServerPath("C:\\PROGRAM FILES\\OUTLOOK EXPRESS\\MAILUI.DLL", sys).test);
    EXPECT_TRUE(ComServerPath("x.dll", sys).test);
}

TEST(CategoryPaths, HelpJoinsFolderAndNameWithoutSeparator) {
    FixedSystem sys;
    EXPECT_EQ(HelpFilePath("C:\\WINDOWS\\Help\\", "app.hlp", sys).path, "C:\\WINDOWS\\Help\\app.hlp");
    EXPECT_EQ(HelpFilePath("C:\\WINDOWS\\Help", "app.hlp", sys).path, "C:\\WINDOWS\\Helpapp.hlp");
    EXPECT_EQ(HelpFilePath("%SystemRoot%\\Help\\", "app.chm", sys).path, "C:\\WINDOWS\\Help\\app.chm");
    EXPECT_EQ(HelpFilePath("Help", "app.hlp", sys).path, "C:\\WINDOWS\\system32\\Helpapp.hlp");
}

TEST(CategoryPaths, AppPathsFontsSharedToolsDllsDrivers) {
    FixedSystem sys;
    CleanedPath app = AppPathText("\"C:\\Program Files\\App\\app.exe\"");
    EXPECT_EQ(app.path, "C:\\Program Files\\App\\app.exe");
    EXPECT_TRUE(app.test);
    EXPECT_FALSE(AppPathText("C:\\Program Files\\App;C:\\Common").test);
    EXPECT_FALSE(AppPathText("app.exe").test);

    EXPECT_EQ(FontPath("arial.ttf", sys).path, "C:\\WINDOWS\\fonts\\arial.ttf");
    EXPECT_EQ(FontPath("D:\\Fonts\\x.ttf", sys).path, "D:\\Fonts\\x.ttf");
    EXPECT_EQ(FontPath("%SystemRoot%\\Fonts\\x.ttf", sys).path, "C:\\WINDOWS\\Fonts\\x.ttf");

    EXPECT_EQ(SharedToolPath("\"C:\\Common\\tool.exe\" -embedding", sys).path, "C:\\Common\\tool.exe");
    EXPECT_EQ(SharedDllPath("mfc42.dll", sys).path, "C:\\WINDOWS\\system32\\mfc42.dll");
    EXPECT_EQ(SharedDllPath("C:\\Program Files\\Common\\x.ocx", sys).path,
              "C:\\Program Files\\Common\\x.ocx");

    // Drivers: the data goes behind the system directory untouched.
    EXPECT_EQ(DriverPath("\"msacm32.drv\"", sys).path, "C:\\WINDOWS\\system32\\\"msacm32.drv\"");
    EXPECT_EQ(DriverPath("%SystemRoot%\\x.drv", sys).path, "C:\\WINDOWS\\system32\\%SystemRoot%\\x.drv");
}

TEST(CategoryPaths, UninstallCommands) {
    CleanedPath u = UninstallPath("\"C:\\Program Files\\App\\unins000.exe\" /SILENT");
    EXPECT_EQ(u.path, "C:\\Program Files\\App\\unins000.exe");
    EXPECT_TRUE(u.test);
    EXPECT_FALSE(UninstallPath("MsiExec.exe /X{12345678-1234-1234-1234-123456789012}").test);
    EXPECT_FALSE(UninstallPath("rundll32.exe C:\\x.dll,Uninstall").test);
    EXPECT_FALSE(UninstallPath("C:\\WINDOWS\\RunDll32.exe setupapi,InstallHinfSection").test);
    EXPECT_FALSE(UninstallPath("C:\\WINDOWS\\system32\\regsvr32 /u x.dll").test);
    CleanedPath caps = UninstallPath("C:\\WINDOWS\\RUNDLL32.EXE x.dll,Uninstall");
    EXPECT_TRUE(caps.test);
    EXPECT_EQ(caps.path, "C:\\WINDOWS\\RUNDLL32.EXE");
    EXPECT_FALSE(UninstallPath("C:\\Program Files\\App\\").test);
    EXPECT_FALSE(UninstallPath("C:a").test);
}

// "\\?\C:\..." and "\??\C:\..." name the local path in every category; a
// network path in the long form ("\\?\UNC\...") keeps its prefix.
TEST(CategoryPaths, LongPathAndNativePrefixesNameTheLocalPath) {
    FixedSystem sys;
    EXPECT_EQ(WithoutLongPathPrefix("\\\\?\\C:\\x.dll"), "C:\\x.dll");
    EXPECT_EQ(WithoutLongPathPrefix("\"\\??\\d:\\a b\\x.exe\" /s"), "\"d:\\a b\\x.exe\" /s");
    EXPECT_EQ(WithoutLongPathPrefix("\\\\?\\UNC\\server\\share\\x.dll"), "\\\\?\\UNC\\server\\share\\x.dll");
    EXPECT_EQ(WithoutLongPathPrefix("\\\\.\\C:\\x.dll"), "\\\\.\\C:\\x.dll");
    EXPECT_EQ(ComServerPath("\\\\?\\C:\\Program Files\\App\\lib.dll", sys).path, "C:\\Program Files\\App\\lib.dll");
    EXPECT_EQ(ComServerPath("\"\\??\\C:\\App\\app.exe\" -Embedding", sys).path, "C:\\App\\app.exe");
    EXPECT_EQ(SharedDllPath("\\??\\C:\\App\\x.ocx", sys).path, "C:\\App\\x.ocx");
    EXPECT_EQ(StartupPath("\"\\\\?\\C:\\App\\app.exe\" /tray", sys).path, "C:\\App\\app.exe");
    EXPECT_EQ(UninstallPath("\\??\\C:\\App\\uninst.exe /x").path, "C:\\App\\uninst.exe");
    EXPECT_EQ(AppPathText("\\\\?\\C:\\App\\app.exe").path, "C:\\App\\app.exe");
    EXPECT_EQ(FontPath("\\??\\C:\\Fonts\\x.ttf", sys).path, "C:\\Fonts\\x.ttf");
    EXPECT_EQ(DriverPath("\\??\\C:\\Drivers\\x.sys", sys).path, "C:\\WINDOWS\\system32\\C:\\Drivers\\x.sys");
}

// App Paths and uninstall texts are judged after every known variable is
// expanded, whatever the value's type; an unknown one stays.
TEST(CategoryPaths, AppPathsAndUninstallTextsAreExpanded) {
    FixedSystem sys;
    CleanedPath app;
    AppPathText("%ProgramFiles%\\App\\app.exe", sys, app);
    EXPECT_EQ(app.path, "C:\\Program Files\\App\\app.exe");
    EXPECT_TRUE(app.test);
    AppPathText("\"%SystemRoot%\\%ProgramFiles%\"", sys, app);  // every variable, not only the first
    EXPECT_EQ(app.path, "C:\\WINDOWS\\C:\\Program Files");
    AppPathText("%Unknown%\\app.exe", sys, app);
    EXPECT_FALSE(app.test);
    const CleanedPath u = UninstallPath("\"%ProgramFiles%\\App\\uninst.exe\" /uninstall", sys);
    EXPECT_EQ(u.path, "C:\\Program Files\\App\\uninst.exe");
    EXPECT_TRUE(u.test);
    EXPECT_FALSE(UninstallPath("\"%Unknown%\\App\\uninst.exe\" /uninstall", sys).test);
}

TEST(CategoryPaths, StartupCommands) {
    FixedSystem sys;
    EXPECT_EQ(StartupPath("tray.exe -hide", sys).path, "C:\\WINDOWS\\tray.exe");
    EXPECT_EQ(StartupPath("\"C:\\Program Files\\App\\agent.exe\" /background", sys).path,
              "C:\\Program Files\\App\\agent.exe");
    // The variable is expanded before the cut at ".exe".
    EXPECT_EQ(StartupPath("%ProgramFiles%\\App\\agent.exe%ProgramFiles%", sys).path,
              "C:\\Program Files\\App\\agent.exe");
    // No system-directory completion here.
    EXPECT_EQ(StartupPath("x.dll", sys).path, "C:\\WINDOWS\\x.dll");
    EXPECT_FALSE(StartupPath("rundll32.exe shell32.dll,Control_RunDLL", sys).test);
    EXPECT_FALSE(StartupPath("C:\\WINDOWS\\RunDll32.exe x", sys).test);
    EXPECT_TRUE(StartupPath("C:\\x", sys).test);
}

TEST(NameHelpers, LowerTrimEnds) {
    EXPECT_EQ(AsciiLower("HTML Help \xC4"), "html help \xC4");  // bytes above 127 untouched
    EXPECT_EQ(TrimWhiteSpace(" \t Path \r\n"), "Path");
    EXPECT_EQ(TrimWhiteSpace("   "), "");
    EXPECT_TRUE(EndsWith("x\\mailui.dll", "mailui.dll"));
    EXPECT_FALSE(EndsWith("ui.dll", "mailui.dll"));
    EXPECT_TRUE(EqualsAsciiLower("InProcServer32", "inprocserver32"));
    EXPECT_FALSE(EqualsAsciiLower("InprocServer", "inprocserver32"));
    EXPECT_FALSE(EqualsAsciiLower("InprocServer32x", "inprocserver32"));
    EXPECT_FALSE(EqualsAsciiLower("", "help"));
}

}  // namespace
}  // namespace qm
