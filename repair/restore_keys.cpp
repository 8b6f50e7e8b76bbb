#include "repair/restore_keys.h"

#include <algorithm>
#include <utility>

#include "repair/restore_ui.h"

namespace qm {

namespace {

// Keys of ended elements kept open. A backup names one finding's keys
// after another, so the keys worth keeping are those just ended.
constexpr std::size_t kCachedKeys = 16;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// FNV-1a, carried on from `hash` over the lower-case spelling of `text`.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t HashOn(std::uint64_t hash, char c) {
    return (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
}
std::uint64_t HashLowerOn(std::uint64_t hash, const std::string& text) {
    for (const char c : text) hash = HashOn(hash, AsciiLower(c));
    return hash;
}

const char kView32Mark[] = "32:";

}  // namespace

RestoreKeys::RestoreKeys(IRegistry& registry, IRestoreUi* ui) : registry_(registry), ui_(ui) {}

bool RestoreKeys::Push(const std::string& component, std::int32_t line, RegView view) {
    RegKey root = kNullKey;
    if (depth_ == 0) {
        root = RootKeyFromName(component);
        if (root == kNullKey) return false;
        ++restored_;
    }
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& frame = frames_[depth_++];
    frame.component.assign(component);
    frame.line = line;
    frame.root = root;
    frame.exists = root != kNullKey;
    frame.view = root != kNullKey ? view : RegView::k64;
    // The hash and length of CacheName(depth_ - 1), from those of its parent.
    if (depth_ == 1) {
        const bool marked = frame.view == RegView::k32;
        frame.nameHash = marked ? HashLowerOn(kHashStart, kView32Mark) : kHashStart;
        frame.nameLength = marked ? sizeof kView32Mark - 1 : 0;
    } else {
        const Frame& parent = frames_[depth_ - 2];
        frame.nameHash = HashOn(parent.nameHash, '\\');
        frame.nameLength = parent.nameLength + 1;
    }
    frame.nameHash = HashLowerOn(frame.nameHash, component);
    frame.nameLength += component.size();
    return true;
}

RegKey RestoreKeys::Need() {
    if (depth_ == 0 || failed_) return kNullKey;
    return Resolve(depth_ - 1);
}

bool RestoreKeys::Pop() {
    if (depth_ == 0) return false;
    if (!frames_[depth_ - 1].exists && Resolve(depth_ - 1) == kNullKey) return false;
    Frame& top = frames_[depth_ - 1];
    if (top.opened) {
        CacheName(depth_ - 1, name_);
        Cache(name_, top.nameHash, std::move(top.opened));
    }
    top.root = kNullKey;
    --depth_;
    return true;
}

void RestoreKeys::Finish() {
    if (!failed_ && depth_ > 0 && !frames_[depth_ - 1].exists) Resolve(depth_ - 1);
}

RegKey RestoreKeys::Resolve(std::size_t index) {
    Frame& frame = frames_[index];
    if (frame.Key() != kNullKey) return frame.Key();
    RegKey key = TakeCached(index);
    if (key == kNullKey) {
        // One call from the nearest key open (the root at the latest).
        std::size_t anchor = index;
        while (frames_[anchor - 1].Key() == kNullKey) --anchor;
        std::string& relative = relative_;
        relative.clear();
        for (std::size_t i = anchor; i <= index; ++i) {
            if (i > anchor) relative.push_back('\\');
            relative += frames_[i].component;
        }
        key = OpenBelow(frames_[anchor - 1].Key(), relative);
        // It failed: have every key above it, as opening level by level
        // would have, then try this one alone below its parent, so that the
        // failure is this key's own.
        if (key == kNullKey && anchor < index) {
            if (Resolve(index - 1) == kNullKey) return kNullKey;
            key = OpenBelow(frames_[index - 1].Key(), frame.component);
        }
        if (key == kNullKey) {
            failed_ = true;
            failedPath_ = FullPath(index, false);
            failedLine_ = frame.line;
            if (ui_ != nullptr) ui_->ShowMessage("couldn't create key " + failedPath_);
            return kNullKey;
        }
    }
    frames_[index].opened = RegKeyHandle(registry_, key);
    MarkExisting(index);
    return key;
}

RegKey RestoreKeys::OpenBelow(RegKey anchor, const std::string& relative) {
    RegKey key = kNullKey;
    if (frames_.front().view == RegView::k32) {
        // Every step names its view: a path below an open key of the 32-bit
        // view may still cross a redirected key (Classes\CLSID).
        const std::uint32_t view = ViewAccess(RegView::k32);
        if (registry_.RegCreateKeyExA(anchor, relative.c_str(), &key, nullptr, view) == kRegSuccess &&
            key != kNullKey)
            return key;
        key = kNullKey;
        if (registry_.RegOpenKeyExA(anchor, relative.c_str(), kMaximumAllowed | view, &key) == kRegSuccess &&
            key != kNullKey && key != anchor)
            return key;
        return kNullKey;
    }
    if (registry_.RegCreateKeyA(anchor, relative.c_str(), &key) == kRegSuccess && key != kNullKey) return key;
    // A key that exists but may not be created through this parent.
    key = kNullKey;
    if (registry_.RegOpenKeyA(anchor, relative.c_str(), &key) == kRegSuccess && key != kNullKey &&
        key != anchor)
        return key;
    return kNullKey;
}

void RestoreKeys::MarkExisting(std::size_t index) {
    for (std::size_t i = index + 1; i-- > 0 && !frames_[i].exists;) {
        frames_[i].exists = true;
        ++restored_;
    }
}

std::string RestoreKeys::FullPath(std::size_t index, bool lower) const {
    std::string path;
    for (std::size_t i = 0; i <= index; ++i) {
        if (i > 0) path.push_back('\\');
        path += frames_[i].component;
    }
    if (lower)
        for (char& c : path) c = AsciiLower(c);
    return path;
}

void RestoreKeys::CacheName(std::size_t index, std::string& out) const {
    out.assign(frames_.front().view == RegView::k32 ? kView32Mark : "");
    for (std::size_t i = 0; i <= index; ++i) {
        if (i > 0) out.push_back('\\');
        for (const char c : frames_[i].component) out.push_back(AsciiLower(c));
    }
}

bool RestoreKeys::IsCacheName(std::size_t index, const std::string& lowerPath) const {
    if (lowerPath.size() != frames_[index].nameLength) return false;
    std::size_t at = frames_.front().view == RegView::k32 ? sizeof kView32Mark - 1 : 0;
    if (lowerPath.compare(0, at, kView32Mark, at) != 0) return false;
    for (std::size_t i = 0; i <= index; ++i) {
        if (i > 0 && lowerPath[at++] != '\\') return false;
        for (const char c : frames_[i].component)
            if (lowerPath[at++] != AsciiLower(c)) return false;
    }
    return true;
}

RegKey RestoreKeys::TakeCached(std::size_t index) {
    const Frame& frame = frames_[index];
    for (std::size_t i = 0; i < cached_; ++i) {
        if (cache_[i].hash != frame.nameHash || !IsCacheName(index, cache_[i].path)) continue;
        const RegKey key = cache_[i].key.Release();
        // Its slot goes behind the ones kept, for use again.
        std::rotate(cache_.begin() + static_cast<std::ptrdiff_t>(i),
                    cache_.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                    cache_.begin() + static_cast<std::ptrdiff_t>(cached_));
        --cached_;
        return key;
    }
    return kNullKey;
}

void RestoreKeys::Cache(std::string& lowerPath, std::uint64_t hash, RegKeyHandle key) {
    if (cached_ == kCachedKeys) cache_[--cached_].key.Reset();
    if (cached_ == cache_.size()) cache_.emplace_back();
    cache_[cached_].path.swap(lowerPath);
    cache_[cached_].hash = hash;
    cache_[cached_].key = std::move(key);
    // The newest first.
    std::rotate(cache_.begin(), cache_.begin() + static_cast<std::ptrdiff_t>(cached_),
                cache_.begin() + static_cast<std::ptrdiff_t>(cached_) + 1);
    ++cached_;
}

}  // namespace qm
