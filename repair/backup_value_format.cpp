#include "repair/backup_value_format.h"

#include <cstring>

#include "engine/records.h"
#include "platform/codepage.h"
#include "platform/registry.h"
#include "repair/registry_repair.h"
#include "repair/xml_writer.h"

namespace qm {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// "0a 1b ff": two digits per byte, one space between bytes; "" is no bytes.
bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>& data) {
    data.clear();
    if (text.empty()) return true;
    if ((text.size() + 1) % 3 != 0) return false;
    data.reserve((text.size() + 1) / 3);
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const int hi = HexValue(text[i]);
        const int lo = HexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        if (i + 2 < text.size() && text[i + 2] != ' ') return false;
        data.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

// "0x" and exactly `bytes` * 2 digits, most significant first, at the start
// of `text`; the bytes go to `data` least significant first.
bool ParseHexNumber(const std::string& text, std::size_t bytes, std::vector<std::uint8_t>& data) {
    if (text.size() < 2 + bytes * 2 || text[0] != '0' || AsciiLower(text[1]) != 'x') return false;
    data.assign(bytes, 0);
    for (std::size_t i = 0; i < bytes; ++i) {
        const int hi = HexValue(text[2 + 2 * i]);
        const int lo = HexValue(text[3 + 2 * i]);
        if (hi < 0 || lo < 0) return false;
        data[bytes - 1 - i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

// "0x0000000a" or "0x0000000a (10)", the decimal part (signed) equal to the
// hexadecimal one. An empty text is four zero bytes, as it always was.
bool ParseDword(const std::string& text, std::vector<std::uint8_t>& data) {
    if (text.empty()) {
        data.assign(4, 0);
        return true;
    }
    if (!ParseHexNumber(text, 4, data)) return false;
    if (text.size() == 10) return true;
    const std::string rest = text.substr(10);
    if (rest.size() < 4 || rest[0] != ' ' || rest[1] != '(' || rest.back() != ')') return false;
    std::string digits = rest.substr(2, rest.size() - 3);
    bool negative = false;
    if (!digits.empty() && digits[0] == '-') {
        negative = true;
        digits.erase(0, 1);
    }
    if (digits.empty() || digits.size() > 10) return false;
    std::int64_t magnitude = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    const std::uint32_t u = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                            std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
    const std::int64_t asSigned = u >= 0x80000000u ? std::int64_t(u) - 0x100000000LL : std::int64_t(u);
    return (negative ? -magnitude : magnitude) == asSigned;
}

// "hex(N)": N is one to eight hexadecimal digits.
bool ParseHexTypeName(const std::string& name, std::uint32_t& type) {
    if (name.size() < 6 || name.size() > 13 || !EqualsNoCase(name.substr(0, 4), "hex(") ||
        name.back() != ')')
        return false;
    std::uint32_t value = 0;
    for (std::size_t i = 4; i + 1 < name.size(); ++i) {
        const int d = HexValue(name[i]);
        if (d < 0) return false;
        value = value << 4 | std::uint32_t(d);
    }
    type = value;
    return true;
}

std::string HexTypeName(std::uint32_t type) {
    char buf[16];
    char* p = buf + sizeof buf;
    *--p = '\0';
    *--p = ')';
    do {
        *--p = kHexDigits[type & 15];
        type >>= 4;
    } while (type != 0);
    return "hex(" + std::string(p);
}

std::string HexBytes(const std::uint8_t* data, std::size_t length) {
    std::string out(length ? length * 3 - 1 : 0, ' ');
    for (std::size_t i = 0; i < length; ++i) {
        out[i * 3] = kHexDigits[data[i] >> 4];
        out[i * 3 + 1] = kHexDigits[data[i] & 15];
    }
    return out;
}

}  // namespace

std::string HexByteText(const std::uint8_t* data, std::size_t length) { return HexBytes(data, length); }

bool ParseHexByteText(const std::string& text, std::vector<std::uint8_t>& data) {
    return ParseHexBytes(text, data);
}

BackupValueText RenderBackupValue(std::uint32_t type, const std::uint8_t* data, std::size_t length) {
    if (data == nullptr) length = 0;
    // The usual rendering, when reading it back gives exactly this value
    // (through the file's UTF-8 too).
    BackupValueText usual{ConvertToString(type, data, length), CRegistryRepair::StringFromValueType(type)};
    std::uint32_t readType = 0;
    std::vector<std::uint8_t> readData;
    std::string error;
    if (ParseBackupValue(usual.text, usual.typeName, readType, readData, error) &&
        readType == type && readData.size() == length &&
        (length == 0 || std::memcmp(readData.data(), data, length) == 0) &&
        Utf8ToAnsi(AnsiToUtf8(usual.text)) == usual.text)
        return usual;
    return BackupValueText{HexBytes(data, length), HexTypeName(type)};
}

bool IsDefaultValueStandIn(const std::string& name) { return EqualsNoCase(name, kDefaultValueName); }

int WriteBackupValueElement(CXmlWriter& writer, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::size_t length) {
    const BackupValueText rendered = RenderBackupValue(type, data, length);
    CXmlElement v("v");
    v.SetAttribute("name", UTF8Conversion(GetEscapedXmlString(name.empty() ? std::string(kDefaultValueName) : name)));
    v.SetAttribute("value", UTF8Conversion(GetEscapedXmlString(rendered.text)));
    if (!rendered.typeName.empty())
        v.SetAttribute("type", UTF8Conversion(GetEscapedXmlString(rendered.typeName)));
    if (IsDefaultValueStandIn(name)) v.SetAttribute(kBackupNamedAttribute, "1");
    return v.WriteEmptyElement(writer, 1, true, true);
}

bool ParseBackupValue(const std::string& text, const std::string& typeName, std::uint32_t& type,
                      std::vector<std::uint8_t>& data, std::string& error) {
    data.clear();
    if (ParseHexTypeName(typeName, type)) {
        if (ParseHexBytes(text, data)) return true;
        error = "value text is not hexadecimal bytes (\"0a 1b ...\")";
        return false;
    }
    struct Named {
        const char* name;
        std::uint32_t type;
    };
    static const Named kNames[] = {
        {"", kRegSz},
        {"REG_SZ", kRegSz},
        {"REG_EXPAND_SZ", kRegExpandSz},
        {"REG_BINARY", kRegBinary},
        {"REG_DWORD", kRegDword},
        {"REG_MULTI_SZ", kRegMultiSz},
        {"REG_RESOURCE_LIST", kRegResourceList},
        {"REG_RESOURCE_REQUIREMENTS_LIST", kRegResourceRequirementsList},
        {"REG_QWORD", kRegQword},
    };
    const Named* found = nullptr;
    for (const Named& n : kNames)
        if (EqualsNoCase(typeName, n.name)) found = &n;
    if (found == nullptr) {
        error = "unknown type \"" + typeName + "\"";
        return false;
    }
    type = found->type;
    switch (type) {
        case kRegBinary:
        case kRegResourceList:
        case kRegResourceRequirementsList:
            if (ParseHexBytes(text, data)) return true;
            error = "value text is not hexadecimal bytes (\"0a 1b ...\")";
            return false;
        case kRegDword:
            if (ParseDword(text, data)) return true;
            error = "value text is not a DWORD (\"0x0000000a (10)\")";
            return false;
        case kRegQword:
            if (text.empty()) {
                data.assign(8, 0);
                return true;
            }
            if (text.size() == 18 && ParseHexNumber(text, 8, data)) return true;
            error = "value text is not a QWORD (\"0x000000000000000a\")";
            return false;
        default:
            ConvertFromStringInto(text, type, data);
            return true;
    }
}

}  // namespace qm
