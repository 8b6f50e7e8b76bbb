#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/registry_lib.h"

namespace qm {

namespace {

// AddRegistryValues, optionally keeping only the items named "(Default)".
void AppendValues(IRegistry& registry, RegKey key, ValueList& list, bool defaultsOnly) {
    RegKeyInfo info;
    const RegStatus queried = registry.RegQueryInfoKeyA(key, &info);
    // The buffers are kept per thread between calls: a scan lists the values
    // of tens of thousands of small keys. A buffer grown for an unusually
    // large value is given back afterwards.
    thread_local std::vector<char> name;
    thread_local std::vector<std::uint8_t> data;
    struct Shrink {
        ~Shrink() {
            constexpr std::size_t kKeep = 64 * 1024;
            if (name.size() > kKeep) std::vector<char>().swap(name);
            if (data.size() > kKeep) std::vector<std::uint8_t>().swap(data);
        }
    } shrink;
    try {
        if (name.size() < std::size_t(info.maxValueNameLen) + 1)
            name.resize(std::size_t(info.maxValueNameLen) + 1);
        if (data.size() < std::size_t(info.maxValueLen) + 1)
            data.resize(std::size_t(info.maxValueLen) + 1);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (queried == kRegSuccess && info.values != 0 && info.values != 0xFFFFFFFFu) {
        if (info.values < 0x10000u) list.reserve(list.size() + (defaultsOnly ? 2 : info.values + 1));
        for (std::uint32_t index = 0; index < info.values; ++index) {
            std::uint32_t nameLen = info.maxValueNameLen + 1;
            std::uint32_t dataLen = info.maxValueLen + 1;
            name[0] = '\0';
            data[0] = 0;
            std::uint32_t type = 0;
            RegStatus st = registry.RegEnumValueA(key, index, name.data(), &nameLen, &type,
                                                  data.data(), &dataLen);
            // The longest lengths count UTF-16 units, while the 8-bit text of a
            // name or value may take more bytes (a UTF-8 code page): grow the
            // buffers and read the value again rather than pass over it.
            for (int attempt = 0; st == kRegMoreData && attempt < 4; ++attempt) {
                try {
                    name.resize(name.size() * 3 + 16);
                    data.resize(std::max<std::size_t>(data.size() * 3, std::size_t(dataLen) + 1) + 16);
                } catch (const std::bad_alloc&) {
                    break;
                }
                nameLen = static_cast<std::uint32_t>(name.size());
                dataLen = static_cast<std::uint32_t>(data.size());
                name[0] = '\0';
                data[0] = 0;
                st = registry.RegEnumValueA(key, index, name.data(), &nameLen, &type, data.data(),
                                            &dataLen);
            }
            if (st != kRegSuccess) continue;
            const bool named = nameLen != 0 || name[0] != '\0';
            if (defaultsOnly && named &&
                !(nameLen == 9 && std::memcmp(name.data(), kDefaultValueName, 9) == 0))
                continue;
            auto item = std::make_unique<CRegValueItem>();
            item->type = type;
            if (named) {
                item->name.assign(name.data(), nameLen);
                item->data = ConvertToString(type, data.data(), dataLen);
            } else if (dataLen != 0 || data[0] != 0) {
                item->name = kDefaultValueName;
                item->isDefault = true;
                item->data = ConvertToString(kRegSz, data.data(), dataLen);
            } else {
                item->name = kDefaultValueName;
                item->isDefault = true;
                item->data = kValueNotSet;
            }
            list.push_back(std::move(item));
        }
    }
    for (const auto& item : list)
        if (item && item->name == kDefaultValueName) return;
    auto placeholder = std::make_unique<CRegValueItem>(kDefaultValueName, kValueNotSet, kRegSz);
    placeholder->isDefault = true;
    list.insert(list.begin(), std::move(placeholder));
}

}  // namespace

void CRegistryLib::AddRegistryValues(RegKey key, ValueList& list) {
    AppendValues(*registry_, key, list, false);
}

void CRegistryLib::AddDefaultValues(RegKey key, ValueList& list) {
    AppendValues(*registry_, key, list, true);
}

}  // namespace qm
