#include "platform/settings_values.h"

#include <cstring>

#include "platform/executable_path.h"

namespace qm {

namespace {

bool NamesEqual(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// HKEY_LOCAL_MACHINE\<subKey> with full access; false when it cannot be opened.
bool OpenKey(IRegistry& registry, const std::string& subKey, RegKeyHandle& key) {
    return registry.RegOpenKeyExA(kHkeyLocalMachine, subKey.c_str(), kKeyAllAccess,
                                  key.Receive(registry)) == kRegSuccess;
}

// "Software\QUILLMERE", created when missing.
RegStatus OpenSettingsForWriting(IRegistry& registry, RegKeyHandle& key) {
    if (OpenKey(registry, kSettingsKey, key)) return kRegSuccess;
    return registry.RegCreateKeyExA(kHkeyLocalMachine, kSettingsKey, key.Receive(registry), nullptr);
}

RegStatus WriteValue(IRegistry& registry, const std::string& name, std::uint32_t type,
                     const void* data, std::uint32_t size) {
    RegKeyHandle key;
    const RegStatus opened = OpenSettingsForWriting(registry, key);
    if (opened != kRegSuccess) return opened;
    return registry.RegSetValueExA(key.Get(), name.c_str(), type,
                                   static_cast<const std::uint8_t*>(data), size);
}

RegStatus WriteString(IRegistry& registry, RegKey key, const std::string& name,
                      const std::string& text) {
    return registry.RegSetValueExA(key, name.c_str(), kRegSz,
                                   reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                   static_cast<std::uint32_t>(text.size() + 1));
}

}  // namespace

// ---------------------------------------------------------------- the values

const std::vector<SettingInfo>& KnownSettings() {
    static const std::vector<SettingInfo> settings = {
        {"enablescan", SettingKind::Flag, "BUTTON_AUTOSCAN_ENABLE", "periodic scanning is enabled"},
        {"autoscan", SettingKind::Flag, "BUTTON_AUTOSCAN", "scan as soon as the main screen has loaded"},
        {"savereg", SettingKind::Flag, "BUTTON_BACKUP", "export HKEY_LOCAL_MACHINE before a repair"},
        {"savecountreg", SettingKind::Text, "EDIT_BAKUP_COUNT", "how many registry exports to keep"},
        {"scanevery", SettingKind::Flag, "BUTTON_START_EVERY", "periodic scan every N minutes"},
        {"scanafterevery", SettingKind::Flag, "BUTTON_START_AFTER_EVERY",
         "periodic scan after every month, week or day"},
        {"scanmonth", SettingKind::Flag, "BUTTON_START_AFTER_EVERY_MONTH", "unit: month"},
        {"scanweek", SettingKind::Flag, "BUTTON_START_AFTER_EVERY_WEEK", "unit: week"},
        {"scanday", SettingKind::Flag, "BUTTON_START_AFTER_EVERY_DAY", "unit: day"},
        {"scanminutes", SettingKind::Text, "EDIT_SCAN_PERIOD", "N for every N minutes"},
        {"scannext", SettingKind::Time, "", "time of the next periodic scan (seconds since 1970 UTC)"},
        {"scanperiod", SettingKind::Time, "", "seconds between periodic scans"},
        {kRecommendAddressSetting, SettingKind::Address, "",
         "web page BUTTON_LIVEUPDATE opens (recommend to a friend)"},
        {kSupportAddressSetting, SettingKind::Address, "", "web page BUTTON_SUPPORT opens (the program's site)"},
    };
    return settings;
}

bool IsWebAddress(const std::string& text) {
    std::size_t scheme = 0;
    auto startsWith = [&](const char* prefix) {
        const std::size_t n = std::strlen(prefix);
        if (text.size() <= n || !NamesEqual(text.substr(0, n), prefix)) return false;
        scheme = n;
        return true;
    };
    if (!startsWith("http://") && !startsWith("https://")) return false;
    for (std::size_t i = scheme; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= ' ' || c == 0x7F || c == '"') return false;
    }
    return true;
}

std::string ReadWebAddress(IRegistry& registry, const std::string& name, const std::string& fallback) {
    std::string text;
    if (!ReadSettingText(registry, kSettingsKey, name, text, kKeyRead) || !IsWebAddress(text)) return fallback;
    return text;
}

const SettingInfo* FindSetting(const std::string& name) {
    for (const SettingInfo& s : KnownSettings())
        if (NamesEqual(name, s.name)) return &s;
    return nullptr;
}

// ---------------------------------------------------------------- registry side

bool ReadSettingValue(IRegistry& registry, const std::string& subKey, const std::string& name,
                      std::string* data, std::uint32_t* type, std::uint32_t access) {
    RegKeyHandle key;
    if (registry.RegOpenKeyExA(kHkeyLocalMachine, subKey.c_str(), access, key.Receive(registry)) !=
        kRegSuccess)
        return false;
    // A first read into a buffer that fits most settings; a longer value is
    // read again into one of the size it needs (which may grow meanwhile).
    std::vector<std::uint8_t> buffer(kSettingsBufferSize);
    std::uint32_t valueType = 0;
    for (;;) {
        std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
        const RegStatus status = registry.RegQueryValueExA(key.Get(), name.c_str(), &valueType, buffer.data(), &size);
        if (status == kRegMoreData && size > buffer.size()) {
            buffer.resize(size);
            continue;
        }
        if (status != kRegSuccess || size > buffer.size()) return false;
        if (data) data->assign(reinterpret_cast<const char*>(buffer.data()), size);
        if (type) *type = valueType;
        return true;
    }
}

bool ReadSettingFlag(IRegistry& registry, const std::string& subKey, const std::string& name,
                     std::uint32_t access) {
    return ReadSettingValue(registry, subKey, name, nullptr, nullptr, access);
}

bool ReadSettingText(IRegistry& registry, const std::string& subKey, const std::string& name,
                     std::string& text, std::uint32_t access) {
    std::string data;
    if (!ReadSettingValue(registry, subKey, name, &data, nullptr, access)) return false;
    const std::size_t zero = data.find('\0');
    text = zero == std::string::npos ? data : data.substr(0, zero);
    return true;
}

std::int32_t ReadSettingTime(IRegistry& registry, const std::string& name, std::uint32_t access) {
    std::string data;
    std::uint32_t type = 0;
    if (!ReadSettingValue(registry, kSettingsKey, name, &data, &type, access)) return 0;
    if (type != kRegDword || data.size() != 4) return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(data.data());
    const std::uint32_t v = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                            (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
    return static_cast<std::int32_t>(v);
}

RegStatus WriteSettingFlag(IRegistry& registry, const std::string& name) {
    return WriteValue(registry, name, kRegSz, "1", 2);
}

RegStatus WriteSettingText(IRegistry& registry, const std::string& name, const std::string& text) {
    return WriteValue(registry, name, kRegSz, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

RegStatus WriteSettingTime(IRegistry& registry, const std::string& name, std::int32_t value) {
    const std::uint32_t v = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    return WriteValue(registry, name, kRegDword, bytes, 4);
}

RegStatus DeleteSetting(IRegistry& registry, const std::string& name) {
    RegKeyHandle key;
    const RegStatus opened =
        registry.RegOpenKeyExA(kHkeyLocalMachine, kSettingsKey, kKeyAllAccess, key.Receive(registry));
    if (opened == kRegFileNotFound) return kRegSuccess;  // no key, no value
    if (opened != kRegSuccess) return opened;
    const RegStatus st = registry.RegDeleteValueA(key.Get(), name.c_str());
    return st == kRegFileNotFound ? kRegSuccess : st;
}

std::string StartWithWindowsCommand(const std::string& executablePath) {
    if (executablePath.find(' ') == std::string::npos) return executablePath;
    return "\"" + executablePath + "\"";
}

RegStatus WriteStartWithWindows(IRegistry& registry, bool on, const std::string& executablePath) {
    RegKeyHandle key;
    const RegStatus opened =
        registry.RegOpenKeyExA(kHkeyLocalMachine, kRunKey, kKeyAllAccess, key.Receive(registry));
    if (opened != kRegSuccess) return opened;
    if (!on) {
        const RegStatus st = registry.RegDeleteValueA(key.Get(), kRunValueName);
        return st == kRegFileNotFound ? kRegSuccess : st;
    }
    const std::string path = executablePath.empty() ? RunningExecutablePath() : executablePath;
    if (path.empty()) return kRegFileNotFound;
    return WriteString(registry, key.Get(), kRunValueName, StartWithWindowsCommand(path));
}

}  // namespace qm
