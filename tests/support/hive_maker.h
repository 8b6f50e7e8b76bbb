// Registry hive files made at test time: Debian ships neither a hive nor a
// tool that makes an empty one. WriteEmptyHive writes the smallest hive
// Windows reads (base block, one bin with the root key and one security
// record); FillHive adds keys and values to it through the hivex API from a
// registry held in memory (loaded from the same .reg fixtures the .reg backend
// reads). WriteHiveSet lays out the hives of a Windows installation.
#pragma once

#include <hivex.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "emulation/name_case.h"
#include "emulation/registry_memory.h"

namespace qm::testing {

namespace hive_detail {

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutBytes(std::vector<std::uint8_t>& b, std::size_t at, const std::vector<std::uint8_t>& v) {
    for (std::size_t i = 0; i < v.size(); ++i) b[at + i] = v[i];
}

inline bool IsText(std::uint32_t t) { return t == 1 || t == 2 || t == 7; }

inline std::vector<std::uint8_t> Utf16Bytes(const std::vector<std::uint8_t>& ansi) {
    const std::u16string w = AnsiToUtf16(std::string(ansi.begin(), ansi.end()));
    std::vector<std::uint8_t> out;
    for (char16_t u : w) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

inline void Fill(hive_h* h, hive_node_h node, const MemoryRegistry& reg, const std::string& path) {
    std::vector<std::string> names = reg.ValueNames(path);
    std::vector<std::vector<std::uint8_t>> data(names.size());
    std::vector<hive_set_value> values(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::uint32_t type = 0;
        reg.GetValue(path, names[i], &type, &data[i]);
        if (IsText(type)) data[i] = Utf16Bytes(data[i]);
        values[i].key = const_cast<char*>(names[i].c_str());
        std::memcpy(&values[i].t, &type, sizeof type);  // any type code, not only hive_type's
        values[i].len = data[i].size();
        values[i].value = reinterpret_cast<char*>(data[i].data());
    }
    if (!values.empty() && hivex_node_set_values(h, node, values.size(), values.data(), 0) != 0)
        throw std::runtime_error("hivex_node_set_values " + path + ": " + std::strerror(errno));
    for (const std::string& sub : reg.SubKeyNames(path)) {
        const hive_node_h child = hivex_node_add_child(h, node, sub.c_str());
        if (child == 0) throw std::runtime_error("hivex_node_add_child " + path + "\\" + sub);
        Fill(h, child, reg, path + "\\" + sub);
    }
}

// Copies the tree at `fromPath` to `toPath`, leaving out the sub-tree
// `skip` (a path below `fromPath`, any case).
inline void Copy(const MemoryRegistry& from, const std::string& fromPath, MemoryRegistry& to,
                 const std::string& toPath, const std::string& skip, const std::string& rel = "") {
    if (!from.KeyExists(fromPath)) return;
    to.CreateKeyPath(toPath);
    for (const std::string& v : from.ValueNames(fromPath)) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> bytes;
        from.GetValue(fromPath, v, &type, &bytes);
        to.SetValue(toPath, v, type, bytes);
    }
    for (const std::string& k : from.SubKeyNames(fromPath)) {
        const std::string childRel = rel.empty() ? k : rel + "\\" + k;
        if (!skip.empty() && FoldedName(childRel) == FoldedName(skip)) continue;
        Copy(from, fromPath + "\\" + k, to, toPath + "\\" + k, skip, childRel);
    }
}

}  // namespace hive_detail

// Writes an empty hive (root key named `rootName`) to `path`.
inline void WriteEmptyHive(const std::string& path, const std::string& rootName = "ROOT") {
    using namespace hive_detail;
    std::vector<std::uint8_t> b(8192, 0);
    // Base block.
    std::memcpy(&b[0], "regf", 4);
    Put32(b, 4, 1);          // primary sequence number
    Put32(b, 8, 1);          // secondary sequence number
    Put32(b, 20, 1);         // major version
    Put32(b, 24, 5);         // minor version
    Put32(b, 28, 0);         // primary file
    Put32(b, 32, 1);         // direct memory load
    Put32(b, 36, 0x20);      // root cell offset
    Put32(b, 40, 4096);      // hive bins data size
    Put32(b, 44, 1);         // clustering factor
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 508; i += 4)
        sum ^= std::uint32_t(b[i]) | std::uint32_t(b[i + 1]) << 8 | std::uint32_t(b[i + 2]) << 16 |
               std::uint32_t(b[i + 3]) << 24;
    if (sum == 0) sum = 1;
    if (sum == 0xFFFFFFFFu) sum = 0xFFFFFFFEu;
    Put32(b, 508, sum);

    // The bin.
    const std::size_t bin = 4096;
    std::memcpy(&b[bin], "hbin", 4);
    Put32(b, bin + 4, 0);     // offset of this bin
    Put32(b, bin + 8, 4096);  // its size

    // Root key cell at 0x20.
    const std::size_t nkOff = 0x20;
    const std::size_t nkSize = (4 + 76 + rootName.size() + 7) / 8 * 8;
    // Security cell after it.
    const std::size_t skOff = nkOff + nkSize;
    const std::vector<std::uint8_t> owner = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0};
    const std::vector<std::uint8_t> group = {1, 1, 0, 0, 0, 0, 0, 5, 0x12, 0, 0, 0};
    const std::vector<std::uint8_t> everyone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const std::size_t aceSize = 8 + everyone.size();
    const std::size_t aclSize = 8 + aceSize;
    const std::size_t sdSize = 20 + owner.size() + group.size() + aclSize;
    const std::size_t skSize = (4 + 20 + sdSize + 7) / 8 * 8;

    std::size_t c = bin + nkOff;
    Put32(b, c, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nkSize)));
    std::memcpy(&b[c + 4], "nk", 2);
    Put16(b, c + 6, 0x2C);                     // hive entry, no delete, ASCII name
    Put32(b, c + 4 + 16, 0xFFFFFFFFu);         // parent (none)
    Put32(b, c + 4 + 28, 0xFFFFFFFFu);         // sub-key list
    Put32(b, c + 4 + 32, 0xFFFFFFFFu);         // volatile sub-key list
    Put32(b, c + 4 + 40, 0xFFFFFFFFu);         // value list
    Put32(b, c + 4 + 44, static_cast<std::uint32_t>(skOff));
    Put32(b, c + 4 + 48, 0xFFFFFFFFu);         // class name
    Put16(b, c + 4 + 72, static_cast<std::uint16_t>(rootName.size()));
    std::memcpy(&b[c + 4 + 76], rootName.data(), rootName.size());

    c = bin + skOff;
    Put32(b, c, static_cast<std::uint32_t>(-static_cast<std::int32_t>(skSize)));
    std::memcpy(&b[c + 4], "sk", 2);
    Put32(b, c + 8, static_cast<std::uint32_t>(skOff));   // flink: itself
    Put32(b, c + 12, static_cast<std::uint32_t>(skOff));  // blink: itself
    Put32(b, c + 16, 1);                                  // reference count
    Put32(b, c + 20, static_cast<std::uint32_t>(sdSize));
    const std::size_t sd = c + 24;
    b[sd] = 1;                    // revision
    Put16(b, sd + 2, 0x8004);     // self-relative, DACL present
    const std::size_t ownerAt = 20, groupAt = ownerAt + owner.size(), daclAt = groupAt + group.size();
    Put32(b, sd + 4, static_cast<std::uint32_t>(ownerAt));
    Put32(b, sd + 8, static_cast<std::uint32_t>(groupAt));
    Put32(b, sd + 12, 0);
    Put32(b, sd + 16, static_cast<std::uint32_t>(daclAt));
    PutBytes(b, sd + ownerAt, owner);
    PutBytes(b, sd + groupAt, group);
    const std::size_t acl = sd + daclAt;
    b[acl] = 2;  // ACL revision
    Put16(b, acl + 2, static_cast<std::uint16_t>(aclSize));
    Put16(b, acl + 4, 1);  // one entry
    const std::size_t ace = acl + 8;
    b[ace] = 0;     // access allowed
    b[ace + 1] = 2;  // inherited by sub-keys
    Put16(b, ace + 2, static_cast<std::uint16_t>(aceSize));
    Put32(b, ace + 4, 0xF003F);  // KEY_ALL_ACCESS
    PutBytes(b, ace + 8, everyone);

    // The rest of the bin is one free cell.
    const std::size_t freeOff = skOff + skSize;
    Put32(b, bin + freeOff, static_cast<std::uint32_t>(4096 - freeOff));

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Adds every key and value `reg` holds below `fromPath` to the hive at `path`
// (keys below its root), through hivex, and commits it.
inline void FillHive(const std::string& path, const MemoryRegistry& reg, const std::string& fromPath) {
    hive_h* h = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    if (!h) throw std::runtime_error("hivex_open " + path + ": " + std::strerror(errno));
    try {
        if (reg.KeyExists(fromPath)) hive_detail::Fill(h, hivex_root(h), reg, fromPath);
        if (hivex_commit(h, path.c_str(), 0) != 0) throw std::runtime_error("hivex_commit " + path);
    } catch (...) {
        hivex_close(h);
        throw;
    }
    hivex_close(h);
}

// Writes `reg` as the hives of a Windows installation whose drive C: is the
// folder `root` (made as needed): SOFTWARE (HKEY_LOCAL_MACHINE\SOFTWARE,
// HKEY_CLASSES_ROOT included), SYSTEM (HKEY_LOCAL_MACHINE\SYSTEM, with
// CurrentControlSet stored as ControlSet001 and Select\Current = 1), the
// user's NTUSER.DAT (HKEY_CURRENT_USER without Software\Classes) and
// UsrClass.dat (HKEY_CURRENT_USER\Software\Classes).
inline void WriteHiveSet(const MemoryRegistry& source, const std::string& root, const std::string& user = "User") {
    const auto run = [](const std::string& cmd) {
        if (std::system(cmd.c_str()) != 0) throw std::runtime_error("failed: " + cmd);
    };
    const std::string config = root + "/Windows/System32/config";
    const std::string profile = root + "/Users/" + user;
    const std::string classes = profile + "/AppData/Local/Microsoft/Windows";
    run("mkdir -p '" + config + "' '" + classes + "'");

    // What goes into each hive, copied below "HKEY_LOCAL_MACHINE\\H" of its own registry.
    const std::string h = "HKEY_LOCAL_MACHINE\\H";
    MemoryRegistry system, userHive;
    hive_detail::Copy(source, "HKEY_LOCAL_MACHINE\\SYSTEM", system, h, "CurrentControlSet");
    hive_detail::Copy(source, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", system, h + "\\ControlSet001", "");
    system.SetDword(h + "\\Select", "Current", 1);
    hive_detail::Copy(source, "HKEY_CURRENT_USER", userHive, h, "Software\\Classes");

    WriteEmptyHive(config + "/SOFTWARE");
    FillHive(config + "/SOFTWARE", source, "HKEY_LOCAL_MACHINE\\SOFTWARE");
    WriteEmptyHive(config + "/SYSTEM");
    FillHive(config + "/SYSTEM", system, h);
    WriteEmptyHive(profile + "/NTUSER.DAT");
    FillHive(profile + "/NTUSER.DAT", userHive, h);
    WriteEmptyHive(classes + "/UsrClass.dat");
    FillHive(classes + "/UsrClass.dat", source, "HKEY_CURRENT_USER\\Software\\Classes");
}

}  // namespace qm::testing
