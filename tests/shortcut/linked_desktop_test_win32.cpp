// Under Wine the user's Desktop (and Documents, Music...) in the prefix is a
// symbolic link into the host's home folder, outside the prefix's drives:
// what lies there is the host's own (other prefixes' Start menus, projects'
// files), so a walk of the user's profile does not follow the link and a
// broken shortcut there is never reported, nor deleted by a repair.
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/shortcut.h"
#include "platform/handles_win32.h"
#include "platform/named_event.h"

namespace qm::test {
namespace {

using Microsoft::WRL::ComPtr;

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

bool MakeShortcut(const std::string& path, const std::string& target) {
    ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(link.GetAddressOf()))))
        return false;
    link->SetPath(target.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()))))
        return false;
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    return SUCCEEDED(file->Save(wide, TRUE));
}

TEST(LinkedDesktop, ShortcutsOnADesktopLinkedOutOfThePrefixAreLeftAlone) {
    char desktop[MAX_PATH];
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop)))
        GTEST_SKIP() << "no desktop folder";
    const DWORD attributes = ::GetFileAttributesA(desktop);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        GTEST_SKIP() << "the desktop is not a linked folder here";
    std::string profile = desktop;
    profile.erase(profile.rfind('\\'));

    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    // Made while the program exists, as an installer would, then removed.
    const std::string program = CurrentDirectory() + "\\linked-desktop-program.exe";
    const std::string shortcut = std::string(desktop) + "\\Linked Desktop Test.lnk";
    {
        const Win32Handle h(::CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(h);
    }
    const bool made = MakeShortcut(shortcut, program);
    ::DeleteFileA(program.c_str());
    ::CoUninitialize();
    ASSERT_TRUE(made);

    NamedEvent(kStopEventName).Reset();
    CShortcut scanner;
    scanner.RecurseFolder(profile);
    ::DeleteFileA(shortcut.c_str());
    const std::vector<std::string>& broken = scanner.BrokenLinks();
    std::string found;
    for (const std::string& path : broken) found += "\n  " + path;
    const std::string name = "\\Linked Desktop Test.lnk";
    EXPECT_EQ(std::count_if(broken.begin(), broken.end(),
                            [&name](const std::string& p) {
                                return p.size() >= name.size() &&
                                       p.compare(p.size() - name.size(), name.size(), name) == 0;
                            }),
              0)
        << "walked " << profile << ", " << scanner.ItemsScanned() << " scanned, broken:" << found;
}

}  // namespace
}  // namespace qm::test
