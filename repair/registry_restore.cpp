// The restore: checks the whole XML backup file against the areas it may
// write into (restore_areas.h), then walks it (backup_walk.h, on a thread of
// its own) and writes its keys, values and files back.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/registry_walk.h"
#include "repair/backup_file_element.h"
#include "repair/backup_summary.h"
#include "repair/backup_value_format.h"
#include "repair/backup_walk.h"
#include "repair/checked_restore_steps.h"
#include "repair/registry_repair.h"
#include "repair/restore_areas.h"
#include "repair/restore_keys.h"
#include "repair/restore_step_queue.h"
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

std::string GetUnescapedXmlString(const std::string& text) {
    std::string out;
    UnescapeXmlInto(text, out);
    return out;
}

std::vector<std::uint8_t> ConvertFromString(const std::string& text, std::uint32_t type) {
    std::vector<std::uint8_t> data;
    ConvertFromStringInto(text, type, data);
    return data;
}

void ConvertFromStringInto(const std::string& text, std::uint32_t type, std::vector<std::uint8_t>& data) {
    data.clear();
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
        if (text.empty()) {
            data.assign(1, 0);
            return;
        }
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
}

std::uint32_t CRegistryRepair::TypeFromString(const std::string& typeName) {
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

RegKeyHandle CRegistryRepair::LoadAsXml_OpenKey(const std::vector<RestoreKeyFrame>& frames) {
    if (frames.empty()) return RegKeyHandle();
    const std::string& rootName = frames.front().component;
    std::string subKey;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (i > 1) subKey.push_back('\\');
        subKey += frames[i].component;
    }
    const RegView view = frames.front().view;
    IRegistry& registry = engine_.Registry();
    RegKeyHandle key;
    if (engine_.OpenKey(rootName, subKey, key.Receive(registry), view) == kRegSuccess && key) return key;

    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return RegKeyHandle();
    const RegStatus created =
        view == RegView::k32
            ? registry.RegCreateKeyExA(root, subKey.c_str(), key.Receive(registry), nullptr, ViewAccess(view))
            : registry.RegCreateKeyA(root, subKey.c_str(), key.Receive(registry));
    if (created != kRegSuccess || !key) {
        if (restoreUi_ != nullptr)
            restoreUi_->ShowMessage("couldn't create key " + rootName + "\\" + subKey);
        return RegKeyHandle();
    }
    return key;
}

namespace {

// Whether `key` holds value `name` with exactly that type and data already.
bool HoldsValue(IRegistry& registry, RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t length) {
    RegValueRecord held;
    return QueryValue(registry, key, name, &held) == kRegSuccess && held.type == type &&
           held.data.size() == length && std::equal(held.data.begin(), held.data.end(), data);
}

// Writes one value of a backup ("(Default)": the unnamed one, unless `named`
// says it is the value's own name); `data` gets one byte more. 1 when written
// (or held already by a key that refuses the write); 0 after the message
// "couldn't set value NAME".
int WriteRestoredValue(IRegistry& registry, IRestoreUi* ui, RegKey key, const std::string& name, bool named,
                       std::uint32_t type, std::vector<std::uint8_t>& data) {
    if (key != kNullKey && data.size() < std::numeric_limits<std::uint32_t>::max()) {
        const char* valueName = !named && EqualsNoCase(name, kDefaultValueName) ? "" : name.c_str();
        const auto length = static_cast<std::uint32_t>(data.size());
        // For a text type whose data does not end in a zero byte, the
        // registry looks at the byte after the data and counts it too when it
        // is zero: a byte that is not, so that the value keeps its length.
        data.push_back(0xFF);
        if (registry.RegSetValueExA(key, valueName, type, data.data(), length) == kRegSuccess) return 1;
        if (HoldsValue(registry, key, valueName, type, data.data(), length)) return 1;
    }
    if (ui != nullptr) ui->ShowMessage("couldn't set value " + name);
    return 0;
}

}  // namespace

int CRegistryRepair::LoadAsXml_SetValue(RegKey key, const std::string& name, const std::string& text,
                                     const std::string& typeName, std::string& error) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!ParseBackupValue(text, typeName, type, data, error)) return -1;
    return WriteRestoredValue(engine_.Registry(), restoreUi_, key, name, false, type, data);
}

std::string RestoreReport::Describe() const {
    std::string text;
    if (line > 0) text = "line " + std::to_string(line) + ": ";
    text += reason;
    if (refused) return text + "; the backup was refused whole and nothing was restored";
    text += " (" + std::to_string(keys) + (keys == 1 ? " key, " : " keys, ") +
            std::to_string(values) + (values == 1 ? " value and " : " values and ") +
            std::to_string(files) + (files == 1 ? " file" : " files") + " restored before it)";
    return text;
}

int CRegistryRepair::LoadAsXml(CXmlReader& reader, const std::string& path) {
    restoreReport_ = RestoreReport{};
    RestoreReport& report = restoreReport_;
    IFileSystem& fs = restoreFs_ != nullptr ? *restoreFs_ : DefaultFileSystem();
    const RestoreAreas& areas = restoreAreas_ != nullptr ? *restoreAreas_ : RestoreAreas::Program();

    // The whole file is checked before the first write: a backup that names
    // anything outside the areas is refused whole. A complete backup of keys
    // and values is then written from the steps the check kept; any other
    // is walked again for the writes, which checks again, in case the file
    // changed in between.
    CheckedRestoreSteps checked;
    {
        const BackupSummary check = SummarizeBackup(path, areas, &fs, false, &checked);
        if (check.refused) {
            report.line = check.line;
            report.reason = check.reason;
            report.refused = true;
            return 0;
        }
    }
    RestoreKeys keys(engine_.Registry(), restoreUi_);  // closes what is still open on every way out
    bool stop = false;

    // The first failure is the one reported; `fatal` ends the restore.
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

    // The steps of the file, read and checked ahead of the writes, carried
    // out in file order up to the first that ends the restore.
    auto carryOut = [&](RestoreStep& step) {
        switch (step.kind) {
            case RestoreStep::Kind::Key:
                keys.Push(step.text, step.line, step.view);  // the walk checked its root
                break;
            case RestoreStep::Kind::EndKey:
                if (!keys.Pop()) keyFailed();
                break;
            case RestoreStep::Kind::Value: {
                const RegKey key = keys.Need();
                if (key == kNullKey) return keyFailed();
                if (!step.error.empty()) return fail(step.line, "value \"" + step.text + "\": " + step.error, true);
                if (WriteRestoredValue(engine_.Registry(), restoreUi_, key, step.text, step.named, step.type, step.data) == 0)
                    return fail(step.line, "couldn't set value " + step.text, false, true);
                ++report.values;
                break;
            }
            case RestoreStep::Kind::File: {
                std::string error;
                const int restored = RestoreBackupFile(fs, restoreUi_, (step.given & 1) ? &step.text : nullptr,
                                                       (step.given & 2) ? &step.fileData : nullptr,
                                                       (step.given & 4) ? &step.attributes : nullptr, error);
                if (restored < 0) return fail(step.line, error, true);
                if (restored == 0) return fail(step.line, error, false, true);
                if (restored == 1) ++report.files;
                break;
            }
            case RestoreStep::Kind::Fail:
                if (restoreUi_ != nullptr)
                    for (const std::string& message : step.messages) restoreUi_->ShowMessage(message);
                fail(step.line, step.error, true, step.shown);
                break;
        }
    };

    if (checked.Whole()) {
        RestoreStepBatch batch;
        for (bool more = true; more && !stop;) {
            batch.Clear();
            more = checked.Fill(batch, 512);
            for (std::size_t i = 0; i < batch.Size() && !stop; ++i) carryOut(batch[i]);
        }
    } else {
        BackupWalk walk(reader, path, restoreUi_ != nullptr, &areas, &fs);
        RestoreStepQueue steps(walk);  // stops the walk where it is when the restore stops first
        while (!stop) {
            RestoreStepBatch* batch = steps.Next();
            if (batch == nullptr) break;
            for (std::size_t i = 0; i < batch->Size() && !stop; ++i) carryOut((*batch)[i]);
        }
    }
    reader.SetErrorUi(restoreUi_);
    keys.Finish();
    if (keys.Failed() && report.reason.empty()) keyFailed();
    report.keys = keys.KeysRestored();
    report.complete = report.reason.empty();
    reader.Close();
    return report.complete ? 1 : 0;
}

bool CRegistryRepair::RestoreRegistry() {
    if (restoreUi_ == nullptr) return false;
    std::string path;
    if (!restoreUi_->ChooseBackupFile(path)) return false;
    // What the file puts back, and the user's word, before anything is
    // written (a refused file goes on to be refused with its reason).
    {
        const BackupSummary summary = SummarizeBackup(
            path, restoreAreas_ != nullptr ? *restoreAreas_ : RestoreAreas::Program(), restoreFs_);
        if (summary.opened && !summary.refused) {
            const std::size_t slash = path.find_last_of("\\/");
            const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
            if (!restoreUi_->Confirm(summary.ConfirmationText(name))) {
                restoreReport_ = RestoreReport{};
                restoreReport_.reason = "not confirmed";
                return false;
            }
        }
    }
    restoreUi_->ShowWaitCursor(true);
    CXmlReader reader;
    const int result = LoadAsXml(reader, path);
    restoreUi_->ShowWaitCursor(false);
    // Why it failed, unless a message said so already.
    if (result != 1 && !restoreReport_.shown)
        restoreUi_->ShowMessage((restoreReport_.refused ? "Restoration refused: " : "Restoration stopped: ") +
                                restoreReport_.Describe());
    return result == 1;
}

}  // namespace qm
