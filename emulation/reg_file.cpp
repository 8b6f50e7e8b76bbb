#include "emulation/reg_file.h"

#include <cstdio>
#include <memory>

#include "platform/codepage.h"
#include "platform/key_path.h"
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

// ---------------------------------------------------------------- decoding

struct Decoded {
    RegFileEncoding encoding;
    bool utf16 = false;  // text data (hex(1), hex(2), hex(7)) is UTF-16 only in UTF-16 files
    std::string text;    // 8-bit text in the registry's code page
    std::size_t body = 0;  // where the line after the header starts
    int bodyLine = 1;      // its number
};

// The lines of a text one after another, split where the editor splits them
// (CR, LF or CR LF); a last line without a line end counts only when it is
// not empty.
class LineCursor {
public:
    LineCursor(const std::string& text, std::size_t pos, int number) : text_(text), pos_(pos), next_(number) {}
    // The next line into `line`; false at the end of the text.
    bool Next(std::string& line) {
        const char* start = nullptr;
        std::size_t length = 0;
        if (!Next(start, length)) return false;
        line.assign(start, length);
        return true;
    }
    // The same, as where the line starts in the text and its length.
    bool Next(const char*& start, std::size_t& length) {
        const std::size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* const text = text_.data();
        std::size_t stop = pos_;
        while (stop < size && text[stop] != '\r' && text[stop] != '\n') ++stop;
        start = text + pos_;
        length = stop - pos_;
        pos_ = stop;
        if (pos_ < size) pos_ += text[pos_] == '\r' && pos_ + 1 < size && text[pos_ + 1] == '\n' ? 2 : 1;
        number_ = next_++;
        return true;
    }
    int Number() const { return number_; }  // of the line Next gave last

private:
    const std::string& text_;
    std::size_t pos_;
    int next_;
    int number_ = 0;
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

// UTF-16LE bytes from `from` on as 8-bit text of the registry's code page,
// converted a piece at a time (a piece never ends inside a surrogate pair).
std::string Utf16FileText(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::string text;
    const std::size_t units = (bytes.size() - from) / 2;
    // ASCII text (what exports mostly are) goes straight through, a unit to
    // a byte; the first unit beyond ASCII hands the rest to the conversion.
    text.reserve(units);
    const std::uint8_t* in = bytes.data() + from;
    std::size_t i = 0;
    constexpr std::size_t kRun = 64;
    char run[kRun];
    while (i < units) {
        const std::size_t n = std::min(units - i, kRun);
        unsigned beyond = 0;
        for (std::size_t k = 0; k < n; ++k) {
            run[k] = static_cast<char>(in[2 * (i + k)]);
            beyond |= (in[2 * (i + k)] & 0x80u) | in[2 * (i + k) + 1];
        }
        if (beyond != 0) break;
        text.append(run, n);
        i += n;
    }
    std::u16string piece;
    while (i < units) {
        piece.clear();
        std::size_t end = std::min(units, i + 65536);
        bool ascii = true;
        for (; i < end; ++i) {
            const char16_t u = static_cast<char16_t>(bytes[from + 2 * i] | (bytes[from + 2 * i + 1] << 8));
            if (u >= 0x80) ascii = false;
            piece.push_back(u);
            if (i + 1 == end && u >= 0xD800 && u < 0xDC00 && end < units) ++end;
        }
        if (ascii) text.append(piece.begin(), piece.end());
        else text += Utf16ToAnsiText(piece);
    }
    return text;
}

Decoded Decode(std::vector<std::uint8_t> bytes, std::uint32_t codePage) {
    Decoded d;
    RegFileFormat& format = d.encoding.format;
    std::string& text = d.text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = Utf16FileText(bytes, 2);
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
    std::vector<std::uint8_t>().swap(bytes);  // the text is all that is needed from here on
    LineCursor lines(text, 0, 1);
    std::string header;
    bool found = false;
    while (!found && lines.Next(header)) found = header.find_first_not_of(" \t") != std::string::npos;
    if (!found) throw RegFileError(1, "the file is empty, not a registry export");
    const int first = lines.Number() - 1;
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
        throw RegFileError(first + 1, "a Windows 3.1 REGEDIT file: not supported, only \"" + std::string(kHeader5) +
                                          "\" and \"" + kHeader4 + "\" files");
    } else if (header.compare(0, 7, "REGEDIT") == 0) {
        throw RegFileError(first + 1,
                           "unknown header \"" + header + "\" (the registry editor imports nothing from it)");
    } else {
        throw RegFileError(first + 1, "expected \"" + std::string(kHeader5) + "\" or \"" + kHeader4 + "\"");
    }
    // The header is not an entry: the entries start on the next line.
    d.bodyLine = first + 2;
    std::size_t pos = 0;
    for (int n = 0; n <= first && pos < text.size(); ++n) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            pos = text.size();
            break;
        }
        pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    d.body = pos;
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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A number in base 16 as the C library's strtoul reads it (the editor reads
// hex bytes and value types so): white space, a sign and "0x" may lead, and
// a value past 32 bits is too large. `length` is 0 when no digit was read.
struct HexNumber {
    std::size_t length = 0;
    std::uint32_t value = 0;
    bool tooLarge = false;
};

HexNumber ReadHexNumber(const std::string& s, std::size_t pos) {
    std::size_t i = pos;
    while (i < s.size() && (IsBlank(s[i]) || (s[i] >= '\n' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && HexDigit(s[i + 2]) >= 0) i += 2;
    const std::size_t digits = i;
    std::uint64_t value = 0;
    HexNumber n;
    for (; i < s.size() && HexDigit(s[i]) >= 0; ++i) {
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(s[i]));
        if (value > 0xFFFFFFFFull) {
            n.tooLarge = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (i == digits) return HexNumber{};
    n.length = i - pos;
    n.value = static_cast<std::uint32_t>(value);
    if (negative && !n.tooLarge) n.value = 0u - n.value;
    return n;
}

// A quoted text read from just after its opening quote, as the editor reads
// it: \n and \r stand for line breaks, any other escaped character for
// itself. False for a text without its closing quote or holding \0 (then
// `nul` is set); `pos` is left after the closing quote.
bool ReadQuoted(const std::string& text, std::size_t& pos, std::string& out, bool* nul = nullptr) {
    out.clear();
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 < text.size() && text[pos + 1] == '0' && nul) *nul = true;
            if (pos + 1 >= text.size() || text[pos + 1] == '0') return false;
            const char e = text[pos + 1];
            out.push_back(e == 'n' ? '\n' : e == 'r' ? '\r' : e);
            pos += 2;
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    return false;
}

// Blanks, then nothing or a ;comment from `pos` on.
bool OnlyCommentFrom(const std::string& text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos >= text.size() || text[pos] == ';';
}

std::string Excerpt(const std::string& text) { return text.size() > 20 ? text.substr(0, 20) + "..." : text; }

// Text read from a version 5 file is converted from UTF-16 to the code page,
// as the registry's 8-bit calls would return it.
std::vector<std::uint8_t> Utf16BytesToAnsi(const std::vector<std::uint8_t>& data) {
    return Utf16LeBytesToAnsi(data.data(), data.size());
}

// Text data given as hex, stored as the editor stores it: UTF-16 in a UTF-16
// file, 8-bit text of the file's code page in any other, completed with a
// terminator when its last character is not zero. Returned as 8-bit text of
// the registry's code page.
std::vector<std::uint8_t> TextAsTheEditorStoresIt(std::vector<std::uint8_t> data, bool utf16, std::uint32_t codePage,
                                                  int line) {
    // The editor looks at the character before the end to complete the text,
    // and fails when there is none.
    if (data.empty())
        throw RegFileError(line, "text data given as hex with no bytes after its type's ':' ends in ';' or '\\' "
                                 "(the registry editor fails on this value)");
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
        if (data.back() != 0) data.push_back(0);
        std::string text(data.begin(), data.end());
        if (!FileTextToAnsi(codePage, text, text))
            throw RegFileCodePageError(line, "text given as hex that is not " + DescribeCodePage(codePage) +
                                                 " text: the file was written in another code page");
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }
    if (data.size() == 1)
        throw RegFileError(line, "UTF-16 text of an odd number of bytes: one byte, no whole character "
                                 "(the registry editor fails on this value)");
    // An odd byte at the end: the editor completes the text over it when the
    // last whole character is not zero, and either way the text ends with
    // the last whole character.
    if (data.size() % 2 != 0) data.pop_back();
    if (data[data.size() - 2] != 0 || data.back() != 0) {
        data.push_back(0);
        data.push_back(0);
    }
    return Utf16BytesToAnsi(data);
}

// Where the operations read from a file go: kept to be applied once the
// whole file has been read, or applied as they come.
class OpSink {
public:
    virtual ~OpSink() = default;
    virtual void Take(Op&& op) = 0;
};

// Reads the file's lines into operations as the registry editor reads them.
// A line the editor skips goes to `skipped`, or, when that is null, stops the
// reading (RegFileError) before anything is applied.
class Parser {
public:
    Parser(const Decoded& d, OpSink& sink, std::vector<RegFileSkippedLine>* skipped)
        : d_(d), lines_(d.text, d.body, d.bodyLine), sink_(sink), skipped_(skipped) {}

    void Run() {
        const char* raw = nullptr;
        std::size_t length = 0;
        while (!stopped_ && lines_.Next(raw, length)) {
            // Buffers kept from line to line: no allocation per line.
            std::string& text = trimmed_;
            std::size_t b = 0, e = length;
            while (b < e && IsBlank(raw[b])) ++b;
            while (e > b && IsBlank(raw[e - 1])) --e;
            text.assign(raw + b, e - b);
            if (text.empty() || text[0] == ';' || text[0] == '#') continue;
            const int line = lines_.Number();
            if (text[0] == '[') KeyLine(line, text);
            else if (text[0] == '@' || text[0] == '"') ValueLine(line, text);
            else Skip(line, "expected a key in [brackets], \"name\"=value or @=value, not \"" + Excerpt(text) +
                                "\" (the registry editor skips this line)");
        }
    }

private:
    // The key the values of the lines below go to: none yet, one that was
    // deleted, or one the editor cannot open.
    enum class Current { None, Open, Deleted, Failed };

    void Skip(int line, const std::string& what) {
        if (!skipped_)
            throw RegFileError(line, what + "; the file holds lines the registry editor would skip, and writing "
                                            "it back would lose them");
        skipped_->push_back(RegFileSkippedLine{line, what});
    }

    void KeyLine(int line, const std::string& text) {
        const std::size_t close = text.rfind(']');
        if (text.size() < 2 || IsBlank(text[1]) || close == 0 || close == std::string::npos) {
            Skip(line, std::string(close == 0 || close == std::string::npos ? "key line without closing ']'"
                                                                             : "blank after '['") +
                            " (the registry editor skips this line and goes on with the key above it)");
            return;
        }
        // The path's parts, in buffers kept from line to line (split here
        // rather than through KeyPathRoot so that a key line allocates nothing).
        const bool remove = close > 1 && text[1] == '-';
        if (remove) current_ = Current::Deleted;
        const std::size_t from = remove ? 2 : 1;
        const std::size_t slash = text.find('\\', from);
        const std::size_t rootEnd = slash == std::string::npos || slash > close ? close : slash;
        std::string& rootName = rootName_;
        rootName.assign(text, from, rootEnd - from);
        const RegKey root = RootKeyFromName(rootName);
        Op& op = op_;
        std::string& subKey = op.subKey;
        if (rootEnd < close) subKey.assign(text, rootEnd + 1, close - rootEnd - 1);
        else subKey.clear();
        if (root == kNullKey || (remove && rootName[0] != 'H' && rootName[0] != 'h')) {
            if (!remove) current_ = Current::Failed;
            Skip(line, "unknown root key \"" + rootName + "\"" +
                            (remove ? " (the registry editor deletes nothing here)"
                                    : " (the registry editor opens no key here and skips the values below it)"));
            return;
        }
        if (remove && subKey.empty()) {
            Skip(line, "a root key cannot be deleted (the registry editor deletes nothing here)");
            return;
        }
        if (!remove && !subKey.empty() && subKey[0] == '\\') {
            current_ = Current::Failed;
            Skip(line, "key path with an empty name after the root (the registry editor cannot create it and "
                        "skips the values below it)");
            return;
        }
        if (KeyPathDepth(subKey) > kMaxKeyDepth)
            throw RegFileError(line, "key deeper than " + std::to_string(kMaxKeyDepth) +
                                         " levels (the registry's limit)");
        op.kind = remove ? Op::DeleteKey : Op::Key;
        op.line = line;
        op.root = root;
        op.name.clear();
        op.type = 0;
        op.data.clear();
        sink_.Take(std::move(op));
        if (!remove) {
            current_ = Current::Open;
            root_ = root;
        }
    }

    void ValueLine(int line, const std::string& text) {
        std::size_t pos = 1;
        Op& op = op_;  // its buffers kept from line to line
        std::string& name = op.name;
        name.clear();
        if (text[0] == '"' && !ReadQuoted(text, pos, name)) {
            Skip(line, "unterminated value name, or \\0 in it (the registry editor skips this line)");
            return;
        }
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] != '=') {
            Skip(line, "expected '=' after the value name (the registry editor skips this line)");
            return;
        }
        ++pos;
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        std::string& rest = rest_;
        rest.assign(text, pos, std::string::npos);

        // To the key of the last key line.
        op.kind = Op::Value;
        op.line = line;
        op.root = root_;
        op.subKey.clear();
        op.type = kRegSz;
        op.data.clear();
        const auto starts = [&rest](const char* p) { return rest.compare(0, std::char_traits<char>::length(p), p) == 0; };
        if (!rest.empty() && rest[0] == '-') {
            if (!OnlyCommentFrom(rest, 1)) {
                Skip(line, "text after \"=-\" (the registry editor skips this line and deletes nothing)");
                return;
            }
            op.kind = Op::DeleteValue;
        } else if (!rest.empty() && rest[0] == '"') {
            std::size_t p = 1;
            std::string& s = first_;
            bool nul = false;
            const bool closed = ReadQuoted(rest, p, s, &nul);
            if (nul) {
                // The editor reads no further line of the file.
                Skip(line, "\\0 in a string (the registry editor stops importing the file at this line)");
                stopped_ = true;
                return;
            }
            if (!closed) {
                Skip(line, "unterminated string (no closing '\"') (the registry editor skips this line)");
                return;
            }
            if (!OnlyCommentFrom(rest, p)) {
                Skip(line, "unexpected text after the closing '\"' (the registry editor skips this line)");
                return;
            }
            op.data.assign(s.begin(), s.end());
            op.data.push_back(0);
        } else if (starts("dword:")) {
            std::size_t p = 6;
            while (p < rest.size() && IsBlank(rest[p])) ++p;
            std::size_t end = p;
            std::uint32_t v = 0;
            for (; end < rest.size() && HexDigit(rest[end]) >= 0; ++end)
                v = v * 16 + static_cast<std::uint32_t>(HexDigit(rest[end]));
            if (p >= rest.size() || end - p > 8 || !OnlyCommentFrom(rest, end)) {
                Skip(line, "bad dword: expected 1 to 8 hex digits, not \"" + Excerpt(rest.substr(6)) +
                                "\" (the registry editor skips this line)");
                return;
            }
            op.type = kRegDword;
            op.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        } else if (starts("hex:") || starts("hex(")) {
            std::size_t p = 4;
            if (starts("hex:")) {
                op.type = kRegBinary;
            } else {
                const HexNumber n = ReadHexNumber(rest, 4);
                const std::size_t end = 4 + n.length;
                const bool xAfterFirst = rest.size() > 5 && (rest[5] == 'x' || rest[5] == 'X');
                if (rest.size() <= 4 || xAfterFirst || n.tooLarge || rest.compare(end, 2, "):") != 0) {
                    Skip(line, "bad hex(type): expected hex(N): with N in hexadecimal, not \"" + Excerpt(rest) +
                                    "\" (the registry editor skips this line)");
                    return;
                }
                op.type = n.value;
                p = end + 2;
            }
            std::string& first = first_;
            first.assign(rest, p, std::string::npos);
            if (!HexData(line, first, op.data)) return;
            // Text completed as the editor completes it; no bytes at all
            // after the ':' are stored as they are.
            if (IsTextType(op.type) && !first.empty())
                op.data = TextAsTheEditorStoresIt(std::move(op.data), d_.utf16, d_.encoding.codePage, line);
        } else {
            Skip(line, (rest.empty() ? std::string("missing value after '='")
                                      : "unknown value form \"" + Excerpt(rest) + "\"") +
                            " (the registry editor skips this line)");
            return;
        }
        if (current_ != Current::Open) {
            Skip(op.line, current_ == Current::None      ? "value outside any [key] (the registry editor skips it)"
                              : current_ == Current::Deleted ? "value under a deleted [-key] (the registry editor "
                                                               "skips it)"
                                                             : "value under a key the registry editor could not open "
                                                               "(it skips the value)");
            return;
        }
        sink_.Take(std::move(op));
    }

    // Hex bytes from `first` (what follows the type's ':') and the lines a
    // ',' then '\\' continues them on: blank and ;comment lines are passed
    // over, the end of the file ends the data. False when the editor drops
    // the value (and the line that broke the continuation); the lines are
    // read as far as the data goes.
    bool HexData(int line, const std::string& first, std::vector<std::uint8_t>& out) {
        std::string next;  // a continuation line
        const std::string* seg = &first;
        std::size_t pos = 0;
        for (;;) {
            const std::string& s = *seg;
            std::size_t after = std::string::npos;  // past a continuing '\\'
            while (pos < s.size()) {
                const HexNumber n = ReadHexNumber(s, pos);
                if (n.length == 0) {
                    std::size_t e = pos;
                    while (e < s.size() && IsBlank(s[e])) ++e;
                    if (e < s.size() && s[e] == '\\') after = e + 1;
                    else if (e >= s.size() || s[e] != ';') return BadHex(line, s, pos);
                    break;
                }
                if (n.tooLarge || n.value > 0xff) return BadHex(line, s, pos);
                out.push_back(static_cast<std::uint8_t>(n.value));
                std::size_t e = pos + n.length;
                if (e < s.size() && s[e] != ',') {
                    while (e < s.size() && IsBlank(s[e])) ++e;
                    if (e < s.size() && s[e] == '\\') {
                        Skip(line, "'\\' that continues hex data without a ',' before it (the registry editor "
                                   "skips this value)");
                        return false;
                    }
                    if (e < s.size() && s[e] != ';') return BadHex(line, s, pos);
                    break;
                }
                pos = e < s.size() ? e + 1 : e;
            }
            if (after == std::string::npos) return true;
            if (!OnlyCommentFrom(s, after)) {
                Skip(line, "text after the '\\' that continues hex data (the registry editor skips this value)");
                return false;
            }
            std::size_t start = 0;
            bool more = false;
            while (!more && lines_.Next(next)) {
                start = 0;
                while (start < next.size() && IsBlank(next[start])) ++start;
                more = start < next.size() && next[start] != ';';
            }
            if (!more) return true;  // the end of the file ends the data
            line = lines_.Number();
            if (HexDigit(next[start]) < 0) {
                Skip(line, "hex data continued by \"" + Excerpt(Trim(next)) +
                               "\" (the registry editor skips the value and this line)");
                return false;
            }
            seg = &next;
            pos = start;
        }
    }

    bool BadHex(int line, const std::string& s, std::size_t pos) {
        Skip(line, "bad hex data near \"" + Excerpt(s.substr(pos)) + "\" (the registry editor skips this value)");
        return false;
    }

    const Decoded& d_;
    LineCursor lines_;
    OpSink& sink_;
    std::vector<RegFileSkippedLine>* skipped_;
    Current current_ = Current::None;
    bool stopped_ = false;  // the editor reads no further
    RegKey root_ = kNullKey;
    std::string trimmed_, rest_, first_, rootName_;  // of the line being read
    // The operation being read. A sink that keeps it moves it out; one that
    // applies it leaves its buffers to the next line.
    Op op_{Op::Key, 0, kNullKey, {}, {}, 0, {}};
};

// ---------------------------------------------------------------- applying

// Applies operations one by one. A key is created from the deepest key it
// shares with the key before it, whose names stay open one handle each, so
// a file of sibling and child keys is not walked from its root again for
// every key.
class Applier : public OpSink {
public:
    explicit Applier(IRegistry& reg) : reg_(reg) {}
    ~Applier() override { CloseFrom(0); }  // the deepest key first
    Applier(const Applier&) = delete;
    Applier& operator=(const Applier&) = delete;

    void Take(Op&& op) override { Apply(op); }

    void Apply(const Op& op) {
        switch (op.kind) {
            case Op::Key:
                OpenKey(op);
                break;
            case Op::DeleteKey:
                CloseFrom(0);
                root_ = kNullKey;
                DeleteTree(reg_, op.root, op.subKey);  // a tree that cannot go whole stays
                break;
            case Op::Value: {
                const RegStatus st = reg_.RegSetValueExA(Current(op), op.name.c_str(), op.type, op.data.data(),
                                                         static_cast<std::uint32_t>(op.data.size()));
                if (st != kRegSuccess)
                    throw RegFileError(op.line, "cannot set value (status " + std::to_string(st) + ")");
                break;
            }
            case Op::DeleteValue:
                reg_.RegDeleteValueA(Current(op), op.name.c_str());
                break;
        }
    }

private:
    struct Level {
        std::string name;
        RegKeyHandle key;
    };

    RegKey Current(const Op& op) const {
        return root_ != op.root || path_.empty() ? op.root : path_.back().key.Get();
    }

    void CloseFrom(std::size_t depth) {
        while (path_.size() > depth) path_.pop_back();
    }

    void OpenKey(const Op& op) {
        if (op.root != root_) {
            CloseFrom(0);
            root_ = op.root;
        }
        // The names of the path ("a\\b" and "a\\\\b" name the same key).
        names_ = KeyPathNames(op.subKey);
        std::size_t same = 0;
        while (same < path_.size() && same < names_.size() && path_[same].name == names_[same]) ++same;
        CloseFrom(same);
        for (std::size_t i = same; i < names_.size(); ++i) {
            RegKeyHandle key;
            const RegStatus st = reg_.RegCreateKeyExA(i == 0 ? root_ : path_[i - 1].key.Get(), names_[i].c_str(),
                                                      key.Receive(reg_), nullptr);
            if (st != kRegSuccess) {
                CloseFrom(0);
                root_ = kNullKey;
                throw RegFileError(op.line, "cannot create key (status " + std::to_string(st) + ")");
            }
            path_.push_back(Level{std::move(names_[i]), std::move(key)});
        }
    }

    IRegistry& reg_;
    RegKey root_ = kNullKey;
    std::vector<Level> path_;  // below root_, the names of the last key
    std::vector<std::string> names_;
};

// Keeps the operations, to apply them once the whole file has been read.
class OpList : public OpSink {
public:
    void Take(Op&& op) override { ops.push_back(std::move(op)); }
    std::vector<Op> ops;
};

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
    const std::string rootName = RootKeyName(root);
    std::vector<RegValueRecord> values;
    RegWalk how;
    how.onFailure = RegWalkFailure::kSkip;
    how.topPath = &rootName;
    WalkTree(reg, root, how, [&](const RegWalkKey& k) -> RegStatus {
        if (k.depth > kMaxKeyDepth)
            throw std::runtime_error("cannot write a key deeper than " + std::to_string(kMaxKeyDepth) +
                                     " levels: " + k.path);
        RegKeyInfo info;
        const RegStatus st = reg.RegQueryInfoKeyA(k.key, &info);
        if (st != kRegSuccess) return st;
        ReadValues(reg, k.key, &values);
        WriteSection(values, k.path, k.depth == 0, w);
        return kRegSuccess;
    });
}

std::vector<std::uint8_t> ReadAll(const std::string& path, std::uint64_t limit) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (ReadWholeFile(path, limit, bytes, error) != ReadStatus::Read) throw std::runtime_error(error);
    return bytes;
}

}  // namespace

RegFileEncoding ReadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry, std::uint32_t codePage,
                            std::vector<RegFileSkippedLine>* skipped) {
    const Decoded d = Decode(bytes, codePage);
    OpList list;
    Parser(d, list, skipped).Run();
    Applier applier(registry);
    for (const Op& op : list.ops) applier.Apply(op);
    return d.encoding;
}

RegFileEncoding ReadRegFile(const std::string& path, IRegistry& registry, std::uint32_t codePage,
                            std::uint64_t sizeLimit, std::vector<RegFileSkippedLine>* skipped) {
    return ReadRegText(ReadAll(path, sizeLimit), registry, codePage, skipped);
}

RegFileEncoding StreamRegFile(const std::string& path, IRegistry& registry, std::uint32_t codePage,
                              std::vector<RegFileSkippedLine>* skipped, std::uint64_t sizeLimit) {
    const Decoded d = Decode(ReadAll(path, sizeLimit), codePage);
    Applier applier(registry);
    Parser(d, applier, skipped).Run();
    return d.encoding;
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
