// Native build: 8-bit text is UTF-8. Other code pages: Windows-1252 here,
// the rest through the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "platform/codepage.h"

namespace qm {

std::u16string AnsiToUtf16(const std::string& text) { return Utf8ToUtf16(text); }
std::string Utf16ToAnsiText(const std::u16string& text) { return Utf16ToUtf8(text); }
std::string AnsiToUtf8(const std::string& text) { return text; }
std::string Utf8ToAnsi(const std::string& text) { return text; }

std::uint32_t AnsiCodePage() { return kCodePageUtf8; }
std::uint32_t MachineAnsiCodePage() { return kCodePageUtf8; }

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the unassigned 0x81, 0x8D, 0x8F, 0x90 and
// 0x9D read as the control characters of the same number, as on Windows.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void Windows1252ToUtf16(const std::string& bytes, std::u16string& out) {
    out.clear();
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b));
    }
}

bool Utf16ToWindows1252(const std::u16string& text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (const char16_t u : text) {
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        std::size_t i = 0;
        while (i < 32 && kWindows1252High[i] != u) ++i;
        if (i == 32) return false;
        out.push_back(static_cast<char>(0x80 + i));
    }
    return true;
}

// An iconv conversion descriptor, closed on scope exit.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Open()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Open() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted; false on any sequence that does not convert.
    bool Convert(const char* in, std::size_t length, std::string& out) {
        out.clear();
        if (!Open()) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* source = const_cast<char*>(in);
        std::size_t left = length;
        char buffer[4096];
        for (;;) {
            char* target = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t done = left > 0 ? iconv(cd_, &source, &left, &target, &room)
                                              : iconv(cd_, nullptr, nullptr, &target, &room);
            out.append(buffer, static_cast<std::size_t>(target - buffer));
            if (done == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                return false;
            }
            if (left == 0) {
                if (source == nullptr) return true;
                source = nullptr;  // once more, to end any shift state
            }
        }
    }

private:
    iconv_t cd_;
};

// The iconv name of a Windows code page.
std::string IconvName(std::uint32_t codePage) {
    const std::string candidates[] = {"CP" + std::to_string(codePage), "WINDOWS-" + std::to_string(codePage)};
    for (const std::string& name : candidates)
        if (Converter("UTF-16LE", name.c_str()).Open()) return name;
    return {};
}

bool IconvToUtf16(std::uint32_t codePage, const std::string& bytes, std::u16string& out) {
    const std::string name = IconvName(codePage);
    std::string wide;
    if (name.empty() || !Converter("UTF-16LE", name.c_str()).Convert(bytes.data(), bytes.size(), wide) ||
        wide.size() % 2 != 0)
        return false;
    out.clear();
    for (std::size_t i = 0; i < wide.size(); i += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(wide[i]) |
                                            static_cast<unsigned char>(wide[i + 1]) << 8));
    return true;
}

bool IconvFromUtf16(std::uint32_t codePage, const std::u16string& text, std::string& out) {
    const std::string name = IconvName(codePage);
    std::string wide;
    wide.reserve(text.size() * 2);
    for (const char16_t u : text) {
        wide.push_back(static_cast<char>(u & 0xFF));
        wide.push_back(static_cast<char>(u >> 8));
    }
    return !name.empty() && Converter(name.c_str(), "UTF-16LE").Convert(wide.data(), wide.size(), out);
}

}  // namespace

bool CodePageKnown(std::uint32_t codePage) {
    return codePage == kCodePageUtf8 || codePage == kCodePageWindows1252 || !IconvName(codePage).empty();
}

std::string CodePageName(std::uint32_t codePage) {
    if (codePage == kCodePageUtf8) return "UTF-8";
    if (codePage >= 1250 && codePage <= 1258) return "Windows-" + std::to_string(codePage);
    return "code page " + std::to_string(codePage);
}

bool CodePageToUtf16(std::uint32_t codePage, const std::string& bytes, std::u16string& out) {
    bool read = false;
    if (codePage == kCodePageUtf8) {
        out = Utf8ToUtf16(bytes);
        read = true;
    } else if (codePage == kCodePageWindows1252) {
        Windows1252ToUtf16(bytes, out);
        return true;
    } else {
        read = IconvToUtf16(codePage, bytes, out);
    }
    // Exact only when it converts back to the same bytes (a sequence that
    // does not read became U+FFFD; some code pages read two spellings of a
    // letter alike).
    std::string back;
    return read && Utf16ToCodePage(codePage, out, back) && back == bytes;
}

bool Utf16ToCodePage(std::uint32_t codePage, const std::u16string& text, std::string& out) {
    if (codePage == kCodePageUtf8) {
        out = Utf16ToUtf8(text);
        // Lone surrogates became U+FFFD.
        return Utf8ToUtf16(out) == text;
    }
    if (codePage == kCodePageWindows1252) return Utf16ToWindows1252(text, out);
    std::u16string back;
    return IconvFromUtf16(codePage, text, out) && IconvToUtf16(codePage, out, back) && back == text;
}

}  // namespace qm
