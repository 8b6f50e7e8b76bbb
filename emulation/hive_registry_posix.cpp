#include "emulation/hive_registry_posix.h"

#include <algorithm>
#include <cstring>

#include "emulation/name_case.h"
#include "platform/key_path.h"

namespace qm {

namespace {

constexpr RegKey kFirstMerged = 0x40000000u;
constexpr const char* kUserClasses = "HKEY_CURRENT_USER\\Software\\Classes";
constexpr const char* kSystemControlSet = "SYSTEM\\CurrentControlSet";

bool Empty(const char* s) { return s == nullptr || *s == '\0'; }

// Every sub-key name of `key`, in enumeration order.
RegStatus AllSubKeyNames(IRegistry& reg, RegKey key, std::vector<std::string>* names) {
    std::vector<char> buffer(256);
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t len = static_cast<std::uint32_t>(buffer.size());
        const RegStatus s = reg.RegEnumKeyExA(key, i, buffer.data(), &len);
        if (s == kRegNoMoreItems) return kRegSuccess;
        if (s == kRegMoreData) {
            buffer.resize(buffer.size() * 4);
            --i;
            continue;
        }
        if (s != kRegSuccess) return s;
        names->emplace_back(buffer.data(), len);
    }
}

// The order hivex gives a new key among its siblings: ASCII letters
// upper-cased, every other byte of the UTF-8 name as it is.
int HivexOrder(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 0x20);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 0x20);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int WindowsOrder(const std::string& a, const std::string& b) {
    const std::u16string x = FoldedName(a), y = FoldedName(b);
    return x == y ? 0 : (x < y ? -1 : 1);
}

}  // namespace

HiveRegistry::HiveRegistry() : nextMerged_(kFirstMerged) {}

HiveRegistry::~HiveRegistry() {
    for (auto& [handle, m] : merged_) {
        if (m.user) memory_.RegCloseKey(m.user);
        if (m.machine) memory_.RegCloseKey(m.machine);
    }
}

void HiveRegistry::Mount(const std::string& file, const std::string& mountPath, bool writable,
                         const std::vector<std::string>& skip) {
    Mounted m;
    m.file = std::make_unique<HiveFile>(file, writable);
    m.mountPath = mountPath;
    m.skip = skip;
    m.file->LoadInto(memory_, mountPath, skip);
    hives_.push_back(std::move(m));
    ++generation_;
}

void HiveRegistry::MergeUserClasses() {
    mergeClasses_ = true;
    memory_.CreateKeyPath(kUserClasses);
    memory_.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Classes", kKeyAllAccess, userClasses_.Receive(memory_));
    rootView_.user = userClasses_.Get();
    rootView_.machine = kHkeyClassesRoot;
}

void HiveRegistry::SetCurrentControlSet(const std::string& name) { currentControlSet_ = name; }

std::vector<std::string> HiveRegistry::Commit() {
    // Every hive takes its changes before any is written: a change one of
    // them refuses leaves all the files as they were.
    for (Mounted& m : hives_)
        if (m.file->ApplyChanges(memory_, m.mountPath, m.skip) > 0) m.pending = true;
    std::vector<std::string> written;
    for (Mounted& m : hives_) {
        if (!m.pending) continue;
        m.file->Commit();
        m.pending = false;
        written.push_back(m.file->Path());
    }
    return written;
}

std::string HiveRegistry::Resolve(RegKey parent, const char* subKey) const {
    std::string path = subKey ? subKey : "";
    if (parent != kHkeyLocalMachine || currentControlSet_.empty()) return path;
    const std::size_t n = std::strlen(kSystemControlSet);
    if (path.size() < n || FoldedName(path.substr(0, n)) != FoldedName(kSystemControlSet)) return path;
    if (path.size() > n && path[n] != '\\') return path;
    return "SYSTEM\\" + currentControlSet_ + path.substr(n);
}

HiveRegistry::Merged* HiveRegistry::MergedOf(RegKey key) {
    auto it = merged_.find(key);
    return it == merged_.end() ? nullptr : &it->second;
}

HiveRegistry::Merged* HiveRegistry::ViewOf(RegKey key) {
    if (key == kHkeyClassesRoot && mergeClasses_) return &rootView_;
    return MergedOf(key);
}

RegKey HiveRegistry::NewMerged(RegKey user, RegKey machine) {
    const RegKey handle = nextMerged_;
    nextMerged_ += 4;
    Merged m;
    m.user = user;
    m.machine = machine;
    merged_.emplace(handle, std::move(m));
    return handle;
}

RegKey HiveRegistry::ValueKey(RegKey key) {
    if (key == kHkeyClassesRoot && mergeClasses_) return userClasses_ ? userClasses_.Get() : key;
    if (Merged* m = MergedOf(key)) return m->user ? m->user : m->machine;
    return key;
}

RegStatus HiveRegistry::OpenMerged(RegKey parent, const char* subKey, std::uint32_t access,
                                   bool create, RegKey* result, bool* created) {
    RegKey userParent = kNullKey, machineParent = kNullKey;
    if (parent == kHkeyClassesRoot) {
        userParent = userClasses_.Get();
        machineParent = kHkeyClassesRoot;
        if (subKey && *subKey == '\\') ++subKey;  // as HKEY_CLASSES_ROOT accepts on NT
    } else {
        const Merged* m = MergedOf(parent);
        userParent = m->user;
        machineParent = m->machine;
    }
    if (subKey && *subKey == '\\') return kRegBadPathname;
    RegKeyHandle user, machine;
    RegStatus su = kRegFileNotFound, sm = kRegFileNotFound;
    if (userParent) su = memory_.RegOpenKeyExA(userParent, subKey, access, user.Receive(memory_));
    if (machineParent) sm = memory_.RegOpenKeyExA(machineParent, subKey, access, machine.Receive(memory_));
    if (created) *created = false;
    // A half that refuses the access refuses the key: what is asked for
    // must not act on the other half alone.
    if (su == kRegAccessDenied || sm == kRegAccessDenied) return kRegAccessDenied;
    if (su != kRegSuccess && sm != kRegSuccess) {
        const RegStatus refusal = machineParent ? sm : su;
        if (!create || refusal == kRegBadPathname) return refusal;
        // A new key goes to the machine's classes unless only the user has the parent.
        const RegKey where = machineParent ? machineParent : userParent;
        if (!PlacedInOrder(where, subKey)) return kRegAccessDenied;
        bool made = false;
        const RegStatus s =
            memory_.RegCreateKeyExA(where, subKey, where == machineParent ? machine.Receive(memory_) : user.Receive(memory_),
                                    &made, access & kKeyWow64Res);
        if (s != kRegSuccess) return s;
        ++generation_;
        if (created) *created = made;
    }
    *result = NewMerged(user.Release(), machine.Release());
    return kRegSuccess;
}

RegStatus HiveRegistry::MergedNames(Merged& m, std::vector<std::string>** names) {
    if (!m.haveNames || m.generation != generation_) {
        std::vector<std::string> user, machine;
        if (m.user) {
            const RegStatus s = AllSubKeyNames(memory_, m.user, &user);
            if (s != kRegSuccess) return s;
        }
        if (m.machine) {
            const RegStatus s = AllSubKeyNames(memory_, m.machine, &machine);
            if (s != kRegSuccess) return s;
        }
        std::vector<std::pair<std::u16string, std::string>> all;
        for (const std::string& n : user) all.emplace_back(FoldedName(n), n);
        for (const std::string& n : machine) all.emplace_back(FoldedName(n), n);
        // Stable: the user's spelling comes first among equal names and is kept.
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        m.names.clear();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (i == 0 || all[i].first != all[i - 1].first) m.names.push_back(all[i].second);
        m.haveNames = true;
        m.generation = generation_;
    }
    *names = &m.names;
    return kRegSuccess;
}

bool HiveRegistry::PlacedInOrder(RegKey parent, const char* subKey) {
    RegKey current = kNullKey;
    if (memory_.RegOpenKeyExA(parent, "", kKeyEnumerateSubKeys, &current) != kRegSuccess) return true;
    std::vector<RegKeyHandle> held;
    if (current != parent) held.emplace_back(memory_, current);
    for (const std::string& part : KeyPathNames(subKey ? subKey : "")) {
        RegKey next = kNullKey;
        if (memory_.RegOpenKeyExA(current, part.c_str(), kKeyEnumerateSubKeys, &next) == kRegSuccess) {
            held.emplace_back(memory_, next);
            current = next;
            continue;
        }
        // The first key to be made: the keys below it have no siblings.
        std::vector<std::string> siblings;
        if (AllSubKeyNames(memory_, current, &siblings) != kRegSuccess) return true;
        for (const std::string& sibling : siblings)
            if ((HivexOrder(part, sibling) < 0) != (WindowsOrder(part, sibling) < 0)) return false;
        return true;
    }
    return true;
}

RegStatus HiveRegistry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
    const bool merged = (parent == kHkeyClassesRoot && mergeClasses_) || MergedOf(parent);
    if (!merged) return memory_.RegOpenKeyA(parent, Resolve(parent, subKey).c_str(), result);
    if (!result) return kRegInvalidParameter;
    if (Empty(subKey)) {
        *result = parent;
        return kRegSuccess;
    }
    return OpenMerged(parent, subKey, kMaximumAllowed, false, result, nullptr);
}

RegStatus HiveRegistry::RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                                      RegKey* result) {
    const bool merged = (parent == kHkeyClassesRoot && mergeClasses_) || MergedOf(parent);
    if (!merged) return memory_.RegOpenKeyExA(parent, Resolve(parent, subKey).c_str(), access, result);
    if (!result) return kRegInvalidParameter;
    if (Empty(subKey) && parent == kHkeyClassesRoot) {
        *result = parent;
        return kRegSuccess;
    }
    return OpenMerged(parent, subKey ? subKey : "", access, false, result, nullptr);
}

RegStatus HiveRegistry::RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) {
    const bool merged = (parent == kHkeyClassesRoot && mergeClasses_) || MergedOf(parent);
    if (!merged) {
        const std::string path = Resolve(parent, subKey);
        if (!PlacedInOrder(parent, path.c_str())) return kRegAccessDenied;
        const RegStatus s = memory_.RegCreateKeyA(parent, path.c_str(), result);
        if (s == kRegSuccess) ++generation_;
        return s;
    }
    if (!result) return kRegInvalidParameter;
    if (Empty(subKey)) {
        *result = parent;
        return kRegSuccess;
    }
    return OpenMerged(parent, subKey, kKeyAllAccess, true, result, nullptr);
}

RegStatus HiveRegistry::RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                                        bool* created, std::uint32_t view) {
    const bool merged = (parent == kHkeyClassesRoot && mergeClasses_) || MergedOf(parent);
    if (!merged) {
        const std::string path = Resolve(parent, subKey);
        if (!PlacedInOrder(parent, path.c_str())) return kRegAccessDenied;
        const RegStatus s = memory_.RegCreateKeyExA(parent, path.c_str(), result, created, view);
        if (s == kRegSuccess) ++generation_;
        return s;
    }
    if (!result) return kRegInvalidParameter;
    return OpenMerged(parent, subKey ? subKey : "", kKeyAllAccess | (view & kKeyWow64Res), true, result,
                      created);
}

ClassesHive HiveRegistry::RegClassesHiveOf(RegKey key) {
    const Merged* m = key == kHkeyClassesRoot ? nullptr : MergedOf(key);
    if (!m) return ClassesHive::kMerged;
    return m->user ? ClassesHive::kUser : ClassesHive::kMachine;
}

bool HiveRegistry::RegIsSameKey(RegKey a, RegKey b) {
    if (a == b) return true;
    const Merged* ma = ViewOf(a);
    const Merged* mb = ViewOf(b);
    if (!ma && !mb) return memory_.RegIsSameKey(a, b);
    if (!ma || !mb) return false;
    auto same = [&](RegKey x, RegKey y) { return x == y || (x && y && memory_.RegIsSameKey(x, y)); };
    return same(ma->user, mb->user) && same(ma->machine, mb->machine);
}

RegStatus HiveRegistry::RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) {
    Merged* m = ViewOf(key);
    if (!m) return memory_.RegQueryInfoKeyA(key, info);
    if (!info) return kRegInvalidParameter;
    RegKeyInfo userInfo, machineInfo;
    if (m->user) {
        const RegStatus s = memory_.RegQueryInfoKeyA(m->user, &userInfo);
        if (s != kRegSuccess) return s;
    }
    if (m->machine) {
        const RegStatus s = memory_.RegQueryInfoKeyA(m->machine, &machineInfo);
        if (s != kRegSuccess) return s;
    }
    std::vector<std::string>* names = nullptr;
    const RegStatus s = MergedNames(*m, &names);
    if (s != kRegSuccess) return s;
    const RegKeyInfo& values = m->user ? userInfo : machineInfo;
    info->subKeys = static_cast<std::uint32_t>(names->size());
    info->maxSubKeyLen = std::max(userInfo.maxSubKeyLen, machineInfo.maxSubKeyLen);
    info->values = values.values;
    info->maxValueNameLen = values.maxValueNameLen;
    info->maxValueLen = values.maxValueLen;
    return kRegSuccess;
}

RegStatus HiveRegistry::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                      std::uint32_t* nameLen) {
    Merged* m = ViewOf(key);
    if (!m) return memory_.RegEnumKeyExA(key, index, name, nameLen);
    if (!m->user) return memory_.RegEnumKeyExA(m->machine, index, name, nameLen);
    if (!m->machine) return memory_.RegEnumKeyExA(m->user, index, name, nameLen);
    if (!name || !nameLen) return kRegInvalidParameter;
    std::vector<std::string>* names = nullptr;
    const RegStatus s = MergedNames(*m, &names);
    if (s != kRegSuccess) return s;
    if (index >= names->size()) return kRegNoMoreItems;
    const std::string& n = (*names)[index];
    if (*nameLen < n.size() + 1) return kRegMoreData;
    std::memcpy(name, n.c_str(), n.size() + 1);
    *nameLen = static_cast<std::uint32_t>(n.size());
    return kRegSuccess;
}

RegStatus HiveRegistry::RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                                      std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataLen) {
    return memory_.RegEnumValueA(ValueKey(key), index, name, nameLen, type, data, dataLen);
}

RegStatus HiveRegistry::RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                                         std::uint8_t* data, std::uint32_t* dataLen) {
    return memory_.RegQueryValueExA(ValueKey(key), name, type, data, dataLen);
}

RegStatus HiveRegistry::RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                                       const std::uint8_t* data, std::uint32_t dataLen) {
    // Such a value would have to be written in big-data form, which the
    // hive library cannot write. (A key that holds one already refuses
    // value changes itself.)
    if (data && HiveStoredSize(type, std::vector<std::uint8_t>(data, data + dataLen)) > kHiveBigDataLimit)
        return kRegAccessDenied;
    const RegStatus s = memory_.RegSetValueExA(ValueKey(key), name, type, data, dataLen);
    if (s == kRegSuccess) ++generation_;
    return s;
}

RegStatus HiveRegistry::RegDeleteKeyA(RegKey parent, const char* subKey) {
    RegKey where = parent;
    if (parent == kHkeyClassesRoot && mergeClasses_) {
        where = kHkeyClassesRoot;
        if (subKey && *subKey == '\\') ++subKey;
        RegKeyHandle probe;
        if (userClasses_ && !Empty(subKey) &&
            memory_.RegOpenKeyExA(userClasses_.Get(), subKey, kKeyRead, probe.Receive(memory_)) == kRegSuccess)
            where = userClasses_.Get();
    } else if (Merged* m = MergedOf(parent)) {
        where = m->machine ? m->machine : m->user;
        RegKeyHandle probe;
        if (m->user && !Empty(subKey) &&
            memory_.RegOpenKeyExA(m->user, subKey, kKeyRead, probe.Receive(memory_)) == kRegSuccess)
            where = m->user;
    }
    const RegStatus s = memory_.RegDeleteKeyA(where, Resolve(where, subKey).c_str());
    if (s == kRegSuccess) ++generation_;
    return s;
}

RegStatus HiveRegistry::RegDeleteValueA(RegKey key, const char* name) {
    const RegStatus s = memory_.RegDeleteValueA(ValueKey(key), name);
    if (s == kRegSuccess) ++generation_;
    return s;
}

RegStatus HiveRegistry::RegCloseKey(RegKey key) {
    auto it = merged_.find(key);
    if (it == merged_.end()) return memory_.RegCloseKey(key);
    if (it->second.user) memory_.RegCloseKey(it->second.user);
    if (it->second.machine) memory_.RegCloseKey(it->second.machine);
    merged_.erase(it);
    return kRegSuccess;
}

}  // namespace qm
