// The restore: walks an XML backup file with CXmlReader and writes its keys
// and values back into the registry.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/codepage.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"

namespace qm {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return i == a.size() && b[i] == '\0';
}

// The value of the hexadecimal digit at text[i]; 0 past the end or for any
// other character.
unsigned HexDigitAt(const std::string& text, std::size_t i) {
    if (i >= text.size()) return 0;
    const char c = text[i];
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
    return 0;
}

std::uint8_t HexPairAt(const std::string& text, std::size_t i) {
    return static_cast<std::uint8_t>((HexDigitAt(text, i) << 4) | HexDigitAt(text, i + 1));
}

bool IsHexBytesType(std::uint32_t type) {
    return type == kRegBinary || type == kRegResourceList || type == kRegResourceRequirementsList;
}

}  // namespace

std::string FromUTF8Conversion(const std::string& text) { return Utf8ToAnsi(text); }

std::string GetUnescapedXmlString(const std::string& text) {
    const std::string s = FromUTF8Conversion(text);
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '&') {
            if (s.compare(i, 4, "&lt;") == 0) {
                out.push_back('<');
                i += 4;
                continue;
            }
            if (s.compare(i, 6, "&quot;") == 0) {
                out.push_back('"');
                i += 6;
                continue;
            }
            if (s.compare(i, 5, "&amp;") == 0) {
                out.push_back('&');
                i += 5;
                continue;
            }
        }
        out.push_back(s[i++]);
    }
    return out;
}

std::vector<std::uint8_t> ConvertFromString(const std::string& text, std::uint32_t type) {
    std::vector<std::uint8_t> data;
    if (IsHexBytesType(type)) {
        // "0a 1b 2c": byte i is the pair at 3i. An empty text is an empty value.
        const std::size_t count = (text.size() + 1) / 3;
        data.resize(count);
        for (std::size_t i = 0; i < count; ++i) data[i] = HexPairAt(text, 3 * i);
    } else if (type == kRegDword) {
        // "0x0000000a (10)": most significant pair first.
        data.assign(4, 0);
        if (!text.empty())
            for (std::size_t i = 0; i < 4; ++i) data[3 - i] = HexPairAt(text, 2 + 2 * i);
    } else if (type == kRegQword) {
        data.assign(8, 0);
        if (!text.empty())
            for (std::size_t i = 0; i < 8; ++i) data[7 - i] = HexPairAt(text, 2 + 2 * i);
    } else if (type == kRegMultiSz) {
        // One string per line; the list ends with two zero bytes.
        if (text.empty()) return {0};
        data.reserve(text.size() + 2);
        for (const char c : text) {
            if (c == '\r') continue;
            data.push_back(c == '\n' ? 0 : static_cast<std::uint8_t>(c));
        }
        data.push_back(0);
        data.push_back(0);
    } else {
        data.assign(text.begin(), text.end());
        data.push_back(0);
    }
    return data;
}

std::uint32_t CRegistryLib::TypeFromString(const std::string& typeName) {
    struct Entry {
        const char* name;
        std::uint32_t type;
    };
    static const Entry kTypes[] = {
        {"REG_BINARY", kRegBinary},
        {"REG_DWORD", kRegDword},
        {"REG_SZ", kRegSz},
        {"REG_EXPAND_SZ", kRegExpandSz},
        {"REG_MULTI_SZ", kRegMultiSz},
        {"REG_QWORD", kRegQword},
        {"REG_RESOURCE_LIST", kRegResourceList},
        {"REG_RESOURCE_REQUIREMENTS_LIST", kRegResourceRequirementsList},
    };
    for (const Entry& e : kTypes)
        if (EqualsNoCase(typeName, e.name)) return e.type;
    return kRegSz;
}

RegKey CRegistryLib::LoadAsXml_OpenKey(const std::vector<RestoreKeyFrame>& frames) {
    if (frames.empty()) return kNullKey;
    const std::string& rootName = frames.front().component;
    std::string subKey;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (i > 1) subKey.push_back('\\');
        subKey += frames[i].component;
    }
    RegKey key = kNullKey;
    if (OpenKey(rootName, subKey, &key) == kRegSuccess && key != kNullKey) return key;

    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kNullKey;
    key = kNullKey;
    if (registry_->RegCreateKeyA(root, subKey.c_str(), &key) != kRegSuccess || key == kNullKey) {
        if (restoreUi_ != nullptr)
            restoreUi_->ShowMessage("couldn't create key " + rootName + "\\" + subKey);
        return kNullKey;
    }
    return key;
}

void CRegistryLib::LoadAsXml_CloseKey(RegKey key) {
    if (key != kNullKey) registry_->RegCloseKey(key);
}

void CRegistryLib::LoadAsXml_SetValue(RegKey key, const std::string& name, const std::string& text,
                                      const std::string& typeName) {
    if (key == kNullKey) return;
    const char* valueName = EqualsNoCase(name, kDefaultValueName) ? "" : name.c_str();
    const std::uint32_t type = TypeFromString(typeName);
    const std::vector<std::uint8_t> data = ConvertFromString(text, type);
    // Binary types may be empty; every other type has at least its terminator.
    if ((!data.empty() || IsHexBytesType(type)) &&
        data.size() <= std::numeric_limits<std::uint32_t>::max()) {
        static const std::uint8_t kNoData = 0;
        const RegStatus status =
            registry_->RegSetValueExA(key, valueName, type, data.empty() ? &kNoData : data.data(),
                                      static_cast<std::uint32_t>(data.size()));
        if (status == kRegSuccess) return;
    }
    if (restoreUi_ != nullptr) restoreUi_->ShowMessage("couldn't set value " + name);
}

int CRegistryLib::LoadAsXml(CXmlReader& reader, const std::string& path) {
    reader.SetShowErrors(true);
    reader.SetErrorUi(restoreUi_);
    reader.SetFileName(path);

    std::vector<RestoreKeyFrame> frames;  // closes what is still open on every way out
    std::string pendingName, pendingText, pendingType;
    int result = 1;
    int status = 1;
    while (result == 1 && (status = reader.ReadNext()) == 1) {
        const std::int32_t kind = reader.GetKind();
        if (kind == kXmlAttribute) {
            const std::string element = GetUnescapedXmlString(reader.GetTagName());
            const std::string name = GetUnescapedXmlString(reader.GetAttributeName());
            const std::string value = GetUnescapedXmlString(reader.GetAttributeValue());
            if (EqualsNoCase(element, "k")) {
                if (EqualsNoCase(name, "name")) {
                    frames.push_back(RestoreKeyFrame{value, RegKeyHandle()});
                    const RegKey key = LoadAsXml_OpenKey(frames);
                    frames.back().key = RegKeyHandle(*registry_, key);
                    if (key == kNullKey) result = 0;
                }
            } else if (EqualsNoCase(element, "v")) {
                if (EqualsNoCase(name, "name")) {
                    pendingName = value;
                    pendingText.clear();
                    pendingType.clear();
                } else if (EqualsNoCase(name, "value")) {
                    pendingText = value;
                    pendingType.clear();
                } else if (EqualsNoCase(name, "type")) {
                    pendingType = value;
                }
            }
        } else if (kind == kXmlEndTag && !frames.empty()) {
            const std::string element = GetUnescapedXmlString(reader.GetTagName());
            if (EqualsNoCase(element, "k")) {
                LoadAsXml_CloseKey(frames.back().key.Release());
                frames.pop_back();
            } else if (EqualsNoCase(element, "v")) {
                LoadAsXml_SetValue(frames.back().key.Get(), pendingName, pendingText, pendingType);
                pendingName.clear();
                pendingText.clear();
                pendingType.clear();
            }
        }
    }
    // The walk succeeded only if it reached the end of the file: a file that
    // does not open, a parse error (already shown) or a read error is a failure.
    if (result == 1 && status == 0 &&
        (!reader.IsOpen() || !reader.GetErrorText().empty() || reader.ReadFailed()))
        result = 0;
    frames.clear();
    reader.Close();
    return result;
}

bool CRegistryLib::RestoreRegistry() {
    if (restoreUi_ == nullptr) return false;
    std::string path;
    if (!restoreUi_->ChooseBackupFile(path)) return false;
    restoreUi_->ShowWaitCursor(true);
    CXmlReader reader;
    const int result = LoadAsXml(reader, path);
    restoreUi_->ShowWaitCursor(false);
    return result == 1;
}

}  // namespace qm
