#include "control/scan_outcome.h"

namespace qm {

namespace {

bool Reached(const CategoryInfo& info, const ScanCategoryStates& states, const ResultRows& rows) {
    if (info.slot == kSlotShortcuts) return states[info.slot] == -1;
    for (const auto& row : rows)
        if (row && row->label == info.rowLabel) return true;
    return false;
}

}  // namespace

AreaEnd AreaEndOf(int slot, const ScanCategoryStates& states, const ResultRows& rows, bool stopped) {
    if (slot < 0 || slot >= 14 || states[slot] == 0) return AreaEnd::NotSelected;
    if (!stopped) return AreaEnd::Done;
    // The areas in the order the scan visits them: the last one reached is
    // the one the stop came in.
    const CategoryInfo* last = nullptr;
    bool found = false;
    for (const CategoryInfo& info : kCategories) {
        if (states[info.slot] == 0) continue;
        if (Reached(info, states, rows)) last = &info;
        if (info.slot == slot) {
            found = true;
            if (!Reached(info, states, rows)) return AreaEnd::NotReached;
        }
    }
    if (!found) return AreaEnd::NotSelected;
    return last != nullptr && last->slot == slot ? AreaEnd::Stopped : AreaEnd::Done;
}

std::string AreaEndText(AreaEnd end) {
    switch (end) {
        case AreaEnd::Done: return "Done";
        case AreaEnd::Stopped: return "Stopped";
        case AreaEnd::NotReached: return "Not scanned";
        case AreaEnd::NotSelected: break;
    }
    return std::string();
}

const char* ProgressLabelSuffix(int slot) {
    switch (slot) {
        case kSlotCom: return "COM";
        case kSlotSharedDlls: return "COM_SUBS";
        case kSlotDrivers: return "DRV";
        case kSlotHelp: return "HELP";
        case kSlotAppPaths: return "APPPATH";
        case kSlotSharedTools: return "SHARED_TOOLS";
        case kSlotFonts: return "FONTS";
        case kSlotStartup: return "STARTUP";
        case kSlotUninstall: return "UNINSTALL";
        case kSlotShortcuts: return "SHORTCUTS";
        default: return "";
    }
}

}  // namespace qm
