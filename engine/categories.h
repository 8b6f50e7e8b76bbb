// The scan categories: their state slots, finding tags, removal kinds and
// result-row labels, and the names the command line uses for them.
#pragma once

#include <array>
#include <cstdint>

namespace qm {

enum class Category {
    Com,
    SharedDlls,
    Drivers,
    Help,
    AppPaths,
    SharedTools,
    Fonts,
    Startup,
    Uninstall,
    Shortcuts,
};

struct CategoryInfo {
    Category category;
    int slot;                // index into ScanCategoryStates
    const char* cliName;     // name on the command line ("com", "shareddlls", ...)
    const char* tag;         // finding tag ("" for shortcuts, which make no findings)
    const char* removeKind;  // "KEY" or "VAL" ("" for shortcuts)
    const char* rowLabel;    // result-row label
    const char* button;      // the category's check box on the main screen
};

// In the order the scan run visits them; shortcuts last (run by the controller).
extern const std::array<CategoryInfo, 10> kCategories;

const CategoryInfo& InfoFor(Category category);
// nullptr when the name is not a category name.
const CategoryInfo* FindCategoryByCliName(const char* name);

// Row labels.
constexpr const char* kLabelCom = "Invalid CLSID";
constexpr const char* kLabelHelp = "Corrupt Help Files";
constexpr const char* kLabelFonts = "Corrupt Fonts";
constexpr const char* kLabelSharedTools = "Invalid Shared Tools";
constexpr const char* kLabelSharedDlls = "Corrupt Shared Files";
constexpr const char* kLabelDrivers = "Missing Drivers";
constexpr const char* kLabelAppPaths = "Invalid Application Paths";
constexpr const char* kLabelUninstall = "Invalid Uninstall Entries";
constexpr const char* kLabelStartup = "Invalid Startup Programs";
constexpr const char* kLabelShortcuts = "Missing ShortCuts";

// Finding tags.
constexpr const char* kTagCom = "CLSID";
constexpr const char* kTagHelp = "Help";
constexpr const char* kTagFonts = "font";
constexpr const char* kTagSharedTools = "SharedTools";
constexpr const char* kTagSharedDlls = "SharedFile";
constexpr const char* kTagDrivers = "VxD";
constexpr const char* kTagAppPaths = "APPPath";
constexpr const char* kTagUninstall = "Uninstall";
constexpr const char* kTagStartup = "Startup";

// The 14 state slots of a scan run: 0 not selected, any other value selected,
// 2 running, -1 done.
struct ScanCategoryStates {
    std::int32_t slots[14] = {};
    std::int32_t& operator[](int i) { return slots[i]; }
    std::int32_t operator[](int i) const { return slots[i]; }
};

constexpr int kSlotCom = 1;
constexpr int kSlotSharedDlls = 3;
constexpr int kSlotDrivers = 4;
constexpr int kSlotHelp = 5;
constexpr int kSlotAppPaths = 6;
constexpr int kSlotSharedTools = 7;
constexpr int kSlotFonts = 8;
constexpr int kSlotStartup = 9;
constexpr int kSlotShortcuts = 10;
constexpr int kSlotUninstall = 11;

}  // namespace qm
