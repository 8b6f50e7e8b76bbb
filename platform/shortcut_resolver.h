// Reading a shell shortcut (".lnk") file's target path.
//
// Win32 backend: the shell's own link object (IShellLinkA + IPersistFile).
// Portable backend: liblnk, over the drive folders of emulation/drive_map.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qm {

// Result codes (HRESULT values) the resolvers return.
constexpr std::int32_t kShellOk = 0;                                         // S_OK
constexpr std::int32_t kShellFalse = 1;                                      // S_FALSE
constexpr std::int32_t kShellFail = static_cast<std::int32_t>(0x80004005u);  // E_FAIL
constexpr std::int32_t kShellAccessDenied = static_cast<std::int32_t>(0x80070005u);
constexpr std::int32_t kShellFileNotFound = static_cast<std::int32_t>(0x80070002u);
constexpr std::int32_t kShellPathNotFound = static_cast<std::int32_t>(0x80070003u);

// What a run of GetShortcutPath calls on one thread shares, held until this
// object is destroyed (on the thread that began it).
class ShortcutBatch {
public:
    virtual ~ShortcutBatch() = default;
};

class IShortcutResolver {
public:
    virtual ~IShortcutResolver() = default;

    // Prepares the calling thread for many GetShortcutPath calls: the Win32
    // backend initialises COM once and keeps one shell-link object for them
    // all, instead of doing both for every file. Null when nothing needs
    // keeping. Calls made without a batch work as well.
    virtual std::unique_ptr<ShortcutBatch> BeginBatch() { return nullptr; }

    // Loads the shortcut file `shortcutPath` and reads its target path as
    // IShellLinkA::GetPath gives it. Returns the result code of the last
    // shell call made: negative when the file could not be loaded (not a
    // shortcut, unreadable, a directory...) or the path could not be read.
    // When the result is not negative, `target` holds the target path; it is
    // empty when the shortcut has no file-system target (a shortcut to a
    // special folder or a web address). When the result is negative, `target`
    // is left unchanged.
    virtual std::int32_t GetShortcutPath(const std::string& shortcutPath, std::string& target) = 0;
};

// The process's resolver: the shell's link object in the Windows build;
// natively liblnk over DefaultFileSystemDrives().
IShortcutResolver& DefaultShortcutResolver();
// Replaces what DefaultShortcutResolver returns (not owned); null restores
// the platform's own.
void SetDefaultShortcutResolver(IShortcutResolver* resolver);

}  // namespace qm
