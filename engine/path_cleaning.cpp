#include "engine/path_cleaning.h"

namespace qm {

namespace {

constexpr auto npos = std::string::npos;

bool Contains(const std::string& text, const char* piece) { return text.find(piece) != npos; }
bool Contains(const std::string& text, char c) { return text.find(c) != npos; }

// Keeps the text before the first `piece` when it is found past position 0.
template <class Piece>
void CutBefore(std::string& text, Piece piece) {
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

// A path written with forward slashes ("C:/Program Files/App/x.dll"), which
// Windows accepts, would lose everything after its drive letter to the
// switch cut: its slashes become backslashes first. Only a text that starts
// with a drive letter, a colon and "/" is such a path, and a "/" after a
// blank stays (it starts a switch).
std::string DriveSlashesToBackslashes(std::string text) {
    const bool letter = !text.empty() && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
    if (!letter || text.size() < 3 || text[1] != ':' || text[2] != '/') return text;
    for (std::size_t i = 2; i < text.size(); ++i)
        if (text[i] == '/' && text[i - 1] != ' ') text[i] = '\\';
    return text;
}

// "\\?\C:\..." and "\??\C:\..." (the long-path and the native form of a
// local path, which Windows accepts) name "C:\...": the length of that
// prefix at `at`, or 0.
std::size_t LongPathPrefixAt(const std::string& text, std::size_t at) {
    if (text.size() < at + 6 || text[at] != '\\' || text[at + 2] != '?' || text[at + 3] != '\\') return 0;
    if (text[at + 1] != '\\' && text[at + 1] != '?') return 0;
    const char letter = text[at + 4];
    const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    return isLetter && text[at + 5] == ':' ? 4 : 0;
}

// Steps 1, 2, then 3 (the text holds "%") or 4: the derivation of the COM,
// shared-tools and shared-DLL rows, written into `text` (whose earlier
// contents go). The working text is made in place, with room for the system
// directory, so that a text reused for every COM server is allocated once.
void CleanExpandOrComplete(const std::string& data, const SystemPaths& system, std::string& text) {
    const std::string& dir = system.SystemDirectory();
    text.clear();
    text.reserve(data.size() + dir.size() + 1);
    std::size_t start = 0;
    while (start < data.size() && data[start] == '"') ++start;
    const std::size_t prefix = LongPathPrefixAt(data, start);
    for (std::size_t from = prefix == 0 ? 0 : start + prefix; from < data.size();) {
        auto quote = data.find('"', from);
        if (quote == npos) quote = data.size();
        text.append(data, from, quote - from);
        from = quote + 1;
    }
    text = CutSwitches(DriveSlashesToBackslashes(std::move(text)));
    if (Contains(text, '%'))
        text = ExpandFirstVariable(std::move(text), system);
    else
        text = CompleteBareName(std::move(text), system);
}

std::string CleanExpandOrComplete(const std::string& data, const SystemPaths& system) {
    std::string text;
    CleanExpandOrComplete(data, system, text);
    return text;
}

}  // namespace

std::string RemoveQuotes(std::string text) {
    const auto first = text.find('"');
    if (first == npos) return text;
    auto kept = text.begin() + std::ptrdiff_t(first);
    for (auto it = kept; it != text.end(); ++it)
        if (*it != '"') *kept++ = *it;
    text.erase(kept, text.end());
    return text;
}

std::string CutSwitches(std::string text) {
    CutBefore(text, '/');
    // " -": look only at the blanks.
    for (auto blank = text.find(' '); blank != npos; blank = text.find(' ', blank + 1)) {
        if (blank + 1 < text.size() && text[blank + 1] == '-') {
            if (blank > 0) text.erase(blank);
            break;
        }
    }
    return text;
}

std::string ExpandFirstVariable(std::string text, const SystemPaths& system) {
    const auto p = text.find('%');
    if (p == npos) return text;
    const auto q = text.find('%', p + 1);
    if (q == npos) return text;
    const std::string piece = text.substr(p, q - p + 1);
    const std::string expanded = system.Expand(piece);
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

std::string CompleteBareName(std::string text, const SystemPaths& system) {
    if (Contains(text, '\\')) return text;
    const std::string& dir = system.SystemDirectory();
    text.insert(0, dir.size() + 1, '\\');  // in place when the capacity allows
    text.replace(0, dir.size(), dir);
    return text;
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
    if (!Contains(text, ':')) return false;
    if (!text.empty() && text.back() == '\\') return false;
    if (Contains(text, ';')) return false;
    return text.size() > 3;
}

bool IsLauncherCommand(const std::string& text, bool alsoRegsvr32) {
    if (Contains(text, "rundll32") || Contains(text, "RunDll32")) return true;
    return alsoRegsvr32 && Contains(text, "\\regsvr32");
}

bool HoldsWildcard(const std::string& text) { return Contains(text, '?') || Contains(text, '*'); }

std::string WithoutLongPathPrefix(std::string text) {
    if (text.size() < 6 || text.find('?') == npos) return text;
    std::size_t start = 0;
    while (start < text.size() && text[start] == '"') ++start;
    if (const std::size_t prefix = LongPathPrefixAt(text, start)) text.erase(start, prefix);
    return text;
}

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

bool EqualsAsciiLower(const std::string& text, const char* lower) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (lower[i] == '\0' || c != lower[i]) return false;
    }
    return lower[i] == '\0';
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), npos, tail) == 0;
}

CleanedPath ComServerPath(const std::string& data, const SystemPaths& system) {
    CleanedPath out;
    ComServerPath(data, system, out);
    return out;
}

void ComServerPath(const std::string& data, const SystemPaths& system, CleanedPath& out) {
    static const std::string kMailUi = "mailui.dll";
    CleanExpandOrComplete(data, system, out.path);
    out.test = !EndsWith(out.path, kMailUi);
}

CleanedPath HelpFilePath(const std::string& data, const std::string& name, const SystemPaths& system) {
    std::string folder = CutSwitches(DriveSlashesToBackslashes(RemoveQuotes(WithoutLongPathPrefix(data))));
    CleanedPath out;
    if (Contains(folder, '%'))
        out.path = ExpandFirstVariable(std::move(folder), system) + name;
    else if (!Contains(folder, '\\'))
        out.path = system.SystemDirectory() + "\\" + folder + name;
    else
        out.path = folder + name;
    return out;
}

CleanedPath SharedToolPath(const std::string& data, const SystemPaths& system) {
    return {CleanExpandOrComplete(data, system), true};
}

CleanedPath AppPathText(const std::string& data) {
    CleanedPath out;
    AppPathText(data, out);
    return out;
}

void AppPathText(const std::string& data, CleanedPath& out) {
    const auto first = data.find_first_not_of('"');
    if (first == npos) {
        out.path.clear();
    } else {
        const auto last = data.find_last_not_of('"');
        const std::size_t prefix = LongPathPrefixAt(data, first);
        out.path.assign(data, first + prefix, last - first + 1 - prefix);
    }
    out.test = PassesAbsolutePathFilter(out.path);
}

void AppPathText(const std::string& data, const SystemPaths& system, CleanedPath& out) {
    if (!Contains(data, '%')) return AppPathText(data, out);
    AppPathText(system.Expand(data), out);
}

CleanedPath FontPath(const std::string& data, const SystemPaths& system) {
    std::string text = CutSwitches(DriveSlashesToBackslashes(RemoveQuotes(WithoutLongPathPrefix(data))));
    if (Contains(text, '%'))
        text = ExpandFirstVariable(std::move(text), system);
    else if (!Contains(text, '\\'))
        text = system.WindowsDirectory() + "\\fonts\\" + text;
    return {std::move(text), true};
}

CleanedPath SharedDllPath(const std::string& name, const SystemPaths& system) {
    return {CleanExpandOrComplete(name, system), true};
}

void SharedDllPath(const std::string& name, const SystemPaths& system, CleanedPath& out) {
    CleanExpandOrComplete(name, system, out.path);
    out.test = true;
}

CleanedPath DriverPath(const std::string& data, const SystemPaths& system) {
    return {system.SystemDirectory() + "\\" + WithoutLongPathPrefix(data), true};
}

CleanedPath UninstallPath(const std::string& data) {
    CleanedPath out;
    out.path = TrimEndQuotes(CutAfterExe(WithoutLongPathPrefix(data)));
    out.test = PassesAbsolutePathFilter(out.path) && !IsLauncherCommand(out.path, true);
    return out;
}

CleanedPath UninstallPath(const std::string& data, const SystemPaths& system) {
    return UninstallPath(Contains(data, '%') ? system.Expand(data) : data);
}

CleanedPath StartupPath(const std::string& data, const SystemPaths& system) {
    std::string text = CutSwitches(DriveSlashesToBackslashes(RemoveQuotes(WithoutLongPathPrefix(data))));
    if (Contains(text, '%')) text = ExpandFirstVariable(std::move(text), system);
    text = CutAfterExe(std::move(text));
    if (!Contains(text, ':')) text = system.WindowsDirectory() + "\\" + text;
    CleanedPath out;
    out.path = TrimEndQuotes(std::move(text));
    out.test = !IsLauncherCommand(out.path, false) && out.path.size() > 3;
    return out;
}

}  // namespace qm
