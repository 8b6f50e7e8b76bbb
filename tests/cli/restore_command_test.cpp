#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "platform/registry.h"
#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;
using testing::WriteWholeFile;

std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

// The application paths key, where a backup may put keys back.
constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// A backup whose `keys` are sub-keys of the application paths key.
std::string Backup(const std::string& keys) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n  <k name=\"HKEY_LOCAL_MACHINE\">\r\n"
           "   <k name=\"SOFTWARE\">\r\n   <k name=\"Microsoft\">\r\n   <k name=\"Windows\">\r\n"
           "   <k name=\"CurrentVersion\">\r\n   <k name=\"App Paths\">\r\n" +
           keys + "   </k>\r\n   </k>\r\n   </k>\r\n   </k>\r\n   </k>\r\n  </k>\r\n </registry>\r\n";
}

int ProcessId() {
#ifdef _WIN32
    return static_cast<int>(::GetCurrentProcessId());
#else
    return static_cast<int>(::getpid());
#endif
}

TEST(RestoreCommand, AppliesTheBackupAndReportsSuccess) {
    const std::string key = "QuillmereCliRestore" + std::to_string(ProcessId()) + ".exe";
    const std::string path = std::string(kAppPaths) + "\\" + key;
    WriteWholeFile("cli-restore.xml", Backup("    <k name=\"" + key + "\">\r\n"
                                    "     <v name=\"Text\" value=\"a &amp; b\"/>\r\n"
                                    "     <v name=\"Flags\" value=\"0x0000000a (10)\" type=\"REG_DWORD\"/>\r\n"
                                    "    </k>\r\n"));
#ifdef _WIN32
    const auto run = RunCli("restore cli-restore.xml");
    IRegistry& reg = DefaultRegistry();
    RegKeyHandle k;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, path.c_str(), kKeyRead, k.Receive(reg)), kRegSuccess);
    char text[32] = "";
    std::uint32_t len = sizeof text, type = 0;
    EXPECT_EQ(reg.RegQueryValueExA(k.Get(), "Text", &type, reinterpret_cast<std::uint8_t*>(text), &len), kRegSuccess);
    EXPECT_EQ(std::string(text), "a & b");
    k.Reset();
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, path.c_str()), kRegSuccess);
#else
    // Natively the registry is an export file, written back after the restore.
    WriteWholeFile("cli-restore.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
    const auto run = RunCli("--registry cli-restore.reg restore cli-restore.xml");
    const std::string reg = Lines(ReadWholeFile("cli-restore.reg"));
    EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\" + path + "]\n\"Text\"=\"a & b\"\n\"Flags\"=dword:0000000a\n"),
              std::string::npos)
        << reg;
    std::remove("cli-restore.reg");
#endif
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), "Registry Restored Successfuly\n");
    std::remove("cli-restore.xml");
}

TEST(RestoreCommand, FailuresPrintTheRestoreMessagesThenFailure) {
    auto run = RunCli("restore no-such-backup.xml");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out), "Registry Restoration Failed\n");
    EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;

    WriteWholeFile("cli-restore-bad.xml", "<?xml version=\"1.0\"?>\r\n<registry>\r\n <\r\n");
    run = RunCli("restore cli-restore-bad.xml");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out),
              "Parse error in line 3 : ('<' symbol not allowed at the end of a line)\n"
              "Registry Restoration Failed\n");
    EXPECT_EQ(Lines(run.err),
              "quillmere-cli: restore failed: line 3: '<' symbol not allowed at the end of a line "
              "(0 keys, 0 values and 0 files restored before it)\n");
    // Standard output is buffered, yet flushed before each message to
    // standard error: sent to one place, the lines keep their order.
    run = RunCli("restore cli-restore-bad.xml", true);
    EXPECT_EQ(Lines(run.out),
              "Parse error in line 3 : ('<' symbol not allowed at the end of a line)\n"
              "Registry Restoration Failed\n"
              "quillmere-cli: restore failed: line 3: '<' symbol not allowed at the end of a line "
              "(0 keys, 0 values and 0 files restored before it)\n");

    // Cut off: what it holds is written, and the restore fails.
    const std::string whole = Backup("    <k name=\"QuillmereCliCut.exe\"/>\r\n");
    WriteWholeFile("cli-restore-bad.xml", whole.substr(0, whole.find(" </registry>")));
    run = RunCli("restore cli-restore-bad.xml");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out), "Registry Restoration Failed\n");
    EXPECT_NE(run.err.find("the file ends before the end of the registry element (</registry>) "
                           "(7 keys, 0 values and 0 files restored before it)"),
              std::string::npos)
        << run.err;

    const std::string tooLong(300, 'k');
    WriteWholeFile("cli-restore-bad.xml", Backup("    <k name=\"" + tooLong + "\"/>\r\n"));
    run = RunCli("restore cli-restore-bad.xml");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out), "couldn't create key HKEY_LOCAL_MACHINE\\" + std::string(kAppPaths) + "\\" + tooLong +
                                  "\nRegistry Restoration Failed\n");

    run = RunCli("restore");
    EXPECT_EQ(run.exitCode, 2);
    std::remove("cli-restore-bad.xml");
#ifdef _WIN32
    DefaultRegistry().RegDeleteKeyA(kHkeyLocalMachine, (std::string(kAppPaths) + "\\QuillmereCliCut.exe").c_str());
#endif

#ifndef _WIN32
    // Not a backup at all: refused with a reason, never an exhausted memory.
    run = RunCli("restore /dev/zero");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out).substr(0, 40), "Parse error in line 1 : (line longer tha");
    EXPECT_NE(run.err.find("restore failed: line 1: line longer than"), std::string::npos) << run.err;
#endif
}

// A backup that reaches outside the areas the program cleans is refused
// whole: the line and the reason, and nothing of it written, not even what
// comes before that line.
TEST(RestoreCommand, BackupOutsideTheProgramsAreasIsRefusedWithNothingWritten) {
    const std::string key = "QuillmereCliRefused" + std::to_string(ProcessId()) + ".exe";
    const std::string inArea = "    <k name=\"" + key + "\">\r\n     <v name=\"(Default)\" value=\"C:\\Gone\\x.exe\"/>\r\n"
                               "    </k>\r\n";
    std::string lnk = ReadWholeFile(std::string(QM_TEST_DATA_DIR) + "/lnk/broken.lnk");
    std::string data;
    char hex[4];
    for (const char c : lnk) {
        std::snprintf(hex, sizeof hex, "%02x ", static_cast<unsigned char>(c));
        data += hex;
    }
    data.pop_back();
#ifdef _WIN32
    char folder[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof folder, folder);
    const std::string drive = folder;
#else
    ASSERT_EQ(std::system("rm -rf cli-refused-q && mkdir cli-refused-q"), 0);
    const std::string drive = "Q:";
    const std::string prefix = "--drive Q=cli-refused-q ";
#endif
    const std::string evil = drive + "\\cli-refused-evil.exe";
    const std::string endOfAreas = "   </k>\r\n   </k>\r\n   </k>\r\n   </k>\r\n   </k>\r\n  </k>\r\n";
    const struct {
        std::string after;  // what follows the key inside the areas
        std::string reason;
    } cases[] = {
        {endOfAreas + "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SYSTEM\">\r\n    <k name=\"CurrentControlSet\">\r\n"
                      "     <k name=\"Services\">\r\n      <k name=\"QuillmereCliRefused\">\r\n"
                      "       <v name=\"Start\" value=\"0x00000002 (2)\" type=\"REG_DWORD\"/>\r\n"
                      "      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n",
         "line 19: key \"HKEY_LOCAL_MACHINE\\SYSTEM\" lies outside the registry areas the program cleans"},
        {endOfAreas + "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n    <k name=\"Microsoft\">\r\n"
                      "     <k name=\"Windows\">\r\n      <k name=\"CurrentVersion\">\r\n       <k name=\"RunOnce\">\r\n"
                      "        <v name=\"QuillmereCliRefused\" value=\"C:\\evil.exe\"/>\r\n"
                      "       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n",
         "line 23: key \"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" lies outside the "
         "registry areas the program cleans"},
        {endOfAreas + "  <file path=\"" + evil + "\" data=\"" + data + "\" attributes=\"32\"/>\r\n",
         "line 18: file \"" + evil + "\" is not a shortcut (.lnk)"},
        {endOfAreas + "  <file path=\"" + drive + "\\cli-refused.lnk\" data=\"4d 5a 90 00\" attributes=\"32\"/>\r\n",
         "line 18: file \"" + drive + "\\cli-refused.lnk\" does not hold a shell link (a shortcut's content)"},
        {endOfAreas + "  <file path=\"" + drive + "\\a\\..\\cli-refused.lnk\" data=\"" + data + "\"/>\r\n",
         "line 18: file \"" + drive + "\\a\\..\\cli-refused.lnk\" has \"..\" in its path"},
        {endOfAreas + "  <file path=\"\\\\server\\share\\cli-refused.lnk\" data=\"" + data + "\"/>\r\n",
         "line 18: file \"\\\\server\\share\\cli-refused.lnk\" is on a network share or a device, not on a local drive"},
    };
    for (const auto& c : cases) {
        std::string xml = Backup(inArea);
        xml.replace(xml.find(endOfAreas), endOfAreas.size(), c.after);
        WriteWholeFile("cli-refused.xml", xml);
#ifdef _WIN32
        const auto run = RunCli("restore cli-refused.xml");
        IRegistry& reg = DefaultRegistry();
        RegKeyHandle k;
        EXPECT_NE(reg.RegOpenKeyExA(kHkeyLocalMachine, (std::string(kAppPaths) + "\\" + key).c_str(), kKeyRead,
                                    k.Receive(reg)),
                  kRegSuccess);
        EXPECT_NE(reg.RegOpenKeyExA(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\QuillmereCliRefused",
                                    kKeyRead, k.Receive(reg)),
                  kRegSuccess);
        if (reg.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kKeyRead,
                              k.Receive(reg)) == kRegSuccess) {
            EXPECT_NE(reg.RegQueryValueExA(k.Get(), "QuillmereCliRefused", nullptr, nullptr, nullptr), kRegSuccess);
        }
#else
        WriteWholeFile("cli-refused.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
        const auto run = RunCli("--registry cli-refused.reg " + prefix + "restore cli-refused.xml");
        const std::string reg = ReadWholeFile("cli-refused.reg");
        EXPECT_EQ(reg.find("QuillmereCli"), std::string::npos) << reg;
        EXPECT_EQ(std::system("test -z \"$(ls -A cli-refused-q)\""), 0);
#endif
        EXPECT_EQ(run.exitCode, 2) << c.reason;
        EXPECT_EQ(Lines(run.out), "Registry Restoration Failed\n");
        EXPECT_EQ(Lines(run.err), "quillmere-cli: restore failed: " + c.reason +
                                      "; the backup was refused whole and nothing was restored\n");
        EXPECT_FALSE(std::ifstream(
#ifdef _WIN32
                         "cli-refused-evil.exe"
#else
                         "cli-refused-q/cli-refused-evil.exe"
#endif
                         )
                         .good());
    }
    std::remove("cli-refused.xml");
    std::remove("cli-refused.reg");
#ifndef _WIN32
    std::system("rm -rf cli-refused-q");
#endif
}

}  // namespace
}  // namespace qm
