// CRegistryLib::SaveAsXml: appends a key or a value, with the key's whole
// sub-key tree, to the XML backup before the repair removes it.
#include <algorithm>
#include <vector>

#include "engine/registry_lib.h"
#include "repair/backup_value_format.h"

namespace qm {
namespace {

std::string Escaped(const std::string& text) { return UTF8Conversion(GetEscapedXmlString(text)); }

// A value as a scan recorded it (its text), for a value that is no longer
// there to be read.
void WriteValueElement(CXmlWriter& writer, const std::string& name, const std::string& text,
                       std::uint32_t type) {
    if (name == kDefaultValueName && text == kValueNotSet) return;
    CXmlElement v("v");
    v.SetAttribute("name", Escaped(name));
    v.SetAttribute("value", Escaped(text));
    if (type != kRegNone && type != kRegSz)
        v.SetAttribute("type", Escaped(CRegistryLib::StringFromValueType(type)));
    v.WriteEmptyElement(writer, 1, true, true);
}

// The value of the finding as the registry holds it, or else as the finding
// recorded it.
void WriteOneValue(IRegistry& reg, CXmlWriter& writer, RegKey key, const CRegValueItem& value) {
    std::vector<std::uint8_t> data;
    std::uint32_t type = 0, length = 0;
    // The unnamed value shows as "(Default)"; a value may really carry that name.
    const char* const name = value.isDefault ? "" : value.name.c_str();
    RegStatus status = reg.RegQueryValueExA(key, name, &type, nullptr, &length);
    for (int attempt = 0; status == kRegSuccess && attempt < 4; ++attempt) {
        try {
            data.assign(std::size_t(length) + 1, 0);
        } catch (const std::bad_alloc&) {
            break;
        }
        length = static_cast<std::uint32_t>(data.size());
        status = reg.RegQueryValueExA(key, name, &type, data.data(), &length);
        if (status == kRegSuccess) {
            WriteBackupValueElement(writer, value.name, type, data.data(), length);
            return;
        }
        if (status == kRegMoreData) status = kRegSuccess;  // it grew: again, larger
    }
    WriteValueElement(writer, value.name, value.data, value.type);
}

// Every value of the key in enumeration order (the unnamed one under the
// name "(Default)"), each with its type and bytes as a restore gives them back.
void WriteAllValues(IRegistry& reg, CXmlWriter& writer, RegKey key, const RegKeyInfo& info) {
    std::uint32_t maxName = info.maxValueNameLen;
    std::uint32_t maxData = info.maxValueLen;
    std::vector<char> name;
    std::vector<std::uint8_t> data;
    for (std::uint32_t index = 0; index < info.values; ++index) {
        RegStatus status = kRegSuccess;
        std::uint32_t nameLen = 0, dataLen = 0, type = 0;
        // A value that grew since the key was queried reports more data:
        // query again and retry with larger buffers.
        for (int attempt = 0; attempt < 4; ++attempt) {
            try {
                name.assign(std::size_t(maxName) + 1, '\0');
                data.assign(std::size_t(maxData) + 1, 0);
            } catch (const std::bad_alloc&) {
                return;
            }
            nameLen = maxName + 1;
            dataLen = maxData + 1;
            type = 0;
            status = reg.RegEnumValueA(key, index, name.data(), &nameLen, &type, data.data(),
                                       &dataLen);
            if (status != kRegMoreData) break;
            // The value grew since the key was queried, or its 8-bit name or
            // data takes more bytes than the lengths reported in UTF-16 units
            // (a UTF-8 code page): larger buffers either way.
            RegKeyInfo again;
            if (reg.RegQueryInfoKeyA(key, &again) != kRegSuccess) break;
            maxName = std::max({maxName * 3 + 16, again.maxValueNameLen});
            maxData = std::max({maxData * 3 + 16, again.maxValueLen, dataLen});
        }
        if (status == kRegNoMoreItems) return;
        if (status != kRegSuccess) continue;
        const bool unnamed = nameLen == 0 && name[0] == '\0';
        WriteBackupValueElement(writer, unnamed ? std::string(kDefaultValueName)
                                                : std::string(name.data(), nameLen),
                                type, data.data(), dataLen);
    }
}

// Splits at every backslash.
std::vector<std::string> PathComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto slash = path.find('\\', start);
        if (slash == std::string::npos) {
            parts.push_back(path.substr(start));
            return parts;
        }
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
}

}  // namespace

std::string CRegistryLib::StringFromValueType(std::uint32_t type) {
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

int CRegistryLib::SaveAsXml(CXmlWriter& writer, const std::string& keyPath,
                            const CRegValueItem* value) {
    if (keyPath.empty()) return 0;
    std::string rest = keyPath;
    const std::string root = SeperateMainKey(rest);
    RegKeyHandle key;
    if (OpenKey(root, rest, key.Receive(*registry_)) != kRegSuccess || !key) return 0;
    // A bare root name opens the predefined key itself, which is not ours to close.
    if (key.Get() == RootKeyFromName(root)) key.Release();
    const RegKey opened = key ? key.Get() : RootKeyFromName(root);

    const std::vector<std::string> components = PathComponents(keyPath);
    for (const std::string& component : components) {
        CXmlElement k("k");
        k.SetAttribute("name", Escaped(component));
        k.WriteStartTag(writer, 1, true, true);
    }
    const int result = SaveAsXml(writer, std::string(), opened, value);
    for (std::size_t i = 0; i < components.size(); ++i)
        CXmlElement::WriteEndTag("k", writer, -1, true, true);
    return result;
}

int CRegistryLib::SaveAsXml(CXmlWriter& writer, const std::string& keyName, RegKey key,
                            const CRegValueItem* value) {
    RegKeyInfo info;
    if (registry_->RegQueryInfoKeyA(key, &info) != kRegSuccess) return 0;
    std::vector<char> subName;
    try {
        subName.assign(std::size_t(info.maxSubKeyLen) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return 0;
    }

    const bool ownElement = !keyName.empty();
    const bool hasContent = info.subKeys != 0 || info.values != 0;
    if (ownElement) {
        CXmlElement k("k");
        k.SetAttribute("name", Escaped(keyName));
        if (hasContent) {
            k.WriteStartTag(writer, 1, true, true);
        } else {
            k.WriteEmptyElement(writer, 1, true, true);
            return 1;
        }
    }

    if (value != nullptr)
        WriteOneValue(*registry_, writer, key, *value);
    else
        WriteAllValues(*registry_, writer, key, info);

    // The sub-key tree; a key whose information cannot be read ends the walk
    // of this whole backup call, with every element opened so far closed.
    int result = 1;
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t len = static_cast<std::uint32_t>(subName.size());
        subName[0] = '\0';
        RegStatus st = registry_->RegEnumKeyExA(key, index, subName.data(), &len);
        // A name whose 8-bit text is longer than the reported longest (UTF-8
        // code page): read it again with a larger buffer. Ending the walk here
        // would leave the rest of the tree out of the backup of a key that is
        // then deleted whole.
        for (int attempt = 0; st == kRegMoreData && attempt < 4; ++attempt) {
            try {
                subName.resize(subName.size() * 3 + 16);
            } catch (const std::bad_alloc&) {
                break;
            }
            len = static_cast<std::uint32_t>(subName.size());
            st = registry_->RegEnumKeyExA(key, index, subName.data(), &len);
        }
        if (st == kRegMoreData) {
            result = 0;  // a sub-key that cannot be read is not backed up: incomplete
            break;
        }
        if (st != kRegSuccess) break;
        if (len == 0) continue;
        const std::string child(subName.data(), len);
        RegKeyHandle childKey;
        if (registry_->RegOpenKeyA(key, child.c_str(), childKey.Receive(*registry_)) !=
                kRegSuccess ||
            !childKey)
            continue;
        if (SaveAsXml(writer, child, childKey.Get(), nullptr) == 0) {
            result = 0;
            break;
        }
    }

    if (ownElement) CXmlElement::WriteEndTag("k", writer, -1, true, true);
    return result;
}

}  // namespace qm
