// The steps of a backup as the check before a restore walked them, kept in
// one buffer (a few bytes beside each name and value's data), so that the
// restore carries out what was checked without reading and walking the file
// a second time. Only keys, their ends and values that read are kept: at the
// first step of another kind (a file, a value that does not read, a failure),
// or once the buffer would pass its limit, everything is let go and the
// restore walks the file itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "repair/backup_walk.h"

namespace qm {

class CheckedRestoreSteps {
public:
    // Large enough for the backup of a repair of a whole machine.
    static constexpr std::size_t kDefaultLimit = 64u * 1024u * 1024u;

    explicit CheckedRestoreSteps(std::size_t limitBytes = kDefaultLimit) : limit_(limitBytes) {}

    // Keeps `step` after the ones kept before; false (and nothing kept any
    // more) when it cannot be.
    bool Keep(const RestoreStep& step);
    // Lets go of everything: the steps are not to be used.
    void Drop();
    // Every step given to Keep is held.
    bool Whole() const { return whole_; }
    std::size_t Bytes() const { return buffer_.size(); }

    // Adds the next kept steps to `batch`, up to `limit` of them in all;
    // false once the last one has been handed out.
    bool Fill(RestoreStepBatch& batch, std::size_t limit);

private:
    std::vector<char> buffer_;
    std::size_t limit_;
    std::size_t read_ = 0;
    bool whole_ = true;
};

}  // namespace qm
