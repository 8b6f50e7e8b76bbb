#include "engine/path_cleaning.h"

namespace qm {

namespace {

constexpr auto npos = std::string::npos;

bool Contains(const std::string& text, const char* piece) { return text.find(piece) != npos; }

// Keeps the text before the first `piece` when it is found past position 0.
void CutBefore(std::string& text, const char* piece) {
    const auto pos = text.find(piece);
    if (pos != npos && pos > 0) text.erase(pos);
}

// Keeps the text up to and including the first `piece`.
void CutAfter(std::string& text, const std::string& piece) {
    const auto pos = text.find(piece);
    if (pos != npos) text.erase(pos + piece.size());
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Steps 3 or 4, as the COM, shared-tools and shared-DLL derivations use them.
std::string ExpandOrComplete(std::string text, ISystem& system) {
    if (Contains(text, "%")) return ExpandFirstVariable(std::move(text), system);
    return CompleteBareName(std::move(text), system);
}

}  // namespace

std::string RemoveQuotes(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '"') out += c;
    return out;
}

std::string CutSwitches(std::string text) {
    CutBefore(text, "/");
    CutBefore(text, " -");
    return text;
}

std::string ExpandFirstVariable(std::string text, ISystem& system) {
    const auto p = text.find('%');
    if (p == npos) return text;
    const auto q = text.find('%', p + 1);
    if (q == npos) return text;
    const std::string piece = text.substr(p, q - p + 1);
    const std::string expanded = system.ExpandEnvironmentStrings(piece);
    if (expanded == piece) return text;
    std::string out;
    out.reserve(text.size() + expanded.size());
    std::size_t from = 0;
    for (auto at = text.find(piece); at != npos; at = text.find(piece, from)) {
        out.append(text, from, at - from);
        out += expanded;
        from = at + piece.size();
    }
    out.append(text, from, npos);
    return out;
}

std::string CompleteBareName(std::string text, ISystem& system) {
    if (Contains(text, "\\")) return text;
    return system.GetSystemDirectory() + "\\" + text;
}

std::string CutAfterExe(std::string text) {
    CutAfter(text, ".exe");
    CutAfter(text, ".EXE");
    return text;
}

std::string TrimEndQuotes(std::string text) {
    const auto first = text.find_first_not_of('"');
    if (first == npos) return {};
    const auto last = text.find_last_not_of('"');
    return text.substr(first, last - first + 1);
}

bool PassesAbsolutePathFilter(const std::string& text) {
    if (!Contains(text, ":")) return false;
    if (!text.empty() && text.back() == '\\') return false;
    if (Contains(text, ";")) return false;
    return text.size() > 3;
}

bool IsLauncherCommand(const std::string& text, bool alsoRegsvr32) {
    if (Contains(text, "rundll32") || Contains(text, "RunDll32")) return true;
    return alsoRegsvr32 && Contains(text, "\\regsvr32");
}

bool HoldsWildcard(const std::string& text) { return text.find_first_of("?*") != npos; }

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

std::string TrimWhiteSpace(const std::string& text) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsWhiteSpace(text[first])) ++first;
    while (end > first && IsWhiteSpace(text[end - 1])) --end;
    return text.substr(first, end - first);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), npos, tail) == 0;
}

CleanedPath ComServerPath(const std::string& data, ISystem& system) {
    CleanedPath out;
    out.path = ExpandOrComplete(CutSwitches(RemoveQuotes(data)), system);
    out.test = !EndsWith(out.path, "mailui.dll");
    return out;
}

CleanedPath HelpFilePath(const std::string& data, const std::string& name, ISystem& system) {
    std::string folder = CutSwitches(RemoveQuotes(data));
    CleanedPath out;
    if (Contains(folder, "%"))
        out.path = ExpandFirstVariable(std::move(folder), system) + name;
    else if (!Contains(folder, "\\"))
        out.path = system.GetSystemDirectory() + "\\" + folder + name;
    else
        out.path = folder + name;
    return out;
}

CleanedPath SharedToolPath(const std::string& data, ISystem& system) {
    return {ExpandOrComplete(CutSwitches(RemoveQuotes(data)), system), true};
}

CleanedPath AppPathText(const std::string& data) {
    CleanedPath out;
    out.path = TrimEndQuotes(data);
    out.test = PassesAbsolutePathFilter(out.path);
    return out;
}

CleanedPath FontPath(const std::string& data, ISystem& system) {
    std::string text = CutSwitches(RemoveQuotes(data));
    if (Contains(text, "%"))
        text = ExpandFirstVariable(std::move(text), system);
    else if (!Contains(text, "\\"))
        text = system.GetWindowsDirectory() + "\\fonts\\" + text;
    return {std::move(text), true};
}

CleanedPath SharedDllPath(const std::string& name, ISystem& system) {
    return {ExpandOrComplete(CutSwitches(RemoveQuotes(name)), system), true};
}

CleanedPath DriverPath(const std::string& data, ISystem& system) {
    return {system.GetSystemDirectory() + "\\" + data, true};
}

CleanedPath UninstallPath(const std::string& data) {
    CleanedPath out;
    out.path = TrimEndQuotes(CutAfterExe(data));
    out.test = PassesAbsolutePathFilter(out.path) && !IsLauncherCommand(out.path, true);
    return out;
}

CleanedPath StartupPath(const std::string& data, ISystem& system) {
    std::string text = CutSwitches(RemoveQuotes(data));
    if (Contains(text, "%")) text = ExpandFirstVariable(std::move(text), system);
    text = CutAfterExe(std::move(text));
    if (!Contains(text, ":")) text = system.GetWindowsDirectory() + "\\" + text;
    CleanedPath out;
    out.path = TrimEndQuotes(std::move(text));
    out.test = !IsLauncherCommand(out.path, false) && out.path.size() > 3;
    return out;
}

}  // namespace qm
