// What the main window's result list shows of each finding and broken
// shortcut: one ResultEntry per row with the texts of its columns and of its
// details, the row total, and the order of a sort by column.
//
// Columns, by position (a skin's list names and sizes the first ones; the
// window adds those it leaves out):
//   0 the check box ("Delete")    1 the category tag ("SHORTCUT" for a shortcut)
//   2 the missing file (a shortcut's missing target)
//   3 the program or item the entry belongs to, as the registry names it
//   4 what the repair removes ("Whole key", "Value", "Shortcut file")
//   5 the key (a shortcut: its file)   6 the value, when only the value goes
#pragma once

#include <string>
#include <vector>

#include "engine/records.h"

namespace qm {

enum ResultColumn {
    kColumnTick = 0,
    kColumnType = 1,
    kColumnMissingFile = 2,
    kColumnProgram = 3,
    kColumnRemoves = 4,
    kColumnEntry = 5,
    kColumnValue = 6,
    kResultColumnCount = 7,
};

// Titles and widths of the columns a skin's list leaves out.
struct ResultColumnDefault {
    const char* title;
    int width;
};
extern const ResultColumnDefault kResultColumnDefaults[kResultColumnCount];

struct ResultEntry {
    bool shortcut = false;
    std::string tag;        // "CLSID", ..., "SHORTCUT"
    std::string area;       // "COM class", ..., "Shortcut file"
    std::string removes;    // "Whole key", "Value", "Shortcut file"
    std::string key;        // the key path (a shortcut: its file's path)
    std::string valueName;  // the value examined ("(Default)": the unnamed one)
    std::string data;       // its data as text
    std::string owner;      // the program or item ("" when the registry names none)
    std::string missing;    // the missing file (a shortcut: its missing target)

    // Column `column`'s text (kColumnTick: "").
    std::string Column(int column) const;
    // Every detail, one "Name: text" line each (CR LF between them).
    std::string Details() const;
};

// One entry per finding (a null one gives an empty entry, so that entry i
// is finding i), then one per broken shortcut with its missing target.
std::vector<ResultEntry> MakeResultEntries(const FindingList& findings, const std::vector<std::string>& shortcuts,
                                           const std::vector<std::string>& targets);

// The readable name of a category tag ("" for an unknown one).
std::string AreaName(const std::string& tag);

// "No problems found", "1 problem found", "16 problems found".
std::string ProblemsFoundText(std::size_t count);

// Comparison of two column texts for a sort by that column: without regard
// to ASCII case, then as bytes. <0, 0 or >0.
int CompareColumnTexts(const std::string& a, const std::string& b);

}  // namespace qm
