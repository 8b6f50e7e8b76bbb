// The keys of a restore's open "k" elements. A backup spells out every key
// of a finding's path from its root, one element per level, and writes each
// finding's path again; opening every level of every element costs a
// registry call per level. Here a key is opened (created when missing) only
// when something is written into it, or when its element ends with nothing
// written in it or below it (an empty key, which must exist), and then in
// one call from the nearest key already open; keys whose elements ended stay
// open for a while, so that the same key named again by the next finding is
// not opened again. The strings of ended elements and of the keys kept open
// are used again, so that a long restore does not allocate per element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

class IRestoreUi;

class RestoreKeys {
public:
    RestoreKeys(IRegistry& registry, IRestoreUi* ui);
    RestoreKeys(const RestoreKeys&) = delete;
    RestoreKeys& operator=(const RestoreKeys&) = delete;

    // Starts an element; `line` is where its start tag is. The outermost one
    // names a root: false (and nothing pushed) for a name that is none; its
    // `view` is the registry view the keys of its chain are restored in.
    bool Push(const std::string& component, std::int32_t line, RegView view = RegView::k64);
    bool Empty() const { return depth_ == 0; }
    const std::string& RootName() const { return frames_.front().component; }

    // The key of the innermost element, opened or created now if need be.
    // Null when it cannot be had: "couldn't create key PATH" has been shown
    // and Failure() tells which key and where.
    RegKey Need();
    // Ends the innermost element; a key nothing was written in or below is
    // created now. False when that fails (as for Need).
    bool Pop();
    // At the end of a walk, however it ended: the keys of the elements still
    // open are created too, as their start tags were read (nothing is done
    // after a key could not be created).
    void Finish();

    // Elements whose key is known to exist (opened, created, or holding one
    // that was).
    std::uint32_t KeysRestored() const { return restored_; }
    bool Failed() const { return failed_; }
    const std::string& FailedPath() const { return failedPath_; }
    std::int32_t FailedLine() const { return failedLine_; }

private:
    struct Frame {
        std::string component;
        std::int32_t line = 0;
        RegKey root = kNullKey;  // a root's key, which is not closed
        RegKeyHandle opened;     // the key opened for it, empty until then
        bool exists = false;     // opened, or a key below it was
        RegView view = RegView::k64;  // of the root element
        // The cache's name of its key (see CacheName): its hash and length,
        // so that the cache is searched without spelling the name out.
        std::uint64_t nameHash = 0;
        std::size_t nameLength = 0;
        // The element's key, null until opened.
        RegKey Key() const { return root != kNullKey ? root : opened.Get(); }
    };
    struct Cached {
        std::string path;  // full path, ASCII letters in lower case
        std::uint64_t hash = 0;  // of `path`
        RegKeyHandle key;
    };

    RegKey Resolve(std::size_t index);
    RegKey OpenBelow(RegKey anchor, const std::string& relative);
    void MarkExisting(std::size_t index);
    std::string FullPath(std::size_t index, bool lower) const;
    // The cache's name of a key into `out`: its full path in lower case,
    // marked when of the 32-bit view.
    void CacheName(std::size_t index, std::string& out) const;
    // Whether `lowerPath` is the cache's name of the key of element `index`.
    bool IsCacheName(std::size_t index, const std::string& lowerPath) const;
    // The key kept open for element `index`, taken out of the cache; null
    // when none is.
    RegKey TakeCached(std::size_t index);
    // Keeps `key` open under the name in `lowerPath` (whose string it takes),
    // whose hash is `hash`.
    void Cache(std::string& lowerPath, std::uint64_t hash, RegKeyHandle key);

    IRegistry& registry_;
    IRestoreUi* ui_;
    std::vector<Frame> frames_;  // [0, depth_) are the open elements
    std::size_t depth_ = 0;
    std::vector<Cached> cache_;  // [0, cached_) kept open, most recently ended first
    std::size_t cached_ = 0;
    std::string name_;      // a cache name being looked for
    std::string relative_;  // a path being opened
    std::uint32_t restored_ = 0;
    bool failed_ = false;
    std::string failedPath_;
    std::int32_t failedLine_ = 0;
};

}  // namespace qm
