// Under Wine: which drives stand for host folders outside the prefix (its
// "Z:", the Unix root, and a drive mapped onto a folder of the build), and
// that a scan naming no drive passes over them while one naming them walks
// them. Only scratch drives are ever walked here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/shortcut.h"
#include "platform/file_system.h"
#include "platform/handles_win32.h"
#include "platform/named_event.h"
#include "tests/shortcut/scratch_drive_win32.h"

namespace qm::test {
namespace {

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

char FreeLetter(char from) {
    for (char letter = from; letter <= 'Y'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        if (::GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) return letter;
    }
    return '\0';
}

// The real file system, showing only the given drives.
class OnlyDrives : public IFileSystem {
public:
    explicit OnlyDrives(std::vector<std::string> roots) : roots_(std::move(roots)) {}
    std::vector<std::string> GetLogicalDriveStringsA() override { return roots_; }
    std::uint32_t GetDriveTypeA(const std::string& root) override { return real_.GetDriveTypeA(root); }
    std::unique_ptr<FindHandle> FindFirstFileA(const std::string& pattern, FindData& data) override {
        return real_.FindFirstFileA(pattern, data);
    }
    bool ListFolder(const std::string& folder, std::vector<FindData>& entries) override {
        return real_.ListFolder(folder, entries);
    }
    bool GetFileIdentity(const std::string& path, FileIdentity& id) override { return real_.GetFileIdentity(path, id); }
    std::uint32_t GetFileAttributesA(const std::string& path) override { return real_.GetFileAttributesA(path); }
    bool SetFileAttributesA(const std::string& path, std::uint32_t a) override { return real_.SetFileAttributesA(path, a); }
    bool DeleteFileA(const std::string& path) override { return real_.DeleteFileA(path); }
    bool Access(const std::string& path) override { return real_.Access(path); }
    bool IsHostFolderDrive(const std::string& root) override { return real_.IsHostFolderDrive(root); }

private:
    std::vector<std::string> roots_;
    IFileSystem& real_ = DefaultFileSystem();
};

// Every shortcut names a missing program beside it.
class GoneTargets : public IShortcutResolver {
public:
    std::int32_t GetShortcutPath(const std::string& path, std::string& target) override {
        target = path + ".gone.exe";
        return kShellOk;
    }
};

void MakeFile(const std::string& path) {
    Win32Handle(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)).Close();
}

TEST(WineHostDrives, RootAndOutsideFoldersAreHostFoldersTheInstallationIsNot) {
    if (!UnderWine()) GTEST_SKIP() << "Wine only";
    IFileSystem& fs = DefaultFileSystem();
    if (::GetDriveTypeA("Z:\\") == DRIVE_FIXED) {
        EXPECT_TRUE(fs.IsHostFolderDrive("Z:\\"));
    }
    EXPECT_FALSE(fs.IsHostFolderDrive("C:\\"));

    const char outLetter = FreeLetter('K');
    ASSERT_NE(outLetter, '\0');
    const std::string outFolder = CurrentDirectory() + "\\host-drive-outside";
    ScratchDrive outside(outLetter, outFolder);  // a folder of the build: outside the prefix
    ASSERT_TRUE(outside.ok());
    const char inLetter = FreeLetter(char(outLetter + 1));
    ASSERT_NE(inLetter, '\0');
    char windows[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryA(windows, MAX_PATH), 2u);
    const std::string inFolder = std::string(windows, 2) + "\\QmHostDriveInside";
    ScratchDrive inside(inLetter, inFolder);  // a folder of the prefix's C:
    ASSERT_TRUE(inside.ok());
    const std::string outRoot = outside.Root() + "\\", inRoot = inside.Root() + "\\";
    EXPECT_TRUE(fs.IsHostFolderDrive(outRoot));
    EXPECT_FALSE(fs.IsHostFolderDrive(inRoot));

    for (const ScratchDrive* d : {&outside, &inside}) {
        ::CreateDirectoryA((d->Root() + "\\Dir").c_str(), nullptr);
        MakeFile(d->Root() + "\\Dir\\a.lnk");
    }
    NamedEvent stop(kStopEventName);
    stop.Reset();
    OnlyDrives drives({outRoot, inRoot});
    GoneTargets resolver;
    CShortcut scanner(ShortcutServices{&drives, &resolver});
    scanner.ScanLinkFile();
    EXPECT_EQ(scanner.BrokenLinks(), std::vector<std::string>{inside.Root() + "\\Dir\\a.lnk"});
    scanner.SetDriveFilter(std::string(1, outLetter));
    scanner.ScanLinkFile();
    EXPECT_EQ(scanner.BrokenLinks(), std::vector<std::string>{outside.Root() + "\\Dir\\a.lnk"});

    for (const std::string& folder : {outFolder, inFolder}) {
        ::DeleteFileA((folder + "\\Dir\\a.lnk").c_str());
        ::RemoveDirectoryA((folder + "\\Dir").c_str());
        ::RemoveDirectoryA(folder.c_str());
    }
}

}  // namespace
}  // namespace qm::test
