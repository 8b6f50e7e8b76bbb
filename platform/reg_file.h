// Registry export files as the registry editor reads and writes them:
// "Windows Registry Editor Version 5.00" (UTF-16LE with a byte-order mark, or
// UTF-8) and "REGEDIT4" (8-bit). Loading applies the file to a registry
// ([KEY] creates, [-KEY] deletes a tree, "name"=- deletes a value); saving
// writes every key of a registry in the same format.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

enum class RegFileFormat {
    Unicode5,  // version 5.00 in UTF-16LE with a byte-order mark (what regedit writes)
    Utf8_5,    // version 5.00 in UTF-8
    Regedit4,  // REGEDIT4, 8-bit text
};

// A malformed file: `line` is the 1-based line the problem is on.
class RegFileError : public std::runtime_error {
public:
    RegFileError(int line, const std::string& message);
    int Line() const { return line_; }

private:
    int line_;
};

// The largest registry file read: twice what the registry editor writes for
// a large HKEY_LOCAL_MACHINE.
constexpr std::uint64_t kRegFileSizeLimit = 1ull << 30;

// Parses the whole file first and applies it only when all of it is valid, so
// a malformed file changes nothing. Throws RegFileError, or std::runtime_error
// when the file cannot be read or is larger than `sizeLimit`.
RegFileFormat LoadRegFile(const std::string& path, IRegistry& registry,
                          std::uint64_t sizeLimit = kRegFileSizeLimit);
RegFileFormat LoadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry);

// Writes every key under the five roots (a root itself only when it holds
// values) with its values. Throws std::runtime_error when the file cannot be
// written; the file is replaced atomically once it has been written whole and
// flushed to the disk (platform/whole_file.h).
void SaveRegFile(const std::string& path, IRegistry& registry, RegFileFormat format);
std::vector<std::uint8_t> SaveRegText(IRegistry& registry, RegFileFormat format);
// The same for one root and everything under it, as "regedit /e FILE ROOT" does.
std::vector<std::uint8_t> SaveRegTextOf(IRegistry& registry, RegKey root, RegFileFormat format);

}  // namespace qm
