// Registry keys in tests, through IRegistry (so they work on the in-memory
// registry and on the real one alike): full key paths split and joined,
// snapshots of key trees to compare, and removal of a tree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/registry.h"

namespace qm::test {

// `a\b`, or `a` when `b` is empty.
inline std::string Join(const std::string& a, const std::string& b) {
    return b.empty() ? a : a + "\\" + b;
}

// A full key path ("HKEY_LOCAL_MACHINE\\SOFTWARE\\...") as its root key and
// the path below it.
inline void SplitFull(const std::string& full, RegKey* root, std::string* sub) {
    std::string rest = full;
    *root = RootKeyFromName(CRegistryLib::SeperateMainKey(rest));
    *sub = rest;
}

struct ValueSnapshot {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const ValueSnapshot& o) const { return type == o.type && bytes == o.bytes; }
};

// Every key below (and including) a start key, by path relative to it ("" is
// the start key), with its values by name ("" is the unnamed value).
using TreeSnapshot = std::map<std::string, std::map<std::string, ValueSnapshot>>;

inline void SnapshotKey(IRegistry& reg, RegKey key, const std::string& relPath, TreeSnapshot& out) {
    auto& values = out[relPath];
    RegKeyInfo info;
    if (reg.RegQueryInfoKeyA(key, &info) != kRegSuccess) return;
    // Lengths are reported in UTF-16 units; 8-bit names and texts may need
    // more bytes (a UTF-8 code page): buffers double until the entry fits.
    std::vector<char> name(std::size_t(info.maxValueNameLen) + 2);
    std::vector<std::uint8_t> data(std::size_t(info.maxValueLen) + 2);
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t nameLen = static_cast<std::uint32_t>(name.size());
        std::uint32_t dataLen = static_cast<std::uint32_t>(data.size());
        std::uint32_t type = 0;
        const RegStatus st =
            reg.RegEnumValueA(key, i, name.data(), &nameLen, &type, data.data(), &dataLen);
        if (st == kRegMoreData && name.size() < (1u << 20)) {
            name.resize(name.size() * 2);
            data.resize(std::max<std::size_t>(data.size() * 2, dataLen + 2));
            --i;
            continue;
        }
        if (st != kRegSuccess) break;
        ValueSnapshot v;
        v.type = type;
        v.bytes.assign(data.begin(), data.begin() + dataLen);
        values[std::string(name.data(), nameLen)] = v;
    }
    std::vector<char> sub(std::size_t(info.maxSubKeyLen) + 2);
    std::vector<std::string> children;
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t len = static_cast<std::uint32_t>(sub.size());
        const RegStatus st = reg.RegEnumKeyExA(key, i, sub.data(), &len);
        if (st == kRegMoreData && sub.size() < (1u << 20)) {
            sub.resize(sub.size() * 2);
            --i;
            continue;
        }
        if (st != kRegSuccess) break;
        children.emplace_back(sub.data(), len);
    }
    for (const std::string& child : children) {
        RegKey k = kNullKey;
        if (reg.RegOpenKeyExA(key, child.c_str(), kKeyRead, &k) != kRegSuccess) continue;
        RegKeyHandle h(reg, k);
        SnapshotKey(reg, k, relPath.empty() ? child : relPath + "\\" + child, out);
    }
}

// An empty snapshot when the key does not exist.
inline TreeSnapshot Snapshot(IRegistry& reg, RegKey root, const std::string& subKey) {
    TreeSnapshot out;
    RegKey k = kNullKey;
    if (reg.RegOpenKeyExA(root, subKey.c_str(), kKeyRead, &k) != kRegSuccess) return out;
    RegKeyHandle h(reg, k);
    SnapshotKey(reg, k, "", out);
    return out;
}

// Deletes the key and everything below it; true when it is gone.
inline bool DeleteTree(IRegistry& reg, RegKey parent, const std::string& subKey) {
    RegKey k = kNullKey;
    if (reg.RegOpenKeyExA(parent, subKey.c_str(), kKeyAllAccess, &k) != kRegSuccess)
        return true;
    {
        RegKeyHandle h(reg, k);
        std::vector<std::string> children;
        std::vector<char> sub(4096);
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t len = static_cast<std::uint32_t>(sub.size());
            if (reg.RegEnumKeyExA(k, i, sub.data(), &len) != kRegSuccess) break;
            children.emplace_back(sub.data(), len);
        }
        for (const std::string& child : children) DeleteTree(reg, k, child);
    }
    return reg.RegDeleteKeyA(parent, subKey.c_str()) == kRegSuccess;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    return out;
}

}  // namespace qm::test
