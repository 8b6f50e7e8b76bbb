#include "platform/codepage.h"

namespace qm {

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            len = 4;
        } else {
            len = 0;  // invalid lead byte
        }
        if (len > 1) {
            bool ok = i + len <= n;
            char32_t v = c & (0x7F >> len);
            for (std::size_t k = 1; ok && k < len; ++k) {
                if ((s[i + k] & 0xC0) != 0x80) ok = false;
                else v = (v << 6) | (s[i + k] & 0x3F);
            }
            const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= minimum[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
                cp = 0xFFFD;
            }
        } else if (len == 0) {
            len = 1;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::vector<std::uint8_t> Utf16LeBytesToAnsi(const std::uint8_t* data, std::size_t len) {
    std::u16string w;
    w.reserve(len / 2);
    for (std::size_t i = 0; i + 1 < len; i += 2) w.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    const std::string a = Utf16ToAnsiText(w);
    return std::vector<std::uint8_t>(a.begin(), a.end());
}

std::vector<std::uint8_t> AnsiToUtf16LeBytes(const std::vector<std::uint8_t>& data) {
    const std::u16string w = AnsiToUtf16(std::string(data.begin(), data.end()));
    std::vector<std::uint8_t> out;
    out.reserve(w.size() * 2);
    for (char16_t u : w) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

}  // namespace qm
