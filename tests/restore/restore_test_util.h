// Helpers shared by the restore tests: files, reader event lists and
// snapshots of registry trees taken through IRegistry (so they work on the
// in-memory registry and on the real one alike).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "repair/xml_reader.h"
#include "tests/test_restore_areas.h"

namespace qm::test {

inline void WriteTextFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline std::string ReadTextFile(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

// One reader event as text: "1:name", "2:name", "3:name=value", "4:text",
// "5:directive", "6", "7", "0".
inline std::string DescribeEvent(const CXmlReader& r) {
    switch (r.GetKind()) {
        case kXmlStartTag: return "1:" + r.GetTagName();
        case kXmlEndTag: return "2:" + r.GetTagName();
        case kXmlAttribute: return "3:" + r.GetAttributeName() + "=" + r.GetAttributeValue();
        case kXmlText: return "4:" + r.GetText();
        case kXmlDirective: return "5:" + r.GetDirectiveName();
        default: return std::to_string(r.GetKind());
    }
}

struct ReadResult {
    std::vector<std::string> events;  // without kind-0 events unless asked for
    std::vector<int> lines;           // the line of each event
    std::string error;                // the reader's error text at the end
};

inline ReadResult ReadEvents(const std::string& path, bool withNone = false) {
    ReadResult out;
    CXmlReader reader;
    reader.SetFileName(path);
    int guard = 0;
    while (reader.ReadNext() == 1 && ++guard < 100000) {
        if (!withNone && reader.GetKind() == kXmlNone) continue;
        out.events.push_back(DescribeEvent(reader));
        out.lines.push_back(reader.GetLineNumber());
    }
    out.error = reader.GetErrorText();
    reader.Close();
    return out;
}

inline ReadResult ReadEventsOf(const std::string& content, bool withNone = false) {
    const std::string path = "reader_input.xml";
    WriteTextFile(path, content);
    return ReadEvents(path, withNone);
}

// ---------------------------------------------------------------- registry trees

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
