#include "engine/shortcut.h"

#include "platform/named_event.h"

namespace qm {

namespace {

bool IsDots(const std::string& name) { return name == "." || name == ".."; }

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// What FindFirstFileA(folder + "\\*.lnk") matches: names ending in ".lnk", in
// any letter case (directories too).
bool IsShortcutName(const std::string& name) {
    if (name.size() < 4) return false;
    const char* ext = ".LNK";
    for (std::size_t i = 0; i < 4; ++i)
        if (UpperLetter(name[name.size() - 4 + i]) != ext[i]) return false;
    return true;
}

}  // namespace

CShortcut::CShortcut() : CShortcut(ShortcutServices{}) {}

CShortcut::CShortcut(const ShortcutServices& services)
    : fs_(services.fileSystem ? services.fileSystem : &DefaultFileSystem()),
      resolver_(services.resolver ? services.resolver : &DefaultShortcutResolver()) {}

void CShortcut::UseIgnoreListOf(const CRegistryLib& engine) {
    const CRegistryLib* source = &engine;
    ignored_ = [source](const std::string& path) { return source->IsIgnored(path); };
}

void CShortcut::ClearBrokenLinks() {
    broken_.clear();
    targets_.clear();
}

void CShortcut::EmptyBrokenLink(std::size_t i) {
    if (i < broken_.size()) broken_[i].clear();
}

bool CShortcut::DriveSelected(char letter) const {
    if (driveFilter_.empty()) return true;
    for (char c : driveFilter_)
        if (UpperLetter(c) == UpperLetter(letter)) return true;
    return false;
}

bool CShortcut::OnCurrentPath(const FileIdentity& id) const {
    for (const FileIdentity& entered : currentPath_)
        if (entered == id) return true;
    return false;
}

// A target on a network share (\\server\share), or on a drive that is not
// there or not local (a removable or optical drive without its medium, a
// network drive not connected) may well be there when it is used: only a
// target on a fixed drive (or RAM disk) can be said to be missing.
bool CShortcut::JudgeableTarget(const std::string& target) {
    if (target.size() < 3 || target[1] != ':' || (target[2] != '\\' && target[2] != '/')) return false;
    const std::uint32_t type = fs_->GetDriveTypeA(target.substr(0, 2) + "\\");
    return type == kDriveFixed || type == kDriveRamdisk;
}

void CShortcut::ReportProgress(const std::string& item, const char* status, std::int32_t scanned,
                               std::int32_t found) const {
    if (progress_) progress_(item, status, scanned, found);
}

void CShortcut::ScanLinkFile() {
    errorsFound_ = 0;
    errorsFixed_ = 0;
    itemsScanned_ = 0;
    ClearBrokenLinks();
    currentPath_.clear();
    depth_ = 0;

    {
        NamedEvent stop(kStopEventName);
        if (stop.IsSignalled()) return;
    }
    for (const std::string& root : fs_->GetLogicalDriveStringsA()) {
        if (root.size() < 2) continue;
        if (fs_->GetDriveTypeA(root) != kDriveFixed) continue;
        if (!DriveSelected(root[0])) continue;
        // Under Wine a fixed drive may be the host's whole file system (its
        // "Z:") or a host folder outside the prefix: the host's own files,
        // walked only when the drive is asked for by name.
        if (driveFilter_.empty() && fs_->IsHostFolderDrive(root)) continue;
        RecurseFolder(root.substr(0, 2));  // drive letter and colon
    }
}

void CShortcut::RecurseFolder(const std::string& folder) {
    // At the top of a walk the folder itself starts the current path.
    const bool top = depth_ == 0;
    if (top) {
        currentPath_.clear();
        const bool bareDrive = folder.size() == 2 && folder[1] == ':';
        FileIdentity self;
        if (fs_->GetFileIdentity(bareDrive ? folder + "\\" : folder, self))
            currentPath_.push_back(self);
    }
    ++depth_;
    WalkListing(folder, ListFolder(folder));
    --depth_;
    if (top) currentPath_.clear();
}

std::vector<FindData> CShortcut::ListFolder(const std::string& folder) {
    std::vector<FindData> entries;
    FindData entry;
    std::unique_ptr<FindHandle> find = fs_->FindFirstFileA(folder + "\\*.*", entry);
    if (!find) return entries;
    do {
        entries.push_back(std::move(entry));
        entry = FindData{};
    } while (find->FindNextFileA(entry));
    return entries;
}

// Each directory is listed once: the listing serves both for its shortcut
// files (what a "*.lnk" search would find) and for its sub-directories.
void CShortcut::WalkListing(const std::string& folder, const std::vector<FindData>& entries) {
    NamedEvent stop(kStopEventName);
    for (const FindData& entry : entries) {
        if (stop.IsSignalled()) break;
        if (IsDots(entry.name)) continue;
        if ((entry.attributes & kFileAttributeDirectory) == 0) continue;
        // Links and junctions may lead anywhere, back up the tree included.
        if (entry.attributes & kFileAttributeReparsePoint) continue;
        const std::string path = folder + "\\" + entry.name;
        FileIdentity id = entry.identity;
        const bool known = entry.hasIdentity || fs_->GetFileIdentity(path, id);
        if (known && OnCurrentPath(id)) continue;

        const std::vector<FindData> children = ListFolder(path);
        for (const FindData& child : children)
            if (IsShortcutName(child.name)) ResolveShortCut(path + "\\" + child.name);
        ReportProgress(path, kStatusSearchingDir, itemsScanned_, errorsFound_);
        if (known) currentPath_.push_back(id);
        WalkListing(path, children);
        if (known) currentPath_.pop_back();
    }
}

void CShortcut::SearchLinkFileAndResolve(const std::string& folder) {
    FindData entry;
    std::unique_ptr<FindHandle> find = fs_->FindFirstFileA(folder + "\\*.lnk", entry);
    if (!find) return;
    do {
        ResolveShortCut(folder + "\\" + entry.name);
    } while (find->FindNextFileA(entry));
}

std::int32_t CShortcut::ResolveShortCut(const std::string& path) {
    ++itemsScanned_;
    ReportProgress(path, kStatusScanningShortcuts, itemsScanned_, errorsFound_);
    std::string target;
    const std::int32_t result = resolver_->GetShortcutPath(path, target);
    // A shortcut without a file-system target (empty path) is not judged,
    // nor one whose target lies beyond this machine's reach (JudgeableTarget).
    if (result >= 0 && !target.empty() && !fs_->Access(target) && JudgeableTarget(target)) {
        if (!(ignored_ && ignored_(path))) {
            broken_.push_back(path);
            targets_.push_back(target);
            ++errorsFound_;
        }
    }
    return result;
}

void CShortcut::FixLinkFile(const std::function<bool(const std::string& path)>& keepFirst) {
    errorsFixed_ = 0;
    for (const std::string& entry : broken_) {
        ReportProgress(entry, kStatusFixingShortcuts, 0, 0);
        if (entry.empty()) continue;  // kept by the user
        if (keepFirst && !keepFirst(entry)) continue;  // no backup, no deletion
        fs_->SetFileAttributesA(entry, kFileAttributeNormal);
        if (fs_->DeleteFileA(entry)) ++errorsFixed_;
    }
}

}  // namespace qm
