// How a registry value is written in an XML backup ("value" and "type"
// attributes of a "v" element) and read back.
//
// A value whose usual rendering (ConvertToString, with the type names
// REG_EXPAND_SZ, REG_BINARY, REG_DWORD, ...) gives back exactly its type and
// bytes is written that way. Any other value is written as hexadecimal bytes
// ("0a 00 ff", empty for no data) with the type "hex(N)", N the type code in
// lower-case hexadecimal as the registry editor writes it ("hex(5)",
// "hex(0)", "hex(ffff0001)").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

class CXmlWriter;

struct BackupValueText {
    std::string text;      // the "value" attribute, before escaping
    std::string typeName;  // the "type" attribute, before escaping; "": none
};

// The attributes for a value of `type` holding `length` bytes at `data`.
BackupValueText RenderBackupValue(std::uint32_t type, const std::uint8_t* data, std::size_t length);

// A "v" element names the key's unnamed value "(Default)". A value whose own
// name is that text (in any letter case) carries the attribute named="1" as
// well, so that a restore gives it back under its name; without the
// attribute (every backup of earlier versions) "(Default)" is the unnamed
// value.
constexpr const char* kBackupNamedAttribute = "named";
// True for a name a "v" element gives for the unnamed value: "(Default)" in
// any letter case.
bool IsDefaultValueStandIn(const std::string& name);

// Writes the "v" element of the value `name` ("" for the unnamed one),
// escaped and converted, one level below the writer's current level.
int WriteBackupValueElement(CXmlWriter& writer, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::size_t length);

// The type and bytes a "v" element's texts stand for (after unescaping).
// False, with a reason in `error`, for a type name that is not known or a
// text that is not what that type's rendering gives.
// A missing or empty type name stands for REG_SZ.
bool ParseBackupValue(const std::string& text, const std::string& typeName, std::uint32_t& type,
                      std::vector<std::uint8_t>& data, std::string& error);

// "0a 1b ff": each byte as two lower-case hexadecimal digits, one space
// between bytes; no bytes give "".
std::string HexByteText(const std::uint8_t* data, std::size_t length);
// The inverse (digits in either case); false for any other text.
bool ParseHexByteText(const std::string& text, std::vector<std::uint8_t>& data);

}  // namespace qm
