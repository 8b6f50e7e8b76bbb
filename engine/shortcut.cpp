#include "engine/shortcut.h"

#include <algorithm>

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

// A target on a network share (\\server\share), or on a drive that is not
// there or not local (a removable or optical drive without its medium, a
// network drive not connected) may well be there when it is used: only a
// target on a fixed drive (or RAM disk) can be said to be missing, and only
// when the file system can tell (a folder on the way may not be read).
bool CShortcut::JudgeableTarget(const std::string& target) {
    if (target.size() < 3 || target[1] != ':' || (target[2] != '\\' && target[2] != '/')) return false;
    const std::uint32_t type = DriveType(target.substr(0, 2) + "\\");
    return (type == kDriveFixed || type == kDriveRamdisk) && !fs_->PresenceUnknown(target);
}

// Within a walk each drive's type is asked for once (under Wine the query is
// a request to the server).
std::uint32_t CShortcut::DriveType(const std::string& root) {
    if (stop_ == nullptr || root.empty()) return fs_->GetDriveTypeA(root);
    const char letter = UpperLetter(root[0]);
    const auto known = driveTypes_.find(letter);
    if (known != driveTypes_.end()) return known->second;
    const std::uint32_t type = fs_->GetDriveTypeA(root);
    driveTypes_.emplace(letter, type);
    return type;
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

    NamedEvent stop(kStopEventName);
    if (stop.IsSignalledNow()) return;
    const std::unique_ptr<ShortcutBatch> batch = resolver_->BeginBatch();
    const WalkScope walk(*this, stop);
    const std::vector<std::string> roots = fs_->GetLogicalDriveStringsA();
    BeginWalk(roots);
    for (const std::string& root : roots) {
        if (root.size() < 2) continue;
        if (DriveType(root) != kDriveFixed) continue;
        if (!DriveSelected(root[0])) continue;
        // Under Wine a fixed drive may be the host's whole file system (its
        // "Z:") or a host folder outside the prefix: the host's own files,
        // walked only when the drive is asked for by name.
        if (driveFilter_.empty() && fs_->IsHostFolderDrive(root)) continue;
        if (stopped_) break;
        walkedDrives_.push_back(UpperLetter(root[0]));
        WalkRoot(root.substr(0, 2));  // drive letter and colon
    }
    FollowLinks();
}

void CShortcut::RecurseFolder(const std::string& folder) {
    NamedEvent stop(kStopEventName);
    const std::unique_ptr<ShortcutBatch> batch = resolver_->BeginBatch();
    const WalkScope walk(*this, stop);
    BeginWalk(fs_->GetLogicalDriveStringsA());
    if (folder.size() >= 2 && folder[1] == ':') walkedDrives_.push_back(UpperLetter(folder[0]));
    WalkRoot(folder);
    FollowLinks();
}

// The roots of the fixed drives count as listed from the start: a link to a
// whole drive leads to one that is walked as a drive, or that was left out.
// Their identities also tell where a plain directory is another drive's root
// (under Wine a host folder may hold a drive's folder).
void CShortcut::BeginWalk(const std::vector<std::string>& roots) {
    listed_.clear();
    driveRoots_.clear();
    links_.clear();
    walkedDrives_.clear();
    stopped_ = false;
    for (const std::string& root : roots) {
        if (root.size() < 2 || DriveType(root) != kDriveFixed) continue;
        FileIdentity id;
        if (!fs_->GetFileIdentity(root, id)) continue;
        driveRoots_.push_back(id);
        listed_.insert(id);
    }
}

void CShortcut::WalkRoot(const std::string& folder) {
    const bool bareDrive = folder.size() == 2 && folder[1] == ':';
    FileIdentity self;
    Volume volume;
    if (fs_->GetFileIdentity(bareDrive ? folder + "\\" : folder, self)) {
        listed_.insert(self);
        volume = self.volume;
    }
    std::vector<FindData> entries;
    fs_->ListFolder(folder, entries);
    WalkListing(folder, entries, volume);
}

bool CShortcut::Stopped() {
    if (!stopped_ && stop_ != nullptr && stop_->IsSignalled()) stopped_ = true;
    return stopped_;
}

// A plain directory lies on its parent's volume, so the listing's file index
// makes its identity with no query; only where the index is that of another
// drive's root (Wine: a host folder holding a drive's folder) is it asked for.
bool CShortcut::IdentityOf(const FindData& entry, const std::string& path, Volume volume,
                           FileIdentity& id) {
    if (entry.hasIdentity) {
        id = entry.identity;
        return true;
    }
    if (entry.hasFileIndex && volume) {
        bool otherRoot = false;
        for (const FileIdentity& root : driveRoots_)
            if (root.index == entry.fileIndex && root.volume != *volume) otherRoot = true;
        if (!otherRoot) {
            id = FileIdentity{*volume, entry.fileIndex};
            return true;
        }
    }
    return fs_->GetFileIdentity(path, id);
}

// Lists a directory once: the listing serves both for its shortcut files
// (what a "*.lnk" search would find) and for its sub-directories.
void CShortcut::EnterFolder(const std::string& path, Volume volume) {
    std::vector<FindData> children;
    fs_->ListFolder(path, children);
    for (const FindData& child : children)
        if (IsShortcutName(child.name)) ResolveShortCut(path + "\\" + child.name);
    ReportProgress(path, kStatusSearchingDir, itemsScanned_, errorsFound_);
    WalkListing(path, children, volume);
}

void CShortcut::WalkListing(const std::string& folder, const std::vector<FindData>& entries,
                            Volume volume) {
    for (const FindData& entry : entries) {
        if ((entry.attributes & kFileAttributeDirectory) == 0 || IsDots(entry.name)) continue;
        if (Stopped()) break;
        std::string path = folder + "\\" + entry.name;
        // Links and junctions may lead anywhere, back up the tree included:
        // they are followed once the plain tree is done.
        if (entry.attributes & kFileAttributeReparsePoint) {
            const auto depth = static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\'));
            links_.emplace(depth, std::move(path));
            continue;
        }
        FileIdentity id;
        const bool known = IdentityOf(entry, path, volume, id);
        if (known && !listed_.insert(id).second) continue;  // reached before (a bind mount)
        EnterFolder(path, known ? Volume(id.volume) : Volume());
    }
}

// Each link leads to a folder walked as its own tree (links met there join
// the queue), unless that folder was listed already; a link whose target
// cannot be identified is not followed, nor one that leads off the drives
// this walk covers: under Wine the profile's Desktop, Documents, Music... are
// links into the host's home folder, whose files (other prefixes' shortcuts,
// the host's own) are not the Windows installation's, and a link may lead
// onto a drive the walk was not asked to cover. Nearest the top first.
void CShortcut::FollowLinks() {
    while (!links_.empty() && !Stopped()) {
        const std::string path = std::move(links_.begin()->second);
        links_.erase(links_.begin());
        const char drive = fs_->LinkTargetDrive(path);
        if (drive != IFileSystem::kAnyDrive &&
            (drive == 0 || walkedDrives_.find(UpperLetter(drive)) == std::string::npos))
            continue;
        FileIdentity id;
        if (!fs_->GetFileIdentity(path, id) || !listed_.insert(id).second) continue;
        EnterFolder(path, id.volume);
    }
    links_.clear();
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
    NamedEvent stop(kStopEventName);
    for (const std::string& entry : broken_) {
        if (stop.IsSignalled()) break;  // between two files, as the registry passes stop
        ReportProgress(entry, kStatusFixingShortcuts, 0, 0);
        if (entry.empty()) continue;  // kept by the user
        if (keepFirst && !keepFirst(entry)) continue;  // no backup, no deletion
        fs_->SetFileAttributesA(entry, kFileAttributeNormal);
        if (fs_->DeleteFileA(entry)) ++errorsFixed_;
    }
}

}  // namespace qm
