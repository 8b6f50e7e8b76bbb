// The skin definition: where it comes from, how its values are read, and how a
// value is split into the fields of the skin's line kinds.
//
// A skin is profile ("INI") text (see ui/profile_reader.h). Two kinds of
// section exist: named-key sections ([MAINSCREENINFO] with "Mask", "Main",
// "Down", "Over", "Disabled"; the animation sections with "DIMENSION") and
// numbered sections whose keys run "1", "2", ... (ReadNumberedSection).
//
// Typical use by a skinned window:
//
//     SkinFile skin;
//     skin.SetSkinFile("Skin.ini");           // before the window initialises
//     skin.UseSkinText(builtInSkinText);      // or skin.LoadSkinFile() for a skin on disk
//     for (const SkinEntry& e : skin.ReadNumberedSection("MAINSCREENBUTTONINFO")) {
//         SkinButtonLine b = ParseButtonLine(e.value);
//         ... create a button at b.rect ...
//     }
//     std::string mainImage = skin.ImagePath(skin.ReadSkinValue("MAINSCREENINFO", "Main"));
//
// The built-in skin is read straight from the program's resource (see
// ui/skin_resource_win32.h): no file of the user's is created or removed.
// The recorded file name still gives the directory in which skin images are
// looked for first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/profile_reader.h"

namespace qm {

// A rectangle in pixels relative to the owner's client area.
struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const SkinRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// ---------------------------------------------------------------- fields
//
// NextField splits one field off the front of `rest`: the text up to the first
// comma, unchanged (a space before the comma stays in the field); the field and
// its comma are removed and `rest` is trimmed of spaces at both ends. With no
// comma left the field is the whole of `rest`, which is NOT consumed: asking
// again returns the same text. That is how the last field of a line is read,
// and why a line that lacks its final field(s) repeats its last one.
std::string NextField(std::string& rest);

// Four fields x, y, w, h (each FieldToInt) as left x, top y, right x+w, bottom y+h.
SkinRect ParseRect(std::string& rest);

// Field kinds.
bool FieldIsTrue(const std::string& field);            // flag: first character "T"
int FieldToInt(const std::string& field);              // integer: atoi
std::uint32_t FieldToColour(const std::string& field); // colour: atol, 0x00BBGGRR

// ---------------------------------------------------------------- line kinds

// Button: name, rect, check-box flag, and optionally what the button says
// (the rest of the line, commas included): its wording is in its images, so
// this is what it answers to a screen reader and shows as its tip. A check
// box that says something else while ticked gives both, "unticked|ticked".
struct SkinButtonLine {
    std::string name;
    SkinRect rect;
    bool checkBox = false;
    std::string wording;
};
SkinButtonLine ParseButtonLine(std::string value);

// A control's name as words, for a skin line that gives no wording:
// "BUTTON_START_EVERY" -> "Start every" (the kind prefix up to the first
// "_" dropped, "_" as blanks, only the first letter a capital).
std::string ReadableControlName(const std::string& name);

// Text label and edit box: name, font face, bold flag, italic field, height,
// colour, rect, initial text. The italic field is kept as written because its
// meaning depends on the reader (labels of the main screen and panels are
// italic when it begins with "F", edit boxes and screen labels when it begins
// with "T"); see ItalicWhenFalse / ItalicWhenTrue. An edit box's line may go
// on after its initial text with what the box is called on screen (the rest
// of the line), its name for a screen reader: the box itself shows only what
// is typed.
struct SkinTextLine {
    std::string name;
    std::string face;
    bool bold = false;
    std::string italicField;
    int height = 0;               // LOGFONT height (negative: pixel height)
    std::uint32_t colour = 0;     // 0x00BBGGRR
    SkinRect rect;
    std::string text;
    std::string wording;
    bool ItalicWhenFalse() const { return !italicField.empty() && italicField[0] == 'F'; }
    bool ItalicWhenTrue() const { return FieldIsTrue(italicField); }
};
SkinTextLine ParseTextLine(std::string value);

// Panel ([SUBMAINSCREENINFO]) and scan/repair screen information line:
// name, four image names (Main, Over, Down, Disabled), rect.
// Panel (and screen) line: name, four images, rect, and optionally what the
// panel is called on screen (the rest of the line), its name for a screen
// reader.
struct SkinPanelLine {
    std::string name;
    std::string images[4];
    SkinRect rect;
    std::string wording;
};
SkinPanelLine ParsePanelLine(std::string value);

// List view (key "1" of a LISTINFO section): rect, column count C, then C
// pairs of title and width, and optionally what the list is called on screen
// (the rest of the line), its name for a screen reader.
struct SkinListColumn {
    std::string title;
    int width = 0;
};
struct SkinListLine {
    SkinRect rect;
    std::vector<SkinListColumn> columns;
    std::string wording;
};
SkinListLine ParseListLine(std::string value);

// ---------------------------------------------------------------- paths

// The directory of `name`'s full path with one trailing separator, `name`
// being taken against the process's current directory when relative.
std::string SkinDirectory(const std::string& name);

// The same against a given current directory and with a given separator
// ('\\' on Windows). Both '\\' and '/' separate components on input; "." and
// ".." components are resolved. Windows absolute forms are honoured: "C:\x",
// "\\server\share\x" and a rooted "\x" (which keeps the drive of `cwd`).
std::string SkinDirectoryIn(const std::string& cwd, const std::string& name, char separator);

// The process's current directory (GetCurrentDirectoryA / getcwd).
std::string CurrentDirectory();

// The separator the platform's paths use.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// ---------------------------------------------------------------- the skin

struct SkinEntry {
    int key = 0;          // the entry's number in its section (1-based)
    std::string value;    // never empty
};

class SkinFile {
public:
    // Records the skin file's name (the main window passes "Skin.ini").
    void SetSkinFile(const std::string& name);
    const std::string& SkinFileName() const { return name_; }
    // The absolute path of the recorded name: SkinDirectory(name) + its last
    // component. Skin images are looked for beside it first (ImagePath).
    std::string SkinPath() const;

    // Takes the skin's text from memory (the built-in skin resource).
    void UseSkinText(const std::string& text);
    // Reads the skin from the file at SkinPath(); false if it cannot be read.
    bool LoadSkinFile();
    // True once text has been taken in by either of the two above.
    bool IsLoaded() const { return loaded_; }

    // The value of `key` in `section` (first occurrence), trimmed and cut to
    // 2047 bytes; `fallback` if missing.
    std::string ReadSkinValue(const std::string& section, const std::string& key,
                              const std::string& fallback = std::string()) const;
    // Fills `keys` with the section's key names (through a 16384-byte list);
    // true if there is at least one.
    bool ReadSkinKeys(const std::string& section, std::vector<std::string>& keys) const;

    // Numbered-section enumeration: N = the number of key names; then keys
    // "1".."N" are read by number and the missing or empty ones skipped. So a
    // section with keys 1, 2, 4 yields entries 1 and 2 only.
    std::vector<SkinEntry> ReadNumberedSection(const std::string& section) const;

    // SkinDirectory(SkinPath()) followed by the image field unchanged.
    std::string ImagePath(const std::string& imageName) const;

    const ProfileReader& Profile() const { return profile_; }

private:
    std::string name_;
    ProfileReader profile_;
    bool loaded_ = false;
};

}  // namespace qm
