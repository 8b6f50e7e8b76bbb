// How Windows itself finds the file that a registry text names.
//
// The cleaning steps (path_cleaning.h) turn a text into one path; when that
// path is missing, the entry is asked again here, read the way Windows reads
// it when it uses the entry, before it is reported:
// - a command line starts with its program: a quoted one ends at the closing
//   quote; an unquoted one is tried prefix by prefix, ending at each blank in
//   turn ("C:\Program.exe", "C:\Program Files\App\app.exe", ...), so the
//   arguments after it may be anything ("Embedding", "My - App", "start"); a
//   shorter prefix counts only as the program CreateProcess would start
//   ("C:\Program" only as "C:\Program.exe"). Plain paths (PathLookup::File)
//   are never split at blanks;
// - a name without an extension is tried with each extension of PATHEXT, in
//   whatever letter case the file has;
// - a bare name (no folder) is looked for in the system folder, the Windows
//   folder, then each folder of PATH;
// - every %variable% is expanded, "/" stands for "\", and an icon or
//   resource index after a comma ("lib.dll,1") is not part of the name;
// - what cannot be judged from this machine is never called missing: UNC
//   paths (\\server\share), URLs ("https://", "file:///"), paths on a drive
//   that is not there or not local (removable, optical, network), paths
//   relative to an unknown current folder, texts holding a variable this
//   process does not know, and paths the file system cannot answer for
//   (ISystem::PresenceUnknown: a folder that may not be read, a short name
//   it does not resolve).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/path_cleaning.h"

namespace qm {

enum class LookupVerdict {
    Found,        // Windows would find a file (or, for a whole path, a folder)
    NotFound,     // it would not: the entry is broken
    CannotJudge,  // the answer lies beyond this machine
};

struct LookupResult {
    LookupVerdict verdict = LookupVerdict::NotFound;
    // For a plain path that is not found: the path Windows would use (the
    // first place it looks). Empty for command lines.
    std::string path;
};

class PathLookup {
public:
    // `paths` and its system must outlive the lookup. PATH and PATHEXT are
    // read on first use.
    explicit PathLookup(const SystemPaths& paths) : paths_(paths) {}

    // The program a command line starts.
    LookupResult Program(const std::string& commandLine) const;
    // A plain file or folder path, written as it is (surrounding quotes and
    // blanks allowed). A relative path is looked for in `folders`, in order
    // (none given: the search path for a bare name, and a relative path with
    // a folder in it cannot be judged).
    LookupResult File(const std::string& path) const;
    LookupResult File(const std::string& path, const std::vector<std::string>& folders) const;

    // System folder, Windows folder, then the absolute folders of PATH.
    const std::vector<std::string>& SearchPath() const;
    // The executable extensions of PATHEXT (".COM", ".EXE", ...; ".EXE" at
    // least).
    const std::vector<std::string>& Extensions() const;

    // A path just found missing: a look made at once after that test takes
    // its answer instead of asking the file system again. Empty: none.
    // Copied into a buffer kept from one path to the next.
    void SetJustMissing(const std::string& path) const { justMissing_.assign(path); }

private:
    enum class Shape { Empty, Absolute, RootRelative, Bare, Relative, Unc, Url, Unknown };
    // Trims, expands every variable and turns "/" into "\"; false when a
    // variable stays unknown.
    bool Prepare(const std::string& text, std::string& out) const;
    Shape ShapeOf(const std::string& path) const;
    bool DriveJudgeable(char letter) const;
    // True when `candidate` (prepared) names what Windows would use: a file
    // (with an executable extension added when it has none and
    // `addExtensions`), or a folder too when `folderToo`. Relative candidates
    // are looked for in `folders`. An icon index after a comma is dropped
    // when the text with it names nothing.
    bool Finds(const std::string& candidate, bool folderToo, bool addExtensions,
               const std::vector<std::string>& folders) const;
    bool FindsAt(const std::string& path, bool folderToo, bool addExtensions) const;
    // Finds for a prefix of an unquoted command line that ends at a blank.
    bool FindsPrefix(std::string prefix, const std::vector<std::string>& folders) const;
    // The verdict on a path of this shape that was not found.
    LookupResult Judged(const std::string& text, Shape shape, bool foldersGiven) const;
    LookupResult UnquotedProgram(const std::string& text) const;
    void ReadEnvironment() const;

    const SystemPaths& paths_;
    mutable bool environmentRead_ = false;
    mutable bool searchReachesBeyond_ = false;  // PATH holds a network or absent folder
    mutable std::vector<std::string> searchPath_;
    mutable std::vector<std::string> extensions_;
    // Per drive letter: 0 not asked yet, 1 judgeable, 2 not.
    mutable std::array<char, 26> drives_{};
    mutable std::string justMissing_;
};

// --- readings of the categories whose entries are plain paths ------------
// (Command lines of COM servers, application paths, shared tools, uninstall
// and startup entries are read with PathLookup::Program.)

// A help file: the value's data is its folder, with or without a closing
// backslash; a relative folder lies in the system or the Windows folder.
LookupResult HelpFileLookup(const std::string& folder, const std::string& name,
                            const PathLookup& lookup, const SystemPaths& paths);
// A font: a full path, or a bare name in the Windows fonts folder.
LookupResult FontLookup(const std::string& data, const PathLookup& lookup, const SystemPaths& paths);
// A driver: a full path as it is, or a bare name in the system folder (then
// the Windows folder).
LookupResult DriverLookup(const std::string& data, const PathLookup& lookup,
                          const SystemPaths& paths);

}  // namespace qm
