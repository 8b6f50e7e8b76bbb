#include <cstdio>

#include "engine/registry_lib.h"

namespace qm {

void CRegistryLib::LoadIgnoreList() {
    ignoreList_.clear();
    std::FILE* f = std::fopen(ignoreFile_.c_str(), "r");
    if (f == nullptr) return;
    // Lines of any length: fgets fills the buffer in pieces until the line feed.
    std::string line;
    bool haveLine = false;
    char buf[1000];
    while (std::fgets(buf, sizeof buf, f) != nullptr) {
        line += buf;
        haveLine = true;
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            auto entry = std::make_unique<CRegErrorLog>();
            entry->SetFilePath(line);
            ignoreList_.push_back(std::move(entry));
            line.clear();
            haveLine = false;
        }
    }
    if (haveLine) {
        auto entry = std::make_unique<CRegErrorLog>();
        entry->SetFilePath(line);
        ignoreList_.push_back(std::move(entry));
    }
    std::fclose(f);
}

void CRegistryLib::SaveIgnoreList() {
    std::FILE* f = std::fopen(ignoreFile_.c_str(), "w");
    if (f == nullptr) return;
    for (const auto& entry : ignoreList_) {
        if (!entry) continue;
        const std::string path = entry->GetFilePath();
        std::fputs(path.c_str(), f);
        std::fputs("\n", f);
    }
    std::fclose(f);
}

bool CRegistryLib::IsIgnored(const std::string& path) const {
    for (const auto& entry : ignoreList_)
        if (entry && entry->GetFilePath() == path) return true;
    return false;
}

}  // namespace qm
