// The restore: walks an XML backup file with CXmlReader and writes its keys
// and values back into the registry.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "repair/backup_file_element.h"
#include "repair/backup_value_format.h"
#include "repair/restore_keys.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "repair/xml_writer.h"

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

namespace {

bool IsAsciiText(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// GetUnescapedXmlString into `out`, whose storage is used again. Text of
// ASCII characters is the same in every code page and is not converted.
void UnescapeXmlInto(const std::string& text, std::string& out) {
    std::string converted;
    const std::string* source = &text;
    if (!IsAsciiText(text)) {
        converted = FromUTF8Conversion(text);
        source = &converted;
    }
    const std::string& s = *source;
    out.clear();
    std::size_t i = s.find('&');
    if (i == std::string::npos) {
        out.assign(s);
        return;
    }
    out.reserve(s.size());
    out.assign(s, 0, i);
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
}

}  // namespace

std::string GetUnescapedXmlString(const std::string& text) {
    std::string out;
    UnescapeXmlInto(text, out);
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
        data.reserve(text.size() + 3);
        for (const char c : text) {
            if (c == '\r') continue;
            data.push_back(c == '\n' ? 0 : static_cast<std::uint8_t>(c));
        }
        data.push_back(0);
        data.push_back(0);
    } else {
        // Room for the zero byte and for the byte a restore adds after it.
        data.reserve(text.size() + 2);
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
    const RegView view = frames.front().view;
    RegKey key = kNullKey;
    if (OpenKey(rootName, subKey, &key, view) == kRegSuccess && key != kNullKey) return key;

    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kNullKey;
    key = kNullKey;
    const RegStatus created =
        view == RegView::k32
            ? registry_->RegCreateKeyExA(root, subKey.c_str(), &key, nullptr, ViewAccess(view))
            : registry_->RegCreateKeyA(root, subKey.c_str(), &key);
    if (created != kRegSuccess || key == kNullKey) {
        if (restoreUi_ != nullptr)
            restoreUi_->ShowMessage("couldn't create key " + rootName + "\\" + subKey);
        return kNullKey;
    }
    return key;
}

void CRegistryLib::LoadAsXml_CloseKey(RegKey key) {
    if (key != kNullKey) registry_->RegCloseKey(key);
}

int CRegistryLib::LoadAsXml_SetValue(RegKey key, const std::string& name, const std::string& text,
                                     const std::string& typeName, std::string& error) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!ParseBackupValue(text, typeName, type, data, error)) return -1;
    if (key != kNullKey && data.size() < std::numeric_limits<std::uint32_t>::max()) {
        const char* valueName = EqualsNoCase(name, kDefaultValueName) ? "" : name.c_str();
        const auto length = static_cast<std::uint32_t>(data.size());
        // For a text type whose data does not end in a zero byte, the
        // registry looks at the byte after the data and counts it too when it
        // is zero: a byte that is not, so that the value keeps its length.
        data.push_back(0xFF);
        if (registry_->RegSetValueExA(key, valueName, type, data.data(), length) == kRegSuccess)
            return 1;
    }
    if (restoreUi_ != nullptr) restoreUi_->ShowMessage("couldn't set value " + name);
    return 0;
}

std::string RestoreReport::Describe() const {
    std::string text;
    if (line > 0) text = "line " + std::to_string(line) + ": ";
    text += reason;
    text += " (" + std::to_string(keys) + (keys == 1 ? " key, " : " keys, ") +
            std::to_string(values) + (values == 1 ? " value and " : " values and ") +
            std::to_string(files) + (files == 1 ? " file" : " files") + " restored before it)";
    return text;
}

namespace {

bool IsWhitespace(const std::string& text) {
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

// The elements of a backup and where each may stand.
enum class Element { Registry, Key, Value, File };

bool ElementFromName(const std::string& lowerName, Element& element) {
    if (lowerName == "registry") element = Element::Registry;
    else if (lowerName == "k") element = Element::Key;
    else if (lowerName == "v") element = Element::Value;
    else if (lowerName == kBackupFileElement) element = Element::File;
    else return false;
    return true;
}

bool AllowedIn(Element parent, Element child) {
    switch (parent) {
        case Element::Registry: return child == Element::Key || child == Element::File;
        case Element::Key: return child == Element::Key || child == Element::Value;
        default: return false;
    }
}

struct OpenElement {
    Element element;
    std::string name;  // as written in the file, lower-cased
};

// The attributes of one element, names lower-cased, values unescaped. The
// strings of one element's attributes are used again for the next one's.
class Attributes {
public:
    // The storage of a new attribute's name and value, to be filled.
    std::pair<std::string, std::string>& Next() {
        if (count_ == items_.size()) items_.emplace_back();
        return items_[count_];
    }
    // Takes the attribute filled in Next(); false when its name was given
    // already.
    bool Commit() {
        const std::string& name = items_[count_].first;
        for (std::size_t i = 0; i < count_; ++i)
            if (items_[i].first == name) return false;
        ++count_;
        return true;
    }
    const std::string* Find(const char* name) const {
        for (std::size_t i = 0; i < count_; ++i)
            if (items_[i].first == name) return &items_[i].second;
        return nullptr;
    }
    void Clear() { count_ = 0; }

private:
    std::vector<std::pair<std::string, std::string>> items_;
    std::size_t count_ = 0;
};

// An element or attribute name as the restore compares it: unescaped, ASCII
// letters in lower case.
void NameInto(const std::string& text, std::string& out) {
    UnescapeXmlInto(text, out);
    for (char& c : out) c = AsciiLower(c);
}

}  // namespace

int CRegistryLib::LoadAsXml(CXmlReader& reader, const std::string& path) {
    reader.SetShowErrors(true);
    reader.SetErrorUi(restoreUi_);
    reader.SetFileName(path);
    restoreReport_ = RestoreReport{};
    RestoreReport& report = restoreReport_;
    IFileSystem& fs = restoreFs_ != nullptr ? *restoreFs_ : DefaultFileSystem();

    RestoreKeys keys(*registry_, restoreUi_);  // closes what is still open on every way out
    std::vector<OpenElement> elements;
    Attributes attributes;
    bool tagOpen = false;  // the attributes of elements.back() are still being read
    std::int32_t tagLine = 0;
    bool rootSeen = false, rootEnded = false, rootClosed = false;
    bool stop = false;

    // The first failure is the one reported; `fatal` ends the walk.
    auto fail = [&](std::int32_t line, const std::string& reason, bool fatal, bool shown = false) {
        if (report.reason.empty()) {
            report.line = line;
            report.reason = reason;
            report.shown = shown && restoreUi_ != nullptr;
        }
        if (fatal) stop = true;
    };

    // A key that could not be opened or created (its message was shown).
    auto keyFailed = [&]() { fail(keys.FailedLine(), "couldn't create key " + keys.FailedPath(), true, true); };

    // A start tag whose attributes are all read.
    auto finishStartTag = [&]() {
        tagOpen = false;
        const OpenElement& e = elements.back();
        if (e.element == Element::Registry) {
            rootSeen = true;
        } else if (e.element == Element::Key) {
            const std::string* name = attributes.Find("name");
            if (name == nullptr) return fail(tagLine, "key element without a name", true);
            // Only the outermost key says which view its chain is in.
            RegView view = RegView::k64;
            if (const std::string* given = keys.Empty() ? attributes.Find("view") : nullptr) {
                if (*given == ViewName(RegView::k32)) view = RegView::k32;
                else if (*given != ViewName(RegView::k64))
                    return fail(tagLine, "unknown registry view \"" + *given + "\"", true);
            }
            // Opened when something is written into it (restore_keys.h).
            if (!keys.Push(*name, tagLine, view)) return fail(tagLine, "unknown root key \"" + *name + "\"", true);
        }
    };

    auto closeElement = [&]() {
        const Element element = elements.back().element;
        elements.pop_back();
        switch (element) {
            case Element::Registry:
                rootEnded = true;  // closed once its ">" is read
                break;
            case Element::Key:
                if (!keys.Pop()) keyFailed();
                break;
            case Element::Value: {
                const std::string* name = attributes.Find("name");
                const std::string* text = attributes.Find("value");
                const std::string* type = attributes.Find("type");
                if (name == nullptr) return fail(tagLine, "value element without a name", true);
                if (text == nullptr)
                    return fail(tagLine, "value \"" + *name + "\" without a value text", true);
                const RegKey key = keys.Need();
                if (key == kNullKey) return keyFailed();
                std::string error;
                const int written = LoadAsXml_SetValue(key, *name, *text, type ? *type : std::string(), error);
                if (written < 0) return fail(tagLine, "value \"" + *name + "\": " + error, true);
                if (written == 0) return fail(tagLine, "couldn't set value " + *name, false, true);
                ++report.values;
                break;
            }
            case Element::File: {
                std::string error;
                const int restored = RestoreBackupFile(fs, restoreUi_, attributes.Find("path"),
                                                       attributes.Find("data"),
                                                       attributes.Find("attributes"), error);
                if (restored < 0) return fail(tagLine, error, true);
                if (restored == 0) return fail(tagLine, error, false, true);
                if (restored == 1) ++report.files;
                break;
            }
        }
    };

    std::string name;  // of the tag or attribute read, used again for each
    int status = 1;
    while (!stop && (status = reader.ReadNext()) == 1) {
        const std::int32_t line = reader.GetLineNumber();
        switch (reader.GetKind()) {
            case kXmlStartTag: {
                NameInto(reader.GetTagName(), name);
                Element element;
                if (!ElementFromName(name, element)) {
                    fail(line, "unknown element <" + name + ">", true);
                } else if (rootEnded) {
                    fail(line, "element <" + name + "> after the end of the registry element", true);
                } else if (elements.empty() ? element != Element::Registry
                                            : !AllowedIn(elements.back().element, element)) {
                    fail(line,
                         "element <" + name + "> " +
                             (elements.empty() ? std::string("outside the registry element")
                                               : "inside <" + elements.back().name + ">"),
                         true);
                } else {
                    elements.push_back(OpenElement{element, name});
                    attributes.Clear();
                    tagOpen = true;
                    tagLine = line;
                }
                break;
            }
            case kXmlAttribute:
                if (tagOpen) {
                    auto& attribute = attributes.Next();
                    NameInto(reader.GetAttributeName(), attribute.first);
                    UnescapeXmlInto(reader.GetAttributeValue(), attribute.second);
                    if (!attributes.Commit()) fail(line, "attribute \"" + attribute.first + "\" given twice", true);
                }
                break;
            case kXmlEndTag: {
                if (tagOpen) finishStartTag();
                if (stop) break;
                NameInto(reader.GetTagName(), name);
                if (elements.empty()) {
                    fail(line, "end tag </" + name + "> without its start tag", true);
                } else if (name != elements.back().name) {
                    fail(line, "end tag </" + name + "> where </" + elements.back().name + "> belongs",
                         true);
                } else {
                    closeElement();
                }
                break;
            }
            case kXmlText:
                if (!IsWhitespace(reader.GetText())) fail(line, "text outside every attribute", true);
                break;
            default:  // comments, CDATA, directives, the ends of lines and tags
                break;
        }
        if (!stop && tagOpen && !reader.InTag()) finishStartTag();
        if (rootEnded && !reader.InTag()) rootClosed = true;
    }

    if (!stop && status == 0) {
        if (!reader.IsOpen()) {
            fail(0, "cannot open the file", true);
        } else if (!reader.GetErrorText().empty()) {
            fail(reader.GetLineNumber(), reader.GetErrorReason(), true, !reader.ReadFailed());
        } else if (!rootSeen) {
            fail(reader.GetLineNumber(), "no registry element", true);
        } else if (!rootClosed) {
            fail(reader.GetLineNumber(),
                 "the file ends before the end of the registry element (</registry>)", true);
        }
    }
    keys.Finish();
    if (keys.Failed() && report.reason.empty()) keyFailed();
    report.keys = keys.KeysRestored();
    report.complete = report.reason.empty();
    reader.Close();
    return report.complete ? 1 : 0;
}

bool CRegistryLib::RestoreRegistry() {
    if (restoreUi_ == nullptr) return false;
    std::string path;
    if (!restoreUi_->ChooseBackupFile(path)) return false;
    restoreUi_->ShowWaitCursor(true);
    CXmlReader reader;
    const int result = LoadAsXml(reader, path);
    restoreUi_->ShowWaitCursor(false);
    // Why it failed, unless a message said so already.
    if (result != 1 && !restoreReport_.shown)
        restoreUi_->ShowMessage("Restoration stopped: " + restoreReport_.Describe());
    return result == 1;
}

}  // namespace qm
