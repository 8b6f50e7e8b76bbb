#include <gtest/gtest.h>

#include <cstdio>
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

std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

void Write(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string Backup(const std::string& keys) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n  <k name=\"HKEY_CURRENT_USER\">\r\n" +
           keys + "  </k>\r\n </registry>\r\n";
}

int ProcessId() {
#ifdef _WIN32
    return static_cast<int>(::GetCurrentProcessId());
#else
    return static_cast<int>(::getpid());
#endif
}

TEST(RestoreCommand, AppliesTheBackupAndReportsSuccess) {
    const std::string key = "QuillmereCliRestore" + std::to_string(ProcessId());
    Write("cli-restore.xml", Backup("   <k name=\"Software\">\r\n    <k name=\"" + key + "\">\r\n"
                                    "     <v name=\"Text\" value=\"a &amp; b\"/>\r\n"
                                    "     <v name=\"Flags\" value=\"0x0000000a (10)\" type=\"REG_DWORD\"/>\r\n"
                                    "    </k>\r\n   </k>\r\n"));
#ifdef _WIN32
    const auto run = RunCli("restore cli-restore.xml");
    IRegistry& reg = DefaultRegistry();
    RegKey k = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyCurrentUser, ("Software\\" + key).c_str(), kKeyRead, &k), kRegSuccess);
    char text[32] = "";
    std::uint32_t len = sizeof text, type = 0;
    EXPECT_EQ(reg.RegQueryValueExA(k, "Text", &type, reinterpret_cast<std::uint8_t*>(text), &len), kRegSuccess);
    EXPECT_EQ(std::string(text), "a & b");
    reg.RegCloseKey(k);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyCurrentUser, ("Software\\" + key).c_str()), kRegSuccess);
#else
    // Natively the registry is an export file, written back after the restore.
    Write("cli-restore.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
    const auto run = RunCli("--registry cli-restore.reg restore cli-restore.xml");
    const std::string reg = Lines(ReadWholeFile("cli-restore.reg"));
    EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\" + key + "]\n\"Text\"=\"a & b\"\n\"Flags\"=dword:0000000a\n"),
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

    Write("cli-restore-bad.xml", "<?xml version=\"1.0\"?>\r\n<registry>\r\n <\r\n");
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
    const std::string whole = Backup("   <k name=\"Software\"/>\r\n");
    Write("cli-restore-bad.xml", whole.substr(0, whole.find(" </registry>")));
    run = RunCli("restore cli-restore-bad.xml");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out), "Registry Restoration Failed\n");
    EXPECT_NE(run.err.find("the file ends before the end of the registry element (</registry>) "
                           "(2 keys, 0 values and 0 files restored before it)"),
              std::string::npos)
        << run.err;

    const std::string tooLong(300, 'k');
    Write("cli-restore-bad.xml", Backup("   <k name=\"" + tooLong + "\"/>\r\n"));
    run = RunCli("restore cli-restore-bad.xml");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out), "couldn't create key HKEY_CURRENT_USER\\" + tooLong + "\nRegistry Restoration Failed\n");

    run = RunCli("restore");
    EXPECT_EQ(run.exitCode, 2);
    std::remove("cli-restore-bad.xml");

#ifndef _WIN32
    // Not a backup at all: refused with a reason, never an exhausted memory.
    run = RunCli("restore /dev/zero");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out).substr(0, 40), "Parse error in line 1 : (line longer tha");
    EXPECT_NE(run.err.find("restore failed: line 1: line longer than"), std::string::npos) << run.err;
#endif
}

}  // namespace
}  // namespace qm
