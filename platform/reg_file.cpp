#include "platform/reg_file.h"

#include <cstdio>
#include <memory>

#include "platform/codepage.h"
#include "platform/registry_walk.h"
#include "platform/whole_file.h"

namespace qm {

RegFileError::RegFileError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

namespace {

constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";

bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The registry holds keys at most this many levels below a root.
constexpr std::size_t kMaxKeyDepth = 512;

// The number of names in a sub-key path (runs of "\\" count as one).
std::size_t KeyDepth(const std::string& subKey) {
    std::size_t depth = 0;
    bool inName = false;
    for (const char c : subKey) {
        if (c == '\\') {
            inName = false;
        } else if (!inName) {
            inName = true;
            ++depth;
        }
    }
    return depth;
}

// ---------------------------------------------------------------- decoding

struct Decoded {
    RegFileEncoding encoding;
    bool utf16 = false;  // text data (hex(1), hex(2), hex(7)) is UTF-16 only in UTF-16 files
    std::vector<std::string> lines;  // 8-bit text in the registry's code page
};

bool IsAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string DescribeCodePage(std::uint32_t codePage) {
    const std::string name = CodePageName(codePage);
    return name.compare(0, 10, "code page ") == 0 ? name : name + " (code page " + std::to_string(codePage) + ")";
}

// The code page an 8-bit file is read in when none is asked for.
std::uint32_t ChosenCodePage(const std::string& text, bool utf8ByteOrderMark) {
#ifdef _WIN32
    (void)text;
    (void)utf8ByteOrderMark;
    return MachineAnsiCodePage();
#else
    if (utf8ByteOrderMark) return kCodePageUtf8;
    if (IsAscii(text)) return 0;
    std::u16string wide;
    return CodePageToUtf16(kCodePageUtf8, text, wide) ? kCodePageUtf8 : kCodePageWindows1252;
#endif
}

// Text that needs no conversion: no code page settled, or ASCII characters,
// which are the same in these code pages.
bool AsciiAsItIs(std::uint32_t codePage, const std::string& text) {
    return codePage == 0 || ((codePage == kCodePageUtf8 || codePage == kCodePageWindows1252) && IsAscii(text));
}

// 8-bit text of the file's code page in the registry's (the program's own):
// false when it does not read in the file's code page. `out` may be `text`.
bool FileTextToAnsi(std::uint32_t codePage, const std::string& text, std::string& out) {
    if (AsciiAsItIs(codePage, text)) {
        out = text;
        return true;
    }
    std::u16string wide;
    if (!CodePageToUtf16(codePage, text, wide)) return false;
    if (codePage != AnsiCodePage()) out = Utf16ToAnsiText(wide);
    else out = text;
    return true;
}

// The inverse, for writing: false when the code page cannot hold the text.
bool AnsiToFileText(std::uint32_t codePage, const std::string& text, std::string& out) {
    if (AsciiAsItIs(codePage, text)) {
        out = text;
        return true;
    }
    std::u16string wide;
    if (!CodePageToUtf16(AnsiCodePage(), text, wide)) return false;
    if (codePage == AnsiCodePage()) {
        out = text;
        return true;
    }
    return Utf16ToCodePage(codePage, wide, out);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

Decoded Decode(const std::vector<std::uint8_t>& bytes, std::uint32_t codePage) {
    Decoded d;
    RegFileFormat& format = d.encoding.format;
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string w;
        w.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            w.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        text = Utf16ToAnsiText(w);
        format = RegFileFormat::Unicode5;
        d.utf16 = true;
    } else {
        std::size_t start = 0;
        if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) start = 3;
        text.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
        format = RegFileFormat::Utf8_5;  // settled by the header below
        d.encoding.utf8ByteOrderMark = start == 3;
        d.encoding.codePage = codePage != kRegFileChooseCodePage ? codePage : ChosenCodePage(text, start == 3);
        if (d.encoding.codePage != 0 && !CodePageKnown(d.encoding.codePage))
            throw RegFileCodePageError(1, "code page " + std::to_string(d.encoding.codePage) + " is not known here");
        if (!FileTextToAnsi(d.encoding.codePage, text, text)) {
            // The first line that does not read.
            const std::vector<std::string> lines =
                SplitLines(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end()));
            std::size_t bad = 0;
            std::string converted;
            while (bad + 1 < lines.size() && FileTextToAnsi(d.encoding.codePage, lines[bad], converted)) ++bad;
            throw RegFileCodePageError(static_cast<int>(bad) + 1,
                                       "the text is not " + DescribeCodePage(d.encoding.codePage) +
                                           " text: the file was written in another code page");
        }
    }
    d.lines = SplitLines(text);
    std::size_t first = 0;
    while (first < d.lines.size() && d.lines[first].find_first_not_of(" \t") == std::string::npos)
        ++first;
    if (first == d.lines.size()) throw RegFileError(1, "the file is empty, not a registry export");
    std::string header = d.lines[first];
    header.erase(0, header.find_first_not_of(" \t"));
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t')) header.pop_back();
    if (header == kHeader5) {
        // An 8-bit file is text in the code page, as the editor reads it.
        if (!d.utf16) format = RegFileFormat::Utf8_5;
    } else if (header == kHeader4) {
        // The editor also reads a UTF-16 file with this header; it is written
        // back as version 5.
        if (!d.utf16) format = RegFileFormat::Regedit4;
    } else if (header == "REGEDIT") {
        throw RegFileError(static_cast<int>(first) + 1,
                           "a Windows 3.1 REGEDIT file: not supported, only \"" + std::string(kHeader5) +
                               "\" and \"" + kHeader4 + "\" files");
    } else if (header.compare(0, 7, "REGEDIT") == 0) {
        throw RegFileError(static_cast<int>(first) + 1,
                           "unknown header \"" + header + "\" (the registry editor imports nothing from it)");
    } else {
        throw RegFileError(static_cast<int>(first) + 1,
                           "expected \"" + std::string(kHeader5) + "\" or \"" + kHeader4 + "\"");
    }
    d.lines[first].clear();  // the header is not an entry
    return d;
}

// ---------------------------------------------------------------- parsing

struct Op {
    enum Kind { Key, DeleteKey, Value, DeleteValue } kind;
    int line;
    RegKey root;
    std::string subKey;
    std::string name;  // "" for the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at text[pos] == '"'; returns the unescaped
// text and leaves pos after the closing quote.
std::string ReadQuoted(const std::string& text, std::size_t& pos, int line, const char* what) {
    std::string out;
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < text.size()) {
            const char e = text[pos + 1];
            if (e == 'n') out.push_back('\n');
            else if (e == 'r') out.push_back('\r');
            else if (e == '0')
                throw RegFileError(line, std::string("\\0 in a ") + what +
                                             " (the registry editor would skip this line)");
            else out.push_back(e);
            pos += 2;
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    throw RegFileError(line, std::string("unterminated ") + what + " (no closing '\"')");
}

std::vector<std::uint8_t> ParseHexBytes(const std::string& text, int line) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= n || text[i] == ';') break;
        int value = 0, digits = 0;
        while (i < n && HexDigit(text[i]) >= 0 && digits < 3) {
            value = value * 16 + HexDigit(text[i]);
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 2)
            throw RegFileError(line, "bad hex data near \"" + text.substr(i < 8 ? 0 : i - 8, 16) + "\"");
        out.push_back(static_cast<std::uint8_t>(value));
        while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i < n && text[i] == ',') {
            ++i;
        } else if (i < n && text[i] != ';') {
            throw RegFileError(line, "bad hex data: expected ',' between bytes");
        }
    }
    return out;
}

// Text read from a version 5 file is converted from UTF-16 to the code page,
// as the registry's 8-bit calls would return it.
std::vector<std::uint8_t> Utf16BytesToAnsi(const std::vector<std::uint8_t>& data) {
    if (data.size() % 2 != 0) return data;
    return Utf16LeBytesToAnsi(data.data(), data.size());
}

// Hex data and the lines it continues on: a line ending in ',' then '\\'
// (blanks and a ;comment may follow) goes on at the next line that is not
// blank or a ;comment, or ends the data at the end of the file. What the
// editor would drop the value for is refused here; `index` is left on the
// data's last line.
std::string JoinHexLines(const std::vector<std::string>& lines, std::size_t& index, std::string hex) {
    const auto skipped = [](int line, const std::string& why) {
        return RegFileError(line, why + " (the registry editor would skip this value)");
    };
    for (;;) {
        std::string t = hex;
        const auto semi = t.find(';');
        if (semi != std::string::npos) t = t.substr(0, semi);
        t = Trim(t);
        if (t.empty() || t.back() != '\\') return t;
        t.pop_back();
        t = Trim(t);
        const int line = static_cast<int>(index) + 1;
        if (t.empty() || t.back() != ',')
            throw skipped(line, "'\\' that continues hex data without a ',' before it");
        std::size_t next = index + 1;
        while (next < lines.size()) {
            const std::string n = Trim(lines[next]);
            if (!n.empty() && n[0] != ';') break;
            ++next;
        }
        if (next >= lines.size()) {
            index = lines.size() - 1;
            t.pop_back();
            return t;
        }
        index = next;
        const std::string n = Trim(lines[next]);
        if (n[0] == ',' || n[0] == '#' || n[0] == '[' || HexDigit(n[0]) < 0)
            throw skipped(static_cast<int>(next) + 1, "hex data continued by \"" + n.substr(0, 20) + "\"");
        hex = t + n;
    }
}

// Text data given as hex, stored as the editor stores it: UTF-16 in a UTF-16
// file, 8-bit text of the file's code page in any other, completed with a
// terminator when its last character is not zero. Returned as 8-bit text of
// the registry's code page.
std::vector<std::uint8_t> TextAsTheEditorStoresIt(std::vector<std::uint8_t> data, bool utf16, std::uint32_t codePage,
                                                  int line) {
    if (!utf16) {
        // UTF-16 text in an 8-bit file (as this program wrote version 5 files
        // in UTF-8 before): the editor would store its bytes as 8-bit text, a
        // character then zeros, and reading it either way would change it.
        bool utf16Shaped = data.size() >= 4 && data.size() % 2 == 0 && data[data.size() - 2] == 0;
        for (std::size_t i = 1; utf16Shaped && i < data.size(); i += 2) utf16Shaped = data[i] == 0;
        if (utf16Shaped)
            throw RegFileError(line, "text given as UTF-16 bytes in an 8-bit file (the registry editor would "
                                     "store them as 8-bit text, each character followed by a zero); "
                                     "save the file as UTF-16 or give the text as 8-bit bytes");
        if (!data.empty() && data.back() != 0) data.push_back(0);
        std::string text(data.begin(), data.end());
        if (!FileTextToAnsi(codePage, text, text))
            throw RegFileCodePageError(line, "text given as hex that is not " + DescribeCodePage(codePage) +
                                                 " text: the file was written in another code page");
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }
    if (data.size() % 2 != 0)
        throw RegFileError(line, "UTF-16 text of an odd number of bytes (the registry editor cannot import it)");
    if (!data.empty() && (data[data.size() - 2] != 0 || data.back() != 0)) {
        data.push_back(0);
        data.push_back(0);
    }
    return Utf16BytesToAnsi(data);
}

void ParseKeyLine(const std::string& text, int line, std::vector<Op>& ops) {
    if (text.back() != ']') throw RegFileError(line, "key line without closing ']'");
    std::string path = text.substr(1, text.size() - 2);
    bool remove = false;
    if (!path.empty() && path[0] == '-') {
        remove = true;
        path.erase(0, 1);
    }
    const auto slash = path.find('\\');
    const std::string rootName = path.substr(0, slash);
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) throw RegFileError(line, "unknown root key \"" + rootName + "\"");
    Op op{remove ? Op::DeleteKey : Op::Key, line, root, slash == std::string::npos ? "" : path.substr(slash + 1), "", 0, {}};
    if (remove && op.subKey.empty()) throw RegFileError(line, "a root key cannot be deleted");
    if (KeyDepth(op.subKey) > kMaxKeyDepth)
        throw RegFileError(line, "key deeper than " + std::to_string(kMaxKeyDepth) +
                                     " levels (the registry's limit)");
    ops.push_back(std::move(op));
}

void ParseValueLine(const std::vector<std::string>& lines, std::size_t& index, bool utf16, std::uint32_t codePage,
                    const Op* currentKey, std::vector<Op>& ops) {
    const int line = static_cast<int>(index) + 1;
    std::string text = Trim(lines[index]);
    std::size_t pos = 0;
    std::string name;
    if (text[0] == '@') {
        pos = 1;
    } else if (text[0] == '"') {
        name = ReadQuoted(text, pos, line, "value name");
    } else {
        throw RegFileError(line, "expected a key in [brackets], \"name\"=value or @=value");
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (pos >= text.size() || text[pos] != '=') throw RegFileError(line, "expected '=' after the value name");
    ++pos;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (currentKey == nullptr) throw RegFileError(line, "value outside any [key]");
    if (currentKey->kind == Op::DeleteKey) throw RegFileError(line, "value under a deleted [-key]");

    Op op{Op::Value, line, currentKey->root, currentKey->subKey, name, kRegSz, {}};
    std::string rest = text.substr(pos);
    const auto starts = [&rest](const char* p) { return rest.compare(0, std::char_traits<char>::length(p), p) == 0; };
    if (rest == "-" || (rest[0] == '-' && Trim(rest.substr(1))[0] == ';')) {
        op.kind = Op::DeleteValue;
    } else if (!rest.empty() && rest[0] == '"') {
        std::size_t p = 0;
        const std::string s = ReadQuoted(rest, p, line, "string");
        if (!Trim(rest.substr(p)).empty() && Trim(rest.substr(p))[0] != ';')
            throw RegFileError(line, "unexpected text after the closing '\"'");
        op.data.assign(s.begin(), s.end());
        op.data.push_back(0);
    } else if (starts("str(2):\"")) {
        std::size_t p = 7;
        const std::string s = ReadQuoted(rest, p, line, "string");
        op.type = kRegExpandSz;
        op.data.assign(s.begin(), s.end());
        op.data.push_back(0);
    } else if (starts("dword:")) {
        std::string digits = Trim(rest.substr(6));
        const auto semi = digits.find(';');
        if (semi != std::string::npos) digits = Trim(digits.substr(0, semi));
        if (digits.empty() || digits.size() > 8)
            throw RegFileError(line, "bad dword: expected 1 to 8 hex digits");
        std::uint32_t v = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) throw RegFileError(line, "bad dword: \"" + digits + "\" is not hexadecimal");
            v = v * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
        op.type = kRegDword;
        op.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    } else if (starts("hex:") || starts("hex(")) {
        std::size_t p;
        if (starts("hex:")) {
            op.type = kRegBinary;
            p = 4;
        } else {
            const auto close = rest.find("):");
            if (close == std::string::npos || close == 4 || close > 12)
                throw RegFileError(line, "bad hex(type): expected hex(N): with N in hexadecimal");
            std::uint32_t t = 0;
            for (std::size_t i = 4; i < close; ++i) {
                if (HexDigit(rest[i]) < 0) throw RegFileError(line, "bad hex(type): \"" + rest.substr(0, close + 2) + "\"");
                t = t * 16 + static_cast<std::uint32_t>(HexDigit(rest[i]));
            }
            op.type = t;
            p = close + 2;
        }
        op.data = ParseHexBytes(JoinHexLines(lines, index, rest.substr(p)), line);
        if (IsTextType(op.type)) op.data = TextAsTheEditorStoresIt(std::move(op.data), utf16, codePage, line);
    } else if (rest.empty()) {
        throw RegFileError(line, "missing value after '='");
    } else {
        throw RegFileError(line, "unknown value form \"" + rest.substr(0, 20) + "\"");
    }
    ops.push_back(std::move(op));
}

std::vector<Op> Parse(const Decoded& d) {
    std::vector<Op> ops;
    const Op* currentKey = nullptr;
    std::size_t currentIndex = 0;
    for (std::size_t i = 0; i < d.lines.size(); ++i) {
        const std::string text = Trim(d.lines[i]);
        if (text.empty() || text[0] == ';' || text[0] == '#') continue;
        if (text[0] == '[') {
            ParseKeyLine(text, static_cast<int>(i) + 1, ops);
            currentIndex = ops.size() - 1;
            currentKey = &ops[currentIndex];
            continue;
        }
        ParseValueLine(d.lines, i, d.utf16, d.encoding.codePage, currentKey, ops);
        currentKey = &ops[currentIndex];  // the vector may have moved
    }
    return ops;
}

// ---------------------------------------------------------------- applying

void Apply(const std::vector<Op>& ops, IRegistry& reg) {
    RegKeyHandle current;
    for (const Op& op : ops) {
        switch (op.kind) {
            case Op::Key: {
                current.Reset();
                RegKey key = kNullKey;
                const RegStatus st = reg.RegCreateKeyExA(op.root, op.subKey.c_str(), &key, nullptr);
                if (st != kRegSuccess)
                    throw RegFileError(op.line, "cannot create key (status " + std::to_string(st) + ")");
                if (key != op.root) current = RegKeyHandle(reg, key);
                else current = RegKeyHandle();
                break;
            }
            case Op::DeleteKey:
                current.Reset();
                DeleteTree(reg, op.root, op.subKey);  // a tree that cannot go whole stays
                break;
            case Op::Value: {
                const RegKey key = current ? current.Get() : op.root;
                const RegStatus st = reg.RegSetValueExA(key, op.name.c_str(), op.type, op.data.data(),
                                                        static_cast<std::uint32_t>(op.data.size()));
                if (st != kRegSuccess)
                    throw RegFileError(op.line, "cannot set value (status " + std::to_string(st) + ")");
                break;
            }
            case Op::DeleteValue: {
                const RegKey key = current ? current.Get() : op.root;
                reg.RegDeleteValueA(key, op.name.c_str());
                break;
            }
        }
    }
}

// ---------------------------------------------------------------- writing

class Writer {
public:
    explicit Writer(const RegFileEncoding& encoding) : format_(encoding.format), encoding_(encoding) {}

    void Line(const std::string& ansi) {
        text_ += ansi;
        text_ += "\r\n";
    }

    // A key line. The format has no way to write a line break in a key name.
    void KeyLine(const std::string& path) {
        if (path.find_first_of("\r\n") != std::string::npos)
            throw std::runtime_error("cannot write the key \"" + path +
                                     "\" to a registry file: its name holds a line break");
        Line("[" + path + "]");
    }

    // The file's bytes; false when its code page cannot hold the text (it is
    // then written as UTF-16).
    bool Finish(std::vector<std::uint8_t>& out) const {
        out.clear();
        if (format_ == RegFileFormat::Unicode5) {
            out = {0xFF, 0xFE};
            const std::u16string w = AnsiToUtf16(text_);
            for (char16_t u : w) {
                out.push_back(static_cast<std::uint8_t>(u & 0xFF));
                out.push_back(static_cast<std::uint8_t>(u >> 8));
            }
            return true;
        }
        if (encoding_.codePage == 0) {
            // No code page settled: the editor reads an 8-bit version 5 file
            // in its code page, so UTF-8 reads back the same only when it is
            // plain ASCII.
            if (format_ == RegFileFormat::Utf8_5) {
                if (!IsAscii(text_)) return false;
                const std::string u = AnsiToUtf8(text_);
                out.assign(u.begin(), u.end());
            } else {
                out.assign(text_.begin(), text_.end());
            }
            return true;
        }
        if (!textDataFits_) return false;
        std::string text;
        if (!AnsiToFileText(encoding_.codePage, text_, text)) return false;
        if (encoding_.utf8ByteOrderMark && encoding_.codePage == kCodePageUtf8) out = {0xEF, 0xBB, 0xBF};
        out.insert(out.end(), text.begin(), text.end());
        return true;
    }

    void Value(const std::string& name, std::uint32_t type, std::vector<std::uint8_t> data) {
        std::string head = name.empty() ? "@=" : "\"" + Escape(name) + "\"=";
        if (type == kRegSz && IsPlainString(data)) {
            Line(head + "\"" + Escape(std::string(data.begin(), data.end() - 1)) + "\"");
            return;
        }
        if (type == kRegDword && data.size() == 4) {
            char buf[16];
            const std::uint32_t v = std::uint32_t(data[0]) | (std::uint32_t(data[1]) << 8) |
                                    (std::uint32_t(data[2]) << 16) | (std::uint32_t(data[3]) << 24);
            std::snprintf(buf, sizeof buf, "dword:%08x", v);
            Line(head + buf);
            return;
        }
        // The editor reads text given as hex as UTF-16 only in a UTF-16 file,
        // and as text of the file's code page in an 8-bit one.
        if (format_ == RegFileFormat::Unicode5 && IsTextType(type)) {
            data = AnsiToUtf16LeBytes(data);
        } else if (IsTextType(type) && encoding_.codePage != 0) {
            std::string text;
            if (!AnsiToFileText(encoding_.codePage, std::string(data.begin(), data.end()), text)) textDataFits_ = false;
            data.assign(text.begin(), text.end());
        }
        char prefix[24];
        if (type == kRegBinary) std::snprintf(prefix, sizeof prefix, "hex:");
        else std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
        // Wrapped as the registry editor wraps it: lines of at most 80 columns.
        std::string line = head + prefix;
        for (std::size_t i = 0; i < data.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02x", data[i]);
            line += byte;
            if (i + 1 < data.size()) {
                line += ",";
                if (line.size() > 76) {
                    Line(line + "\\");
                    line = "  ";
                }
            }
        }
        Line(line);
    }

private:
    // As the editor escapes a quoted name: reading it gives the name back.
    static std::string Escape(const std::string& s) {
        std::string out;
        for (char c : s) {
            if (c == '\r') {
                out += "\\r";
            } else if (c == '\n') {
                out += "\\n";
            } else {
                if (c == '\\' || c == '"') out.push_back('\\');
                out.push_back(c);
            }
        }
        return out;
    }
    // Text that a quoted string gives back exactly: one terminating zero, no
    // other zero, no line breaks.
    static bool IsPlainString(const std::vector<std::uint8_t>& data) {
        if (data.empty() || data.back() != 0) return false;
        for (std::size_t i = 0; i + 1 < data.size(); ++i)
            if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
        return true;
    }

    RegFileFormat format_;
    RegFileEncoding encoding_;
    std::string text_;
    bool textDataFits_ = true;  // text given as hex fits the file's code page
};

// Writes one key's section: its path line (not for a root without values)
// and its values.
void WriteSection(const std::vector<RegValueRecord>& values, const std::string& path, bool isRoot,
                  Writer& w) {
    if (!isRoot || !values.empty()) {
        w.Line("");
        w.KeyLine(path);
    }
    for (const RegValueRecord& v : values) w.Value(v.name, v.type, v.data);
}

// Writes `root` and every key below it, depth first with sub-keys in
// enumeration order. A key whose values or names cannot be read is written
// with what could be read; one that does not open is left out.
void WriteTree(IRegistry& reg, RegKey root, Writer& w) {
    struct Level {
        RegKeyHandle key;
        std::string path;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    std::vector<Level> levels;
    std::vector<RegValueRecord> values;
    RegKeyInfo info;
    if (reg.RegQueryInfoKeyA(root, &info) != kRegSuccess) return;
    ReadValues(reg, root, &values);
    WriteSection(values, RootKeyName(root), true, w);
    levels.push_back(Level{RegKeyHandle(), RootKeyName(root), {}, 0});
    ReadSubKeyNames(reg, root, &levels.back().names);
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next >= level.names.size()) {
            levels.pop_back();
            continue;
        }
        const std::string& name = level.names[level.next++];
        RegKeyHandle child;
        if (reg.RegOpenKeyExA(level.key ? level.key.Get() : root, name.c_str(), kKeyRead,
                              child.Receive(reg)) != kRegSuccess)
            continue;
        if (levels.size() > kMaxKeyDepth)
            throw std::runtime_error("cannot write a key deeper than " +
                                     std::to_string(kMaxKeyDepth) + " levels: " + level.path +
                                     "\\" + name);
        if (reg.RegQueryInfoKeyA(child.Get(), &info) != kRegSuccess) continue;
        std::string path = level.path + "\\" + name;
        ReadValues(reg, child.Get(), &values);
        WriteSection(values, path, false, w);
        Level next{std::move(child), std::move(path), {}, 0};
        ReadSubKeyNames(reg, next.key.Get(), &next.names);
        levels.push_back(std::move(next));
    }
}

std::vector<std::uint8_t> ReadAll(const std::string& path, std::uint64_t limit) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (ReadWholeFile(path, limit, bytes, error) != ReadStatus::Read) throw std::runtime_error(error);
    return bytes;
}

}  // namespace

RegFileEncoding ReadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry, std::uint32_t codePage) {
    const Decoded d = Decode(bytes, codePage);
    const std::vector<Op> ops = Parse(d);
    Apply(ops, registry);
    return d.encoding;
}

RegFileEncoding ReadRegFile(const std::string& path, IRegistry& registry, std::uint32_t codePage,
                            std::uint64_t sizeLimit) {
    return ReadRegText(ReadAll(path, sizeLimit), registry, codePage);
}

RegFileFormat LoadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry) {
    return ReadRegText(bytes, registry).format;
}

RegFileFormat LoadRegFile(const std::string& path, IRegistry& registry, std::uint64_t sizeLimit) {
    return ReadRegFile(path, registry, kRegFileChooseCodePage, sizeLimit).format;
}

namespace {

std::vector<std::uint8_t> Render(IRegistry& registry, const std::vector<RegKey>& roots,
                                 const RegFileEncoding& encoding) {
    Writer w(encoding);
    w.Line(encoding.format == RegFileFormat::Regedit4 ? kHeader4 : kHeader5);
    for (RegKey root : roots) WriteTree(registry, root, w);
    w.Line("");
    std::vector<std::uint8_t> bytes;
    // Text the file's code page cannot hold goes as UTF-16 with a
    // byte-order mark, which the editor reads back the same.
    if (!w.Finish(bytes)) return Render(registry, roots, RegFileEncoding{});
    return bytes;
}

// HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes in the
// registry this writes from, so it is not written twice.
const std::vector<RegKey>& AllRoots() {
    static const std::vector<RegKey> roots = {kHkeyLocalMachine, kHkeyCurrentUser, kHkeyUsers, kHkeyCurrentConfig};
    return roots;
}

}  // namespace

std::vector<std::uint8_t> WriteRegText(IRegistry& registry, const RegFileEncoding& encoding) {
    return Render(registry, AllRoots(), encoding);
}

void WriteRegFile(const std::string& path, IRegistry& registry, const RegFileEncoding& encoding) {
    const std::vector<std::uint8_t> bytes = WriteRegText(registry, encoding);
    std::string error;
    if (!ReplaceFileAtomically(path, bytes.data(), bytes.size(), error)) throw std::runtime_error(error);
}

std::vector<std::uint8_t> SaveRegText(IRegistry& registry, RegFileFormat format) {
    return WriteRegText(registry, RegFileEncoding{format, 0, false});
}

std::vector<std::uint8_t> SaveRegTextOf(IRegistry& registry, RegKey root, RegFileFormat format) {
    return Render(registry, {root}, RegFileEncoding{format, 0, false});
}

void SaveRegFile(const std::string& path, IRegistry& registry, RegFileFormat format) {
    WriteRegFile(path, registry, RegFileEncoding{format, 0, false});
}

}  // namespace qm
