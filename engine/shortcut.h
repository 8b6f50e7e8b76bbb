// CShortcut: finds shell shortcut files (".lnk") below the roots of the fixed
// drives whose target path no longer exists, and deletes them on request.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/file_system.h"
#include "platform/shortcut_resolver.h"

namespace qm {

class NamedEvent;

// Progress texts.
constexpr const char* kStatusSearchingDir = "Searching Dir For Shorcuts";
constexpr const char* kStatusScanningShortcuts = "Scanning ShortCuts";
constexpr const char* kStatusFixingShortcuts = "Fixing ShortCuts";

// The services a shortcut scanner works with; null means the process default.
struct ShortcutServices {
    IFileSystem* fileSystem = nullptr;
    IShortcutResolver* resolver = nullptr;
};

class CShortcut {
public:
    // True for a path that must not be reported (the ignore list).
    using IgnoreTest = std::function<bool(const std::string& path)>;

    CShortcut();
    explicit CShortcut(const ShortcutServices& services);
    virtual ~CShortcut() = default;
    CShortcut(const CShortcut&) = delete;
    CShortcut& operator=(const CShortcut&) = delete;

    // Full scan of the fixed drives (all of them, or those SetDriveFilter
    // names). Resets the counters and the broken list first.
    void ScanLinkFile();
    // Walks the folder tree below `folder` (not the folder itself), examining
    // the shortcut files of every directory (as SearchLinkFileAndResolve
    // would) before entering its sub-directories. Each directory is listed
    // once. Directories reached through symbolic links, junctions and other
    // reparse points are walked too, after every directory reachable
    // without one, the links nearest the top first (so a folder is named by
    // its own path where it has one, else by its shortest path through a
    // link), but each real folder only once over the whole walk, told by its file
    // identity: a link to a folder already walked, to a drive's root or
    // back up its own tree is passed over, so every cycle ends. A link is
    // followed only while its target stays on the drives the walk covers
    // (IFileSystem::LinkTargetDrive): never off them, so under Wine never
    // into the host's own files outside the prefix's drives. A
    // ScanLinkFile is one walk over all its drives. The stop event is tested
    // before every directory entry.
    void RecurseFolder(const std::string& folder);
    // Examines every "*.lnk" entry directly inside `folder`.
    void SearchLinkFileAndResolve(const std::string& folder);
    // Examines one shortcut file: counts it as scanned and, when its target
    // path does not exist on a local fixed drive (a target on a network share
    // or an absent, removable or network drive is never broken) and the
    // shortcut is not ignored, appends it to the broken list. Returns the result code of the last shell call made
    // (negative: the file could not be loaded as a shortcut).
    std::int32_t ResolveShortCut(const std::string& path);
    // Deletes every shortcut in the broken list (read-only ones too); emptied
    // entries are left alone. Counts the deletions in errors fixed. With
    // `keepFirst`, a shortcut is deleted only when keepFirst(path) returned
    // true (it was backed up). A stop request ends it between two files.
    void FixLinkFile(const std::function<bool(const std::string& path)>& keepFirst = {});

    // --- the broken list ---------------------------------------------------
    // Full paths of the shortcut files whose target is missing, in the order
    // found. An entry the owner has emptied names no file.
    const std::vector<std::string>& BrokenLinks() const { return broken_; }
    // The missing target of each broken shortcut (same order).
    const std::vector<std::string>& BrokenTargets() const { return targets_; }
    void ClearBrokenLinks();
    // Empties entry i (keeps that shortcut in the repair); out of range: nothing.
    void EmptyBrokenLink(std::size_t i);

    // --- counters and settings ---------------------------------------------
    std::int32_t ItemsScanned() const { return itemsScanned_; }
    std::int32_t ErrorsFixed() const { return errorsFixed_; }
    std::int32_t ErrorsFound() const { return errorsFound_; }
    void SetProgressCallback(ScanProgressCallback cb) { progress_ = cb; }
    ScanProgressCallback GetProgressCallback() const { return progress_; }
    // Shortcut paths for which the test is true are examined and counted as
    // scanned but never reported. Unset: nothing is ignored.
    void SetIgnoreTest(IgnoreTest test) { ignored_ = std::move(test); }
    // Consults the engine's ignore list (exact path). The engine must outlive
    // the scans; it reloads the list at the start of every scan run.
    void UseIgnoreListOf(const CRegistryLib& engine);
    // Drive letters ScanLinkFile may walk ("CD"; either case). Empty: every
    // fixed drive except those standing for host folders outside the Windows
    // installation (IFileSystem::IsHostFolderDrive: Wine's "Z:"), which are
    // walked only when named. Drives that are not fixed are never walked.
    void SetDriveFilter(const std::string& letters) { driveFilter_ = letters; }
    const std::string& DriveFilter() const { return driveFilter_; }

    IFileSystem& FileSystem() { return *fs_; }

private:
    struct IdentityHash {
        std::size_t operator()(const FileIdentity& id) const {
            return std::hash<std::uint64_t>()(id.index * 0x9E3779B97F4A7C15ull ^ id.volume);
        }
    };
    using Volume = std::optional<std::uint64_t>;

    // Marks a walk under way (the stop event it tests) for its lifetime.
    class WalkScope {
    public:
        WalkScope(CShortcut& owner, const NamedEvent& stop) : owner_(owner) {
            owner_.stop_ = &stop;
            owner_.driveTypes_.clear();
        }
        ~WalkScope() {
            owner_.stop_ = nullptr;
            owner_.listed_.clear();
            owner_.links_.clear();
        }
        WalkScope(const WalkScope&) = delete;
        WalkScope& operator=(const WalkScope&) = delete;

    private:
        CShortcut& owner_;
    };

    void BeginWalk(const std::vector<std::string>& roots);
    void WalkRoot(const std::string& folder);
    void EnterFolder(const std::string& path, Volume volume);
    void WalkListing(const std::string& folder, const std::vector<FindData>& entries, Volume volume);
    void FollowLinks();
    bool IdentityOf(const FindData& entry, const std::string& path, Volume volume, FileIdentity& id);
    bool Stopped();
    bool DriveSelected(char letter) const;
    bool JudgeableTarget(const std::string& target);
    std::uint32_t DriveType(const std::string& root);
    void ReportProgress(const std::string& item, const char* status, std::int32_t scanned,
                        std::int32_t found) const;

    std::vector<std::string> broken_;
    std::int32_t itemsScanned_ = 0;
    std::int32_t errorsFixed_ = 0;
    std::int32_t errorsFound_ = 0;
    ScanProgressCallback progress_ = nullptr;

    std::vector<std::string> targets_;
    IgnoreTest ignored_;
    std::string driveFilter_;
    IFileSystem* fs_;
    IShortcutResolver* resolver_;

    // --- the walk under way ------------------------------------------------
    // Directories listed so far, and the roots of the fixed drives.
    std::unordered_set<FileIdentity, IdentityHash> listed_;
    std::vector<FileIdentity> driveRoots_;
    // Reparse points met, to be followed once the plain tree is walked: by
    // depth (backslashes in the path), then in the order met.
    std::multimap<std::size_t, std::string> links_;
    // The drives the walk covers (upper-case letters): a link is followed
    // only onto them.
    std::string walkedDrives_;
    const NamedEvent* stop_ = nullptr;  // set while a walk is under way
    bool stopped_ = false;
    // Drive types asked for by the walk (a query costs a server request
    // under Wine), by upper-case letter.
    std::map<char, std::uint32_t> driveTypes_;
};

}  // namespace qm
