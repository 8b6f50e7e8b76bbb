#include "engine/records.h"

#include <cstring>

#include "engine/categories.h"
#include "platform/codepage.h"
#include "platform/key_path.h"
#include "platform/registry.h"

namespace qm {

CRegErrorLog::CRegErrorLog(const CRegErrorLog& other)
    : category_(other.category_),
      keyPath_(other.keyPath_),
      value_(other.value_ ? std::make_unique<CRegValueItem>(*other.value_) : nullptr),
      removeKind_(other.removeKind_),
      filePath_(other.filePath_),
      view_(other.view_),
      classesHive_(other.classesHive_),
      ownerName_(other.ownerName_) {}

std::string OwnerNameOf(const CRegErrorLog& finding) {
    std::string owner = finding.GetOwnerName();
    if (!owner.empty()) return owner;
    const std::string tag = finding.GetCategory();
    if (tag == kTagFonts || tag == kTagDrivers || tag == kTagHelp || tag == kTagStartup) {
        const CRegValueItem* value = finding.GetValue();
        if (value != nullptr && !value->isDefault) owner = value->name;
    } else if (tag == kTagAppPaths || tag == kTagSharedTools) {
        // The key's own name; a root alone names no owner.
        std::string last;
        if (!KeyPathParent(finding.GetKeyPath(), &last).empty()) owner = last;
    }
    return owner;
}

namespace {

// Byte i of the data, or 0 when the data is shorter.
std::uint8_t ByteAt(const std::uint8_t* data, std::size_t length, std::size_t i) {
    return (data != nullptr && i < length) ? data[i] : 0;
}

constexpr char kHexDigits[] = "0123456789abcdef";

char* PutHexByte(char* p, std::uint8_t b) {
    *p++ = kHexDigits[b >> 4];
    *p++ = kHexDigits[b & 15];
    return p;
}

// "0x%02x%02x%02x%02x (%d)", written out by hand: scans render every DWORD
// value they list, and the formatted print costs more than all the rest.
std::string DwordText(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    // b0 is the most significant byte.
    const std::uint32_t u = (std::uint32_t(b0) << 24) | (std::uint32_t(b1) << 16) |
                            (std::uint32_t(b2) << 8) | std::uint32_t(b3);
    std::int32_t s;
    std::memcpy(&s, &u, sizeof s);
    char buf[32];
    char* p = buf;
    *p++ = '0';
    *p++ = 'x';
    for (std::uint8_t b : {b0, b1, b2, b3}) p = PutHexByte(p, b);
    *p++ = ' ';
    *p++ = '(';
    std::int64_t v = s;
    if (v < 0) {
        *p++ = '-';
        v = -v;
    }
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) *p++ = digits[--n];
    *p++ = ')';
    return std::string(buf, p);
}

std::string TextUpToZero(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr) return {};
    const void* zero = std::memchr(data, 0, length);
    const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : length;
    return std::string(reinterpret_cast<const char*>(data), n);
}

}  // namespace

std::string Utf16ToAnsi(const std::uint8_t* data, std::size_t length) {
    std::u16string w;
    for (std::size_t i = 0; data != nullptr && i + 1 < length; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        w.push_back(unit);
    }
    return Utf16ToAnsiText(w);
}

std::string ConvertToString(std::uint32_t type, const std::uint8_t* data, std::size_t length) {
    if (data == nullptr) length = 0;
    switch (type) {
        case kRegBinary:
        case kRegResourceList:
        case kRegResourceRequirementsList: {
            std::string out(length ? length * 3 - 1 : 0, ' ');
            for (std::size_t i = 0; i < length; ++i) PutHexByte(&out[i * 3], data[i]);
            return out;
        }
        case kRegDword:
            return DwordText(ByteAt(data, length, 3), ByteAt(data, length, 2),
                             ByteAt(data, length, 1), ByteAt(data, length, 0));
        case kRegDwordBigEndian:
            return DwordText(ByteAt(data, length, 0), ByteAt(data, length, 1),
                             ByteAt(data, length, 2), ByteAt(data, length, 3));
        case kRegQword: {
            char buf[18] = {'0', 'x'};
            char* p = buf + 2;
            for (int i = 7; i >= 0; --i) p = PutHexByte(p, ByteAt(data, length, std::size_t(i)));
            return std::string(buf, p);
        }
        case kRegMultiSz: {
            // The list ends with two zero bytes; a list stored without them
            // (or with only one) keeps every character it has.
            std::size_t n = length;
            if (n >= 2 && data[n - 1] == 0 && data[n - 2] == 0) n -= 2;
            else if (n >= 1 && data[n - 1] == 0) n -= 1;
            std::string out;
            out.reserve(n);
            for (std::size_t i = 0; i < n; ++i) {
                if (data[i] == 0) out += "\r\n";
                else out.push_back(static_cast<char>(data[i]));
            }
            return out;
        }
        case kRegLink:
            return Utf16ToAnsi(data, length);
        default:
            return TextUpToZero(data, length);
    }
}

void ConvertToString(std::uint32_t type, const std::uint8_t* data, std::size_t length, std::string& out) {
    switch (type) {
        case kRegBinary:
        case kRegResourceList:
        case kRegResourceRequirementsList:
        case kRegDword:
        case kRegDwordBigEndian:
        case kRegQword:
        case kRegMultiSz:
        case kRegLink:
            out = ConvertToString(type, data, length);
            return;
        default: {
            // Plain text, as TextUpToZero reads it.
            if (data == nullptr) length = 0;
            const void* zero = length ? std::memchr(data, 0, length) : nullptr;
            const std::size_t n =
                zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : length;
            out.assign(reinterpret_cast<const char*>(data), n);
        }
    }
}

}  // namespace qm
