#include "engine/caching_system.h"

#include <functional>

namespace qm {

namespace {
// A power of two. Tags take 16 KB; slots are filled only for paths tested
// again, some 300 KB at most.
constexpr std::size_t kSlots = 4096;
}  // namespace

CachingSystem::CachingSystem(ISystem& base) : base_(base), seen_(kSlots, 0), slots_(kSlots) {}

CachingSystem::Slot* CachingSystem::SlotOf(const std::string& path) {
    const std::uint64_t hash = std::hash<std::string>{}(path);
    const std::size_t index = std::size_t(hash) & (kSlots - 1);
    // Bits the index does not use (a 32-bit hash has only its upper 20);
    // never 0, the empty tag.
    const std::uint32_t tag = (std::uint32_t(hash >> 32) ^ std::uint32_t(hash >> 12)) | 1u;
    if (seen_[index] != tag) {
        seen_[index] = tag;
        return nullptr;
    }
    Slot& slot = slots_[index];
    if (slot.path != path) {
        slot.path = path;
        slot.exists = kUnknown;
        slot.directory = kUnknown;
        slot.presenceUnknown = kUnknown;
    }
    return &slot;
}

bool CachingSystem::FileExists(const std::string& path) {
    Slot* slot = SlotOf(path);
    if (!slot) return base_.FileExists(path);
    if (slot->exists == kUnknown) slot->exists = base_.FileExists(path) ? kYes : kNo;
    return slot->exists == kYes;
}

bool CachingSystem::PresenceUnknown(const std::string& path) {
    Slot* slot = SlotOf(path);
    if (!slot) return base_.PresenceUnknown(path);
    if (slot->presenceUnknown == kUnknown) slot->presenceUnknown = base_.PresenceUnknown(path) ? kYes : kNo;
    return slot->presenceUnknown == kYes;
}

bool CachingSystem::IsDirectory(const std::string& path) {
    Slot* slot = SlotOf(path);
    if (!slot) return base_.IsDirectory(path);
    if (slot->directory == kUnknown) slot->directory = base_.IsDirectory(path) ? kYes : kNo;
    return slot->directory == kYes;
}

}  // namespace qm
