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
    RegFileFormat format;
    bool utf16 = false;  // text data (hex(1), hex(2), hex(7)) is UTF-16 only in UTF-16 files
    std::vector<std::string> lines;  // 8-bit text in the registry's code page
};

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

Decoded Decode(const std::vector<std::uint8_t>& bytes) {
    Decoded d;
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string w;
        w.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            w.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        text = Utf16ToAnsiText(w);
        d.format = RegFileFormat::Unicode5;
        d.utf16 = true;
    } else {
        std::size_t start = 0;
        if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) start = 3;
        text.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
        d.format = RegFileFormat::Utf8_5;  // settled by the header below
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
        // An 8-bit file is text in the code page, as the editor reads it
        // (UTF-8 where the code page is UTF-8).
        if (!d.utf16) d.format = RegFileFormat::Utf8_5;
    } else if (header == kHeader4) {
        // The editor also reads a UTF-16 file with this header; it is written
        // back as version 5.
        if (!d.utf16) d.format = RegFileFormat::Regedit4;
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
// file, 8-bit text in any other, completed with a terminator when its last
// character is not zero. Returned as 8-bit text.
std::vector<std::uint8_t> TextAsTheEditorStoresIt(std::vector<std::uint8_t> data, bool utf16, int line) {
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
        return data;
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

void ParseValueLine(const std::vector<std::string>& lines, std::size_t& index, bool utf16,
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
        if (IsTextType(op.type)) op.data = TextAsTheEditorStoresIt(std::move(op.data), utf16, line);
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
        ParseValueLine(d.lines, i, d.utf16, currentKey, ops);
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
    explicit Writer(RegFileFormat format) : format_(format) {}

    void Line(const std::string& ansi) {
        text_ += ansi;
        text_ += "\r\n";
    }

    // The editor reads an 8-bit version 5 file as 8-bit text in the code
    // page, so UTF-8 reads back the same only when it is plain ASCII.
    bool ReadsBackAsUtf8() const {
        for (char c : text_)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    }

    std::vector<std::uint8_t> Finish() const {
        std::vector<std::uint8_t> out;
        if (format_ == RegFileFormat::Unicode5) {
            out = {0xFF, 0xFE};
            const std::u16string w = AnsiToUtf16(text_);
            for (char16_t u : w) {
                out.push_back(static_cast<std::uint8_t>(u & 0xFF));
                out.push_back(static_cast<std::uint8_t>(u >> 8));
            }
        } else if (format_ == RegFileFormat::Utf8_5) {
            const std::string u = AnsiToUtf8(text_);
            out.assign(u.begin(), u.end());
        } else {
            out.assign(text_.begin(), text_.end());
        }
        return out;
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
        // The editor reads text given as hex as UTF-16 only in a UTF-16 file.
        if (format_ == RegFileFormat::Unicode5 && IsTextType(type)) data = AnsiToUtf16LeBytes(data);
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
    static std::string Escape(const std::string& s) {
        std::string out;
        for (char c : s) {
            if (c == '\\' || c == '"') out.push_back('\\');
            out.push_back(c);
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
    std::string text_;
};

// Writes one key's section: its path line (not for a root without values)
// and its values.
void WriteSection(const std::vector<RegValueRecord>& values, const std::string& path, bool isRoot,
                  Writer& w) {
    if (!isRoot || !values.empty()) {
        w.Line("");
        w.Line("[" + path + "]");
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

RegFileFormat LoadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry) {
    const Decoded d = Decode(bytes);
    const std::vector<Op> ops = Parse(d);
    Apply(ops, registry);
    return d.format;
}

RegFileFormat LoadRegFile(const std::string& path, IRegistry& registry, std::uint64_t sizeLimit) {
    return LoadRegText(ReadAll(path, sizeLimit), registry);
}

namespace {

std::vector<std::uint8_t> Render(IRegistry& registry, const std::vector<RegKey>& roots, RegFileFormat format) {
    Writer w(format);
    w.Line(format == RegFileFormat::Regedit4 ? kHeader4 : kHeader5);
    for (RegKey root : roots) WriteTree(registry, root, w);
    w.Line("");
    // Text beyond ASCII goes as UTF-16 with a byte-order mark, which the
    // editor reads back the same.
    if (format == RegFileFormat::Utf8_5 && !w.ReadsBackAsUtf8())
        return Render(registry, roots, RegFileFormat::Unicode5);
    return w.Finish();
}

}  // namespace

std::vector<std::uint8_t> SaveRegText(IRegistry& registry, RegFileFormat format) {
    // HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes in the
    // registry this writes from, so it is not written twice.
    return Render(registry, {kHkeyLocalMachine, kHkeyCurrentUser, kHkeyUsers, kHkeyCurrentConfig}, format);
}

std::vector<std::uint8_t> SaveRegTextOf(IRegistry& registry, RegKey root, RegFileFormat format) {
    return Render(registry, {root}, format);
}

void SaveRegFile(const std::string& path, IRegistry& registry, RegFileFormat format) {
    const std::vector<std::uint8_t> bytes = SaveRegText(registry, format);
    std::string error;
    if (!ReplaceFileAtomically(path, bytes.data(), bytes.size(), error)) throw std::runtime_error(error);
}

}  // namespace qm
