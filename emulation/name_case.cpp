#include "emulation/name_case.h"

#include "platform/codepage.h"

namespace qm {

namespace {

// In [first, last], lower-case letters at odd (or even) units follow their
// upper-case letter.
char16_t PairUp(char16_t c, char16_t first, char16_t last, bool lowerOdd) {
    if (c < first || c > last) return 0;
    const bool odd = (c & 1) != 0;
    if (odd == lowerOdd) return static_cast<char16_t>(c - 1);
    return c;
}

// Decodes the UTF-8 character at `i` of `text` (at most three bytes: the
// basic plane); its length goes to `length`. 0xFFFFFFFF with length 1 for a
// byte that does not start a well-formed character of the basic plane.
char32_t DecodeAt(std::string_view text, std::size_t i, std::size_t& length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    length = 1;
    const auto continuation = [&](std::size_t k) { return k < text.size() && (byte(k) & 0xC0) == 0x80; };
    if (lead < 0x80) return lead;
    if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
        length = 2;
        return (char32_t(lead & 0x1F) << 6) | (byte(i + 1) & 0x3F);
    }
    if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
        const char32_t c = (char32_t(lead & 0x0F) << 12) | (char32_t(byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
        if (c < 0x800 || (c >= 0xD800 && c < 0xE000)) return 0xFFFFFFFF;
        length = 3;
        return c;
    }
    return 0xFFFFFFFF;
}

}  // namespace

bool SameUtf8NameIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned char ca = static_cast<unsigned char>(a[i]);
        const unsigned char cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            if (UpcaseUnit(ca) != UpcaseUnit(cb)) return false;
            ++i, ++j;
            continue;
        }
        std::size_t la = 0, lb = 0;
        const char32_t ua = DecodeAt(a, i, la);
        const char32_t ub = DecodeAt(b, j, lb);
        if (ua == 0xFFFFFFFF || ub == 0xFFFFFFFF) {
            if (ca != cb) return false;  // compared as bytes
            ++i, ++j;
            continue;
        }
        if (UpcaseUnit(static_cast<char16_t>(ua)) != UpcaseUnit(static_cast<char16_t>(ub))) return false;
        i += la;
        j += lb;
    }
    return i == a.size() && j == b.size();
}

std::string FoldedUtf8Name(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(UpcaseUnit(c)));
            ++i;
            continue;
        }
        std::size_t length = 0;
        const char32_t u = DecodeAt(name, i, length);
        if (u == 0xFFFFFFFF) {
            // A byte compared as it is; the zero byte (never part of a
            // name) keeps it apart from any character.
            out.push_back('\0');
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const char16_t up = UpcaseUnit(static_cast<char16_t>(u));
        if (up < 0x80) {
            out.push_back(static_cast<char>(up));
            i += length;
            continue;
        }
        if (up < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (up >> 6)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (up >> 12)));
            out.push_back(static_cast<char>(0x80 | ((up >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (up & 0x3F)));
        i += length;
    }
    return out;
}

char16_t UpcaseUnit(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    if (c < 0x100) {
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
        if (c == 0xFF) return 0x178;
        return c;
    }
    if (c < 0x180) {
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (char16_t u = PairUp(c, 0x100, 0x137, true)) return u;
        if (char16_t u = PairUp(c, 0x139, 0x148, false)) return u;
        if (char16_t u = PairUp(c, 0x14A, 0x177, true)) return u;
        if (char16_t u = PairUp(c, 0x179, 0x17E, false)) return u;
        return c;
    }
    if (c < 0x250) {
        if (char16_t u = PairUp(c, 0x1CD, 0x1DC, false)) return u;
        if (char16_t u = PairUp(c, 0x1DE, 0x1EF, true)) return u;
        if (char16_t u = PairUp(c, 0x1F8, 0x21F, true)) return u;
        if (char16_t u = PairUp(c, 0x222, 0x233, true)) return u;
        return c;
    }
    if (c >= 0x370 && c < 0x400) {
        if (c == 0x3AC) return 0x386;
        if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 0x25);
        if (c == 0x3C2) return 0x3A3;
        if (c >= 0x3B1 && c <= 0x3CB) return static_cast<char16_t>(c - 0x20);
        if (c == 0x3CC) return 0x38C;
        if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 0x3F);
        if (char16_t u = PairUp(c, 0x3D8, 0x3EF, true)) return u;
        return c;
    }
    if (c >= 0x400 && c < 0x530) {
        if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
        if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
        if (char16_t u = PairUp(c, 0x460, 0x481, true)) return u;
        if (char16_t u = PairUp(c, 0x48A, 0x4BF, true)) return u;
        if (c == 0x4CF) return 0x4C0;
        if (char16_t u = PairUp(c, 0x4C1, 0x4CE, false)) return u;
        if (char16_t u = PairUp(c, 0x4D0, 0x52F, true)) return u;
        return c;
    }
    if (c >= 0x561 && c <= 0x586) return static_cast<char16_t>(c - 0x30);
    if (c >= 0x1E00 && c <= 0x1EFF) {
        if (c >= 0x1E96 && c <= 0x1E9F) return c;
        if (char16_t u = PairUp(c, 0x1E00, 0x1EFF, true)) return u;
        return c;
    }
    if (c >= 0x2170 && c <= 0x217F) return static_cast<char16_t>(c - 0x10);
    if (c >= 0x24D0 && c <= 0x24E9) return static_cast<char16_t>(c - 0x1A);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
    return c;
}

std::u16string FoldedName(const std::string& name) {
    std::u16string folded;
    bool ascii = true;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) >= 0x80) ascii = false;
    if (ascii) {
        folded.reserve(name.size());
        for (const char ch : name) folded.push_back(UpcaseUnit(static_cast<unsigned char>(ch)));
        return folded;
    }
    folded = AnsiToUtf16(name);
    for (char16_t& u : folded) u = UpcaseUnit(u);
    return folded;
}

}  // namespace qm
