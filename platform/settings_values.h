// The program's settings: registry values under HKEY_LOCAL_MACHINE
// "Software\QUILLMERE", and the start-with-Windows value "QUILLMERE" under the
// Run key. Used by the window's panels (ui/settings_store.h) and by
// `quillmere-cli settings`.
//
// Three kinds of value:
//   flag  presence means on, whatever the type and data; written as the
//         REG_SZ "1", switched off by deleting the value;
//   text  a REG_SZ holding an edit box's text;
//   time  a REG_DWORD of signed seconds (a point in time since 1970 UTC, or a
//         period).
// Values of any length are read whole. Every key
// is opened with full access, for reading and writing alike; a writer creates
// "Software\QUILLMERE" when it is missing. The Run key is only ever opened.
// The writers return the registry's status; callers may ignore it.
//
// Portable: works on any IRegistry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

constexpr const char* kSettingsKey = "Software\\QUILLMERE";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValueName = "QUILLMERE";
// The first read of a value asks for this many bytes; longer data is read again.
constexpr std::uint32_t kSettingsBufferSize = 256;
constexpr const char* kDefaultEditText = "5";

// ---------------------------------------------------------------- the values

// Address: a text value holding a web address (http:// or https://).
enum class SettingKind { Flag, Text, Time, Address };

struct SettingInfo {
    const char* name;     // value name under "Software\QUILLMERE"
    SettingKind kind;
    const char* control;  // bound button or edit box ("" when none)
    const char* meaning;
};

// Every value under "Software\QUILLMERE", in a fixed order.
const std::vector<SettingInfo>& KnownSettings();
// The entry for `name` (compared without regard to case, as value names are),
// or null.
const SettingInfo* FindSetting(const std::string& name);

// The web pages the main screen opens, overriding the program's built-in
// addresses when set.
constexpr const char* kRecommendAddressSetting = "recommendurl";  // BUTTON_LIVEUPDATE
constexpr const char* kSupportAddressSetting = "supporturl";      // BUTTON_SUPPORT

// True for a text the program may hand to the shell as a web page: it starts
// with "http://" or "https://" (either case) and holds no control characters
// or quotes, so it can never name a program or a file to run.
bool IsWebAddress(const std::string& text);

// ---------------------------------------------------------------- registry side
// `subKey` is below HKEY_LOCAL_MACHINE.

// True when the value exists; `data` (when not null) receives all its data
// bytes and `type` the value type. The key
// is opened with `access` (full access, as the program does; a reader that
// only looks may ask for less).
bool ReadSettingValue(IRegistry& registry, const std::string& subKey, const std::string& name,
                      std::string* data = nullptr, std::uint32_t* type = nullptr,
                      std::uint32_t access = kKeyAllAccess);
// A flag: the value's presence.
bool ReadSettingFlag(IRegistry& registry, const std::string& subKey, const std::string& name,
                     std::uint32_t access = kKeyAllAccess);
// A text value: its data up to the first zero; false when absent.
bool ReadSettingText(IRegistry& registry, const std::string& subKey, const std::string& name,
                     std::string& text, std::uint32_t access = kKeyAllAccess);
// A time value: the REG_DWORD's data, or 0 when it cannot be read or is not a
// four-byte REG_DWORD.
std::int32_t ReadSettingTime(IRegistry& registry, const std::string& name, std::uint32_t access = kKeyAllAccess);

// The web address stored as `name`, or `fallback` when it is absent or not a
// web address (only read, as any user may).
std::string ReadWebAddress(IRegistry& registry, const std::string& name, const std::string& fallback);

// Writers under "Software\QUILLMERE" (created when missing).
RegStatus WriteSettingFlag(IRegistry& registry, const std::string& name);
RegStatus WriteSettingText(IRegistry& registry, const std::string& name, const std::string& text);
RegStatus WriteSettingTime(IRegistry& registry, const std::string& name, std::int32_t value);
// Deletes the value; success when it is gone (also when it never existed).
RegStatus DeleteSetting(IRegistry& registry, const std::string& name);

// The start-with-Windows value: the program's command for the Run key, built
// from the running executable's own full path (in double quotes when it holds
// a space, so that the system cannot take a prefix of it for the program).
std::string StartWithWindowsCommand(const std::string& executablePath);
// Writes (on) or deletes (off) "QUILLMERE" under the Run key; the Run key is
// never created. `executablePath` defaults to the running program's.
RegStatus WriteStartWithWindows(IRegistry& registry, bool on,
                                const std::string& executablePath = std::string());

}  // namespace qm
