#include <vector>

#include "engine/registry_lib.h"
#include "platform/registry_walk.h"

namespace qm {

namespace {

// AddRegistryValues, optionally keeping only the items named "(Default)".
// The values are enumerated up to the end of the list, without a query of
// the key for their count: a value beyond every buffer limit (234) is passed
// over, any other failure ends the list (a key whose values may not be read
// lists none).
void AppendValues(IRegistry& registry, RegKey key, ValueList& list, bool defaultsOnly) {
    // The buffers are kept per thread between calls: a scan lists the values
    // of tens of thousands of small keys. A buffer grown for an unusually
    // large value is given back afterwards.
    thread_local RegReadBuffers buffers;
    thread_local RegValueRecord value;
    struct Shrink {
        ~Shrink() {
            constexpr std::size_t kKeep = 64 * 1024;
            buffers.Trim(kKeep);
            if (value.data.capacity() > kKeep) std::vector<std::uint8_t>().swap(value.data);
        }
    } shrink;
    for (std::uint32_t index = 0;; ++index) {
        const RegStatus st = EnumValue(registry, key, index, &value, buffers);
        if (st == kRegMoreData) continue;  // a value that cannot be read is passed over
        if (st != kRegSuccess) break;
        const bool named = !value.name.empty();
        if (defaultsOnly && named && value.name != kDefaultValueName) continue;
        auto item = std::make_unique<CRegValueItem>();
        item->type = value.type;
        if (named) {
            item->name = value.name;
            item->data = ConvertToString(value.type, value.data.data(), value.data.size());
        } else if (!value.data.empty()) {
            item->name = kDefaultValueName;
            item->isDefault = true;
            item->data = ConvertToString(kRegSz, value.data.data(), value.data.size());
        } else {
            item->name = kDefaultValueName;
            item->isDefault = true;
            item->data = kValueNotSet;
        }
        list.push_back(std::move(item));
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
