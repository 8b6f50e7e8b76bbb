// The in-memory registry. Where advapi32 has a convention a caller can see
// (which length is written on 234, what happens to a buffer, which check comes
// first), this file follows the NT implementation as Wine reproduces it, and
// the registry contract tests compare the two.
//
// Conventions, per call:
// - RegEnumKeyExA: name length in characters including room for the zero; a
//   name of n characters needs n + 1, else 234 and neither the buffer nor the
//   length is touched. On success the length excludes the zero.
// - RegEnumValueA: the data is checked first, then the name. On 234 (either)
//   the name length is left as it was, the data length receives the size the
//   data needs and the type is written. A null data pointer with a length
//   reports the size and succeeds.
// - RegQueryValueExA: on 234 the length receives the needed size; a null data
//   pointer with a length reports the size; a text that fits with room to
//   spare and lacks its terminator gets one written after it.
// - Text sizes reported by queries are ANSI sizes; RegQueryInfoKeyA reports
//   the stored (UTF-16) size of text values.
#include "emulation/registry_memory.h"

#include "platform/codepage.h"
#include "platform/key_path.h"
#include "emulation/name_case.h"
#include "emulation/ordered_index.h"
#include "platform/registry_view.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qm {

namespace {

constexpr std::size_t kMaxKeyNameChars = 255;
constexpr RegKey kFirstHandle = 0x1000;
constexpr RegKey kFirstPredefined = 0x80000000u;
constexpr RegKey kLastPredefined = 0x80000006u;  // HKEY_DYN_DATA
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericExecute = 0x20000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kWow64Flags = 0x0300;
constexpr std::uint32_t kDenyDeleteRights = kDelete | kKeySetValue;

bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The UTF-16 length of a name, as the NT registry counts it.
std::uint32_t WideLength(const std::string& name) {
    bool ascii = true;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) >= 0x80) ascii = false;
    return static_cast<std::uint32_t>(ascii ? name.size() : AnsiToUtf16(name).size());
}

// The size NT stores a value's data in: text as UTF-16.
std::size_t StoredSize(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    if (!IsTextType(type)) return data.size();
    bool ascii = true;
    for (const std::uint8_t b : data)
        if (b >= 0x80) ascii = false;
    if (ascii) return data.size() * 2;
    return AnsiToUtf16(std::string(data.begin(), data.end())).size() * 2;
}

bool IsAsciiName(const std::string& name) {
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    return true;
}

// Whether two names are one name to the registry (see FoldedName).
bool SameName(const std::string& a, const std::string& b) {
    if (IsAsciiName(a) && IsAsciiName(b)) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
            if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
            if (x != y) return false;
        }
        return true;
    }
    return FoldedName(a) == FoldedName(b);
}

// The key a sub-key is found and sorted by: its folded name (FoldedName),
// each UTF-16 unit written as UTF-8 writes a character of that number (one
// byte for ASCII, up to three), so that the bytes sort as the units do. An
// ASCII name, the common case, is its own upper-cased bytes and, short as
// most are, is held without an allocation.
std::string FoldedKey(const std::string& name) {
    std::string key;
    if (IsAsciiName(name)) {
        key = name;
        for (char& c : key)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return key;
    }
    for (const char16_t u : FoldedName(name)) {
        if (u < 0x80) {
            key.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            key.push_back(static_cast<char>(0xC0 | (u >> 6)));
            key.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            key.push_back(static_cast<char>(0xE0 | (u >> 12)));
            key.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            key.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return key;
}

std::uint32_t MapGenericAccess(std::uint32_t access) {
    if (access & kGenericRead) access |= kKeyRead;
    if (access & kGenericWrite) access |= kKeyWrite;
    if (access & kGenericExecute) access |= kKeyRead;
    if (access & kGenericAll) access |= kKeyAllAccess;
    return access & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kWow64Flags);
}

bool SplitFullPath(const std::string& fullPath, RegKey* root, std::vector<std::string>* parts) {
    std::string subKey;
    *root = RootKeyFromName(KeyPathRoot(fullPath, &subKey));
    if (*root == kNullKey) return false;
    *parts = KeyPathNames(subKey);
    return true;
}

}  // namespace

struct MemoryRegistry::Node {
    struct Value {
        std::string name;
        std::vector<std::uint8_t> data;
        std::uint32_t type = kRegNone;
        bool removed = false;  // deleted; dropped from `values` by Compact
    };

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Frees a tree of any depth without recursing.
    ~Node() {
        std::vector<std::shared_ptr<Node>> pending = children.TakeAll();
        while (!pending.empty()) {
            std::shared_ptr<Node> n = std::move(pending.back());
            pending.pop_back();
            if (n.use_count() == 1)
                for (auto& c : n->children.TakeAll()) pending.push_back(std::move(c));
        }
    }
    struct FoldedOf {
        const std::string& operator()(const std::shared_ptr<Node>& n) const { return n->folded; }
    };

    std::string name;
    std::string folded;  // FoldedKey(name): what lookups compare
    Node* parent = nullptr;
    OrderedIndex<std::shared_ptr<Node>, FoldedOf> children;  // sorted by folded name
    // In creation order. A deleted value stays in place, marked, until the
    // values are next listed by position (Compact), so that deleting many
    // values of one key costs each of them O(1), not a renumbering.
    std::vector<Value> values;
    std::size_t removedValues = 0;
    // Folded name -> position of a live value, kept once a key holds more
    // than kValuesWithoutIndex values (made then: most keys never need
    // one); fewer are compared one by one.
    std::unique_ptr<std::unordered_map<std::u16string, std::size_t>> valueIndex;
    static constexpr std::size_t kValuesWithoutIndex = 8;
    bool deleted = false;
    bool permanent = false;  // roots and the key behind HKEY_CLASSES_ROOT
    // Made by the constructor: the first caller creating it gives its spelling.
    bool provisionalName = false;
    std::uint32_t denied = 0;
    RegStatus infoFailure = kRegSuccess;
    // The longest figures RegQueryInfoKeyA reports, in UTF-16 units (names)
    // and stored bytes (data). As in the NT hive they grow with every new
    // name or larger data and go back to 0 only when their list becomes empty.
    std::uint32_t maxSubKeyLen = 0;
    std::uint32_t maxValueNameLen = 0;
    std::uint32_t maxValueLen = 0;

    std::shared_ptr<Node> Child(const std::string& child) {
        const std::shared_ptr<Node>* found = children.Find(FoldedKey(child));
        if (found != nullptr) return *found;
        return nullptr;
    }
    // The same, for a caller creating the key.
    std::shared_ptr<Node> ChildToCreate(const std::string& child) {
        std::shared_ptr<Node> node = Child(child);
        if (node && node->provisionalName) {
            node->name = child;
            node->provisionalName = false;
        }
        return node;
    }
    std::shared_ptr<Node> AddChild(const std::string& child) {
        auto node = std::make_shared<Node>();
        node->name = child;
        node->folded = FoldedKey(child);
        node->parent = this;
        children.Insert(node);
        maxSubKeyLen = std::max(maxSubKeyLen, WideLength(child));
        return node;
    }
    // Creates or replaces a value; a new value goes after the others.
    void SetValue(const std::string& valueName, std::uint32_t type,
                  std::vector<std::uint8_t> data) {
        Value* v = FindValue(valueName);
        if (!v) {
            if (valueIndex || values.size() >= kValuesWithoutIndex) {
                if (!valueIndex) {
                    valueIndex = std::make_unique<std::unordered_map<std::u16string, std::size_t>>();
                    for (std::size_t i = 0; i < values.size(); ++i)
                        if (!values[i].removed) valueIndex->emplace(FoldedName(values[i].name), i);
                }
                valueIndex->emplace(FoldedName(valueName), values.size());
            }
            values.push_back(Value{valueName, {}, type, false});
            v = &values.back();
        }
        v->type = type;
        v->data = std::move(data);
        maxValueNameLen = std::max(maxValueNameLen, WideLength(v->name));
        maxValueLen = std::max(maxValueLen, static_cast<std::uint32_t>(StoredSize(type, v->data)));
    }
    bool DeleteValue(const std::string& valueName) {
        Value* found = FindValue(valueName);
        if (!found) return false;
        if (valueIndex) valueIndex->erase(FoldedName(found->name));
        found->removed = true;
        found->data = {};
        ++removedValues;
        if (removedValues == values.size()) {
            values.clear();
            valueIndex.reset();
            removedValues = 0;
            maxValueNameLen = maxValueLen = 0;
        }
        return true;
    }
    std::size_t ValueCount() const { return values.size() - removedValues; }
    // Drops the deleted values, so that positions count the live ones.
    void Compact() {
        if (removedValues == 0) return;
        std::vector<std::size_t> moved(values.size());
        std::size_t live = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            moved[i] = live;
            if (!values[i].removed) {
                if (live != i) values[live] = std::move(values[i]);
                ++live;
            }
        }
        values.resize(live);
        removedValues = 0;
        if (valueIndex)
            for (auto& entry : *valueIndex) entry.second = moved[entry.second];
    }
    Value* FindValue(const std::string& valueName) {
        if (!valueIndex) {
            for (Value& v : values)
                if (!v.removed && SameName(v.name, valueName)) return &v;
            return nullptr;
        }
        auto it = valueIndex->find(FoldedName(valueName));
        return it == valueIndex->end() ? nullptr : &values[it->second];
    }
    // Marks the node and everything below it deleted and detaches it.
    static void MarkDeleted(Node& top) {
        std::vector<Node*> pending{&top};
        while (!pending.empty()) {
            Node* n = pending.back();
            pending.pop_back();
            n->deleted = true;
            n->parent = nullptr;
            n->children.ForEach([&pending](const std::shared_ptr<Node>& c) { pending.push_back(c.get()); });
        }
    }
    void RemoveChild(Node* child) {
        const std::shared_ptr<Node>* found = children.Find(child->folded);
        if (found == nullptr || found->get() != child) return;
        std::shared_ptr<Node> keep = *found;
        children.Erase(child->folded);
        if (children.Empty()) maxSubKeyLen = 0;
        MarkDeleted(*keep);
    }
};

MemoryRegistry::MemoryRegistry(bool win9xKeyDeletion)
    : win9xKeyDeletion_(win9xKeyDeletion), nextHandle_(kFirstHandle) {
    const RegKey plainRoots[] = {kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers,
                                 kHkeyCurrentConfig};
    for (RegKey root : plainRoots) {
        auto node = std::make_shared<Node>();
        node->name = RootKeyName(root);
        node->permanent = true;
        roots_[root] = node;
    }
    std::shared_ptr<Node> software = roots_[kHkeyLocalMachine]->AddChild("SOFTWARE");
    software->permanent = true;
    software->provisionalName = true;
    std::shared_ptr<Node> classes = software->AddChild("Classes");
    classes->permanent = true;
    classes->provisionalName = true;
    roots_[kHkeyClassesRoot] = classes;
}

MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::SetWin9xKeyDeletion(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    win9xKeyDeletion_ = on;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::NodeOfLocked(RegKey key, RegStatus* status,
                                                                   std::uint32_t neededAccess) const {
    auto root = roots_.find(key);
    if (root != roots_.end()) {
        *status = kRegSuccess;
        return root->second;
    }
    auto it = handles_.find(key);
    if (it == handles_.end()) {
        *status = kRegInvalidHandle;
        return nullptr;
    }
    if ((it->second.access & neededAccess) != neededAccess) {
        *status = kRegAccessDenied;
        return nullptr;
    }
    if (it->second.node->deleted) {
        *status = kRegKeyDeleted;
        return nullptr;
    }
    *status = kRegSuccess;
    return it->second.node;
}

RegKey MemoryRegistry::NewHandleLocked(const std::shared_ptr<Node>& node, std::uint32_t access) {
    const RegKey key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = Handle{node, access};
    return key;
}

namespace {

// The rights a new handle receives, or 5 when the key denies one asked for.
RegStatus GrantAccess(std::uint32_t requested, std::uint32_t denied, std::uint32_t* granted) {
    if (requested & kMaximumAllowed) {
        *granted = (MapGenericAccess(requested & ~kMaximumAllowed) | kKeyAllAccess) & ~denied;
        return kRegSuccess;
    }
    const std::uint32_t access = MapGenericAccess(requested);
    if (access & denied) return kRegAccessDenied;
    *granted = access;
    return kRegSuccess;
}

}  // namespace

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::ViewStartLocked(
    std::shared_ptr<Node> node, std::vector<std::string>* parts, std::uint32_t access) const {
    if ((access & kWow64Flags) != kKeyWow64_32Key) return node;
    // The names from the root down to `node`, then the path asked for, taken
    // through the view from the root.
    std::vector<std::string> names;
    const Node* top = node.get();
    for (; top->parent; top = top->parent) names.push_back(top->name);
    std::reverse(names.begin(), names.end());
    names.insert(names.end(), parts->begin(), parts->end());
    for (const auto& root : roots_) {
        if (root.first == kHkeyClassesRoot || root.second.get() != top) continue;
        *parts = ViewPath(root.first, names, RegView::k32);
        return root.second;
    }
    return node;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::ResolveLocked(RegKey parent,
                                                                    const char* subKey,
                                                                    RegStatus* status,
                                                                    std::uint32_t access) const {
    // HKEY_CLASSES_ROOT accepts one leading backslash on NT.
    if (parent == kHkeyClassesRoot && subKey && *subKey == '\\') ++subKey;
    std::shared_ptr<Node> node = NodeOfLocked(parent, status);
    if (!node) return nullptr;
    if (subKey && *subKey == '\\') {
        *status = kRegBadPathname;
        return nullptr;
    }
    std::vector<std::string> parts = KeyPathNames(subKey ? subKey : "");
    node = ViewStartLocked(node, &parts, access);
    for (const std::string& part : parts) {
        node = node->Child(part);
        if (!node) {
            *status = kRegFileNotFound;
            return nullptr;
        }
    }
    return node;
}

RegStatus MemoryRegistry::OpenLocked(RegKey parent, const char* subKey, std::uint32_t access,
                                     RegKey* result) {
    if (!result) return kRegInvalidParameter;
    *result = kNullKey;
    // An empty sub-key below a predefined root gives the root handle itself.
    if ((!subKey || !*subKey) && parent >= kFirstPredefined && parent <= kLastPredefined) {
        *result = parent;
        return kRegSuccess;
    }
    RegStatus status;
    std::shared_ptr<Node> node = ResolveLocked(parent, subKey, &status, access);
    if (!node) return status;
    std::uint32_t granted = 0;
    status = GrantAccess(access, node->denied, &granted);
    if (status != kRegSuccess) return status;
    *result = NewHandleLocked(node, granted);
    return kRegSuccess;
}

RegStatus MemoryRegistry::CreateLocked(RegKey parent, const char* subKey, std::uint32_t access,
                                       RegKey* result, bool* created) {
    if (!result) return kRegBadKey;
    *result = kNullKey;
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(parent, &status);
    if (!node) return status;
    if (subKey && *subKey == '\\') return kRegBadPathname;
    std::vector<std::string> parts = KeyPathNames(subKey ? subKey : "");
    for (const std::string& part : parts) {
        if (WideLength(part) > kMaxKeyNameChars) return kRegInvalidParameter;
    }
    node = ViewStartLocked(node, &parts, access);
    // Check the access on an existing key before creating anything.
    std::shared_ptr<Node> walk = node;
    std::size_t existing = 0;
    for (; existing < parts.size(); ++existing) {
        std::shared_ptr<Node> next = walk->ChildToCreate(parts[existing]);
        if (!next) break;
        walk = next;
    }
    std::uint32_t granted = 0;
    status = GrantAccess(access, existing == parts.size() ? walk->denied : 0, &granted);
    if (status != kRegSuccess) return status;
    for (std::size_t i = existing; i < parts.size(); ++i) walk = walk->AddChild(parts[i]);
    if (created) *created = existing < parts.size();
    *result = NewHandleLocked(walk, granted);
    return kRegSuccess;
}

RegStatus MemoryRegistry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
    if (!result) return kRegInvalidParameter;
    if (!subKey || !*subKey) {
        // advapi32 hands back the parent handle itself, unchecked.
        *result = parent;
        return kRegSuccess;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return OpenLocked(parent, subKey, kMaximumAllowed, result);
}

RegStatus MemoryRegistry::RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                                        RegKey* result) {
    std::lock_guard<std::mutex> lock(mutex_);
    return OpenLocked(parent, subKey, access, result);
}

RegStatus MemoryRegistry::RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) {
    if (!result) return kRegInvalidParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    return CreateLocked(parent, subKey, kMaximumAllowed, result, nullptr);
}

RegStatus MemoryRegistry::RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                                          bool* created, std::uint32_t view) {
    std::lock_guard<std::mutex> lock(mutex_);
    return CreateLocked(parent, subKey, kKeyAllAccess | (view & kWow64Flags), result, created);
}

bool MemoryRegistry::RegIsSameKey(RegKey a, RegKey b) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> first = NodeOfLocked(a, &status);
    return first && first == NodeOfLocked(b, &status);
}

RegStatus MemoryRegistry::RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status, kKeyQueryValue);
    if (!node) return status;
    if (node->infoFailure != kRegSuccess) return node->infoFailure;
    if (!info) return kRegSuccess;
    info->subKeys = static_cast<std::uint32_t>(node->children.Size());
    info->maxSubKeyLen = node->maxSubKeyLen;
    info->values = static_cast<std::uint32_t>(node->ValueCount());
    info->maxValueNameLen = node->maxValueNameLen;
    info->maxValueLen = node->maxValueLen;
    return kRegSuccess;
}

RegStatus MemoryRegistry::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                        std::uint32_t* nameLen) {
    if (!name || !nameLen) return kRegInvalidParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status, kKeyEnumerateSubKeys);
    if (!node) return status;
    if (index >= node->children.Size()) return kRegNoMoreItems;
    const std::string& child = node->children.At(index)->name;
    if (child.size() >= *nameLen) return kRegMoreData;
    std::memcpy(name, child.data(), child.size());
    name[child.size()] = '\0';
    *nameLen = static_cast<std::uint32_t>(child.size());
    return kRegSuccess;
}

namespace {

// Copies value data for RegEnumValueA / RegQueryValueExA. `capacity` is the
// caller's buffer size. Returns 234 when it does not fit.
RegStatus CopyValueData(std::uint32_t type, const std::vector<std::uint8_t>& bytes,
                        std::uint8_t* data, std::uint32_t capacity) {
    if (!data) return kRegSuccess;
    const std::size_t len = bytes.size();
    if (IsTextType(type)) {
        if (len == 0) return kRegSuccess;
        if (len > capacity) return kRegMoreData;
        std::memcpy(data, bytes.data(), len);
        // A text without its terminator gets one when there is room.
        if (len < capacity && data[len - 1] != 0) data[len] = 0;
        return kRegSuccess;
    }
    if (len > capacity) return kRegMoreData;
    if (len) std::memcpy(data, bytes.data(), len);
    return kRegSuccess;
}

}  // namespace

RegStatus MemoryRegistry::RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                                        std::uint32_t* nameLen, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t* dataLen) {
    if ((data && !dataLen) || !name || !nameLen) return kRegInvalidParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status, kKeyQueryValue);
    if (!node) return status;
    node->Compact();
    if (index >= node->values.size()) return kRegNoMoreItems;
    const Node::Value& v = node->values[index];
    status = CopyValueData(v.type, v.data, data, dataLen ? *dataLen : 0);
    if (status == kRegSuccess) {
        if (v.name.size() >= *nameLen) {
            status = kRegMoreData;
        } else {
            std::memcpy(name, v.name.data(), v.name.size());
            name[v.name.size()] = '\0';
            *nameLen = static_cast<std::uint32_t>(v.name.size());
        }
    }
    if (type) *type = v.type;
    if (dataLen) *dataLen = static_cast<std::uint32_t>(v.data.size());
    return status;
}

RegStatus MemoryRegistry::RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                                           std::uint8_t* data, std::uint32_t* dataLen) {
    if (data && !dataLen) return kRegInvalidParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status, kKeyQueryValue);
    if (!node) return status;
    const std::uint32_t capacity = dataLen ? *dataLen : 0;
    if (!data && dataLen) *dataLen = 0;
    if (type) *type = kRegNone;
    const Node::Value* v = node->FindValue(name ? name : "");
    if (!v) return kRegFileNotFound;
    status = CopyValueData(v->type, v->data, data, capacity);
    if (type) *type = v->type;
    if (dataLen) *dataLen = static_cast<std::uint32_t>(v->data.size());
    return status;
}

RegStatus MemoryRegistry::RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                                         const std::uint8_t* data, std::uint32_t dataLen) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status, kKeySetValue);
    if (!node) return status;
    if (node->denied & kKeySetValue) return kRegAccessDenied;
    if (!data && dataLen) return kRegNoAccess;
    // Exactly the bytes given. NT also counts a terminator the caller left out
    // when the byte after the data happens to be zero; that byte is not the
    // caller's to read, so text without its terminator is stored as given
    // (as NT stores it when that byte is not zero) and queries complete it.
    node->SetValue(name ? name : "", type,
                   dataLen ? std::vector<std::uint8_t>(data, data + dataLen) : std::vector<std::uint8_t>());
    return kRegSuccess;
}

RegStatus MemoryRegistry::RegDeleteKeyA(RegKey parent, const char* subKey) {
    if (!subKey) return kRegInvalidParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = ResolveLocked(parent, subKey, &status);
    if (!node) return status;
    if (node->denied & kDelete) return kRegAccessDenied;
    // Depth-first, stopping at the first key that cannot go (95/98/Me); on NT
    // only a key without sub-keys can be deleted.
    struct Deleter {
        static RegStatus Delete(const std::shared_ptr<Node>& n, bool subtree) {
            if (n->permanent || (n->denied & kDelete)) return kRegAccessDenied;
            while (subtree && !n->children.Empty()) {
                std::shared_ptr<Node> child = n->children.At(0);
                if (Delete(child, true) != kRegSuccess) break;
            }
            if (!n->children.Empty()) return kRegAccessDenied;
            n->parent->RemoveChild(n.get());
            return kRegSuccess;
        }
    };
    return Deleter::Delete(node, win9xKeyDeletion_);
}

RegStatus MemoryRegistry::RegDeleteValueA(RegKey key, const char* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status, kKeySetValue);
    if (!node) return status;
    if (node->denied & kKeySetValue) return kRegAccessDenied;
    return node->DeleteValue(name ? name : "") ? kRegSuccess : kRegFileNotFound;
}

RegStatus MemoryRegistry::RegCloseKey(RegKey key) {
    if (key == kNullKey) return kRegInvalidHandle;
    if (key >= kFirstPredefined) return kRegSuccess;
    std::lock_guard<std::mutex> lock(mutex_);
    return handles_.erase(key) ? kRegSuccess : kRegInvalidHandle;
}

// ---------------------------------------------------------------- helpers

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::FindPathLocked(
    const std::string& fullPath) const {
    RegKey root;
    std::vector<std::string> parts;
    if (!SplitFullPath(fullPath, &root, &parts)) return nullptr;
    std::shared_ptr<Node> node = roots_.at(root);
    for (const std::string& part : parts) {
        node = node->Child(part);
        if (!node) return nullptr;
    }
    return node;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::CreatePathLocked(const std::string& fullPath,
                                                                       RegStatus* status) {
    RegKey root;
    std::vector<std::string> parts;
    if (!SplitFullPath(fullPath, &root, &parts)) {
        *status = kRegInvalidFunction;
        return nullptr;
    }
    std::shared_ptr<Node> node = roots_.at(root);
    for (const std::string& part : parts) {
        std::shared_ptr<Node> next = node->ChildToCreate(part);
        node = next ? next : node->AddChild(part);
    }
    *status = kRegSuccess;
    return node;
}

RegStatus MemoryRegistry::CreateKeyPath(const std::string& fullPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    CreatePathLocked(fullPath, &status);
    return status;
}

RegStatus MemoryRegistry::SetValue(const std::string& fullPath, const std::string& name,
                                   std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = CreatePathLocked(fullPath, &status);
    if (!node) return status;
    node->SetValue(name, type, bytes);
    return kRegSuccess;
}

RegStatus MemoryRegistry::CreateKeyPath(RegKey parent, const std::string& subPath, RegKey* result) {
    std::lock_guard<std::mutex> lock(mutex_);
    *result = kNullKey;
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(parent, &status);
    if (!node) return status;
    for (const std::string& part : KeyPathNames(subPath)) {
        std::shared_ptr<Node> next = node->ChildToCreate(part);
        node = next ? next : node->AddChild(part);
    }
    *result = NewHandleLocked(node, kKeyAllAccess);
    return kRegSuccess;
}

RegStatus MemoryRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                                   std::vector<std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    RegStatus status;
    std::shared_ptr<Node> node = NodeOfLocked(key, &status);
    if (!node) return status;
    node->SetValue(name, type, std::move(bytes));
    return kRegSuccess;
}

RegStatus MemoryRegistry::SetString(const std::string& fullPath, const std::string& name,
                                    const std::string& text, std::uint32_t type) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return SetValue(fullPath, name, type, bytes);
}

RegStatus MemoryRegistry::SetDword(const std::string& fullPath, const std::string& name,
                                   std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return SetValue(fullPath, name, kRegDword, bytes);
}

bool MemoryRegistry::KeyExists(const std::string& fullPath) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return FindPathLocked(fullPath) != nullptr;
}

bool MemoryRegistry::ValueExists(const std::string& fullPath, const std::string& name) const {
    return GetValue(fullPath, name, nullptr, nullptr);
}

bool MemoryRegistry::GetValue(const std::string& fullPath, const std::string& name,
                              std::uint32_t* type, std::vector<std::uint8_t>* bytes) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Node> node = FindPathLocked(fullPath);
    if (!node) return false;
    const Node::Value* v = node->FindValue(name);
    if (!v) return false;
    if (type) *type = v->type;
    if (bytes) *bytes = v->data;
    return true;
}

std::vector<std::string> MemoryRegistry::SubKeyNames(const std::string& fullPath) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    if (std::shared_ptr<Node> node = FindPathLocked(fullPath)) {
        node->children.ForEach([&names](const std::shared_ptr<Node>& child) { names.push_back(child->name); });
    }
    return names;
}

std::vector<std::string> MemoryRegistry::ValueNames(const std::string& fullPath) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    if (std::shared_ptr<Node> node = FindPathLocked(fullPath)) {
        for (const Node::Value& v : node->values)
            if (!v.removed) names.push_back(v.name);
    }
    return names;
}

RegStatus MemoryRegistry::SetDenyDelete(const std::string& fullPath, bool deny) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Node> node = FindPathLocked(fullPath);
    if (!node) return kRegFileNotFound;
    if (deny) {
        node->denied |= kDenyDeleteRights;
    } else {
        node->denied &= ~kDenyDeleteRights;
    }
    return kRegSuccess;
}

RegStatus MemoryRegistry::SetQueryInfoFailure(const std::string& fullPath, RegStatus status) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<Node> node = FindPathLocked(fullPath);
    if (!node) return kRegFileNotFound;
    node->infoFailure = status;
    return kRegSuccess;
}

std::size_t MemoryRegistry::OpenHandleCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return handles_.size();
}

}  // namespace qm
