#include "repair/backup_file_element.h"

#include <cstdint>
#include <vector>

#include "platform/file_system.h"
#include "repair/backup_value_format.h"
#include "repair/restore_ui.h"
#include "repair/xml_writer.h"

namespace qm {
namespace {

// The attribute bits a restored file gets back.
constexpr std::uint32_t kRestoredAttributes =
    kFileAttributeReadonly | kFileAttributeHidden | kFileAttributeSystem | kFileAttributeArchive;

bool ParseDecimal(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + std::uint64_t(c - '0');
    }
    if (v > 0xFFFFFFFFu) return false;
    value = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace

bool WriteBackupFileElement(CXmlWriter& writer, IFileSystem& fs, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!fs.ReadFileBytes(path, bytes, kMaxBackupFileSize)) return false;
    std::uint32_t attributes = fs.GetFileAttributesA(path);
    if (attributes == kInvalidFileAttributes) attributes = 0;
    CXmlElement file(kBackupFileElement);
    file.SetAttribute("path", UTF8Conversion(GetEscapedXmlString(path)));
    file.SetAttribute("data", HexByteText(bytes.data(), bytes.size()));
    file.SetAttribute("attributes", std::to_string(attributes & kRestoredAttributes));
    if (writer.WriteFailed()) return false;
    return file.WriteEmptyElement(writer, 1, true, true) == 1 && !writer.WriteFailed();
}

bool ReadBackupFileElement(const std::string* path, const std::string* data, const std::string* attributes,
                           std::vector<std::uint8_t>& bytes, std::uint32_t& attributeBits, std::string& error) {
    if (path == nullptr || path->empty()) {
        error = "file element without a path";
        return false;
    }
    if (data == nullptr || !ParseHexByteText(*data, bytes)) {
        error = "file \"" + *path + "\": data is not hexadecimal bytes (\"0a 1b ...\")";
        return false;
    }
    attributeBits = 0;
    if (attributes != nullptr && !ParseDecimal(*attributes, attributeBits)) {
        error = "file \"" + *path + "\": attributes are not a number";
        return false;
    }
    return true;
}

int RestoreBackupFile(IFileSystem& fs, IRestoreUi* ui, const std::string* path,
                      const std::string* data, const std::string* attributes, std::string& error) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t attributeBits = 0;
    if (!ReadBackupFileElement(path, data, attributes, bytes, attributeBits, error)) return -1;
    if (fs.Access(*path)) {
        if (ui != nullptr) ui->ShowMessage("kept the existing file " + *path);
        return 2;
    }
    if (!fs.CreateFileWithBytes(*path, bytes)) {
        error = "couldn't restore file " + *path;
        if (ui != nullptr) ui->ShowMessage(error);
        return 0;
    }
    attributeBits &= kRestoredAttributes;
    if (attributeBits != 0) fs.SetFileAttributesA(*path, attributeBits);
    return 1;
}

}  // namespace qm
