#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"

namespace qm {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

std::vector<std::uint8_t> Utf16File(const std::string& ascii) {
    std::vector<std::uint8_t> out = {0xFF, 0xFE};
    for (char c : ascii) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

Value Get(const MemoryRegistry& reg, const std::string& key, const std::string& name) {
    Value v;
    EXPECT_TRUE(reg.GetValue(key, name, &v.type, &v.bytes)) << key << " / " << name;
    return v;
}

// Every key and value of a registry, as comparable text.
void Dump(MemoryRegistry& reg, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& name : reg.ValueNames(path)) {
        Value v = Get(reg, path, name);
        out += "  \"" + name + "\" " + std::to_string(v.type) + ":";
        for (auto b : v.bytes) out += " " + std::to_string(b);
        out += "\n";
    }
    for (const auto& sub : reg.SubKeyNames(path)) Dump(reg, path + "\\" + sub, out);
}
std::string DumpAll(MemoryRegistry& reg) {
    std::string out;
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CURRENT_CONFIG"})
        Dump(reg, root, out);
    return out;
}

const char* kEveryForm =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; a comment\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo]\r\n"
    "@=\"default text\"\r\n"
    "\"Plain\"=\"C:\\\\Program Files\\\\app.exe \\\"quoted\\\"\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "\"Count\"=dword:0000000a\r\n"
    "\"Short\"=dword:ff\r\n"
    "\"Blob\"=hex:00,01,ff\r\n"
    "\"NoBytes\"=hex:\r\n"
    "\"Expand\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,\\\r\n"
    "  25,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"None\"=hex(0):01,02\r\n"
    "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
    "\"Odd\"=hex(1234):aa\r\n"
    "\"Big\"=hex(5):00,00,00,0a\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo\\Child key]\r\n"
    "\"with \\\"quotes\\\" and \\\\\"=\"x\"\r\n";

TEST(RegFile, ReadsEveryValueForm) {
    MemoryRegistry reg;
    EXPECT_EQ(LoadRegText(Utf16File(kEveryForm), reg), RegFileFormat::Unicode5);
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo";
    Value v = Get(reg, key, "");
    EXPECT_EQ(v.type, kRegSz);
    EXPECT_EQ(v.bytes, Bytes(std::string("default text", 13)));
    EXPECT_EQ(Get(reg, key, "Plain").bytes, Bytes(std::string("C:\\Program Files\\app.exe \"quoted\"", 34)));
    EXPECT_EQ(Get(reg, key, "Empty").bytes, (std::vector<std::uint8_t>{0}));
    v = Get(reg, key, "Count");
    EXPECT_EQ(v.type, kRegDword);
    EXPECT_EQ(v.bytes, (std::vector<std::uint8_t>{10, 0, 0, 0}));
    EXPECT_EQ(Get(reg, key, "Short").bytes, (std::vector<std::uint8_t>{0xff, 0, 0, 0}));
    v = Get(reg, key, "Blob");
    EXPECT_EQ(v.type, kRegBinary);
    EXPECT_EQ(v.bytes, (std::vector<std::uint8_t>{0, 1, 0xff}));
    EXPECT_TRUE(Get(reg, key, "NoBytes").bytes.empty());
    v = Get(reg, key, "Expand");
    EXPECT_EQ(v.type, kRegExpandSz);
    EXPECT_EQ(v.bytes, Bytes(std::string("%SystemRoot%", 13)));  // the 8-bit view of the UTF-16 text
    v = Get(reg, key, "Multi");
    EXPECT_EQ(v.type, kRegMultiSz);
    EXPECT_EQ(v.bytes, (std::vector<std::uint8_t>{'a', 0, 'b', 0, 0}));
    EXPECT_EQ(Get(reg, key, "None").type, kRegNone);
    EXPECT_EQ(Get(reg, key, "Qword").bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Get(reg, key, "Odd").type, 0x1234u);
    EXPECT_EQ(Get(reg, key, "Big").type, kRegDwordBigEndian);
    EXPECT_EQ(Get(reg, key + "\\Child key", "with \"quotes\" and \\").bytes, Bytes(std::string("x", 2)));
}

TEST(RegFile, WritesBackTheSameRegistryInEachFormat) {
    for (RegFileFormat format : {RegFileFormat::Unicode5, RegFileFormat::Utf8_5, RegFileFormat::Regedit4}) {
        MemoryRegistry original;
        LoadRegText(Utf16File(kEveryForm), original);
        original.SetValue("HKEY_CURRENT_USER\\Lines", "crlf", kRegSz, Bytes(std::string("a\r\nb", 5)));
        original.SetValue("HKEY_CURRENT_USER\\Lines", "inner zero", kRegSz, Bytes(std::string("a\0b\0", 4)));
        original.SetValue("HKEY_CURRENT_USER\\Lines", "dword of 2", kRegDword, {1, 2});
        original.SetValue("HKEY_CURRENT_USER\\Lines", "long", kRegBinary, std::vector<std::uint8_t>(300, 0x5a));
        original.CreateKeyPath("HKEY_USERS\\Empty\\Key");

        const std::vector<std::uint8_t> text = SaveRegText(original, format);
        MemoryRegistry copy;
        EXPECT_EQ(LoadRegText(text, copy), format);
        EXPECT_EQ(DumpAll(copy), DumpAll(original)) << static_cast<int>(format);
    }
}

TEST(RegFile, Regedit4AndUtf8HeadersAreRecognised) {
    MemoryRegistry a;
    EXPECT_EQ(LoadRegText(Bytes("REGEDIT4\n\n[HKEY_CURRENT_USER\\X]\n\"v\"=\"1\"\n"), a), RegFileFormat::Regedit4);
    EXPECT_TRUE(a.ValueExists("HKEY_CURRENT_USER\\X", "v"));
    MemoryRegistry b;
    EXPECT_EQ(LoadRegText(Bytes("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n@=\"1\"\n"), b),
              RegFileFormat::Utf8_5);
    EXPECT_TRUE(b.ValueExists("HKEY_CURRENT_USER\\X", ""));
}

TEST(RegFile, DeletionsRemoveKeysAndValues) {
    MemoryRegistry reg;
    reg.SetString("HKEY_CURRENT_USER\\Gone\\Deep\\Deeper", "x", "1");
    reg.SetString("HKEY_CURRENT_USER\\Kept", "drop", "1");
    reg.SetString("HKEY_CURRENT_USER\\Kept", "keep", "1");
    LoadRegText(Bytes("REGEDIT4\n[-HKEY_CURRENT_USER\\Gone]\n[HKEY_CURRENT_USER\\Kept]\n\"drop\"=-\n\"absent\"=-\n"), reg);
    EXPECT_FALSE(reg.KeyExists("HKEY_CURRENT_USER\\Gone"));
    EXPECT_FALSE(reg.ValueExists("HKEY_CURRENT_USER\\Kept", "drop"));
    EXPECT_TRUE(reg.ValueExists("HKEY_CURRENT_USER\\Kept", "keep"));
}

TEST(RegFile, MalformedInputStopsWithTheLineAndChangesNothing) {
    struct Case {
        const char* text;
        int line;
        const char* words;
    };
    const Case cases[] = {
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n", 3, "unterminated"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:0g,01\n", 3, "hex"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:100\n", 3, "hex"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01 ,02\n", 3, "hex"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n\"v\"=\"1\"\n", 2, "]"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n=\n", 3, "expected"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n", 3, "dword"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:xyz\n", 3, "dword"},
        {"REGEDIT4\n[HKLM\\A]\n", 2, "root"},
        {"REGEDIT4\n\"v\"=\"1\"\n", 2, "outside"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\n", 3, "missing value"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(zz):00\n", 3, "hex(type)"},
        // Joins the next line, which is not hex: the editor would drop the value.
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:00,\\\n", 4, "skips the value"},
        {"not a registry file\n", 1, "expected"},
        {"", 1, "expected"},
    };
    for (const Case& c : cases) {
        // Each text is followed by a valid key, which must not be applied either.
        MemoryRegistry reg;
        reg.SetString("HKEY_CURRENT_USER\\Before", "x", "1");
        try {
            LoadRegText(Bytes(std::string(c.text) + "[HKEY_CURRENT_USER\\After]\n"), reg);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const RegFileError& e) {
            EXPECT_EQ(e.Line(), c.line) << c.text << " -> " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
        EXPECT_FALSE(reg.KeyExists("HKEY_CURRENT_USER\\A")) << c.text;
        EXPECT_FALSE(reg.KeyExists("HKEY_CURRENT_USER\\After")) << c.text;
        EXPECT_TRUE(reg.KeyExists("HKEY_CURRENT_USER\\Before"));
    }
}

TEST(RegFile, SaveReplacesTheFileOnlyWhenWrittenWhole) {
    MemoryRegistry reg;
    reg.SetString("HKEY_CURRENT_USER\\S", "v", "1");
    const std::string path = "save-test.reg";
    SaveRegFile(path, reg, RegFileFormat::Unicode5);
    std::ifstream in(path, std::ios::binary);
    char bom[2] = {};
    in.read(bom, 2);
    EXPECT_EQ(static_cast<unsigned char>(bom[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bom[1]), 0xFE);
    in.close();
    EXPECT_THROW(SaveRegFile("no-such-dir/x.reg", reg, RegFileFormat::Unicode5), std::runtime_error);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(RegFile, EmptyFileIsAnErrorAndContinuationAtTheEndEndsTheData) {
    MemoryRegistry reg;
    try {
        LoadRegText({}, reg);
        ADD_FAILURE();
    } catch (const RegFileError& e) {
        EXPECT_NE(std::string(e.what()).find("empty"), std::string::npos) << e.what();
    }
    LoadRegText(Bytes("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:00,\\\n"), reg);
    EXPECT_EQ(Get(reg, "HKEY_CURRENT_USER\\A", "v").bytes, Bytes(std::string(1, '\0')));
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// Keys the registry starts with take the spelling of the file that names them
// first, and are written back with it.
TEST(RegFile, KeyNamesAreWrittenBackWithTheFilesLetterCase) {
    MemoryRegistry reg;
    LoadRegText(Bytes("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\classes\\.Txt]\n@=\"txtfile\"\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n"),
                reg);
    const std::vector<std::uint8_t> out = SaveRegText(reg, RegFileFormat::Regedit4);
    const std::string text(out.begin(), out.end());
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\classes\\.Txt]"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Vendor]"), std::string::npos) << text;
    EXPECT_EQ(text.find("SOFTWARE"), std::string::npos) << text;
}

}  // namespace
}  // namespace qm

#include "platform/codepage.h"

namespace qm {
namespace {

// "Windows Registry Editor Version 5.00" in Windows-1252, as the registry
// editor of a Western European Windows reads and writes 8-bit files, laid
// out exactly as the writer lays a file out.
const std::string kWindows1252File =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xE9 Soft]\r\n"
    "@=\"Donn\xE9""es \x80 \x81\"\r\n"
    "\"Expand \xE9\"=hex(2):25,41,e9,25,00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\r\n"
    "\r\n";

// An 8-bit file read in its code page holds the same registry on both
// builds (names and text in the program's own code page), and is written
// back in that code page byte for byte; text the code page cannot hold sends
// the whole file to UTF-16, which reads back the same.
TEST(RegFileCodePage, AnEightBitFileIsReadAndWrittenInItsCodePage) {
    MemoryRegistry reg;
    const RegFileEncoding encoding = ReadRegText(Bytes(kWindows1252File), reg, kCodePageWindows1252);
    EXPECT_EQ(encoding.format, RegFileFormat::Utf8_5);
    EXPECT_EQ(encoding.codePage, kCodePageWindows1252);
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + Utf16ToAnsiText(u"Caf\u00e9 Soft");
    ASSERT_TRUE(reg.KeyExists(key));
    const Value unnamed = Get(reg, key, "");
    EXPECT_EQ(AnsiToUtf16(std::string(unnamed.bytes.begin(), unnamed.bytes.end() - 1)),
              u"Donn\u00e9es \u20ac \u0081");
    const Value expand = Get(reg, key, Utf16ToAnsiText(u"Expand \u00e9"));
    EXPECT_EQ(expand.type, kRegExpandSz);
    EXPECT_EQ(AnsiToUtf16(std::string(expand.bytes.begin(), expand.bytes.end())),
              std::u16string(u"%A\u00e9%\0", 5));

    const std::vector<std::uint8_t> written = WriteRegText(reg, encoding);
    EXPECT_EQ(std::string(written.begin(), written.end()), kWindows1252File);

    reg.SetString(key, "Greek", Utf16ToAnsiText(u"\u03a9"));
    const std::vector<std::uint8_t> wide = WriteRegText(reg, encoding);
    ASSERT_GE(wide.size(), 2u);
    EXPECT_EQ(wide[0], 0xFF);
    EXPECT_EQ(wide[1], 0xFE);
    MemoryRegistry again;
    EXPECT_EQ(ReadRegText(wide, again).format, RegFileFormat::Unicode5);
    EXPECT_EQ(Get(again, key, "Greek").bytes, Get(reg, key, "Greek").bytes);
    EXPECT_EQ(Get(again, key, "").bytes, unnamed.bytes);
}

// Text that does not read in the code page asked for is refused with its
// line, and nothing is applied.
TEST(RegFileCodePage, TextThatDoesNotReadInTheCodePageIsRefused) {
    MemoryRegistry reg;
    try {
        ReadRegText(Bytes(kWindows1252File), reg, kCodePageUtf8);
        ADD_FAILURE() << "read as UTF-8";
    } catch (const RegFileCodePageError& e) {
        EXPECT_EQ(e.Line(), 5) << e.what();
        EXPECT_NE(std::string(e.what()).find("UTF-8"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(reg.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\..\\x"));
    EXPECT_TRUE(reg.SubKeyNames("HKEY_LOCAL_MACHINE\\SOFTWARE").size() == 1u) << "only Classes";
    // Text given as hex is text of the code page too.
    EXPECT_THROW(ReadRegText(Bytes("REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex(1):c3,28\r\n"), reg, kCodePageUtf8),
                 RegFileCodePageError);
    EXPECT_FALSE(reg.KeyExists("HKEY_CURRENT_USER\\A"));
}

// Names holding the characters the format escapes come back from what is
// written: \\, \", and line breaks (\r, \n) in value names, as the registry
// editor writes and reads them; text with line breaks goes as hex. A key
// name with a line break cannot be written at all, and is refused.
TEST(RegFileEscapes, NamesAndTextsReadBackTheSameFromWhatIsWritten) {
    const std::string file =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Names \"quoted\" & ]x]]\r\n"
        "\"a\\rb\\nc\\\"d\\\\e\"=\"f\\\\g \\\"h\\\"\"\r\n"
        "\"\\r\"=dword:00000001\r\n"
        "\"lines\"=hex(1):61,0d,0a,62,00\r\n";
    for (const RegFileFormat format : {RegFileFormat::Unicode5, RegFileFormat::Utf8_5, RegFileFormat::Regedit4}) {
        SCOPED_TRACE(static_cast<int>(format));
        MemoryRegistry reg;
        ASSERT_NO_THROW(LoadRegText(Bytes(file), reg));
        const std::string key = "HKEY_CURRENT_USER\\Names \"quoted\" & ]x]";
        EXPECT_EQ(reg.ValueNames(key), (std::vector<std::string>{"a\rb\nc\"d\\e", "\r", "lines"}));
        EXPECT_EQ(Get(reg, key, "a\rb\nc\"d\\e").bytes, Bytes(std::string("f\\g \"h\"", 8)));
        EXPECT_EQ(Get(reg, key, "lines").bytes, Bytes(std::string("a\r\nb", 5)));

        const std::vector<std::uint8_t> written = SaveRegText(reg, format);
        MemoryRegistry again;
        ASSERT_NO_THROW(LoadRegText(written, again)) << std::string(written.begin(), written.end());
        EXPECT_EQ(DumpAll(again), DumpAll(reg));
        if (format != RegFileFormat::Unicode5) {
            EXPECT_NE(std::string(written.begin(), written.end()).find("\"a\\rb\\nc\\\"d\\\\e\"=\"f\\\\g \\\"h\\\"\""),
                      std::string::npos);
        }

        reg.CreateKeyPath("HKEY_CURRENT_USER\\two\nlines");
        EXPECT_THROW(SaveRegText(reg, format), std::runtime_error);
    }
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// Cases of the registry editor's own import tests, with what it stores: hex
// bytes and types read as strtoul reads them, data that ends where a line
// ends without '\', and each value or line it skips.
TEST(RegFileAsTheEditor, ReadsHexDataAndTypesAndSkipsWhatTheEditorSkips) {
    const std::string text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\E]\n"
        "\"Wine9c\"=hex(2):4c,69,6e,65\\\n"       // 4: no ',' before '\' (skipped)
        "\"Wine9d\"=\"Value 2\"\n"
        "\"Wine10d\"=hex(0):56,00,61,00,\\;comment\n"
        "  6c,00,75,00,\n"                         // the data ends here
        "  65,00,00,00\n"                          // 8: no key or value (skipped)
        "\"Wine13c\"=hex(100):56,00\n"
        "\"Wine13h\"=hex(ffffffff):56,00\n"
        "\"Wine13i\"=hex(100000000):56,00\n"       // 11: type past 32 bits (skipped)
        "\"Wine13j\"=hex(0x2):56,00\n"             // 12 (skipped)
        "\"Wine17a\"=hex(0):56,61,\\\n"            // continued past the end... by the next value
        "\"Test19c\"=hex(0):56,00\n"               // 14: breaks the continuation (skipped)
        "\"Wine22b\"=hex(2):\n"
        "\"Long\"=hex:001,  02\n"
        "\"Big\"=hex:100\n";                       // 17 (skipped)
    MemoryRegistry reg;
    std::vector<RegFileSkippedLine> skipped;
    ReadRegText(Bytes(text), reg, kRegFileChooseCodePage, &skipped);
    const std::string key = "HKEY_CURRENT_USER\\E";
    std::vector<int> lines;
    for (const auto& s : skipped) lines.push_back(s.line);
    EXPECT_EQ(lines, (std::vector<int>{4, 8, 11, 12, 14, 17}));
    EXPECT_EQ(reg.ValueNames(key),
              (std::vector<std::string>{"Wine9d", "Wine10d", "Wine13c", "Wine13h", "Wine22b", "Long"}));
    EXPECT_EQ(Get(reg, key, "Wine10d").bytes, (std::vector<std::uint8_t>{0x56, 0, 0x61, 0, 0x6c, 0, 0x75, 0}));
    EXPECT_EQ(Get(reg, key, "Wine13c").type, 0x100u);
    EXPECT_EQ(Get(reg, key, "Wine13h").type, 0xffffffffu);
    Value empty = Get(reg, key, "Wine22b");
    EXPECT_EQ(empty.type, kRegExpandSz);
    EXPECT_TRUE(empty.bytes.empty());
    EXPECT_EQ(Get(reg, key, "Long").bytes, (std::vector<std::uint8_t>{1, 2}));

    // Text data the editor fails on is refused even when skipping is allowed.
    for (const char* bad : {"\"v\"=hex(2):\\\n\n", "\"v\"=hex(1): ;no bytes\n"}) {
        MemoryRegistry none;
        EXPECT_THROW(ReadRegText(Bytes(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\E]\n") + bad), none,
                                 kRegFileChooseCodePage, &skipped),
                     RegFileError)
            << bad;
    }
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// Keys applied as the file is read are created from the key before them:
// children, siblings, a walk back up, another spelling of a name, another
// root, keys deleted between them. The registry is the one of reading the
// whole file first, and no handle stays open.
TEST(RegFileStreamed, KeysCreatedFromTheKeyBeforeGiveTheSameRegistry) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_CURRENT_USER\\A\\B\\C]\r\n\"v\"=\"2\"\r\n"
        "[HKEY_CURRENT_USER\\A\\B\\D]\r\n\"v\"=\"3\"\r\n"
        "[HKEY_CURRENT_USER\\a\\b]\r\n\"w\"=\"4\"\r\n"
        "[HKEY_CURRENT_USER\\A\\\\B\\\\E\\]\r\n\"v\"=\"5\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\r\n\"v\"=\"6\"\r\n"
        "[-HKEY_CURRENT_USER\\A\\B\\D]\r\n"
        "[HKEY_CURRENT_USER\\A\\B\\D\\F]\r\n\"v\"=\"7\"\r\n"
        "[HKEY_CURRENT_USER]\r\n\"root\"=\"8\"\r\n"
        "[HKEY_CURRENT_USER\\A\\B]\r\n\"v\"=-\r\n";
    const std::vector<std::uint8_t> bytes = Utf16File(text);
    MemoryRegistry whole;
    ReadRegText(bytes, whole);
    {
        std::ofstream("streamed.reg", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    MemoryRegistry streamed;
    EXPECT_EQ(StreamRegFile("streamed.reg", streamed).format, RegFileFormat::Unicode5);
    std::remove("streamed.reg");
    EXPECT_EQ(DumpAll(streamed), DumpAll(whole));
    EXPECT_EQ(streamed.OpenHandleCount(), 0u);
    EXPECT_TRUE(streamed.ValueExists("HKEY_CURRENT_USER\\A\\B\\D\\F", "v"));
    EXPECT_FALSE(streamed.ValueExists("HKEY_CURRENT_USER\\A\\B\\D", "v"));  // deleted with its key
    EXPECT_EQ(Get(streamed, "HKEY_CURRENT_USER\\A\\B\\E", "v").bytes, Bytes(std::string("5", 2)));
    EXPECT_FALSE(streamed.ValueExists("HKEY_CURRENT_USER\\A\\B\\C", "w"));
    EXPECT_TRUE(streamed.ValueExists("HKEY_CURRENT_USER\\A\\B", "w"));
    EXPECT_FALSE(streamed.ValueExists("HKEY_CURRENT_USER\\A\\B", "v"));
    EXPECT_TRUE(streamed.ValueExists("HKEY_CURRENT_USER", "root"));
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// A UTF-16 file read a run of ASCII at a time: text beyond ASCII (a letter,
// a pair of surrogates) wherever it falls, first line or last, gives the same
// registry as the same text in an 8-bit UTF-8 file, and a key line whose
// root and path are cut at '\\' and ']' reads the same either way.
TEST(RegFileStreamed, TextBeyondAsciiAnywhereInAUtf16FileReadsAsInUtf8) {
    for (const std::size_t pad : {0u, 1u, 17u, 40u, 63u, 64u, 65u, 127u, 200u}) {
        const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\P]\r\n\"" +
                                    std::u16string(pad, u'p') + u"\"=\"caf\u00e9 \U0001F600\"\r\n"
                                    u"[HKEY_CURRENT_USER\\Q\\\u00c9t\u00e9]\r\n\"v\"=dword:1\r\n"
                                    u"[-HKEY_CURRENT_USER\\P\\gone]\r\n[HKEY_CURRENT_USER]\r\n\"r\"=\"" +
                                    std::u16string(pad, u'r') + u"\u00df\"\r\n";
        std::vector<std::uint8_t> utf16 = {0xFF, 0xFE};
        for (const char16_t u : text) {
            utf16.push_back(static_cast<std::uint8_t>(u & 0xFF));
            utf16.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        const std::string utf8 = Utf16ToUtf8(text);
        MemoryRegistry fromUtf16, fromUtf8;
        ReadRegText(utf16, fromUtf16);
        ReadRegText(std::vector<std::uint8_t>(utf8.begin(), utf8.end()), fromUtf8, kCodePageUtf8);
        EXPECT_EQ(DumpAll(fromUtf16), DumpAll(fromUtf8)) << "pad " << pad;
        const std::string r = Utf16ToAnsiText(std::u16string(pad, u'r') + u"\u00df");
        EXPECT_EQ(Get(fromUtf16, "HKEY_CURRENT_USER", "r").bytes, Bytes(std::string(r.c_str(), r.size() + 1)))
            << "pad " << pad;
    }
}

}  // namespace
}  // namespace qm
