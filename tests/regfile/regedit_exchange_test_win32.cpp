// Export files exchanged with the registry editor of the test prefix: what
// it writes loads here, and what is written here it imports to the same
// registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "platform/handles_win32.h"
#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "platform/registry_win32.h"
#include "tests/support/registry_dump.h"
#include "tests/regfile/run_regedit_win32.h"

namespace qm {
namespace {

using testing::DumpTree;
using testing::RunRegedit;

constexpr const char* kScratch = "Software\\QuillmereRegFileExchange";

void SetRaw(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

class RegeditExchange : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kScratch); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        std::remove("exported.reg");
        std::remove("written.reg");
        std::remove("again.reg");
    }
    Win32Registry real_;
};

TEST_F(RegeditExchange, EveryValueFormRoundTripsThroughTheRegistryEditor) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Child \"key\" & more").c_str(), key.Out()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kScratch, key.Out()), ERROR_SUCCESS);
    SetRaw(key.Get(), "", REG_SZ, std::string("default", 8));
    SetRaw(key.Get(), "text \\ \"quoted\"", REG_SZ, std::string("C:\\Program Files\\x \"y\".exe", 27));
    SetRaw(key.Get(), "empty", REG_SZ, std::string("", 1));
    SetRaw(key.Get(), "lines", REG_SZ, std::string("a\r\nb\nc", 7));
    SetRaw(key.Get(), "expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.dll", 19));
    SetRaw(key.Get(), "multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9));
    SetRaw(key.Get(), "binary", REG_BINARY, std::string("\x00\x01\xff\x7f", 4));
    SetRaw(key.Get(), "no bytes", REG_BINARY, std::string());
    SetRaw(key.Get(), "dword", REG_DWORD, std::string("\x0a\x00\x00\x80", 4));
    // Not here: a REG_DWORD of fewer than four bytes, which Wine's registry
    // editor exports as "dword:" with bytes from beyond the value.
    SetRaw(key.Get(), "qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    SetRaw(key.Get(), "none", REG_NONE, std::string("\x05\x06", 2));
    SetRaw(key.Get(), "big endian", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x0a", 4));
    SetRaw(key.Get(), "odd type", 0x1234, std::string("\xaa", 1));
    SetRaw(key.Get(), "long", REG_BINARY, std::string(500, '\x5a'));
    key.Close();
    const std::string before = DumpTree(real_, kHkeyCurrentUser, kScratch);

    ASSERT_EQ(RunRegedit(std::string("/e exported.reg \"HKEY_CURRENT_USER\\") + kScratch + "\""), 0u);
    MemoryRegistry loaded;
    ASSERT_NO_THROW(EXPECT_EQ(LoadRegFile("exported.reg", loaded), RegFileFormat::Unicode5));
    EXPECT_EQ(DumpTree(loaded, kHkeyCurrentUser, kScratch), before);

    ASSERT_NO_THROW(SaveRegFile("written.reg", loaded, RegFileFormat::Unicode5));
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kScratch), ERROR_SUCCESS);
    ASSERT_EQ(RunRegedit("/s written.reg"), 0u);
    EXPECT_EQ(DumpTree(real_, kHkeyCurrentUser, kScratch), before);
}

// Value names holding line breaks, quotes and backslashes, and text beyond
// ASCII in names and data: what is written here, as UTF-16 and as 8-bit text
// in the machine's code page (either header), the editor imports to the
// registry it came from.
TEST_F(RegeditExchange, EscapedNamesAndCodePageTextAreImportedAsTheyWere) {
    const std::string accented = Utf16ToAnsiText(u"Caf\u00e9");
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\" + accented).c_str(), key.Out()),
              ERROR_SUCCESS);
    SetRaw(key.Get(), "a\rb", REG_SZ, std::string("cr", 3));
    SetRaw(key.Get(), "c\nd\r\n", REG_SZ, std::string("lf", 3));
    SetRaw(key.Get(), "q\"\\", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    SetRaw(key.Get(), accented.c_str(), REG_SZ, accented + std::string(1, '\0'));
    SetRaw(key.Get(), "", REG_EXPAND_SZ, "%x%" + accented + std::string(1, '\0'));
    key.Close();
    const std::string before = DumpTree(real_, kHkeyCurrentUser, kScratch);

    ASSERT_EQ(RunRegedit(std::string("/e exported.reg \"HKEY_CURRENT_USER\\") + kScratch + "\""), 0u);
    MemoryRegistry loaded;
    ASSERT_NO_THROW(LoadRegFile("exported.reg", loaded));
    EXPECT_EQ(DumpTree(loaded, kHkeyCurrentUser, kScratch), before);

    for (const RegFileEncoding encoding : {RegFileEncoding{RegFileFormat::Unicode5, 0, false},
                                           RegFileEncoding{RegFileFormat::Utf8_5, MachineAnsiCodePage(), false},
                                           RegFileEncoding{RegFileFormat::Regedit4, MachineAnsiCodePage(), false}}) {
        SCOPED_TRACE(static_cast<int>(encoding.format));
        ASSERT_NO_THROW(WriteRegFile("written.reg", loaded, encoding));
        ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kScratch), ERROR_SUCCESS);
        ASSERT_EQ(RunRegedit("/s written.reg"), 0u);
        EXPECT_EQ(DumpTree(real_, kHkeyCurrentUser, kScratch), before);
    }
}

// Wine's registry editor stores a text value (types 1, 2, 7) that a file gives
// without its terminating zero with one added; the A calls show it as one more
// zero byte. Applied to a dump of what was loaded, this gives what the editor
// makes of it.
std::string AddTerminatorsAsTheEditorDoes(const std::string& dump) {
    std::string out;
    std::size_t start = 0;
    while (start < dump.size()) {
        std::size_t end = dump.find('\n', start);
        if (end == std::string::npos) end = dump.size();
        std::string line = dump.substr(start, end - start);
        for (const char* type : {"\" type 1:", "\" type 2:", "\" type 7:"}) {
            const std::string t = type;
            if (line.size() >= t.size() && line.compare(line.size() - t.size(), t.size(), t) == 0) {
                line += " 00";  // no bytes at all
            } else if (line.find(t + " ") != std::string::npos && line.compare(line.size() - 3, 3, " 00") != 0) {
                line += " 00";
            }
        }
        out += line + "\n";
        start = end + 1;
    }
    return out;
}

// The prefix's own HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE: thousands of keys
// written by Wine's setup, not by us. They load, and what is written from them
// loads to the same registry.
TEST_F(RegeditExchange, WholeHivesExportedByTheRegistryEditorLoadAndWriteBack) {
    for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE"}) {
        SCOPED_TRACE(root);
        ASSERT_EQ(RunRegedit(std::string("/e exported.reg ") + root), 0u);
        MemoryRegistry loaded;
        ASSERT_NO_THROW(LoadRegFile("exported.reg", loaded));
        const std::string first = DumpTree(loaded, kHkeyLocalMachine, "");
        EXPECT_GT(first.size(), 10000u);

        ASSERT_NO_THROW(SaveRegFile("written.reg", loaded, RegFileFormat::Unicode5));
        MemoryRegistry reloaded;
        ASSERT_NO_THROW(LoadRegFile("written.reg", reloaded));
        EXPECT_EQ(testing::FirstDifference(DumpTree(reloaded, kHkeyLocalMachine, ""), first), "");
    }
}

// Imported by the registry editor, a file written from its own export leaves
// the registry as it was. HKEY_LOCAL_MACHINE\SOFTWARE (HKEY_CLASSES_ROOT
// included) rather than the whole hive, whose hardware keys Wine changes while
// it runs.
TEST_F(RegeditExchange, TheRegistryEditorImportsWhatIsWrittenToTheSameRegistry) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE";
    ASSERT_EQ(RunRegedit("/e exported.reg " + key), 0u);
    MemoryRegistry loaded;
    ASSERT_NO_THROW(LoadRegFile("exported.reg", loaded));
    const std::string first = DumpTree(loaded, kHkeyLocalMachine, "SOFTWARE");
    ASSERT_NO_THROW(SaveRegFile("written.reg", loaded, RegFileFormat::Unicode5));

    ASSERT_EQ(RunRegedit("/s written.reg"), 0u);
    ASSERT_EQ(RunRegedit("/e again.reg " + key), 0u);
    MemoryRegistry again;
    ASSERT_NO_THROW(LoadRegFile("again.reg", again));
    EXPECT_EQ(testing::FirstDifference(DumpTree(again, kHkeyLocalMachine, "SOFTWARE"),
                                       AddTerminatorsAsTheEditorDoes(first)),
              "");
}

}  // namespace
}  // namespace qm
