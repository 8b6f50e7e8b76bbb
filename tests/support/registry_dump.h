// Every key and value of a registry as comparable text, for tests that check
// two registries hold the same keys, values, types and bytes.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm::testing {

inline void DumpKey(IRegistry& reg, RegKey key, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    static thread_local std::vector<char> name(16384);
    static thread_local std::vector<std::uint8_t> data(1 << 20);
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t nameLen = static_cast<std::uint32_t>(name.size());
        std::uint32_t dataLen = static_cast<std::uint32_t>(data.size());
        std::uint32_t type = 0;
        if (reg.RegEnumValueA(key, i, name.data(), &nameLen, &type, data.data(), &dataLen) != kRegSuccess) break;
        out += "  \"" + std::string(name.data(), nameLen) + "\" type " + std::to_string(type) + ":";
        char hex[4];
        for (std::uint32_t b = 0; b < dataLen; ++b) {
            std::snprintf(hex, sizeof hex, " %02x", data[b]);
            out += hex;
        }
        out += "\n";
    }
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t len = static_cast<std::uint32_t>(name.size());
        if (reg.RegEnumKeyExA(key, i, name.data(), &len) != kRegSuccess) break;
        const std::string child(name.data(), len);
        RegKeyHandle sub;
        if (reg.RegOpenKeyExA(key, child.c_str(), kKeyRead, sub.Receive(reg)) != kRegSuccess) {
            out += "[" + path + "\\" + child + "] (cannot open)\n";
            continue;
        }
        DumpKey(reg, sub.Get(), path + "\\" + child, out);
    }
}

// The tree under root\subKey; "" when the key does not exist.
inline std::string DumpTree(IRegistry& reg, RegKey root, const std::string& subKey) {
    RegKeyHandle key;
    if (reg.RegOpenKeyExA(root, subKey.c_str(), kKeyRead, key.Receive(reg)) != kRegSuccess) return {};
    const RegKey opened = key.Get();
    if (opened == root) key.Release();  // the root itself, which is not ours to close
    std::string out;
    DumpKey(reg, opened, RootKeyName(root) + (subKey.empty() ? "" : "\\" + subKey), out);
    return out;
}

// "" when equal; otherwise the first line where the two dumps differ, for a
// failure message that stays short on dumps of whole hives.
inline std::string FirstDifference(const std::string& a, const std::string& b) {
    if (a == b) return {};
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    const std::size_t lineStart = a.rfind('\n', i == 0 ? 0 : i - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    auto lineOf = [from](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
    return "first difference:\n  " + lineOf(a) + "\n  " + lineOf(b);
}

// The same content as sorted lines, each value line prefixed with its key's
// path: equal for two registries holding the same keys and values in any
// enumeration order.
inline std::vector<std::string> SortedDump(const std::string& dump) {
    std::vector<std::string> lines;
    std::string key;
    std::size_t start = 0;
    while (start < dump.size()) {
        std::size_t end = dump.find('\n', start);
        if (end == std::string::npos) end = dump.size();
        const std::string line = dump.substr(start, end - start);
        if (!line.empty() && line[0] == '[') key = line;
        lines.push_back(line[0] == '[' ? line : key + line);
        start = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace qm::testing
