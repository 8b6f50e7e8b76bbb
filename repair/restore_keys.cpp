#include "repair/restore_keys.h"

#include "repair/restore_ui.h"

namespace qm {

namespace {

// Keys of ended elements kept open. A backup names one finding's keys
// after another, so the keys worth keeping are those just ended.
constexpr std::size_t kCachedKeys = 16;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

RestoreKeys::RestoreKeys(IRegistry& registry, IRestoreUi* ui) : registry_(registry), ui_(ui) {}

RestoreKeys::~RestoreKeys() {
    for (const Frame& f : frames_)
        if (f.owned && f.key != kNullKey) registry_.RegCloseKey(f.key);
    for (const Cached& c : cache_) registry_.RegCloseKey(c.key);
}

bool RestoreKeys::Push(const std::string& component, std::int32_t line, RegView view) {
    Frame frame;
    frame.component = component;
    frame.line = line;
    if (frames_.empty()) {
        frame.view = view;
        frame.key = RootKeyFromName(component);
        if (frame.key == kNullKey) return false;
        frame.exists = true;
        ++restored_;
    }
    frames_.push_back(std::move(frame));
    return true;
}

RegKey RestoreKeys::Need() {
    if (frames_.empty() || failed_) return kNullKey;
    return Resolve(frames_.size() - 1);
}

bool RestoreKeys::Pop() {
    if (frames_.empty()) return false;
    if (!frames_.back().exists && Resolve(frames_.size() - 1) == kNullKey) return false;
    Frame& top = frames_.back();
    if (top.owned && top.key != kNullKey) Cache(CacheName(frames_.size() - 1), top.key);
    frames_.pop_back();
    return true;
}

void RestoreKeys::Finish() {
    if (!failed_ && !frames_.empty() && !frames_.back().exists) Resolve(frames_.size() - 1);
}

RegKey RestoreKeys::Resolve(std::size_t index) {
    Frame& frame = frames_[index];
    if (frame.key != kNullKey) return frame.key;
    const std::string lowerPath = CacheName(index);
    RegKey key = TakeCached(lowerPath);
    if (key == kNullKey) {
        // One call from the nearest key open (the root at the latest).
        std::size_t anchor = index;
        while (frames_[anchor - 1].key == kNullKey) --anchor;
        std::string relative;
        for (std::size_t i = anchor; i <= index; ++i) {
            if (i > anchor) relative.push_back('\\');
            relative += frames_[i].component;
        }
        key = OpenBelow(frames_[anchor - 1].key, relative);
        // It failed: have every key above it, as opening level by level
        // would have, then try this one alone below its parent, so that the
        // failure is this key's own.
        if (key == kNullKey && anchor < index) {
            if (Resolve(index - 1) == kNullKey) return kNullKey;
            key = OpenBelow(frames_[index - 1].key, frame.component);
        }
        if (key == kNullKey) {
            failed_ = true;
            failedPath_ = FullPath(index, false);
            failedLine_ = frame.line;
            if (ui_ != nullptr) ui_->ShowMessage("couldn't create key " + failedPath_);
            return kNullKey;
        }
    }
    Frame& opened = frames_[index];
    opened.key = key;
    opened.owned = true;
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

std::string RestoreKeys::CacheName(std::size_t index) const {
    return (frames_.front().view == RegView::k32 ? "32:" : "") + FullPath(index, true);
}

RegKey RestoreKeys::TakeCached(const std::string& lowerPath) {
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->path != lowerPath) continue;
        const RegKey key = it->key;
        cache_.erase(it);
        return key;
    }
    return kNullKey;
}

void RestoreKeys::Cache(std::string lowerPath, RegKey key) {
    cache_.push_front(Cached{std::move(lowerPath), key});
    if (cache_.size() > kCachedKeys) {
        registry_.RegCloseKey(cache_.back().key);
        cache_.pop_back();
    }
}

}  // namespace qm
