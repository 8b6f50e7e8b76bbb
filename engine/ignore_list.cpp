#include "engine/registry_lib.h"
#include "platform/whole_file.h"

namespace qm {

namespace {

// Far more than any list of paths a user keeps; a larger file is not one.
constexpr std::uint64_t kIgnoreFileLimit = 64ull * 1024 * 1024;

}  // namespace

void CRegistryLib::LoadIgnoreList() {
    ignoreList_.clear();
    ignoreListError_.clear();
    ignoreListUnread_ = false;
    std::vector<std::uint8_t> bytes;
    std::string error;
    const ReadStatus status = ReadWholeFile(ignoreFile_, kIgnoreFileLimit, bytes, error);
    if (status == ReadStatus::Missing) return;
    if (status != ReadStatus::Read) {
        ignoreListError_ = "the ignore list cannot be read: " + error;
        ignoreListUnread_ = true;
        return;
    }
    std::size_t begin = 0, end = bytes.size();
    if (end >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) begin = 3;
    if (end > begin && bytes[end - 1] == 0x1A) --end;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    auto add = [this, text](std::size_t from, std::size_t to) {
        if (to > from && text[to - 1] == '\r') --to;
        auto entry = std::make_unique<CRegErrorLog>();
        entry->SetFilePath(std::string(text + from, to - from));
        ignoreList_.push_back(std::move(entry));
    };
    std::size_t lineStart = begin;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] != '\n') continue;
        add(lineStart, i);
        lineStart = i + 1;
    }
    // A last line without a line end stays whole.
    if (lineStart < end) add(lineStart, end);
}

bool CRegistryLib::SaveIgnoreList() {
    if (ignoreListUnread_) {
        ignoreListError_ = "the ignore list \"" + ignoreFile_ +
                           "\" could not be read, so it is not replaced (its entries would be lost)";
        return false;
    }
    std::string content;
    for (const auto& entry : ignoreList_) {
        if (!entry) continue;
        content += entry->GetFilePath();
        content += kNativeLineEnd;
    }
    std::string error;
    if (!ReplaceFileAtomically(ignoreFile_, content.data(), content.size(), error)) {
        ignoreListError_ = "the ignore list cannot be written: " + error;
        return false;
    }
    ignoreListError_.clear();
    return true;
}

bool CRegistryLib::IsIgnored(const std::string& path) const {
    for (const auto& entry : ignoreList_)
        if (entry && entry->GetFilePath() == path) return true;
    return false;
}

}  // namespace qm
