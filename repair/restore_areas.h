// Where a restore may write: the keys of the registry areas the program
// cleans (engine/scan_areas.h), in either registry view, and shortcut files
// on local drives whose bytes are a shell link. A backup written by a repair
// holds nothing else; a backup that names anything else is refused whole,
// before anything of it is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/scan_areas.h"
#include "platform/registry.h"

namespace qm {

class IFileSystem;

// Where a key lies with respect to the areas.
enum class KeyPlace : std::uint8_t {
    Outside,  // in no area and not on the way to one
    Way,      // on the way to an area (HKEY_LOCAL_MACHINE\SOFTWARE): named, holds nothing
    TreeTop,  // the key whose sub-keys are an area (HKEY_CLASSES_ROOT\CLSID): holds no values
    Values,   // a key whose values are an area (the Run key); its sub-keys are Tree
    Tree,     // a key in an area's sub-key tree
};

// A key of this place may hold values of a backup.
constexpr bool HoldsValues(KeyPlace place) { return place == KeyPlace::Values || place == KeyPlace::Tree; }

class RestoreAreas {
public:
    RestoreAreas(const RegistryArea* areas, std::size_t count);
    template <std::size_t N>
    explicit RestoreAreas(const RegistryArea (&areas)[N]) : RestoreAreas(areas, N) {}

    // The program's own: kRegistryAreas.
    static const RestoreAreas& Program();

    // The place of the key whose path, root name first, is `components`
    // (ASCII letters in lower case; see AppendKeyPieces), in `view`. A path
    // with Wow6432Node where the 64-bit view shows the 32-bit one
    // (HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\..., HKEY_CLASSES_ROOT\Wow6432Node\...)
    // lies in the same areas as the path without it, in the 64-bit view only.
    KeyPlace Place(const std::vector<std::string>& components, std::size_t count, RegView view) const;

    // The same, one component at a time: the spellings of the areas a path
    // still agrees with, from Start (no component yet) through Narrow (the
    // component at `index`) to PlaceOf (the path's place with `count`
    // components).
    using Candidates = std::vector<std::uint16_t>;
    void Start(RegView view, Candidates& candidates) const;
    void Narrow(Candidates& candidates, const std::string& component, std::size_t index) const;
    KeyPlace PlaceOf(const Candidates& candidates, std::size_t count) const;

private:
    struct Spelling {
        std::vector<std::string> components;  // lower case
        AreaShape shape;
        bool bothViews;  // false for the Wow6432Node spelling
    };
    std::vector<Spelling> spellings_;
};

// Appends the components a backup's key name stands for to `components`
// from index `count` on (slots are used again) and moves `count` past them:
// a name holding backslashes is several keys, as the registry reads it. Each
// component is in lower case; one holding characters beyond ASCII is kept as
// a text no area component equals. False when the name is not a key path: an
// empty component, "." or "..", or a zero character.
bool AppendKeyPieces(const std::string& name, std::vector<std::string>& components, std::size_t& count);

// True when `bytes` are a shell link: the header size 0x4C and the shell
// link class {00021401-0000-0000-C000-000000000046}.
bool IsShellLink(const std::vector<std::uint8_t>& bytes);

// Why a restore may not write the file at `path`; empty when it is a
// shortcut (".lnk") on a local drive: "X:\" and a path with no empty, "." or
// ".." component (nor one of dots and blanks alone), no device name, no "/"
// and no ":" past the drive's. `fs`, when given, is asked whether the drive
// is a network drive.
std::string ShortcutPathProblem(const std::string& path, IFileSystem* fs);

// Checks the elements of a backup in file order, as they are read, against
// the areas (one per walk of a file).
class RestoreAreaCheck {
public:
    RestoreAreaCheck(const RestoreAreas& areas, IFileSystem* fs) : areas_(areas), fs_(fs) {}

    // A key element begins (for the outermost, `name` is its root name and
    // `view` the view of its chain). False, with `reason`, when it lies
    // outside the areas; the key is then not entered.
    bool EnterKey(const std::string& name, RegView view, std::string& reason);
    void LeaveKey();
    // The innermost key entered (Outside when none).
    KeyPlace Place() const { return depth_ == 0 ? KeyPlace::Outside : places_[depth_ - 1]; }
    RegView View() const { return view_; }
    // The innermost key's path, components in lower case, into `out` (for
    // telling keys apart); its view not included.
    void LowerPathInto(std::string& out) const;

    // A value element of the innermost key.
    bool CheckValue(const std::string& name, std::string& reason) const;
    // A file element with its path and, when it reads as hexadecimal bytes,
    // its content.
    bool CheckFile(const std::string& path, const std::vector<std::uint8_t>* bytes, std::string& reason) const;

private:
    std::string KeyPath() const;  // the innermost key as the backup spells it

    const RestoreAreas& areas_;
    IFileSystem* fs_;
    RegView view_ = RegView::k64;
    std::vector<std::string> components_;
    std::size_t count_ = 0;
    // Per open key element: its name, where its components end, the areas
    // it agrees with, its place.
    std::vector<std::string> names_;
    std::vector<std::size_t> ends_;
    std::vector<RestoreAreas::Candidates> candidates_;
    std::vector<KeyPlace> places_;
    std::size_t depth_ = 0;
};

}  // namespace qm
