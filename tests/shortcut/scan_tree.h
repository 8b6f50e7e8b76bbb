// A scratch drive Q: for shortcut scans, built the same way on both targets:
// under Wine a drive of the test prefix mapped onto a folder of the test's
// work directory, with shortcuts made by the shell; natively the same folder
// behind PosixFileSystem, with shortcuts copied from tests/data/lnk (made by
// Wine's shell with the same targets).
#pragma once

#include <memory>
#include <string>

#include "engine/shortcut.h"

namespace qm::test {

enum class LinkKind {
    Intact,    // names Q:\Programs\App\app.exe, which exists
    Broken,    // names Q:\Programs\Removed\removed.exe, which does not
    NoTarget,  // the "My Computer" folder: no file-system target
};

constexpr const char* kBrokenTarget = "Q:\\Programs\\Removed\\removed.exe";

class ScanTree {
public:
    virtual ~ScanTree() = default;
    // False when the drive could not be set up (the test is then skipped).
    virtual bool Ready() const = 0;
    // Empties the drive, then creates Q:\Programs\App\app.exe.
    virtual void Reset() = 0;
    // Paths relative to the drive root, with backslashes.
    virtual void MakeDir(const std::string& rel) = 0;
    virtual void MakeFile(const std::string& rel, const std::string& content) = 0;
    virtual void MakeShortcut(const std::string& rel, LinkKind kind) = 0;
    // A symbolic link to the directory `targetRel`; false if none could be made.
    virtual bool MakeDirLink(const std::string& rel, const std::string& targetRel) = 0;
    // A symbolic link `rel` to a folder of the host beside the drive's own
    // that holds a broken shortcut "Sub\Old.lnk": on no drive when `letter`
    // is 0 (under Wine: the host's own files, as the profile's Desktop
    // leading into the home folder), else on drive `letter`, mapped onto it
    // for the life of the tree. False if it could not be made.
    virtual bool MakeLinkOffTheDrive(const std::string& rel, char letter) = 0;
    virtual void SetReadOnly(const std::string& rel) = 0;
    virtual bool Exists(const std::string& rel) = 0;
    virtual ShortcutServices Services() = 0;

    static std::string Path(const std::string& rel) { return "Q:\\" + rel; }
};

// The platform's tree (scan_tree_win32.cpp / scan_tree_posix.cpp).
std::unique_ptr<ScanTree> MakeScanTree();

}  // namespace qm::test
