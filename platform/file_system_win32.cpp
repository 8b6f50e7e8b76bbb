// The real file system through the Win32 calls.
#include <windows.h>

#include <io.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "platform/file_system.h"
#include "platform/handles_win32.h"
#include "platform/wine_drives_win32.h"

namespace qm {

namespace {

class Win32Find : public FindHandle {
public:
    explicit Win32Find(HANDLE handle) : handle_(handle) {}

    bool FindNextFileA(FindData& data) override {
        WIN32_FIND_DATAA found;
        if (!::FindNextFileA(handle_.Get(), &found)) return false;
        data.attributes = found.dwFileAttributes;
        data.name = found.cFileName;
        return true;
    }

private:
    FindFileHandle handle_;
};

class Win32FileSystem : public IFileSystem {
public:
    std::vector<std::string> GetLogicalDriveStringsA() override {
        char buffer[MAX_PATH + 1] = {};
        const DWORD length = ::GetLogicalDriveStringsA(MAX_PATH, buffer);
        std::vector<std::string> roots;
        if (length == 0 || length > MAX_PATH) return roots;
        for (const char* p = buffer; *p != '\0' && p < buffer + length; p += std::strlen(p) + 1)
            roots.emplace_back(p);
        return roots;
    }

    std::uint32_t GetDriveTypeA(const std::string& root) override {
        return ::GetDriveTypeA(root.c_str());
    }

    std::unique_ptr<FindHandle> FindFirstFileA(const std::string& pattern,
                                               FindData& data) override {
        WIN32_FIND_DATAA found;
        const HANDLE handle = ::FindFirstFileA(pattern.c_str(), &found);
        if (handle == INVALID_HANDLE_VALUE) return nullptr;
        data.attributes = found.dwFileAttributes;
        data.name = found.cFileName;
        return std::make_unique<Win32Find>(handle);
    }

    // The directory is opened once and read in 64 KiB blocks of
    // FILE_ID_BOTH_DIR_INFO records, which carry each entry's file index: far
    // fewer calls than FindFirstFileA / FindNextFileA, and no identity query
    // per directory. Names are converted as the A functions convert them.
    bool ListFolder(const std::string& folder, std::vector<FindData>& entries) override {
        entries.clear();
        const bool bareDrive = folder.size() == 2 && folder[1] == ':';
        Win32Handle dir(::CreateFileA(bareDrive ? (folder + "\\").c_str() : folder.c_str(),
                                      FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!dir.Valid()) return false;
        const UINT codePage = ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
        // Left uninitialised: the system writes what it reads, and most
        // directories fill a small part of it.
        constexpr DWORD kBlock = 64 * 1024;
        const std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
        bool first = true;
        for (;;) {
            if (!::GetFileInformationByHandleEx(dir.Get(), FileIdBothDirectoryInfo, block.get(), kBlock)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_NO_MORE_FILES) break;
                // A file system without these records: list it the usual way.
                if (first && (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
                              error == ERROR_INVALID_FUNCTION))
                    return IFileSystem::ListFolder(folder, entries);
                break;  // what was read so far stands, as FindNextFileA would stop
            }
            first = false;
            std::size_t offset = 0;
            for (;;) {
                const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(block.get() + offset);
                FindData entry;
                entry.attributes = info->FileAttributes;
                const int wideLength = static_cast<int>(info->FileNameLength / sizeof(WCHAR));
                // A name has at most 255 characters: one conversion into a
                // buffer that holds any of them in any code page.
                char name[4 * MAX_PATH];
                const int length = ::WideCharToMultiByte(codePage, 0, info->FileName, wideLength, name,
                                                         static_cast<int>(sizeof name), nullptr, nullptr);
                if (length > 0) {
                    entry.name.assign(name, static_cast<std::size_t>(length));
                    const std::uint64_t index = static_cast<std::uint64_t>(info->FileId.QuadPart);
                    if (index != 0) {
                        entry.hasFileIndex = true;
                        entry.fileIndex = index;
                    }
                    entries.push_back(std::move(entry));
                }
                if (info->NextEntryOffset == 0) break;
                offset += info->NextEntryOffset;
            }
        }
        return !entries.empty();
    }

    bool GetFileIdentity(const std::string& path, FileIdentity& identity) override {
        // No access rights needed; FILE_FLAG_BACKUP_SEMANTICS opens directories.
        Win32Handle file(::CreateFileA(path.c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
        if (!file.Valid()) return false;
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(file.Get(), &info)) return false;
        identity.volume = info.dwVolumeSerialNumber;
        identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        return true;
    }

    std::uint32_t GetFileAttributesA(const std::string& path) override {
        return ::GetFileAttributesA(path.c_str());
    }

    bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override {
        return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
    }

    bool DeleteFileA(const std::string& path) override {
        return ::DeleteFileA(path.c_str()) != FALSE;
    }

    bool Access(const std::string& path) override { return ::_access(path.c_str(), 0) == 0; }

    bool IsHostFolderDrive(const std::string& root) override {
        return root.size() >= 2 && root[1] == ':' && IsWineHostFolderDrive(root[0]);
    }

    // The system's own name of the place the link leads to ("\\?\C:\...";
    // under Wine a host folder outside the prefix's drives is named on the
    // drive of the host's root, "Z:").
    char LinkTargetDrive(const std::string& path) override {
        const bool wine = RunsUnderWine();
        Win32Handle file(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.Valid()) return 0;
        char name[4 * MAX_PATH];
        const DWORD n = ::GetFinalPathNameByHandleA(file.Get(), name, sizeof name,
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n >= 6 && n < sizeof name && std::strncmp(name, "\\\\?\\", 4) == 0 && name[5] == ':') {
            const char letter = static_cast<char>(name[4] & ~0x20);
            if (letter < 'A' || letter > 'Z') return wine ? 0 : kAnyDrive;
            // Wine names a host file on the drive of the host's root when its
            // table of drives has not caught up with a drive defined since:
            // the mount manager knows better.
            if (wine && IsWineHostFolderDrive(letter)) {
                const char holding = WineDriveHolding(name + 4);
                if (holding != 0) return holding;
            }
            return letter;
        }
        // A volume mounted in a folder has no drive letter: on Windows it is
        // followed as before; under Wine nothing but a drive is expected.
        return wine ? 0 : kAnyDrive;
    }

    bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes,
                       std::size_t limit) override {
        bytes.clear();
        Win32Handle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        LARGE_INTEGER size;
        if (::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.Get(), &size) ||
            size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > limit)
            return false;
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD got = 0;
            if (!::ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                            &got, nullptr) ||
                got == 0) {
                bytes.clear();
                return false;
            }
            done += got;
        }
        return true;
    }

    bool CreateFileWithBytes(const std::string& path,
                             const std::vector<std::uint8_t>& bytes) override {
        bool ok;
        {
            Win32Handle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.Valid()) return false;
            ok = true;
            std::size_t done = 0;
            while (ok && done < bytes.size()) {
                DWORD wrote = 0;
                if (!::WriteFile(file.Get(), bytes.data() + done,
                                 static_cast<DWORD>(bytes.size() - done), &wrote, nullptr) ||
                    wrote == 0)
                    ok = false;
                done += wrote;
            }
            if (ok && !::FlushFileBuffers(file.Get())) ok = false;
        }
        if (!ok) ::DeleteFileA(path.c_str());
        return ok;
    }
};

std::atomic<IFileSystem*> g_fileSystem{nullptr};

}  // namespace

IFileSystem& DefaultFileSystem() {
    if (IFileSystem* chosen = g_fileSystem.load()) return *chosen;
    static Win32FileSystem real;
    return real;
}

void SetDefaultFileSystem(IFileSystem* fileSystem) { g_fileSystem.store(fileSystem); }

}  // namespace qm
