#include "control/result_entries.h"

#include <cstring>

#include "engine/categories.h"

namespace qm {

const ResultColumnDefault kResultColumnDefaults[kResultColumnCount] = {
    {"Delete", 50}, {"Type", 80},     {"Missing file", 200}, {"Program", 120},
    {"Removes", 75}, {"Key or file", 300}, {"Value", 120},
};

namespace {

struct AreaRow {
    const char* tag;
    const char* name;
};
constexpr AreaRow kAreas[] = {
    {kTagCom, "COM class"},         {kTagSharedDlls, "Shared DLL"},     {kTagDrivers, "Driver"},
    {kTagHelp, "Help file"},        {kTagAppPaths, "Application path"}, {kTagSharedTools, "Shared tool"},
    {kTagFonts, "Font"},            {kTagStartup, "Startup program"},   {kTagUninstall, "Uninstall entry"},
};

int AsciiFold(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

constexpr const char* kShortcutTag = "SHORTCUT";
constexpr const char* kRemovesKey = "Whole key";
constexpr const char* kRemovesValue = "Value";
constexpr const char* kRemovesFile = "Shortcut file";

}  // namespace

std::string AreaName(const std::string& tag) {
    for (const AreaRow& area : kAreas)
        if (tag == area.tag) return area.name;
    return tag == kShortcutTag ? "Shortcut file" : std::string();
}

std::string ResultEntry::Column(int column) const {
    switch (column) {
        case kColumnType: return tag;
        case kColumnMissingFile: return missing;
        case kColumnProgram: return owner;
        case kColumnRemoves: return removes;
        case kColumnEntry: return key;
        case kColumnValue: return removes == kRemovesValue ? valueName : std::string();
        default: return std::string();
    }
}

std::string ResultEntry::Details() const {
    std::string text;
    auto line = [&text](const char* name, const std::string& value) {
        text += (text.empty() ? "" : "\r\n") + std::string(name) + ": " + value;
    };
    line("Area", area.empty() ? tag : area + " (" + tag + ")");
    if (shortcut) {
        line("Shortcut file", key);
        line("Missing target", missing);
        line("Repair removes", "the shortcut file");
        return text;
    }
    line("Program", owner.empty() ? "(not named in the registry)" : owner);
    line("Key", key);
    line("Value name", valueName);
    line("Data", data);
    line("Missing file", missing);
    line("Repair removes", removes == kRemovesKey ? "the whole key, with everything under it"
                                                   : "the value \"" + valueName + "\" only");
    return text;
}

std::vector<ResultEntry> MakeResultEntries(const FindingList& findings, const std::vector<std::string>& shortcuts,
                                           const std::vector<std::string>& targets) {
    std::vector<ResultEntry> entries;
    entries.reserve(findings.size() + shortcuts.size());
    for (const auto& finding : findings) {
        entries.emplace_back();
        if (!finding) continue;
        ResultEntry& e = entries.back();
        e.tag = finding->GetCategory();
        e.area = AreaName(e.tag);
        e.removes = finding->GetRemoveKind() == kRemoveKey ? kRemovesKey : kRemovesValue;
        e.key = finding->GetKeyPath();
        if (const CRegValueItem* value = finding->GetValue()) {
            e.valueName = value->name;
            e.data = value->data;
        }
        e.owner = OwnerNameOf(*finding);
        e.missing = finding->GetFilePath();
    }
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        entries.emplace_back();
        ResultEntry& e = entries.back();
        e.shortcut = true;
        e.tag = kShortcutTag;
        e.area = AreaName(kShortcutTag);
        e.removes = kRemovesFile;
        e.key = shortcuts[i];
        e.missing = i < targets.size() ? targets[i] : std::string();
    }
    return entries;
}

std::string ProblemsFoundText(std::size_t count) {
    if (count == 0) return "No problems found";
    return std::to_string(count) + (count == 1 ? " problem found" : " problems found");
}

int CompareColumnTexts(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int x = AsciiFold(static_cast<unsigned char>(a[i]));
        const int y = AsciiFold(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int bytes = std::memcmp(a.data(), b.data(), n);
    return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

}  // namespace qm
