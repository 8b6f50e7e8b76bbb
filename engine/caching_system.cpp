#include "engine/caching_system.h"

#include <functional>

namespace qm {

namespace {
// A power of two. Some 4,000 paths of 40-odd bytes: about 300 KB at most.
constexpr std::size_t kSlots = 4096;
}  // namespace

CachingSystem::CachingSystem(ISystem& base) : base_(base), slots_(kSlots) {}

CachingSystem::Slot& CachingSystem::SlotOf(const std::string& path) {
    Slot& slot = slots_[std::hash<std::string>{}(path) & (kSlots - 1)];
    if (slot.path != path) {
        slot.path = path;
        slot.exists = kUnknown;
        slot.directory = kUnknown;
    }
    return slot;
}

bool CachingSystem::FileExists(const std::string& path) {
    Slot& slot = SlotOf(path);
    if (slot.exists == kUnknown) slot.exists = base_.FileExists(path) ? kYes : kNo;
    return slot.exists == kYes;
}

bool CachingSystem::IsDirectory(const std::string& path) {
    Slot& slot = SlotOf(path);
    if (slot.directory == kUnknown) slot.directory = base_.IsDirectory(path) ? kYes : kNo;
    return slot.directory == kYes;
}

}  // namespace qm
