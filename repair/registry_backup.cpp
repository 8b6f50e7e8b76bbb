// CRegistryRepair::SaveAsXml: appends a key or a value, with the key's whole
// sub-key tree, to the XML backup before the repair removes it. Only what is
// written is read.
#include <algorithm>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/key_path.h"
#include "platform/registry_walk.h"
#include "repair/backup_value_format.h"
#include "repair/registry_repair.h"
#include "repair/xml_writer.h"

namespace qm {
namespace {

std::string Escaped(const std::string& text) { return UTF8Conversion(GetEscapedXmlString(text)); }

// A value as a scan recorded it (its text), for a value that is no longer
// there to be read. `name` is "" for the unnamed value. The scan's stand-in
// for a key without an unnamed value names no value and is left out.
void WriteValueElement(CXmlWriter& writer, const std::string& name, const std::string& text,
                       std::uint32_t type) {
    if ((name.empty() || name == kDefaultValueName) && text == kValueNotSet) return;
    CXmlElement v("v");
    v.SetAttribute("name", Escaped(name.empty() ? std::string(kDefaultValueName) : name));
    v.SetAttribute("value", Escaped(text));
    if (type != kRegNone && type != kRegSz)
        v.SetAttribute("type", Escaped(CRegistryRepair::StringFromValueType(type)));
    if (IsDefaultValueStandIn(name)) v.SetAttribute(kBackupNamedAttribute, "1");
    v.WriteEmptyElement(writer, 1, true, true);
}

// The value of the finding as the registry holds it (read whole), or else as
// the finding recorded it. The unnamed value shows as "(Default)"; a value
// may really carry that name.
void WriteOneValue(IRegistry& reg, CXmlWriter& writer, RegKey key, const CRegValueItem& value) {
    RegValueRecord record;
    const std::string name = value.isDefault ? std::string() : value.name;
    if (QueryValue(reg, key, name.c_str(), &record) == kRegSuccess)
        WriteBackupValueElement(writer, name, record.type, record.data.data(), record.data.size());
    else
        WriteValueElement(writer, name, value.data, value.type);
}

// Every value of a key in enumeration order, each with its type and bytes as
// a restore gives them back.
void WriteAllValues(CXmlWriter& writer, const std::vector<RegValueRecord>& values) {
    for (const RegValueRecord& v : values) WriteBackupValueElement(writer, v.name, v.type, v.data.data(), v.data.size());
}

// Writes a tree read by ReadTree: the first key's content (`value` alone when
// given, read from `key`, else its values), then every key below it as a "k"
// element, a key with neither values nor sub-keys as an empty element.
void WriteTree(IRegistry& reg, CXmlWriter& writer, RegKey key, const std::vector<RegTreeKey>& tree,
               const CRegValueItem* value, bool ownElement, const std::string& keyName) {
    std::size_t open = 0;  // "k" elements of the walk still open
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const RegTreeKey& node = tree[i];
        const std::size_t depth = node.depth + (ownElement ? 1 : 0);
        for (; open >= depth && open > 0; --open)
            CXmlElement::WriteEndTag("k", writer, -1, true, true);
        if (depth > 0) {
            CXmlElement k("k");
            k.SetAttribute("name", Escaped(i == 0 ? keyName : node.name));
            if (node.subKeys == 0 && node.values.empty()) {
                k.WriteEmptyElement(writer, 1, true, true);
                continue;
            }
            k.WriteStartTag(writer, 1, true, true);
            ++open;
        }
        if (i == 0 && value != nullptr)
            WriteOneValue(reg, writer, key, *value);
        else
            WriteAllValues(writer, node.values);
    }
    for (; open > 0; --open) CXmlElement::WriteEndTag("k", writer, -1, true, true);
}

}  // namespace

std::string CRegistryRepair::StringFromValueType(std::uint32_t type) {
    switch (type) {
        case kRegNone:
        case kRegSz: return "";
        case kRegExpandSz: return "REG_EXPAND_SZ";
        case kRegBinary: return "REG_BINARY";
        case kRegDword:
        case kRegDwordBigEndian: return "REG_DWORD";
        case kRegLink: return "REG_SZ";
        case kRegMultiSz: return "REG_MULTI_SZ";
        case kRegResourceList: return "REG_RESOURCE_LIST";
        case kRegResourceRequirementsList: return "REG_RESOURCE_REQUIREMENTS_LIST";
        case kRegQword: return "REG_QWORD";
        default: return "";
    }
}

int CRegistryRepair::SaveAsXml(CXmlWriter& writer, const std::string& keyPath,
                               const CRegValueItem* value, ClassesHive hive, RegView view) {
    if (keyPath.empty()) return 0;
    // Where the key is read: in one hive of HKEY_CLASSES_ROOT, that hive's own path.
    std::string rest = ClassesHivePath(keyPath, hive);
    if (rest == keyPath) hive = ClassesHive::kMerged;
    const std::string root = CRegistryLib::SeperateMainKey(rest);
    IRegistry& registry = Registry(view);
    const RegKey rootKey = RootKeyFromName(root);
    if (rootKey == kNullKey) return 0;
    RegKeyHandle key;
    if (registry.RegOpenKeyA(rootKey, rest.c_str(), key.Receive(registry)) != kRegSuccess || !key) return 0;
    // A bare root name opens the predefined key itself, which is not ours to close.
    if (key.Get() == rootKey) key.Release();
    const RegKey opened = key ? key.Get() : rootKey;

    // The tree is read whole before anything is written: a backup holds a
    // key removed whole or nothing of it. For a value the key's other values
    // are not read: the value is read alone, with the key's sub-keys, so a
    // key holding thousands of values costs each of its findings one value.
    std::vector<RegTreeKey> tree;
    const RegStatus read = ReadTree(registry, opened, &tree, value == nullptr);
    if (read != kRegSuccess) {
        if (value == nullptr) return 0;
        tree.resize(1);  // the value alone
        tree[0].subKeys = 0;
    }

    // The chain spells the path as the finding names it.
    std::vector<std::string> components = KeyPathNames(keyPath);
    // The key's own name as the registry stores it (the finding may carry
    // it in another letter case): a restore creates it under that name.
    if (components.size() >= 2) {
        RegKeyHandle parent;
        const std::string parentPath = KeyPathParent(rest);
        std::string stored;
        if (registry.RegOpenKeyExA(rootKey, parentPath.c_str(), kKeyEnumerateSubKeys,
                                   parent.Receive(registry)) == kRegSuccess &&
            (storedNames_ ? storedNames_->Find(registry, parent.Get(),
                                               (view == RegView::k32 ? "32:" : "") + root + "\\" + parentPath,
                                               components.back(), &stored)
                          : StoredSubKeyName(registry, parent.Get(), components.back(), &stored)) == kRegSuccess)
            components.back() = stored;
        // An empty path gives the root itself back, not a handle to close.
        if (parent.Get() == rootKey) parent.Release();
    }
    for (std::size_t i = 0; i < components.size(); ++i) {
        CXmlElement k("k");
        k.SetAttribute("name", Escaped(components[i]));
        // The root of a key of the 32-bit view says so; without the
        // attribute a key is restored in the 64-bit view.
        if (i == 0 && view == RegView::k32) k.SetAttribute("view", ViewName(RegView::k32));
        // And the root of a key of one hive of HKEY_CLASSES_ROOT names it;
        // without the attribute the key is restored through that root.
        if (i == 0 && hive != ClassesHive::kMerged) k.SetAttribute("hive", ClassesHiveName(hive));
        k.WriteStartTag(writer, 1, true, true);
    }
    WriteTree(registry, writer, opened, tree, value, false, std::string());
    for (std::size_t i = 0; i < components.size(); ++i)
        CXmlElement::WriteEndTag("k", writer, -1, true, true);
    return read == kRegSuccess ? 1 : 0;
}

int CRegistryRepair::SaveAsXml(CXmlWriter& writer, const std::string& keyName, RegKey key,
                               const CRegValueItem* value, RegView view) {
    IRegistry& registry = Registry(view);
    std::vector<RegTreeKey> tree;
    if (ReadTree(registry, key, &tree, value == nullptr) != kRegSuccess) return 0;
    WriteTree(registry, writer, key, tree, value, !keyName.empty(), keyName);
    return 1;
}

}  // namespace qm
