#include <deque>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/registry_walk.h"

namespace qm {

namespace {

// Values a key may have and still be read whole before its items are
// handed on; past it they are read one at a time (ForEachRegistryValue).
constexpr std::uint32_t kWholeList = 256;

// The buffers the value reads share, kept per thread between calls: a scan
// lists the values of tens of thousands of small keys. A buffer grown for an
// unusually large value is given back when the outermost read of the thread
// ends. Each read fills them afresh, so a read made inside another (by a
// visitor of ForEachRegistryValue) does no harm. The thread's storage is
// looked up once per reader: with some toolchains (MinGW's) each look-up is
// a call into the runtime.
class ValueReader {
public:
    ValueReader() : storage_(Storage()) { ++storage_.depth; }
    ~ValueReader() {
        if (--storage_.depth != 0) return;
        constexpr std::size_t kKeep = 64 * 1024;
        storage_.buffers.Trim(kKeep);
        if (storage_.value.data.capacity() > kKeep) std::vector<std::uint8_t>().swap(storage_.value.data);
        constexpr std::size_t kKeepItems = 32;  // enough for most keys
        for (ValueList& items : storage_.items)
            if (items.size() > kKeepItems) items.resize(kKeepItems);
    }
    ValueReader(const ValueReader&) = delete;
    ValueReader& operator=(const ValueReader&) = delete;

    // Nesting level of this reader in its thread: 1 for the outermost.
    int Depth() const { return storage_.depth; }
    // Items of the first values of a key, kept between the keys read at one
    // nesting level (their objects are filled again, not made anew).
    ValueList& ItemsOfLevel() {
        while (storage_.items.size() < std::size_t(storage_.depth)) storage_.items.emplace_back();
        return storage_.items[std::size_t(storage_.depth) - 1];
    }

    enum class Read { Item, Skipped, End };

    // Value `index` of `key` as an item of AddRegistryValues' list: Skipped
    // for a value beyond every buffer limit (234: passed over) and, with
    // `defaultsOnly`, for one not named "(Default)"; End past the last value
    // and on any other failure (a key whose values may not be read lists
    // none). The values are enumerated up to the end of the list, without a
    // query of the key for their count.
    Read Next(IRegistry& registry, RegKey key, std::uint32_t index, bool defaultsOnly,
              CRegValueItem& item) {
        RegValueRecord& value = storage_.value;
        const RegStatus st = EnumValue(registry, key, index, &value, storage_.buffers);
        if (st == kRegMoreData) return Read::Skipped;
        if (st != kRegSuccess) return Read::End;
        const bool named = !value.name.empty();
        if (defaultsOnly && named && value.name != kDefaultValueName) return Read::Skipped;
        item.type = value.type;
        if (named) {
            item.name = value.name;
            item.isDefault = false;
            ConvertToString(value.type, value.data.data(), value.data.size(), item.data);
        } else if (!value.data.empty()) {
            item.name = kDefaultValueName;
            item.isDefault = true;
            ConvertToString(kRegSz, value.data.data(), value.data.size(), item.data);
        } else {
            item.name = kDefaultValueName;
            item.isDefault = true;
            item.data = kValueNotSet;
        }
        return Read::Item;
    }

private:
    struct ThreadStorage {
        int depth = 0;
        RegReadBuffers buffers;
        RegValueRecord value;
        std::deque<ValueList> items;  // by nesting level; growing keeps references
    };
    static ThreadStorage& Storage() {
        thread_local ThreadStorage storage;
        return storage;
    }
    ThreadStorage& storage_;
};

bool HasDefaultItem(const ValueList& list) {
    for (const auto& item : list)
        if (item && item->name == kDefaultValueName) return true;
    return false;
}

std::unique_ptr<CRegValueItem> DefaultPlaceholder() {
    auto placeholder = std::make_unique<CRegValueItem>(kDefaultValueName, kValueNotSet, kRegSz);
    placeholder->isDefault = true;
    return placeholder;
}

// Reads values from `index` on into `list`, up to `end` (or to the last
// value: then `exhausted` is set). Returns the index reached.
std::uint32_t ReadInto(ValueReader& reader, IRegistry& registry, RegKey key, std::uint32_t index,
                       std::uint32_t end, bool defaultsOnly, ValueList& list, bool& exhausted) {
    exhausted = false;
    std::unique_ptr<CRegValueItem> item;  // used again after a value passed over
    for (; index < end; ++index) {
        if (!item) item = std::make_unique<CRegValueItem>();
        const ValueReader::Read read = reader.Next(registry, key, index, defaultsOnly, *item);
        if (read == ValueReader::Read::End) {
            exhausted = true;
            return index;
        }
        if (read == ValueReader::Read::Item) list.push_back(std::move(item));
    }
    return index;
}

// AddRegistryValues, optionally keeping only the items named "(Default)".
void AppendValues(IRegistry& registry, RegKey key, ValueList& list, bool defaultsOnly) {
    ValueReader reader;
    bool exhausted;
    ReadInto(reader, registry, key, 0, 0xFFFFFFFFu, defaultsOnly, list, exhausted);
    if (!HasDefaultItem(list)) list.insert(list.begin(), DefaultPlaceholder());
}

bool ValueExists(IRegistry& registry, RegKey key, const char* name) {
    std::uint32_t type = kRegNone, size = 0;
    return registry.RegQueryValueExA(key, name, &type, nullptr, &size) == kRegSuccess;
}

}  // namespace

void CRegistryLib::AddRegistryValues(RegKey key, ValueList& list) {
    AppendValues(*registry_, key, list, false);
}

void CRegistryLib::AddDefaultValues(RegKey key, ValueList& list) {
    AppendValues(*registry_, key, list, true);
}

std::size_t CRegistryLib::ReadDefaultValues(RegKey key, ValueList& items) {
    ValueReader reader;
    std::size_t count = 0;
    for (std::uint32_t index = 0;; ++index) {
        if (count == items.size()) items.emplace_back();
        if (!items[count]) items[count] = std::make_unique<CRegValueItem>();
        const ValueReader::Read read = reader.Next(*registry_, key, index, true, *items[count]);
        if (read == ValueReader::Read::End) break;
        if (read == ValueReader::Read::Item) ++count;
    }
    // Every item read is a "(Default)" one: without any, the placeholder.
    if (count == 0) {
        CRegValueItem& placeholder = *items[0];
        placeholder.name = kDefaultValueName;
        placeholder.data = kValueNotSet;
        placeholder.type = kRegSz;
        placeholder.isDefault = true;
        count = 1;
    }
    return count;
}

bool CRegistryLib::ForEachRegistryValue(RegKey key, const std::function<bool(const CRegValueItem&)>& visit) {
    IRegistry& registry = *registry_;
    ValueReader reader;
    // The first values are read as AddRegistryValues reads them; most keys
    // have no more than that. They are read into the items the previous key
    // at this nesting level used.
    ValueList& first = reader.ItemsOfLevel();
    std::size_t count = 0;
    bool exhausted = false;
    std::uint32_t index = 0;
    for (; index < kWholeList; ++index) {
        if (count == first.size()) first.push_back(std::make_unique<CRegValueItem>());
        const ValueReader::Read read = reader.Next(registry, key, index, false, *first[count]);
        if (read == ValueReader::Read::End) {
            exhausted = true;
            break;
        }
        if (read == ValueReader::Read::Item) ++count;
    }
    // The "(Default)" item comes first when the key has none of its own.
    // Whether it has one among the values not yet read the registry is asked
    // (the unnamed value, or one named "(Default)").
    bool hasDefault = false;
    for (std::size_t i = 0; i < count && !hasDefault; ++i) hasDefault = first[i]->name == kDefaultValueName;
    if (!hasDefault && !exhausted)
        hasDefault = ValueExists(registry, key, "") || ValueExists(registry, key, kDefaultValueName);
    if (!hasDefault) {
        static const CRegValueItem kPlaceholder = *DefaultPlaceholder();
        if (!visit(kPlaceholder)) return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        CRegValueItem& item = *first[i];
        const bool goOn = visit(item);
        // An item kept for the next key keeps no more than a path's worth.
        constexpr std::size_t kKeepText = 1024;
        if (item.name.capacity() > kKeepText) std::string().swap(item.name);
        if (item.data.capacity() > kKeepText) std::string().swap(item.data);
        if (!goOn) return false;
    }
    if (exhausted) return true;
    // The rest one at a time, in one item.
    CRegValueItem item;
    for (;; ++index) {
        const ValueReader::Read read = reader.Next(registry, key, index, false, item);
        if (read == ValueReader::Read::End) return true;
        if (read == ValueReader::Read::Item && !visit(item)) return false;
    }
}

}  // namespace qm
