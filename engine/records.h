// What a scan produces: registry values as text (CRegValueItem), findings
// (CRegErrorLog) and one result row per category (CScanError), plus the
// rendering of value data as text shared with the XML backup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

// One registry value as text.
struct CRegValueItem {
    std::string name;  // "(Default)" for the unnamed value
    std::string data;  // rendered by type; "(value not set)" when there is none
    std::uint32_t type = 1;
    // The key's unnamed value (shown as "(Default)"), as opposed to a value
    // really named "(Default)": deleting it means deleting the unnamed one.
    bool isDefault = false;

    CRegValueItem() = default;
    CRegValueItem(std::string n, std::string d, std::uint32_t t)
        : name(std::move(n)), data(std::move(d)), type(t) {}
};

constexpr const char* kDefaultValueName = "(Default)";
constexpr const char* kValueNotSet = "(value not set)";

// Removal kinds.
constexpr const char* kRemoveKey = "KEY";
constexpr const char* kRemoveValue = "VAL";

// One finding: a registry entry that names a missing file. Ignore-list
// entries use the same record with only the file path set.
class CRegErrorLog {
public:
    CRegErrorLog() = default;
    CRegErrorLog(const CRegErrorLog& other);
    CRegErrorLog& operator=(const CRegErrorLog&) = delete;
    virtual ~CRegErrorLog() = default;

    void SetCategory(const std::string& s) { category_ = s; }
    std::string GetCategory() const { return category_; }
    void SetKeyPath(const std::string& s) { keyPath_ = s; }
    std::string GetKeyPath() const { return keyPath_; }
    void SetRemoveKind(const std::string& s) { removeKind_ = s; }
    std::string GetRemoveKind() const { return removeKind_; }
    void SetFilePath(const std::string& s) { filePath_ = s; }
    std::string GetFilePath() const { return filePath_; }
    // Takes ownership.
    void SetValue(std::unique_ptr<CRegValueItem> value) { value_ = std::move(value); }
    const CRegValueItem* GetValue() const { return value_.get(); }
    // The registry view the key path is read in (64-bit unless the finding
    // came from the 32-bit view).
    void SetView(RegView view) { view_ = view; }
    RegView GetView() const { return view_; }
    // Which hive the key lives in when it is below HKEY_CLASSES_ROOT and that
    // root merges two (an offline installation): the repair, its backup and
    // the restore act on that hive's key alone.
    void SetClassesHive(ClassesHive hive) { classesHive_ = hive; }
    ClassesHive GetClassesHive() const { return classesHive_; }
    // The name the registry gives the program or item the entry belongs to,
    // where the scan read it beside the entry: a COM class's name (its key's
    // unnamed value), an uninstall entry's DisplayName. "" otherwise (see
    // OwnerNameOf for the names the entry itself carries).
    void SetOwnerName(const std::string& s) { ownerName_ = s; }
    std::string GetOwnerName() const { return ownerName_; }

private:
    std::string category_;
    std::string keyPath_;
    std::unique_ptr<CRegValueItem> value_;
    std::string removeKind_;
    std::string filePath_;
    RegView view_ = RegView::k64;
    ClassesHive classesHive_ = ClassesHive::kMerged;
    std::string ownerName_;
};

// The program or item a finding belongs to, as the registry names it: the
// recorded owner name (a class's name, an uninstall entry's DisplayName);
// else, where the entry carries it, a font's, driver's, help file's or
// startup program's value name, or an application path's or shared tool's
// key name. "" when the registry names none (a shared DLL, whose value name
// is its path; a class or uninstall entry without a name).
std::string OwnerNameOf(const CRegErrorLog& finding);

// One result row per category.
struct CScanError {
    std::string label;
    std::int32_t itemsScanned = 0;
    std::int32_t errorsFound = 0;
    std::int32_t errorsFixed = 0;

    CScanError() = default;
    CScanError(std::string l, std::int32_t scanned, std::int32_t found)
        : label(std::move(l)), itemsScanned(scanned), errorsFound(found) {}
};

using ValueList = std::vector<std::unique_ptr<CRegValueItem>>;
using FindingList = std::vector<std::unique_ptr<CRegErrorLog>>;
using ResultRows = std::vector<std::unique_ptr<CScanError>>;

// Renders value data as text by its type (hex bytes, DWORD "0x... (n)",
// QWORD, multi-string with CR LF, UTF-16 text, plain text). Reads only the
// `length` bytes given, whatever the type would suggest.
std::string ConvertToString(std::uint32_t type, const std::uint8_t* data, std::size_t length);
// The same into `out`, whose storage is used again where it suffices (a scan
// renders tens of thousands of values).
void ConvertToString(std::uint32_t type, const std::uint8_t* data, std::size_t length, std::string& out);

// UTF-16LE bytes (up to a zero unit or the end) to the ANSI code page.
std::string Utf16ToAnsi(const std::uint8_t* data, std::size_t length);

}  // namespace qm
