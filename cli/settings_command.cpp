// "settings get|set|unset": the values under HKEY_LOCAL_MACHINE
// "Software\QUILLMERE" for administrators and scripts. Flags are shown and
// set as on/off (on is the value's presence), texts as they are, times as
// numbers of seconds.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/administrator_check.h"
#include "cli/commands.h"
#include "platform/registry.h"
#include "platform/settings_values.h"

namespace qm::cli {
namespace {

std::string KnownNames() {
    std::string names;
    for (const SettingInfo& s : KnownSettings()) names += (names.empty() ? "" : ", ") + std::string(s.name);
    return names;
}

const SettingInfo& Lookup(const std::string& name) {
    const SettingInfo* s = FindSetting(name);
    if (s == nullptr) throw CliError("unknown setting \"" + name + "\" (known: " + KnownNames() + ")");
    return *s;
}

std::string StatusText(RegStatus status) {
    switch (status) {
        case kRegAccessDenied: return "access denied; run as an administrator";
        case kRegFileNotFound: return "not found";
        default: return "registry status " + std::to_string(status);
    }
}

bool IsDecimal(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::int32_t ParseTime(const std::string& name, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        throw CliError("\"" + name + "\" takes a whole number of seconds (32-bit), not \"" + text + "\"");
    return static_cast<std::int32_t>(v);
}

// The value as `settings get` shows it; false when a text or time is not set.
bool Show(IRegistry& reg, const SettingInfo& s, std::string& shown) {
    switch (s.kind) {
        case SettingKind::Flag:
            shown = ReadSettingValue(reg, kSettingsKey, s.name, nullptr, nullptr, kKeyRead) ? "on" : "off";
            return true;
        case SettingKind::Text:
        case SettingKind::Address:
            {
                std::string data;
                if (!ReadSettingValue(reg, kSettingsKey, s.name, &data, nullptr, kKeyRead)) return false;
                const std::size_t zero = data.find('\0');
                shown = zero == std::string::npos ? data : data.substr(0, zero);
                return true;
            }
        case SettingKind::Time: {
            std::string data;
            std::uint32_t type = 0;
            if (!ReadSettingValue(reg, kSettingsKey, s.name, &data, &type, kKeyRead)) return false;
            if (type != kRegDword || data.size() != 4) {
                shown = "(not a number)";
                return true;
            }
            const auto* b = reinterpret_cast<const unsigned char*>(data.data());
            const std::uint32_t v = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                                    (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
            shown = std::to_string(static_cast<std::int32_t>(v));
            return true;
        }
    }
    return false;
}

void Check(RegStatus status, const std::string& what) {
    if (status != kRegSuccess) throw CliError("cannot " + what + " (" + StatusText(status) + ")");
}

}  // namespace

void AddSettingsCommand(CLI::App& app, CliState& state) {
    auto* cmd = app.add_subcommand(
        "settings", "Show or change the settings under HKEY_LOCAL_MACHINE\\Software\\QUILLMERE");
    cmd->require_subcommand(1);

    auto getName = std::make_shared<std::string>();
    auto* get = cmd->add_subcommand(
        "get", "Print a setting (flags: on/off; texts; times in seconds), or every setting as NAME=VALUE; "
               "exit 1 when a text or time is not set");
    get->add_option("NAME", *getName, "Setting name (" + KnownNames() + ")");
    get->callback([&state, getName]() {
        IRegistry& reg = DefaultRegistry();
        if (!getName->empty()) {
            std::string shown;
            const bool set = Show(reg, Lookup(*getName), shown);
            if (set) std::printf("%s\n", shown.c_str());
            state.exitCode = set ? kExitClean : kExitFindings;
            return;
        }
        for (const SettingInfo& s : KnownSettings()) {
            std::string shown;
            if (!Show(reg, s, shown)) shown = "(not set)";
            std::printf("%s=%s\n", s.name, shown.c_str());
        }
        state.exitCode = kExitClean;
    });

    auto setName = std::make_shared<std::string>();
    auto setValue = std::make_shared<std::string>();
    auto* set = cmd->add_subcommand(
        "set", "Set a setting: a flag to on (no VALUE, or on/off), a text to VALUE, a time to VALUE seconds");
    set->add_option("NAME", *setName, "Setting name")->required();
    set->add_option("VALUE", *setValue, "The value");
    set->callback([&state, setName, setValue, set]() {
        const SettingInfo& s = Lookup(*setName);
        RequireAdministratorRights("settings set");
        const bool given = set->count("VALUE") > 0;
        IRegistry& reg = DefaultRegistry();
        const std::string& v = *setValue;
        switch (s.kind) {
            case SettingKind::Flag:
                if (!given || v == "on" || v == "1" || v == "true" || v == "yes")
                    Check(WriteSettingFlag(reg, s.name), std::string("set \"") + s.name + "\"");
                else if (v == "off" || v == "0" || v == "false" || v == "no")
                    Check(DeleteSetting(reg, s.name), std::string("unset \"") + s.name + "\"");
                else
                    throw CliError(std::string("\"") + s.name + "\" is a flag: on or off, not \"" + v + "\"");
                break;
            case SettingKind::Text:
                if (!given || v.empty()) throw CliError(std::string("\"") + s.name + "\" needs a VALUE");
                if (!IsDecimal(v))
                    throw CliError(std::string("\"") + s.name + "\" takes a whole number, not \"" + v + "\"");
                Check(WriteSettingText(reg, s.name, v), std::string("set \"") + s.name + "\"");
                break;
            case SettingKind::Address:
                if (!given || v.empty()) throw CliError(std::string("\"") + s.name + "\" needs a VALUE");
                if (!IsWebAddress(v))
                    throw CliError(std::string("\"") + s.name + "\" takes a web address (http:// or https://), not \"" +
                                   v + "\"");
                Check(WriteSettingText(reg, s.name, v), std::string("set \"") + s.name + "\"");
                break;
            case SettingKind::Time:
                if (!given) throw CliError(std::string("\"") + s.name + "\" needs a VALUE");
                Check(WriteSettingTime(reg, s.name, ParseTime(s.name, v)), std::string("set \"") + s.name + "\"");
                break;
        }
        state.registryChanged(false);
        state.exitCode = kExitClean;
    });

    auto unsetName = std::make_shared<std::string>();
    auto* unset = cmd->add_subcommand("unset", "Remove a setting (a flag turns off; a text or time falls back "
                                               "to its default)");
    unset->add_option("NAME", *unsetName, "Setting name")->required();
    unset->callback([&state, unsetName]() {
        const SettingInfo& s = Lookup(*unsetName);
        RequireAdministratorRights("settings unset");
        Check(DeleteSetting(DefaultRegistry(), s.name), std::string("unset \"") + s.name + "\"");
        state.registryChanged(false);
        state.exitCode = kExitClean;
    });
}

}  // namespace qm::cli
