// Files in the XML backup: a file the repair deletes (a broken shortcut) is
// written first as one "file" element inside the "registry" element, with
// its path, its bytes and its attributes, and a restore puts it back unless
// a file of that name exists again.
//
//   <file path="C:\Users\a\Desktop\Old.lnk" data="4c 00 00 00 ..." attributes="32"/>
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

class CXmlWriter;
class IFileSystem;
class IRestoreUi;

constexpr const char* kBackupFileElement = "file";
// Files larger than this are not backed up (and so not deleted).
constexpr std::size_t kMaxBackupFileSize = 16u * 1024u * 1024u;

// Writes the file at `path` into the backup. True only when the whole element
// reached the file: only then may the file be deleted.
bool WriteBackupFileElement(CXmlWriter& writer, IFileSystem& fs, const std::string& path);

// Reads the attributes of a "file" element (after unescaping; null when
// missing) into its bytes and attribute bits. False, with `error`, when the
// element is malformed.
bool ReadBackupFileElement(const std::string* path, const std::string* data, const std::string* attributes,
                           std::vector<std::uint8_t>& bytes, std::uint32_t& attributeBits, std::string& error);

// Puts back the file a "file" element describes (its attributes after
// unescaping; null when missing). 1 when written; 2 when a file of that name
// exists (left alone, with a message); 0 when it could not be written (with a
// message; `error` says so); -1 when the element is malformed (`error`).
int RestoreBackupFile(IFileSystem& fs, IRestoreUi* ui, const std::string* path,
                      const std::string* data, const std::string* attributes, std::string& error);

}  // namespace qm
