#include "platform/registry_walk.h"

#include <algorithm>
#include <new>
#include <utility>

namespace qm {

namespace {

// A name starts with room for 255 single-byte characters, the registry's
// limit for key names; names and data grow from there on 234.
constexpr std::size_t kFirstNameBytes = 256;
constexpr std::size_t kFirstDataBytes = 256;
// Value names may hold 16,383 UTF-16 units, three bytes each in UTF-8; keys
// held by other stores may be longer still. Beyond this a name is refused.
constexpr std::size_t kMaxNameBytes = std::size_t(1) << 20;
constexpr int kMaxAttempts = 24;

// Grows `v` to at least `size` elements; false when memory is short.
template <class Vector>
bool GrowTo(Vector& v, std::size_t size) {
    if (v.size() >= size) return true;
    try {
        v.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::uint32_t Len(std::size_t size) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(size, 0xFFFFFFFFu));
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

// Remembers the first failure of a walk.
void Note(RegStatus* first, RegStatus status) {
    if (*first == kRegSuccess) *first = status;
}

// Paths of the keys under (and including) `subKey`, for DeleteTree's report.
void ListKeys(IRegistry& reg, RegKey parent, const std::string& subKey,
              std::vector<std::string>* out) {
    RegKeyHandle top;
    if (reg.RegOpenKeyExA(parent, subKey.c_str(), kKeyEnumerateSubKeys, top.Receive(reg)) !=
        kRegSuccess)
        return;
    RegWalk how;
    how.access = kKeyEnumerateSubKeys;
    how.onFailure = RegWalkFailure::kSkip;
    how.topPath = &subKey;
    WalkTree(reg, top.Get(), how, [out](const RegWalkKey& k) {
        out->push_back(k.path);
        return kRegSuccess;
    });
}

}  // namespace

void RegReadBuffers::Trim(std::size_t keep) {
    if (name.size() > keep) std::vector<char>().swap(name);
    if (data.size() > keep) std::vector<std::uint8_t>().swap(data);
}

RegStatus EnumSubKeyName(IRegistry& reg, RegKey key, std::uint32_t index, std::string* name,
                         RegReadBuffers& buffers) {
    std::vector<char>& b = buffers.name;
    if (!GrowTo(b, kFirstNameBytes)) return kRegMoreData;
    for (int attempt = 0;; ++attempt) {
        std::uint32_t len = Len(b.size());
        b[0] = '\0';
        const RegStatus st = reg.RegEnumKeyExA(key, index, b.data(), &len);
        if (st == kRegMoreData && attempt < kMaxAttempts && b.size() < kMaxNameBytes &&
            GrowTo(b, b.size() * 2))
            continue;
        if (st == kRegSuccess) name->assign(b.data(), std::min<std::size_t>(len, b.size()));
        return st;
    }
}

RegStatus EnumValue(IRegistry& reg, RegKey key, std::uint32_t index, RegValueRecord* out,
                    RegReadBuffers& buffers) {
    std::vector<char>& name = buffers.name;
    std::vector<std::uint8_t>& data = buffers.data;
    if (!GrowTo(name, kFirstNameBytes) || !GrowTo(data, kFirstDataBytes)) return kRegMoreData;
    for (int attempt = 0;; ++attempt) {
        std::uint32_t nameLen = Len(name.size());
        std::uint32_t dataLen = Len(data.size());
        std::uint32_t type = kRegNone;
        name[0] = '\0';
        const RegStatus st =
            reg.RegEnumValueA(key, index, name.data(), &nameLen, &type, data.data(), &dataLen);
        if (st == kRegMoreData && attempt < kMaxAttempts) {
            // The data length then holds the size the data needs; when that
            // fits, the name was too long.
            bool grown;
            if (dataLen >= data.size()) {
                grown = GrowTo(data, std::max<std::size_t>(std::size_t(dataLen) + 2, data.size() + 1));
            } else if (name.size() < kMaxNameBytes) {
                grown = GrowTo(name, name.size() * 2);
            } else {
                grown = GrowTo(data, data.size() * 2);
            }
            if (grown) continue;
        }
        if (st != kRegSuccess) return st;
        out->name.assign(name.data(), std::min<std::size_t>(nameLen, name.size()));
        out->type = type;
        out->data.assign(data.begin(), data.begin() + std::min<std::size_t>(dataLen, data.size()));
        return kRegSuccess;
    }
}

RegStatus QueryValue(IRegistry& reg, RegKey key, const char* name, RegValueRecord* out) {
    std::uint32_t size = 0;
    std::uint32_t type = kRegNone;
    RegStatus st = reg.RegQueryValueExA(key, name, &type, nullptr, &size);
    if (st != kRegSuccess) return st;
    std::vector<std::uint8_t>& data = out->data;
    for (int attempt = 0;; ++attempt) {
        // Two spare bytes: room for the terminator a text may be given.
        if (!GrowTo(data, std::size_t(size) + 2)) return kRegMoreData;
        std::uint32_t len = Len(data.size());
        st = reg.RegQueryValueExA(key, name, &type, data.data(), &len);
        if (st == kRegMoreData && attempt < kMaxAttempts) {
            size = std::max<std::uint32_t>(len, Len(data.size() * 2));
            continue;
        }
        if (st != kRegSuccess) return st;
        data.resize(std::min<std::size_t>(len, data.size()));
        out->name = name ? name : "";
        out->type = type;
        return kRegSuccess;
    }
}

RegStatus ReadSubKeyNames(IRegistry& reg, RegKey key, std::vector<std::string>* names) {
    names->clear();
    RegReadBuffers buffers;
    RegStatus first = kRegSuccess;
    std::string name;
    for (std::uint32_t index = 0;; ++index) {
        const RegStatus st = EnumSubKeyName(reg, key, index, &name, buffers);
        if (st == kRegNoMoreItems) return first;
        if (st == kRegMoreData) {  // this name only
            Note(&first, st);
            continue;
        }
        if (st != kRegSuccess) {
            Note(&first, st);
            return first;
        }
        names->push_back(name);
    }
}

RegStatus ReadValues(IRegistry& reg, RegKey key, std::vector<RegValueRecord>* values) {
    values->clear();
    RegReadBuffers buffers;
    RegStatus first = kRegSuccess;
    for (std::uint32_t index = 0;; ++index) {
        RegValueRecord value;
        const RegStatus st = EnumValue(reg, key, index, &value, buffers);
        if (st == kRegNoMoreItems) return first;
        if (st == kRegMoreData) {
            Note(&first, st);
            continue;
        }
        if (st != kRegSuccess) {
            Note(&first, st);
            return first;
        }
        values->push_back(std::move(value));
    }
}

RegStatus WalkTree(IRegistry& reg, RegKey top, const RegWalk& how,
                   const std::function<RegStatus(const RegWalkKey&)>& visit) {
    const bool stop = how.onFailure == RegWalkFailure::kStop;
    struct Level {
        RegKeyHandle key;  // empty for `top`, which the caller holds
        std::string path;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    std::vector<Level> levels;
    // Reads an open key's sub-key names, shows the key to `visit` and, unless
    // the visit refused it, goes down into it.
    const auto enter = [&](RegKeyHandle handle, RegKey key, const std::string& name,
                           std::string path) -> RegStatus {
        Level level{std::move(handle), std::move(path), {}, 0};
        RegStatus st = ReadSubKeyNames(reg, key, &level.names);
        if (st != kRegSuccess && stop) return st;
        st = visit(RegWalkKey{key, name, level.path, levels.size(), level.names.size()});
        if (st != kRegSuccess) return stop ? st : kRegSuccess;
        levels.push_back(std::move(level));
        return kRegSuccess;
    };
    RegStatus st = enter(RegKeyHandle(), top, std::string(), how.topPath ? *how.topPath : std::string());
    while (st == kRegSuccess && !levels.empty()) {
        Level& level = levels.back();
        if (level.next >= level.names.size()) {
            levels.pop_back();
            continue;
        }
        // `name` stays valid until `enter` adds a level, after the visit.
        const std::string& name = level.names[level.next++];
        RegKeyHandle child;
        st = reg.RegOpenKeyExA(level.key ? level.key.Get() : top, name.c_str(), how.access,
                               child.Receive(reg));
        if (st != kRegSuccess) {
            if (stop) break;
            st = kRegSuccess;
            continue;
        }
        std::string path = how.topPath ? level.path + "\\" + name : std::string();
        const RegKey opened = child.Get();
        st = enter(std::move(child), opened, name, std::move(path));
    }
    return st;
}

RegStatus ReadTree(IRegistry& reg, RegKey key, std::vector<RegTreeKey>* tree, bool topValues) {
    tree->clear();
    return WalkTree(reg, key, RegWalk(), [&](const RegWalkKey& k) -> RegStatus {
        RegKeyInfo info;
        RegStatus st = reg.RegQueryInfoKeyA(k.key, &info);
        if (st != kRegSuccess) return st;
        RegTreeKey node;
        node.name = k.name;
        node.depth = k.depth;
        node.subKeys = k.subKeys;
        if (k.depth > 0 || topValues) {
            st = ReadValues(reg, k.key, &node.values);
            if (st != kRegSuccess) return st;
        }
        tree->push_back(std::move(node));
        return kRegSuccess;
    });
}

RegStatus StoredSubKeyName(IRegistry& reg, RegKey parent, const std::string& name,
                           std::string* stored) {
    RegReadBuffers buffers;
    std::string candidate;
    for (std::uint32_t index = 0;; ++index) {
        const RegStatus st = EnumSubKeyName(reg, parent, index, &candidate, buffers);
        if (st == kRegNoMoreItems) return kRegFileNotFound;
        if (st == kRegMoreData) continue;
        if (st != kRegSuccess) return st;
        if (EqualsAsciiNoCase(candidate, name)) {
            *stored = candidate;
            return kRegSuccess;
        }
    }
}

RegStatus CheckDeleteTree(IRegistry& reg, RegKey parent, const std::string& subKey) {
    if (subKey.empty()) return kRegBadKey;
    RegKeyHandle top;
    const RegStatus st =
        reg.RegOpenKeyExA(parent, subKey.c_str(), kKeyDeleteAndEnumerate, top.Receive(reg));
    if (st != kRegSuccess) return st;
    RegWalk how;
    how.access = kKeyDeleteAndEnumerate;
    return WalkTree(reg, top.Get(), how, [](const RegWalkKey&) { return kRegSuccess; });
}

RegStatus DeleteTree(IRegistry& reg, RegKey parent, const std::string& subKey,
                     std::vector<std::string>* left) {
    if (left) left->clear();
    RegStatus st = CheckDeleteTree(reg, parent, subKey);
    if (st != kRegSuccess) return st;

    struct Level {
        RegKeyHandle key;
        std::string name;  // below the previous level's key (or `parent`)
    };
    std::vector<Level> levels;
    RegReadBuffers buffers;
    {
        Level top{RegKeyHandle(), subKey};
        st = reg.RegOpenKeyExA(parent, subKey.c_str(), kKeyDeleteAndEnumerate,
                               top.key.Receive(reg));
        if (st != kRegSuccess) return st;
        levels.push_back(std::move(top));
    }
    // Deepest first: the first sub-key of the innermost key is entered until a
    // key has none, which is then deleted from its parent; index 0 is read
    // again each time because the previous sub-key is gone.
    while (!levels.empty()) {
        std::string child;
        st = EnumSubKeyName(reg, levels.back().key.Get(), 0, &child, buffers);
        if (st == kRegSuccess) {
            Level next{RegKeyHandle(), child};
            st = reg.RegOpenKeyExA(levels.back().key.Get(), child.c_str(), kKeyDeleteAndEnumerate,
                                   next.key.Receive(reg));
            if (st != kRegSuccess) break;
            levels.push_back(std::move(next));
            continue;
        }
        if (st != kRegNoMoreItems) break;
        const std::string name = std::move(levels.back().name);
        // Closed before it is deleted: some registries refuse an open key.
        levels.pop_back();
        const RegKey from = levels.empty() ? parent : levels.back().key.Get();
        st = reg.RegDeleteKeyA(from, name.c_str());
        if (st != kRegSuccess) break;
    }
    if (st != kRegSuccess && left) {
        levels.clear();
        ListKeys(reg, parent, subKey, left);
    }
    return st;
}

namespace {

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

RegStatus StoredSubKeyNames::Find(IRegistry& reg, RegKey parent, const std::string& parentPath,
                                  const std::string& name, std::string* stored) {
    if (!active_) return StoredSubKeyName(reg, parent, name, stored);
    const std::string lowerParent = LowerAscii(parentPath);
    if (parent_.empty() || lowerParent != parent_) {
        parent_.clear();
        byLowerName_.clear();
        std::vector<std::string> names;
        if (ReadSubKeyNames(reg, parent, &names) != kRegSuccess)
            return StoredSubKeyName(reg, parent, name, stored);
        for (std::string& n : names) {
            std::string lower = LowerAscii(n);
            byLowerName_.emplace(std::move(lower), std::move(n));
        }
        parent_ = lowerParent;
    }
    const auto it = byLowerName_.find(LowerAscii(name));
    if (it == byLowerName_.end()) return StoredSubKeyName(reg, parent, name, stored);
    *stored = it->second;
    return kRegSuccess;
}

void StoredSubKeyNames::Begin() {
    End();
    active_ = true;
}

void StoredSubKeyNames::End() {
    active_ = false;
    parent_.clear();
    byLowerName_.clear();
}

}  // namespace qm
