#include "ui/resource_extract_win32.h"

#include <vector>

#include "platform/handles_win32.h"

namespace qm {

namespace {

bool WriteWholeFile(const std::string& path, const std::string& bytes, DWORD disposition) {
    Win32Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    DWORD written = 0;
    if (!bytes.empty() &&
        (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size())) {
        return false;
    }
    return FlushFileBuffers(file.Get()) != FALSE;
}

}  // namespace

bool ReadResourceBytes(const std::string& name, const std::string& type, std::string& bytes,
                       HMODULE module) {
    bytes.clear();
    HRSRC info = FindResourceA(module, name.c_str(), type.c_str());
    if (info == nullptr) return false;
    HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) return false;
    const void* data = LockResource(loaded);
    if (data == nullptr) return false;
    const DWORD size = SizeofResource(module, info);
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool ExtractResourceToFile(const std::string& path, const std::string& name, const std::string& type) {
    std::string bytes;
    if (!ReadResourceBytes(name, type, bytes)) return false;
    return WriteWholeFile(path, bytes, CREATE_ALWAYS);
}

TempResourceFile::TempResourceFile(const std::string& name, const std::string& type) {
    std::string bytes;
    if (!ReadResourceBytes(name, type, bytes)) return;
    char folder[MAX_PATH + 1] = {};
    char file[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof(folder), folder);
    if (length == 0 || length > MAX_PATH) return;
    // GetTempFileNameA creates the (empty) file under a name no one else holds.
    if (GetTempFileNameA(folder, "qm", 0, file) == 0) return;
    if (!WriteWholeFile(file, bytes, TRUNCATE_EXISTING)) {
        DeleteFileA(file);
        return;
    }
    path_ = file;
}

TempResourceFile::~TempResourceFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
}

}  // namespace qm
