// The backup/restore round trip used by the property tests: random key trees
// with awkward names and every value type the backup expresses, written to
// a registry, backed up with the XML writer, deleted, restored with the
// reader, and compared by type and bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/codepage.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "repair/xml_writer.h"
#include "tests/support/backup_files.h"
#include "tests/support/registry_keys.h"
#include "tests/support/test_restore_areas.h"

namespace qm::test {

// Pieces names and texts are made of: the characters the backup escapes,
// the ones it leaves alone, markup look-alikes and non-ASCII letters (those
// of them the ANSI code page can hold).
inline const std::vector<std::string>& NamePieces() {
    static const std::vector<std::string> pieces = [] {
        std::vector<std::string> p = {" ", "&", "\"", "<", ">", "'", "&amp;", "&lt;", "&quot;", "a", "Z",
                                      "0", "-", "_", ".", "{", "}", "(", ")", "%", "!", "?", "=", "/",
                                      "]]>", "<!--", "-->", "<?", "x y", "Key", "#"};
        for (const char16_t* w : {u"\u00e9", u"\u00fc", u"\u00df", u"\u00c5", u"\u20ac", u"\u03a9",
                                  u"\u0416", u"\u4e2d", u"\u00f1\u00e7"}) {
            const std::u16string wide(w);
            const std::string ansi = Utf16ToAnsiText(wide);
            if (!ansi.empty() && ansi.find('?') == std::string::npos && AnsiToUtf16(ansi) == wide)
                p.push_back(ansi);
        }
        return p;
    }();
    return pieces;
}

class RandomTree {
public:
    // `nonAsciiNames`: key and value names may hold non-ASCII letters too
    // (value texts always may).
    explicit RandomTree(std::uint32_t seed, bool nonAsciiNames = true)
        : rng_(seed), nonAsciiNames_(nonAsciiNames) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string Piece() {
        const auto& p = NamePieces();
        return p[static_cast<std::size_t>(Below(static_cast<int>(p.size())))];
    }
    std::string NamePiece() {
        for (;;) {
            std::string p = Piece();
            if (nonAsciiNames_ || static_cast<unsigned char>(p[0]) < 0x80) return p;
        }
    }

    // Unique (also without regard to case) thanks to the counter.
    std::string KeyName() {
        std::string s;
        for (int i = 0, n = 1 + Below(3); i < n; ++i) s += NamePiece();
        return s + "#" + std::to_string(++counter_);
    }
    std::string ValueName() {
        std::string s = KeyName();
        if (Below(4) == 0) s += "\\back\\slash";  // allowed in value names
        return s;
    }

    // Text without zero bytes; line breaks of every kind when asked.
    std::string Text(bool lineBreaks) {
        std::string s;
        for (int i = 0, n = Below(5); i < n; ++i) {
            if (lineBreaks && Below(5) == 0) {
                static const char* const breaks[] = {"\r\n", "\n", "\r", "\r\n\r\n"};
                s += breaks[Below(4)];
            } else {
                s += Piece();
            }
        }
        return s;
    }

    std::vector<std::uint8_t> RandomBytes(int count) {
        std::vector<std::uint8_t> b(static_cast<std::size_t>(count));
        for (auto& x : b) x = static_cast<std::uint8_t>(Below(256));
        return b;
    }

    // A value of any type code, with data that is typical for it or awkward:
    // numbers of the wrong size, strings with an odd length, without their
    // terminator or with zero bytes inside, lists with carriage returns,
    // empty data, the text "(value not set)", codes no registry names.
    void RandomValue(std::uint32_t* type, std::vector<std::uint8_t>* data, bool unnamed) {
        (void)unnamed;
        static const std::uint32_t kOddTypes[] = {12, 13, 0x20, 0x7fffffffu, 0xffff0001u};
        const int pick = Below(16);
        *type = pick < 12 ? static_cast<std::uint32_t>(pick) : kOddTypes[Below(5)];
        data->clear();
        const bool awkward = Below(4) == 0;
        auto text = [&](const std::string& t, bool terminated) {
            data->assign(t.begin(), t.end());
            if (terminated) data->push_back(0);
        };
        switch (*type) {
            case kRegSz:
            case kRegExpandSz:
            case kRegNone:
            case kRegLink:
                if (!awkward) {
                    text(Below(8) == 0 ? std::string(kValueNotSet) : Text(true), *type != kRegLink);
                    if (*type == kRegLink) *data = Utf16(Text(false));
                } else {
                    switch (Below(4)) {
                        case 0: text(Text(true) + std::string(1, '\0') + Text(false), true); break;
                        case 1: text(Text(true) + "x", false); break;  // no terminator
                        case 2: *data = RandomBytes(Below(7)); break;
                        default: break;                               // no data at all
                    }
                }
                break;
            case kRegDword:
            case kRegDwordBigEndian:
                *data = RandomBytes(awkward ? Below(9) : 4);
                break;
            case kRegQword:
                *data = RandomBytes(awkward ? Below(12) : 8);
                break;
            case kRegMultiSz: {
                const int n = Below(4);
                for (int i = 0; i < n; ++i) {
                    std::string s = Below(4) == 0 ? std::string() : Text(awkward);
                    data->insert(data->end(), s.begin(), s.end());
                    data->push_back(0);
                }
                if (!awkward || Below(2) == 0) data->push_back(0);
                break;
            }
            default:  // binary types and codes without a name
                *data = RandomBytes(Below(12));
                break;
        }
    }

    static std::vector<std::uint8_t> Utf16(const std::string& ansi) {
        std::vector<std::uint8_t> out;
        for (const char16_t c : AnsiToUtf16(ansi)) {
            out.push_back(static_cast<std::uint8_t>(c & 0xff));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        out.push_back(0);
        out.push_back(0);
        return out;
    }

    // Fills `key` with values and up to `depth` levels of sub-keys.
    void Fill(IRegistry& reg, RegKey key, int depth) {
        if (Below(3) != 0) {
            std::uint32_t type;
            std::vector<std::uint8_t> data;
            RandomValue(&type, &data, true);
            SetValue(reg, key, "", type, data);
        }
        for (int i = 0, n = Below(6); i < n; ++i) {
            std::uint32_t type;
            std::vector<std::uint8_t> data;
            RandomValue(&type, &data, false);
            SetValue(reg, key, ValueName(), type, data);
        }
        if (depth <= 0) return;
        for (int i = 0, n = Below(4); i < n; ++i) {
            RegKey sub = kNullKey;
            const std::string name = KeyName();
            ASSERT_EQ(reg.RegCreateKeyA(key, name.c_str(), &sub), kRegSuccess) << name;
            RegKeyHandle h(reg, sub);
            Fill(reg, sub, depth - 1 - Below(2));
        }
    }

private:
    static void SetValue(IRegistry& reg, RegKey key, const std::string& name, std::uint32_t type,
                         const std::vector<std::uint8_t>& data) {
        // A byte after the data that is not zero: the registry would count a
        // zero there as the terminator of a text value.
        std::vector<std::uint8_t> buffer = data;
        buffer.push_back(0xFF);
        ASSERT_EQ(reg.RegSetValueExA(key, name.c_str(), type, buffer.data(),
                                     static_cast<std::uint32_t>(data.size())),
                  kRegSuccess)
            << name;
    }

    std::mt19937 rng_;
    bool nonAsciiNames_;
    int counter_ = 0;
};

// How many values of each type came back exactly, over every round trip
// of the process (printed by the tests).
inline std::map<std::uint32_t, std::uint64_t>& RoundTripCounts() {
    static std::map<std::uint32_t, std::uint64_t> counts;
    return counts;
}

inline std::string DescribeRoundTripCounts() {
    std::string out;
    for (const auto& [type, n] : RoundTripCounts())
        out += "type " + std::to_string(type) + ": " + std::to_string(n) + "\n";
    return out;
}

// Writes the backup of `keyPath` (full path, root name first) to `file` as
// the repair does: one call inside the "registry" element.
inline int WriteBackup(CRegistryRepair& repair, const std::string& keyPath, const std::string& file) {
    std::remove(file.c_str());
    CXmlWriter writer;
    writer.SetFileName(file);
    CXmlElement("registry").WriteStartTag(writer, 1, true, true);
    const int r = repair.SaveAsXml(writer, keyPath, nullptr);
    CXmlElement::WriteEndTag("registry", writer, -1, true, true);
    writer.Close();
    return r;
}

// Describes the first difference between two snapshots ("" when equal).
inline std::string FirstDifference(const TreeSnapshot& want, const TreeSnapshot& got) {
    for (const auto& [path, values] : want) {
        auto it = got.find(path);
        if (it == got.end()) return "missing key \"" + path + "\"";
        for (const auto& [name, v] : values) {
            auto jt = it->second.find(name);
            if (jt == it->second.end()) {
                std::string present;
                for (const auto& [n, unused] : it->second) present += " \"" + n + "\"";
                return "missing value \"" + name + "\" in \"" + path + "\"; present:" + present;
            }
            if (!(jt->second == v))
                return "value \"" + name + "\" in \"" + path + "\": want type " + std::to_string(v.type) +
                       " [" + Hex(v.bytes) + "], got type " + std::to_string(jt->second.type) + " [" +
                       Hex(jt->second.bytes) + "]";
        }
        for (const auto& [name, v] : it->second)
            if (!values.count(name)) return "extra value \"" + name + "\" in \"" + path + "\"";
    }
    for (const auto& [path, values] : got)
        if (!want.count(path)) return "extra key \"" + path + "\"";
    return "";
}

// One round trip of a random tree below root\parentPath\leaf. Returns the
// first difference, or "" when the restore gave back exactly what was there.
inline std::string RoundTrip(CRegistryRepair& repair, RecordingRestoreUi& ui, RegKey root,
                             const std::string& rootName, const std::string& parentPath,
                             std::uint32_t seed, const std::string& file,
                             bool nonAsciiNames = true) {
    IRegistry& reg = repair.Engine().Registry();
    RandomTree tree(seed, nonAsciiNames);
    const std::string leaf = "RoundTrip " + std::to_string(seed) + " " + tree.KeyName();
    const std::string sub = parentPath + "\\" + leaf;
    RegKey key = kNullKey;
    if (reg.RegCreateKeyA(root, sub.c_str(), &key) != kRegSuccess) return "cannot create " + sub;
    {
        RegKeyHandle h(reg, key);
        tree.Fill(reg, key, 3);
    }
    const TreeSnapshot before = Snapshot(reg, root, sub);
    if (WriteBackup(repair, rootName + "\\" + sub, file) != 1) return "backup failed";
    if (!DeleteTree(reg, root, sub)) return "cannot delete " + sub;
    if (!Snapshot(reg, root, sub).empty()) return "still there after deletion";
    ui.ClearMessages();
    CXmlReader reader;
    const int restored = repair.LoadAsXml(reader, file);
    const TreeSnapshot after = Snapshot(reg, root, sub);
    DeleteTree(reg, root, sub);
    if (restored != 1) return "restore failed";
    if (!ui.Messages().empty()) return "message: " + ui.Messages().front();
    const std::string difference = FirstDifference(before, after);
    if (difference.empty())
        for (const auto& [path, values] : before)
            for (const auto& [name, v] : values) ++RoundTripCounts()[v.type];
    return difference;
}

}  // namespace qm::test
