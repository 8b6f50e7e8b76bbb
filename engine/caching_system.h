// Files as one run of the registry scan sees them, asked of the system
// underneath at most twice per path: many entries name the same few files
// (tens of COM classes name the same server DLL), and on Windows each test
// is a call into the file system. The answers of FileExists, IsDirectory and
// PresenceUnknown are kept in a fixed table of recent paths (a path has one slot, chosen by
// its hash, and a later path may take it over), so memory stays the same
// whatever the size of the registry. A path is kept from its second test
// on: most paths are tested once, and noting them in a small table of hash
// tags costs less than storing each one. Everything else is passed on
// unchanged.
//
// For the length of one scan run only: a file made or removed meanwhile may
// not be seen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

class CachingSystem : public ISystem {
public:
    // `base` must outlive this.
    explicit CachingSystem(ISystem& base);

    bool FileExists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;

    std::string ExpandEnvironmentStrings(const std::string& text) override {
        return base_.ExpandEnvironmentStrings(text);
    }
    std::string GetSystemDirectory() override { return base_.GetSystemDirectory(); }
    std::string GetWindowsDirectory() override { return base_.GetWindowsDirectory(); }
    std::uint32_t GetVersion() override { return base_.GetVersion(); }
    bool GetEnvironmentVariable(const std::string& name, std::string& value) override {
        return base_.GetEnvironmentVariable(name, value);
    }
    bool IsLocalDrive(char letter) override { return base_.IsLocalDrive(letter); }
    bool PresenceUnknown(const std::string& path) override;

private:
    enum : std::int8_t { kUnknown = -1, kNo = 0, kYes = 1 };
    struct Slot {
        std::string path;
        std::int8_t exists = kUnknown;
        std::int8_t directory = kUnknown;
        std::int8_t presenceUnknown = kUnknown;
    };
    // The slot of a path tested before (its answers may still be unknown);
    // null at a path's first test, which is only noted.
    Slot* SlotOf(const std::string& path);

    ISystem& base_;
    std::vector<std::uint32_t> seen_;  // per slot: hash tag of the last path tested
    std::vector<Slot> slots_;
};

}  // namespace qm
