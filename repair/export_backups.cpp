#include "repair/export_backups.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace qm {

namespace {

constexpr const char* kSettingsKeyPath = "Software\\QUILLMERE";
constexpr std::uint32_t kValueBufferSize = 256;

// A value of "Software\QUILLMERE" read through a 256-byte buffer; false when
// the key or value cannot be read or the data does not fit.
bool QuerySetting(IRegistry& registry, const char* name, std::string* text, std::uint32_t access) {
    RegKeyHandle key;
    if (registry.RegOpenKeyExA(kHkeyLocalMachine, kSettingsKeyPath, access,
                               key.Receive(registry)) != kRegSuccess)
        return false;
    std::uint8_t buffer[kValueBufferSize];
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    if (registry.RegQueryValueExA(key.Get(), name, &type, buffer, &size) != kRegSuccess) return false;
    if (size > sizeof buffer) return false;
    if (text) {
        text->assign(reinterpret_cast<const char*>(buffer), size);
        const std::size_t zero = text->find('\0');
        if (zero != std::string::npos) text->resize(zero);
    }
    return true;
}

// atoi: leading blanks, a sign, digits; saturated.
long long ParseCount(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1000000000LL) value = 1000000000LL;
    }
    return negative ? -value : value;
}

std::string Seconds(std::uint32_t milliseconds) {
    char text[48];
    if (milliseconds >= 60000 && milliseconds % 60000 == 0)
        std::snprintf(text, sizeof text, "%u minute%s", milliseconds / 60000,
                      milliseconds == 60000 ? "" : "s");
    else
        std::snprintf(text, sizeof text, "%.1f seconds", milliseconds / 1000.0);
    return text;
}

}  // namespace

std::string ExportFileName(const ExportTime& t) {
    char name[64];
    std::snprintf(name, sizeof name, "%4.4d-%2.2d-%2.2d_%2.2d-%2.2d-%2.2d.reg", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return name;
}

int FindFiles(IExportHost& host, const std::string& folder, const std::string& pattern,
              std::vector<std::string>& list) {
    int count = 0;
    for (const std::string& name : host.FindFileNames(folder + pattern)) {
        if (name == "." || name == ".." || name == "desktop.ini") continue;
        list.push_back(folder + name);
        ++count;
    }
    return count;
}

bool IsExportFileName(const std::string& name) {
    // "2026-12-06_05-06-45" then ".reg" or "_N.reg".
    static const char kShape[] = "dddd-dd-dd_dd-dd-dd";
    const std::size_t stem = sizeof kShape - 1;
    if (name.size() < stem + 4 || name.compare(name.size() - 4, 4, ".reg") != 0) return false;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 0; i < stem; ++i)
        if (kShape[i] == 'd' ? !digit(name[i]) : name[i] != kShape[i]) return false;
    const std::size_t end = name.size() - 4;
    if (end == stem) return true;
    if (name[stem] != '_' || end == stem + 1 || name[stem + 1] == '0' || end - stem - 1 > 9) return false;
    for (std::size_t i = stem + 1; i < end; ++i)
        if (!digit(name[i])) return false;
    return true;
}

std::vector<std::string> ExportsToDelete(std::vector<std::string> files, bool haveKeep,
                                         const std::string& keepText, const std::string& newest) {
    if (!haveKeep) return {};
    auto bareName = [](const std::string& path) {
        const std::size_t sep = path.find_last_of("\\/");
        return sep == std::string::npos ? path : path.substr(sep + 1);
    };
    // Date and counter ("_2" comes after the plain name, "_10" after "_9").
    struct Export {
        std::string path, stamp;
        long counter;
    };
    std::vector<Export> exports;
    bool newestListed = false;
    for (std::string& path : files) {
        const std::string name = bareName(path);
        if (!IsExportFileName(name)) continue;
        if (!newest.empty() && path == newest) {
            newestListed = true;
            continue;
        }
        const long counter = name.size() > 23 ? std::stol(name.substr(20, name.size() - 24)) : 1;
        exports.push_back({std::move(path), name.substr(0, 19), counter});
    }
    // The directory's own order is not time order (FAT reuses freed slots;
    // other file systems hash); the names are.
    std::sort(exports.begin(), exports.end(), [](const Export& a, const Export& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.counter < b.counter;
    });
    // At least one stays: the new export, or else the latest by name.
    const long long keep = std::max(1LL, ParseCount(keepText)) - (newestListed ? 1 : 0);
    if (static_cast<long long>(exports.size()) <= keep) return {};
    std::vector<std::string> doomed;
    const std::size_t count = exports.size() - static_cast<std::size_t>(keep);
    for (std::size_t i = 0; i < count; ++i) doomed.push_back(std::move(exports[i].path));
    return doomed;
}

ExportResult BackupRegistry(IExportHost& host, IRegistry& registry, const ExportOptions& options) {
    ExportResult result;
    const std::string sep(1, host.PathSeparator());
    const std::string cwd = host.GetCurrentDirectoryA();
    const std::string name = ExportFileName(host.GetLocalTime());
    const std::string work = cwd + sep + kExportWorkFile;

    host.DeleteFileA(work);
    if (host.FileExists(work)) {
        result.status = ExportStatus::StaleFileKept;
        result.message = "The registry was not exported: the old export file \"" + work +
                         "\" could not be deleted.";
        return result;
    }

    if (!host.StartEditor(options.editor, options.parameters)) {
        result.status = ExportStatus::EditorNotStarted;
        result.message = "The registry was not exported: the registry editor (" + options.editor +
                         ") could not be started.";
        return result;
    }

    const std::string folder = cwd + sep + kExportFolderName;
    host.CreateDirectoryA(folder);

    // Two exports within one second: the later one gets "_2", "_3"..., which
    // sort after the first.
    std::string target = folder + sep + name;
    for (int n = 2; host.FileExists(target) && n < 1000; ++n)
        target = folder + sep + name.substr(0, name.size() - 4) + "_" + std::to_string(n) + ".reg";

    // The export is complete when the editor has ended. Some programs let a
    // file they still write be moved, so the move waits for that; only when
    // the editor cannot be watched does the move itself tell (it fails while
    // the editor holds the file open).
    const std::uint64_t start = host.Milliseconds();
    for (;;) {
        const IExportHost::EditorState state = host.EditorStatus();
        if (state != IExportHost::EditorState::Running) {
            if (host.MoveFileA(work, target)) break;
            if (state == IExportHost::EditorState::Ended) {
                result.status = ExportStatus::EditorFailed;
                result.message = host.FileExists(work)
                                     ? "The registry export \"" + work + "\" could not be moved to \"" +
                                           target + "\"; no older export was deleted."
                                     : "The registry was not exported: the registry editor ended without "
                                       "writing \"" + std::string(kExportWorkFile) + "\".";
                return result;
            }
        }
        if (host.Milliseconds() - start >= options.waitLimitMs) {
            result.status = ExportStatus::TimedOut;
            result.message = "The registry export did not finish within " +
                             Seconds(options.waitLimitMs) + "; no older export was deleted.";
            return result;
        }
        host.Sleep(options.retryMs);
    }
    result.backupFile = target;

    std::vector<std::string> files;
    FindFiles(host, folder + sep, "*.reg", files);
    std::string keep;
    const bool haveKeep = QuerySetting(registry, "savecountreg", &keep, options.settingsAccess);
    for (const std::string& old : ExportsToDelete(files, haveKeep, keep, target))
        if (host.DeleteFileA(old)) result.deleted.push_back(old);
    return result;
}

bool ExportBeforeRepairWanted(IRegistry& registry, std::uint32_t access) {
    return QuerySetting(registry, "savereg", nullptr, access);
}

bool InUserHive(const std::string& keyPath) {
    static const std::string kPrefix = std::string(kUserExportRoot) + "\\";
    if (keyPath.size() <= kPrefix.size()) return false;
    for (std::size_t i = 0; i < kPrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(keyPath[i])) != kPrefix[i]) return false;
    return true;
}

ExportOptions ExportOptionsFor(const char* root) {
    ExportOptions options;
    if (std::string(root) != kMachineExportRoot) {
        options.parameters = std::string("/e ") + kExportWorkFile + " " + root;
        options.settingsAccess = kKeyRead;
    }
    return options;
}

bool ExportBeforeRepair(IRegistry& registry, IExportHost& host, const ExportOptions& options,
                        std::string& where, std::string& error) {
    where.clear();
    error.clear();
    if (!ExportBeforeRepairWanted(registry, options.settingsAccess)) return true;
    const ExportResult result = BackupRegistry(host, registry, options);
    if (!result.Succeeded()) {
        error = result.message;
        return false;
    }
    where = result.backupFile;
    return true;
}

bool ExportBeforeRepair(std::string& where, std::string& error, const char* root) {
    std::unique_ptr<IExportHost> host = MakeExportHost();
    return ExportBeforeRepair(DefaultRegistry(), *host, ExportOptionsFor(root), where, error);
}

}  // namespace qm
