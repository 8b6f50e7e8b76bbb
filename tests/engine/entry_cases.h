// Everyday shapes of registry entries, each intact beside its broken twin,
// for every category: the table both the native test (in-memory registry,
// mapped drive) and the Windows test (the real registry under Wine) run.
//
// Texts hold placeholders: {dir} the case's own scratch folder (its name is
// the case's tag, so every path of a case carries the tag), {fwd} the same
// with forward slashes, {sys} and {win} the system and Windows folders,
// {absent} a drive letter and colon that is not there, {tag} the tag, {pf}
// the folder %ProgramFiles% names, {short} the short (8.3) form of
// "{dir}\Program Files\Common Files" (where the file system gives one),
// {local} the folder %LOCALAPPDATA% names.
//
// Texts are UTF-8; the Windows test passes over a case whose texts the ANSI
// code page cannot hold.
#pragma once

#include <string>
#include <vector>

#include "engine/categories.h"
#include "platform/registry.h"

namespace qm::test {

struct EntryCase {
    const char* shape;
    Category category;
    // The value name: for COM the server sub-key's name (its default value
    // holds the data); for shared DLLs the value's name is the path and
    // `data` is unused. "" is the unnamed value.
    const char* value;
    const char* data;
    // Files made before the scan (a file that is there already is left as
    // it is and not removed afterwards).
    std::vector<const char*> files;
    bool broken;
    const char* kind = nullptr;  // the finding's removal kind, when it matters
    // An App Paths key: a second value beside `value` (name, data).
    const char* otherValue = nullptr;
    const char* otherData = nullptr;
    std::uint32_t type = kRegSz;  // the type of the value holding `data`
    // Written with short names: natively (no short names on the test's file
    // system) such a path cannot be judged and is never reported.
    bool shortNames = false;
    // Seeded in the user's hive (HKEY_CURRENT_USER\Software\Microsoft\...)
    // rather than the machine's: startup, uninstall and App Paths entries of
    // programs installed for one user.
    bool user = false;
};

inline const std::vector<EntryCase>& EntryCases() {
    static const std::vector<EntryCase> cases = {
        // --- command lines with arguments that are no switches -----------
        {"unquoted spaces, word argument", Category::Startup, "{tag}",
         "{dir}\\Program Files\\App\\app.exe Embedding", {"{dir}\\Program Files\\App\\app.exe"}, false},
        {"unquoted spaces, word argument (gone)", Category::Startup, "{tag}",
         "{dir}\\Program Files\\App\\app.exe Embedding", {}, true},
        {"extension in mixed case", Category::Startup, "{tag}", "{dir}\\App2\\App2.Exe arg",
         {"{dir}\\App2\\App2.Exe"}, false},
        {"extension in mixed case (gone)", Category::Startup, "{tag}", "{dir}\\App2\\App2.Exe arg", {}, true},
        {"batch file with argument", Category::Startup, "{tag}", "{dir}\\Tools\\tool.cmd start",
         {"{dir}\\Tools\\tool.cmd"}, false},
        {"batch file with argument (gone)", Category::Startup, "{tag}", "{dir}\\Tools\\tool.cmd start", {}, true},
        {"folder holding \" - \"", Category::Startup, "{tag}", "{dir}\\My - App\\app.exe",
         {"{dir}\\My - App\\app.exe"}, false},
        {"folder holding \" - \" (gone)", Category::Startup, "{tag}", "{dir}\\My - App\\app.exe", {}, true},
        {"bare program on the search path", Category::Startup, "{tag}", "cmd.exe /c echo {tag}",
         {"{sys}\\cmd.exe"}, false},
        {"bare program, PATHEXT extension", Category::Startup, "{tag}", "{tag}run /quiet",
         {"{sys}\\{tag}run.Cmd"}, false},
        {"bare program (gone)", Category::Startup, "{tag}", "{tag}gone.exe /c x", {}, true},
        {"forward slashes", Category::Startup, "{tag}", "{fwd}/App/app.exe /tray", {"{dir}\\App\\app.exe"}, false},
        {"forward slashes (gone)", Category::Startup, "{tag}", "{fwd}/App/app.exe /tray", {}, true},
        {"network share", Category::Startup, "{tag}", "\\\\server\\share\\{tag}\\app.exe", {}, false},
        {"absent drive", Category::Startup, "{tag}", "{absent}\\{tag}\\app.exe /x", {}, false},

        {"uninstaller, mixed-case extension and switch", Category::Uninstall, "UninstallString",
         "{dir}\\App\\unins000.Exe /SILENT", {"{dir}\\App\\unins000.Exe"}, false},
        {"uninstaller, mixed-case extension and switch (gone)", Category::Uninstall, "UninstallString",
         "{dir}\\App\\unins000.Exe /SILENT", {}, true},
        {"quoted uninstaller, mixed-case extension", Category::Uninstall, "UninstallString",
         "\"{dir}\\App\\unins000.Exe\" /SILENT", {"{dir}\\App\\unins000.Exe"}, false},
        {"quoted uninstaller, mixed-case extension (gone)", Category::Uninstall, "UninstallString",
         "\"{dir}\\App\\unins000.Exe\" /SILENT", {}, true},
        {"uninstaller in a folder holding \" - \"", Category::Uninstall, "UninstallString",
         "{dir}\\My - App\\uninst.exe", {"{dir}\\My - App\\uninst.exe"}, false},
        {"uninstaller on a network share", Category::Uninstall, "UninstallString",
         "\\\\server\\share\\{tag}\\setup.exe /remove", {}, false},
        {"uninstaller on an absent drive", Category::Uninstall, "UninstallString",
         "{absent}\\{tag}\\uninst.exe", {}, false},

        // --- COM servers -------------------------------------------------
        {"local server, word argument", Category::Com, "LocalServer32",
         "{dir}\\Program Files\\App\\app.exe Embedding", {"{dir}\\Program Files\\App\\app.exe"}, false},
        {"local server, word argument (gone)", Category::Com, "LocalServer32",
         "{dir}\\Program Files\\App\\app.exe Embedding", {}, true},
        {"server with a resource index", Category::Com, "InprocServer32", "{dir}\\lib.dll,1",
         {"{dir}\\lib.dll"}, false},
        {"server with a resource index (gone)", Category::Com, "InprocServer32", "{dir}\\lib.dll,1", {}, true},
        {"bare DLL in the Windows folder", Category::Com, "InprocServer32", "{tag}.dll", {"{win}\\{tag}.dll"}, false},
        {"bare DLL (gone)", Category::Com, "InprocServer32", "{tag}.dll", {}, true},
        {"server on a network share", Category::Com, "InprocServer32", "\\\\server\\share\\{tag}.dll", {}, false},
        {"server, forward slashes", Category::Com, "InprocServer32", "{fwd}/x.dll", {"{dir}\\x.dll"}, false},
        {"server, forward slashes (gone)", Category::Com, "InprocServer32", "{fwd}/x.dll", {}, true},

        // --- application paths -------------------------------------------
        {"program there, Path folder gone: the value only", Category::AppPaths, "", "{dir}\\app.exe",
         {"{dir}\\app.exe"}, true, "VAL", "Path", "{dir}\\Gone Folder"},
        {"program gone, Path folder gone: the key", Category::AppPaths, "", "{dir}\\app.exe", {}, true,
         "KEY", "Path", "{dir}\\Gone Folder"},
        {"program there, URL value", Category::AppPaths, "", "{dir}\\app.exe", {"{dir}\\app.exe"}, false,
         nullptr, "SaveURL", "https://example.com/{tag}/app"},
        {"program there, file URL value", Category::AppPaths, "", "{dir}\\app.exe", {"{dir}\\app.exe"},
         false, nullptr, "Help", "file:///C:/{tag}/help.htm"},
        {"program on an absent drive", Category::AppPaths, "", "{absent}\\{tag}\\app.exe", {}, false},
        {"program, forward slashes", Category::AppPaths, "", "{fwd}/app.exe", {"{dir}\\app.exe"}, false},
        {"program, forward slashes (gone)", Category::AppPaths, "", "{fwd}/app.exe", {}, true, "KEY"},

        // --- shared tools, help, fonts, shared DLLs, drivers -------------
        {"tool with a word argument", Category::SharedTools, "Path", "{dir}\\Tools\\tool.exe Embedding",
         {"{dir}\\Tools\\tool.exe"}, false},
        {"tool with a word argument (gone)", Category::SharedTools, "Path",
         "{dir}\\Tools\\tool.exe Embedding", {}, true},
        {"help folder without its backslash", Category::Help, "{tag}.chm", "{dir}", {"{dir}\\{tag}.chm"}, false},
        {"help folder without its backslash (gone)", Category::Help, "{tag}.chm", "{dir}", {}, true},
        {"help folder on a network share", Category::Help, "{tag}.hlp", "\\\\server\\help\\", {}, false},
        {"font path holding \" - \"", Category::Fonts, "{tag} (TrueType)", "{dir}\\Font - Bold.ttf",
         {"{dir}\\Font - Bold.ttf"}, false},
        {"font path holding \" - \" (gone)", Category::Fonts, "{tag} (TrueType)", "{dir}\\Font - Bold.ttf", {}, true},
        {"font on an absent drive", Category::Fonts, "{tag} (TrueType)", "{absent}\\{tag}.ttf", {}, false},
        {"shared DLL name holding \" - \"", Category::SharedDlls, "{dir}\\Common - Files\\x.dll", "",
         {"{dir}\\Common - Files\\x.dll"}, false},
        {"shared DLL name holding \" - \" (gone)", Category::SharedDlls, "{dir}\\Common - Files\\x.dll", "", {}, true},
        {"shared DLL on a network share", Category::SharedDlls, "\\\\server\\share\\{tag}.dll", "", {}, false},
        {"driver with a full path", Category::Drivers, "msacm.{tag}", "{dir}\\drv.acm", {"{dir}\\drv.acm"}, false},
        {"driver with a full path (gone)", Category::Drivers, "msacm.{tag}", "{dir}\\drv.acm", {}, true},
        {"bare driver name", Category::Drivers, "msacm.{tag}", "{tag}.acm", {"{sys}\\{tag}.acm"}, false},
        {"bare driver name (gone)", Category::Drivers, "msacm.{tag}", "{tag}.acm", {}, true},

        // --- long-path ("\\?\") and native ("\??\") forms of a local path --
        {"server with the long-path prefix", Category::Com, "InprocServer32",
         "\\\\?\\{dir}\\Program Files\\App\\lib.dll", {"{dir}\\Program Files\\App\\lib.dll"}, false},
        {"server with the long-path prefix (gone)", Category::Com, "InprocServer32",
         "\\\\?\\{dir}\\Program Files\\AppGone\\lib.dll", {}, true},
        {"server with the native prefix", Category::Com, "InprocServer32", "\\??\\{dir}\\lib.dll",
         {"{dir}\\lib.dll"}, false},
        {"server with the native prefix (gone)", Category::Com, "InprocServer32", "\\??\\{dir}\\lib.dll", {}, true},
        {"quoted program with the long-path prefix", Category::Startup, "{tag}",
         "\"\\\\?\\{dir}\\App\\app.exe\" /tray", {"{dir}\\App\\app.exe"}, false},
        {"quoted program with the long-path prefix (gone)", Category::Startup, "{tag}",
         "\"\\\\?\\{dir}\\App\\app.exe\" /tray", {}, true},
        {"uninstaller with the native prefix", Category::Uninstall, "UninstallString",
         "\\??\\{dir}\\uninst.exe /x", {"{dir}\\uninst.exe"}, false},
        {"uninstaller with the native prefix (gone)", Category::Uninstall, "UninstallString",
         "\\??\\{dir}\\uninst.exe /x", {}, true},

        // --- variables, expanded before the text is judged ----------------
        {"program with a variable", Category::AppPaths, "", "%ProgramFiles%\\{tag}\\app.exe",
         {"{pf}\\{tag}\\app.exe"}, false},
        {"program with a variable (gone)", Category::AppPaths, "", "%ProgramFiles%\\{tag}\\app.exe", {}, true, "KEY"},
        {"program with a variable, REG_EXPAND_SZ", Category::AppPaths, "", "%ProgramFiles%\\{tag}\\app.exe",
         {"{pf}\\{tag}\\app.exe"}, false, nullptr, nullptr, nullptr, kRegExpandSz},
        {"program with a variable, REG_EXPAND_SZ (gone)", Category::AppPaths, "",
         "%ProgramFiles%\\{tag}\\app.exe", {}, true, "KEY", nullptr, nullptr, kRegExpandSz},
        {"program with an unknown variable", Category::AppPaths, "", "%QmNoSuchVariable%\\{tag}\\app.exe", {},
         false, nullptr, nullptr, nullptr, kRegExpandSz},
        {"quoted uninstaller with a variable", Category::Uninstall, "UninstallString",
         "\"%ProgramFiles%\\{tag}\\uninst.exe\" /uninstall", {"{pf}\\{tag}\\uninst.exe"}, false, nullptr,
         nullptr, nullptr, kRegExpandSz},
        {"quoted uninstaller with a variable (gone)", Category::Uninstall, "UninstallString",
         "\"%ProgramFiles%\\{tag}\\uninst.exe\" /uninstall", {}, true, nullptr, nullptr, nullptr, kRegExpandSz},
        {"uninstaller with a variable, REG_SZ (gone)", Category::Uninstall, "UninstallString",
         "%ProgramFiles%\\{tag}\\uninst.exe", {}, true},
        {"uninstaller with an unknown variable", Category::Uninstall, "UninstallString",
         "\"%QmNoSuchVariable%\\{tag}\\uninst.exe\" /uninstall", {}, false, nullptr, nullptr, nullptr,
         kRegExpandSz},
        {"startup program with a variable (gone)", Category::Startup, "{tag}",
         "\"%ProgramFiles%\\{tag}\\app.exe\" /min", {}, true, nullptr, nullptr, nullptr, kRegExpandSz},
        {"tool with a variable", Category::SharedTools, "Path", "%ProgramFiles%\\{tag}\\tool.exe",
         {"{pf}\\{tag}\\tool.exe"}, false, nullptr, nullptr, nullptr, kRegExpandSz},
        {"tool with a variable (gone)", Category::SharedTools, "Path", "%ProgramFiles%\\{tag}\\tool.exe", {}, true,
         nullptr, nullptr, nullptr, kRegExpandSz},
        {"font with a variable (gone)", Category::Fonts, "{tag} (TrueType)", "%ProgramFiles%\\{tag}\\f.ttf", {},
         true, nullptr, nullptr, nullptr, kRegExpandSz},

        // --- a file named like the first words of a path ------------------
        // Only a command line is split at blanks, and only as CreateProcess
        // splits it: "{dir}\Program" is tried as "{dir}\Program.exe".
        {"unquoted program beside files \"Program\" and \"Program.bat\" (gone)", Category::Startup, "{tag}",
         "{dir}\\Program Files\\AppGone\\app.exe /x", {"{dir}\\Program", "{dir}\\Program.bat"}, true},
        {"unquoted uninstaller beside a file \"Program\" (gone)", Category::Uninstall, "UninstallString",
         "{dir}\\Program Files\\AppGone\\uninst.exe /S", {"{dir}\\Program"}, true},
        {"local server beside \"Program.exe\": what Windows would start", Category::Com, "LocalServer32",
         "{dir}\\Program Files\\AppGone\\app.exe Embedding", {"{dir}\\Program.exe"}, false},
        {"in-process server beside \"Program.exe\" (gone)", Category::Com, "InprocServer32",
         "{dir}\\Program Files\\AppGone\\lib.dll", {"{dir}\\Program.exe"}, true},
        {"shared DLL beside \"Program.exe\" (gone)", Category::SharedDlls, "{dir}\\Program Files\\AppGone\\x.dll",
         "", {"{dir}\\Program.exe"}, true},
        {"font beside \"Program.exe\" (gone)", Category::Fonts, "{tag} (TrueType)",
         "{dir}\\Program Files\\AppGone\\f.ttf", {"{dir}\\Program.exe"}, true},

        // --- folders named in another letter case beyond ASCII --------------
        {"folder in other letter case, Cyrillic", Category::Com, "InprocServer32",
         "{dir}\\Program Files\\ПРИЛОЖЕНИЕ\\app.dll", {"{dir}\\Program Files\\Приложение\\app.dll"}, false},
        {"folder in other letter case, Cyrillic (gone)", Category::Com, "InprocServer32",
         "{dir}\\Program Files\\ПРИЛОЖЕНИЕ\\gone.dll", {"{dir}\\Program Files\\Приложение\\app.dll"}, true},
        {"folder in other letter case, Greek", Category::Startup, "{tag}", "{dir}\\ΕΦΑΡΜΟΓΉ\\app.exe /x",
         {"{dir}\\Εφαρμογή\\app.exe"}, false},
        {"folder in other letter case, Greek (gone)", Category::Startup, "{tag}", "{dir}\\ΕΦΑΡΜΟΓΉ\\gone.exe /x",
         {"{dir}\\Εφαρμογή\\app.exe"}, true},
        {"folder in other letter case, accented Latin", Category::AppPaths, "", "{dir}\\CAFÉ\\app.exe",
         {"{dir}\\Café\\app.exe"}, false},
        {"folder in other letter case, accented Latin (gone)", Category::AppPaths, "", "{dir}\\CAFÉ\\gone.exe",
         {"{dir}\\Café\\app.exe"}, true, "KEY"},

        // --- programs installed for one user, in the user's hive -----------
        // Files below {local}\{tag} so that every path carries the tag.
        {"per-user updater starting its program", Category::Startup, "{tag}",
         "\"{local}\\{tag}\\Update.exe\" --processStart \"{tag}.exe\"", {"{local}\\{tag}\\Update.exe"}, false,
         nullptr, nullptr, nullptr, kRegSz, false, true},
        {"per-user updater starting its program (gone)", Category::Startup, "{tag}",
         "\"{local}\\{tag}\\Update.exe\" --processStart \"{tag}.exe\"", {}, true, nullptr, nullptr, nullptr,
         kRegSz, false, true},
        {"per-user program, unquoted, with a variable (gone)", Category::Startup, "{tag}",
         "%LOCALAPPDATA%\\{tag}\\app.exe --autostart", {}, true, nullptr, nullptr, nullptr, kRegExpandSz, false, true},
        {"per-user uninstaller, quoted, under the local folder", Category::Uninstall, "UninstallString",
         "\"{local}\\Programs\\{tag}\\Uninstall {tag}.exe\" /currentuser",
         {"{local}\\Programs\\{tag}\\Uninstall {tag}.exe"}, false, nullptr, nullptr, nullptr, kRegSz, false, true},
        {"per-user uninstaller, quoted, under the local folder (gone)", Category::Uninstall, "UninstallString",
         "\"{local}\\Programs\\{tag}\\Uninstall {tag}.exe\" /currentuser", {}, true, nullptr, nullptr, nullptr,
         kRegSz, false, true},
        {"per-user uninstaller with %LOCALAPPDATA%", Category::Uninstall, "UninstallString",
         "\"%LOCALAPPDATA%\\{tag}\\unins000.exe\" /SILENT", {"{local}\\{tag}\\unins000.exe"}, false, nullptr,
         nullptr, nullptr, kRegExpandSz, false, true},
        {"per-user uninstaller with %LOCALAPPDATA% (gone)", Category::Uninstall, "UninstallString",
         "\"%LOCALAPPDATA%\\{tag}\\unins000.exe\" /SILENT", {}, true, nullptr, nullptr, nullptr, kRegExpandSz,
         false, true},
        {"per-user application path", Category::AppPaths, "", "{local}\\Programs\\{tag}\\{tag}.exe",
         {"{local}\\Programs\\{tag}\\{tag}.exe"}, false, nullptr, "Path", "{local}\\Programs\\{tag}", kRegSz,
         false, true},
        {"per-user application path (gone)", Category::AppPaths, "", "{local}\\Programs\\{tag}\\{tag}.exe", {},
         true, "KEY", "Path", "{local}\\Programs\\{tag}", kRegSz, false, true},

        // --- short (8.3) names -------------------------------------------
        {"server written with short names", Category::Com, "InprocServer32", "{short}\\App\\lib.dll",
         {"{dir}\\Program Files\\Common Files\\App\\lib.dll"}, false, nullptr, nullptr, nullptr, kRegSz, true},
        {"server written with short names (gone)", Category::Com, "InprocServer32", "{short}\\AppGone\\lib.dll",
         {"{dir}\\Program Files\\Common Files\\App\\lib.dll"}, true, nullptr, nullptr, nullptr, kRegSz, true},
        {"program written with short names", Category::Startup, "{tag}", "{short}\\App\\app.exe /tray",
         {"{dir}\\Program Files\\Common Files\\App\\app.exe"}, false, nullptr, nullptr, nullptr, kRegSz, true},
        {"program written with short names (gone)", Category::Startup, "{tag}", "{short}\\AppGone\\app.exe /tray",
         {"{dir}\\Program Files\\Common Files\\App\\app.exe"}, true, nullptr, nullptr, nullptr, kRegSz, true},
    };
    return cases;
}

// The text with the placeholders filled in.
inline std::string Fill(std::string text, const std::string& tag, const std::string& dir,
                        const std::string& sys, const std::string& win, const std::string& absent,
                        const std::string& pf, const std::string& shortForm = {},
                        const std::string& local = {}) {
    std::string fwd = dir;
    for (char& c : fwd)
        if (c == '\\') c = '/';
    const std::pair<const char*, const std::string*> pieces[] = {
        {"{dir}", &dir}, {"{fwd}", &fwd}, {"{sys}", &sys}, {"{win}", &win}, {"{absent}", &absent},
        {"{pf}", &pf},         {"{short}", &shortForm}, {"{local}", &local}, {"{tag}", &tag}};
    for (const auto& [name, value] : pieces) {
        const std::string piece = name;
        for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + value->size()))
            text.replace(at, piece.size(), *value);
    }
    return text;
}

inline std::string Lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

}  // namespace qm::test
