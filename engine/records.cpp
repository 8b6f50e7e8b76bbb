#include "engine/records.h"

#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace qm {

CRegErrorLog::CRegErrorLog(const CRegErrorLog& other)
    : category_(other.category_),
      keyPath_(other.keyPath_),
      value_(other.value_ ? std::make_unique<CRegValueItem>(*other.value_) : nullptr),
      removeKind_(other.removeKind_),
      filePath_(other.filePath_) {}

namespace {

// Byte i of the data, or 0 when the data is shorter.
std::uint8_t ByteAt(const std::uint8_t* data, std::size_t length, std::size_t i) {
    return (data != nullptr && i < length) ? data[i] : 0;
}

std::string DwordText(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    // b0 is the most significant byte.
    const std::uint32_t u = (std::uint32_t(b0) << 24) | (std::uint32_t(b1) << 16) |
                            (std::uint32_t(b2) << 8) | std::uint32_t(b3);
    std::int32_t s;
    std::memcpy(&s, &u, sizeof s);
    char buf[40];
    std::snprintf(buf, sizeof buf, "0x%02x%02x%02x%02x (%d)", b0, b1, b2, b3, s);
    return buf;
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
            std::string out;
            out.reserve(length * 3);
            char buf[4];
            for (std::size_t i = 0; i < length; ++i) {
                if (i) out.push_back(' ');
                std::snprintf(buf, sizeof buf, "%02x", data[i]);
                out += buf;
            }
            return out;
        }
        case kRegDword:
            return DwordText(ByteAt(data, length, 3), ByteAt(data, length, 2),
                             ByteAt(data, length, 1), ByteAt(data, length, 0));
        case kRegDwordBigEndian:
            return DwordText(ByteAt(data, length, 0), ByteAt(data, length, 1),
                             ByteAt(data, length, 2), ByteAt(data, length, 3));
        case kRegQword: {
            std::string out = "0x";
            char buf[4];
            for (int i = 7; i >= 0; --i) {
                std::snprintf(buf, sizeof buf, "%02x", ByteAt(data, length, std::size_t(i)));
                out += buf;
            }
            return out;
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

}  // namespace qm
