#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

#include "platform/handles_win32.h"
#include "tests/shortcut/scan_tree.h"
#include "tests/shortcut/scratch_drive_win32.h"

namespace qm::test {

namespace {

using Microsoft::WRL::ComPtr;

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

std::string HostRel(const std::string& rel) {
    std::string out = rel;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

class Win32ScanTree : public ScanTree {
public:
    Win32ScanTree() : folder_(CurrentDirectory() + "\\qdrive"), drive_('Q', folder_) {
        ::CoInitialize(nullptr);
    }
    ~Win32ScanTree() override {
        ::CoUninitialize();
        if (drive_.ok()) RemoveFolder();
        otherDrives_.clear();
        for (const std::string& other : others_)
            RunHostCommand("/bin/rm", {"-rf", HostPathOf(other)},
                           [&other] { return ::GetFileAttributesA(other.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }

    bool Ready() const override { return drive_.ok(); }

    void Reset() override {
        RemoveFolder();
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        MakeDir("Programs");
        MakeDir("Programs\\App");
        MakeFile("Programs\\App\\app.exe", "MZ");
    }

    void MakeDir(const std::string& rel) override {
        ::CreateDirectoryA(Path(rel).c_str(), nullptr);
    }

    void MakeFile(const std::string& rel, const std::string& content) override {
        const Win32Handle h(::CreateFileA(Path(rel).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) return;
        DWORD written = 0;
        ::WriteFile(h.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    }

    void MakeShortcut(const std::string& rel, LinkKind kind) override {
        ComPtr<IShellLinkA> link;
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA,
                                      reinterpret_cast<void**>(link.GetAddressOf()))))
            return;
        if (kind == LinkKind::Intact) {
            link->SetPath("Q:\\Programs\\App\\app.exe");
        } else if (kind == LinkKind::Broken) {
            // Made while the program exists, as an installer would, then removed.
            MakeDir("Programs\\Removed");
            MakeFile("Programs\\Removed\\removed.exe", "MZ");
            link->SetPath(kBrokenTarget);
        } else {
            CoTaskMemory<ITEMIDLIST> pidl;
            if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, pidl.Out()))) return;
            link->SetIDList(pidl.Get());
        }
        ComPtr<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile,
                                        reinterpret_cast<void**>(file.GetAddressOf()))))
            return;
        WCHAR wide[MAX_PATH];
        ::MultiByteToWideChar(CP_ACP, 0, Path(rel).c_str(), -1, wide, MAX_PATH);
        file->Save(wide, TRUE);
        if (kind == LinkKind::Broken) ::DeleteFileA(kBrokenTarget);
    }

    bool MakeDirLink(const std::string& rel, const std::string& targetRel) override {
        const std::string host = drive_.HostFolder();
        const std::string link = Path(rel);
        return RunHostCommand("/bin/ln", {"-s", host + "/" + HostRel(targetRel), host + "/" + HostRel(rel)},
                              [&link] { return ::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
    }

    bool MakeLinkOffTheDrive(const std::string& rel, char letter) override {
        const std::string folder = CurrentDirectory() + "\\offdrive-" + (letter ? letter : '0');
        if (::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES)  // left by an earlier run
            RunHostCommand("/bin/rm", {"-rf", HostPathOf(folder)},
                           [&folder] { return ::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES; });
        if (!::CreateDirectoryA(folder.c_str(), nullptr) || !::CreateDirectoryA((folder + "\\Sub").c_str(), nullptr))
            return false;
        others_.push_back(folder);
        MakeShortcut("offdrive.lnk", LinkKind::Broken);
        if (!::MoveFileExA(Path("offdrive.lnk").c_str(), (folder + "\\Sub\\Old.lnk").c_str(), MOVEFILE_COPY_ALLOWED))
            return false;
        if (letter != 0) {
            otherDrives_.push_back(std::make_unique<ScratchDrive>(letter, folder));
            if (!otherDrives_.back()->ok()) return false;
        }
        const std::string host = HostPathOf(folder);
        const std::string link = Path(rel);
        return !host.empty() &&
               RunHostCommand("/bin/ln", {"-s", host, drive_.HostFolder() + "/" + HostRel(rel)},
                              [&link] { return ::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
    }

    void SetReadOnly(const std::string& rel) override {
        ::SetFileAttributesA(Path(rel).c_str(), FILE_ATTRIBUTE_READONLY);
    }

    bool Exists(const std::string& rel) override {
        return ::GetFileAttributesA(Path(rel).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    ShortcutServices Services() override { return ShortcutServices{}; }

private:
    // rm -rf never follows the links the tests make.
    void RemoveFolder() {
        const std::string folder = folder_;
        RunHostCommand("/bin/rm", {"-rf", drive_.HostFolder()},
                       [&folder] { return ::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }

    std::string folder_;
    ScratchDrive drive_;
    std::vector<std::string> others_;
    std::vector<std::unique_ptr<ScratchDrive>> otherDrives_;
};

}  // namespace

std::unique_ptr<ScanTree> MakeScanTree() { return std::make_unique<Win32ScanTree>(); }

}  // namespace qm::test
