// How each scan area ended, as the categories panel shows it once a scan is
// over: a stopped scan names the area it was in and the areas it never
// reached, instead of calling them done.
#pragma once

#include <string>

#include "engine/categories.h"
#include "engine/records.h"

namespace qm {

enum class AreaEnd {
    NotSelected,  // not ticked: its labels stay empty
    Done,         // scanned to its end
    Stopped,      // the area the stop came in (what it found so far is listed)
    NotReached,   // ticked, but the scan was stopped before it
};

// The end of the area of `slot`, from the states and result rows a scan
// (Summary::RunScan) left: a registry area it reached has its result row, the
// shortcut area its slot at -1; the last area reached before a stop is the
// one it was in.
AreaEnd AreaEndOf(int slot, const ScanCategoryStates& states, const ResultRows& rows, bool stopped);

// What the area's status label says for `end` ("" for NotSelected).
std::string AreaEndText(AreaEnd end);

// The part of the area's progress label names after "PROGRESS_TEXT_" and
// "PROGRESS_COUNT_" ("COM", "COM_SUBS", ...); "" for a slot of no area.
const char* ProgressLabelSuffix(int slot);

// What the result panel's hint says after a stopped scan.
constexpr const char* kStoppedScanHint = "Scan stopped: what was found up to then";

}  // namespace qm
