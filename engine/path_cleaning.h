// Turning the text of a registry value into the file path it names.
//
// The eight cleaning steps each take the working text and return the cleaned
// text (or, for the two filters, say whether the text may be tested). The
// per-category derivations below compose them in the order each scan needs.
// All comparisons are exact and case-sensitive unless a comment says
// otherwise; positions are byte positions.
#pragma once

#include <string>

#include "platform/system.h"

namespace qm {

// The system's directories, read once, and its environment expansion.
class SystemPaths {
public:
    SystemPaths(ISystem& system)  // NOLINT: converts implicitly on purpose
        : system_(&system),
          systemDir_(system.GetSystemDirectory()),
          windowsDir_(system.GetWindowsDirectory()) {}
    const std::string& SystemDirectory() const { return systemDir_; }
    const std::string& WindowsDirectory() const { return windowsDir_; }
    std::string Expand(const std::string& text) const { return system_->ExpandEnvironmentStrings(text); }
    ISystem& System() const { return *system_; }

private:
    ISystem* system_;
    std::string systemDir_;
    std::string windowsDir_;
};

// --- the cleaning steps ---------------------------------------------------

// 1. Deletes every double quote.
std::string RemoveQuotes(std::string text);
// 2. Cuts at the first "/" found past position 0, then at the first " -"
//    found past position 0.
std::string CutSwitches(std::string text);
// 3. Expands the first %NAME% piece and replaces every occurrence of that
//    piece. A lone "%" or an unknown variable leaves the text as it was.
std::string ExpandFirstVariable(std::string text, const SystemPaths& system);
// 4. A text without a backslash gets the system directory and "\" in front.
std::string CompleteBareName(std::string text, const SystemPaths& system);
// 5. Cuts just after the first ".exe", then just after the first ".EXE".
std::string CutAfterExe(std::string text);
// 6. Removes double quotes at the start and at the end.
std::string TrimEndQuotes(std::string text);
// 7. False when the text cannot be an absolute file path: no ":", a trailing
//    backslash, a ";", or 3 characters or fewer.
bool PassesAbsolutePathFilter(const std::string& text);
// 8. True for a command run through rundll32 (only the forms "rundll32" and
//    "RunDll32"); with `alsoRegsvr32`, also for one containing "\regsvr32".
bool IsLauncherCommand(const std::string& text, bool alsoRegsvr32);

// A "?" or "*" never stands in a real file name: such a text is what the
// ANSI code page leaves of a name it cannot show (or a pattern), so it is
// never tested.
bool HoldsWildcard(const std::string& text);
// "\\?\C:\x" and "\??\C:\x" (after any opening quotes) as "C:\x": the
// long-path and native forms of a local path name the same file.
std::string WithoutLongPathPrefix(std::string text);

// Case helpers for registry names (ASCII letters only, so that multi-byte
// characters pass through untouched).
std::string AsciiLower(std::string text);
// Removes blanks, tabs, carriage returns, line feeds, vertical tabs and form
// feeds at both ends.
std::string TrimWhiteSpace(const std::string& text);
bool EndsWith(const std::string& text, const std::string& tail);
// True when `text` equals `lower` (given in lower case) but for the letter
// case of ASCII letters.
bool EqualsAsciiLower(const std::string& text, const char* lower);

// --- per-category derivations ----------------------------------------------

// The path a scan tests, and whether the filters let it be tested at all.
struct CleanedPath {
    std::string path;
    bool test = true;
};

// COM server sub-key default: 1, 2, then 3 (text holds "%") or 4; a path
// ending in "mailui.dll" is not tested.
CleanedPath ComServerPath(const std::string& data, const SystemPaths& system);
// The same into `out`, whose text's buffer is used again (a scan derives
// one path per COM server).
void ComServerPath(const std::string& data, const SystemPaths& system, CleanedPath& out);
// Help value: the data is a folder, the name a file name, joined without a
// separator.
CleanedPath HelpFilePath(const std::string& data, const std::string& name, const SystemPaths& system);
// Shared tool "path" value: 1, 2, then 3 or 4.
CleanedPath SharedToolPath(const std::string& data, const SystemPaths& system);
// Application path value: 6, tested only when it passes 7.
CleanedPath AppPathText(const std::string& data);
void AppPathText(const std::string& data, CleanedPath& out);  // into `out`, as ComServerPath
// The same after every variable the system knows is expanded (the scan's
// reading: a "%ProgramFiles%\App\app.exe" names a file whatever the value's
// type).
void AppPathText(const std::string& data, const SystemPaths& system, CleanedPath& out);
// Font value: 1, 2, then 3 (text holds "%"), or the Windows fonts folder in
// front of a text without a backslash.
CleanedPath FontPath(const std::string& data, const SystemPaths& system);
// Shared-DLL value name: 1, 2, then 3 or 4.
CleanedPath SharedDllPath(const std::string& name, const SystemPaths& system);
void SharedDllPath(const std::string& name, const SystemPaths& system, CleanedPath& out);
// Driver value: the system directory, "\" and the data unchanged.
CleanedPath DriverPath(const std::string& data, const SystemPaths& system);
// "UninstallString" data: 5, 6, then 7 and 8 (with "\regsvr32").
CleanedPath UninstallPath(const std::string& data);
// The same after every variable the system knows is expanded (the scan's
// reading).
CleanedPath UninstallPath(const std::string& data, const SystemPaths& system);
// Run-key value: 1, 2, 3 (text holds "%"), 5, the Windows directory in front
// of a text without ":", 6, 8, and no test for 3 characters or fewer.
CleanedPath StartupPath(const std::string& data, const SystemPaths& system);

}  // namespace qm
