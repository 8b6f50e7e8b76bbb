// The default answers of IFileSystem's optional queries.
#include "platform/file_system.h"

namespace qm {

bool IFileSystem::IsHostFolderDrive(const std::string&) { return false; }

bool IFileSystem::PresenceUnknown(const std::string&) { return false; }

char IFileSystem::LinkTargetDrive(const std::string&) { return kAnyDrive; }

bool IFileSystem::ListFolder(const std::string& folder, std::vector<FindData>& entries) {
    entries.clear();
    FindData entry;
    std::unique_ptr<FindHandle> find = FindFirstFileA(folder + "\\*.*", entry);
    if (!find) return false;
    do {
        entries.push_back(std::move(entry));
        entry = FindData{};
    } while (find->FindNextFileA(entry));
    return true;
}

}  // namespace qm
