// Makes the shortcut files of tests/data/lnk with Wine's shell (IShellLinkA or
// IShellLinkW + IPersistFile::Save), then loads each one back and records what
// IShellLinkA::GetPath gives for it in getpath.txt. The targets live on a
// scratch drive Q: mapped onto a folder of the build directory while this runs.
// See tests/data/lnk/README for how to build and run it.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "tests/shortcut/scratch_drive_win32.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string g_out;  // output folder (Windows path)

void MakeFile(const char* path) {
    const HANDLE h = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(h, "MZ", 2, &written, nullptr);
        ::CloseHandle(h);
    }
}

bool Save(IShellLinkA* link, const std::string& name) {
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()))))
        return false;
    const std::string path = g_out + "\\" + name;
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    const HRESULT hr = file->Save(wide, TRUE);
    std::printf("%-16s save %08lx\n", name.c_str(), static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

ComPtr<IShellLinkA> NewLink() {
    ComPtr<IShellLinkA> link;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                       reinterpret_cast<void**>(link.GetAddressOf()));
    return link;
}

void MakeLink(const std::string& name, const char* target) {
    ComPtr<IShellLinkA> link = NewLink();
    if (!link) return;
    link->SetPath(target);
    Save(link.Get(), name);
}

void Record(FILE* out, const std::string& name) {
    const std::string path = g_out + "\\" + name;
    ComPtr<IShellLinkA> link = NewLink();
    ComPtr<IPersistFile> file;
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    HRESULT hr = file->Load(wide, STGM_READ);
    char buffer[MAX_PATH];
    ::lstrcpynA(buffer, path.c_str(), MAX_PATH);
    if (SUCCEEDED(hr)) {
        WIN32_FIND_DATAA findData;
        hr = link->GetPath(buffer, MAX_PATH, &findData, SLGP_SHORTPATH);
    }
    // name <TAB> result <TAB> buffer after GetPath (the target, or what was left)
    std::fprintf(out, "%s\t%08lx\t%s\n", name.c_str(), static_cast<unsigned long>(hr),
                 SUCCEEDED(hr) ? buffer : "");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_lnk_testdata SCRATCH-FOLDER OUTPUT-FOLDER (Windows paths)\n");
        return 2;
    }
    g_out = argv[2];
    ::CreateDirectoryA(g_out.c_str(), nullptr);
    qm::test::ScratchDrive drive('Q', argv[1]);
    if (!drive.ok()) {
        std::fprintf(stderr, "cannot map Q:\n");
        return 1;
    }
    ::CoInitialize(nullptr);

    ::CreateDirectoryA("Q:\\Programs", nullptr);
    ::CreateDirectoryA("Q:\\Programs\\App", nullptr);
    ::CreateDirectoryA("Q:\\Programs\\Removed", nullptr);
    ::CreateDirectoryA("Q:\\Program Files", nullptr);
    ::CreateDirectoryA("Q:\\Program Files\\My App", nullptr);
    MakeFile("Q:\\Programs\\App\\app.exe");
    MakeFile("Q:\\Programs\\Removed\\removed.exe");
    MakeFile("Q:\\Program Files\\My App\\my app.exe");

    // A shortcut to a program that exists.
    MakeLink("intact.lnk", "Q:\\Programs\\App\\app.exe");
    // One whose program existed when it was made and is deleted below.
    MakeLink("broken.lnk", "Q:\\Programs\\Removed\\removed.exe");
    // One made for a program that never existed.
    MakeLink("never.lnk", "Q:\\Programs\\Never\\never.exe");
    // A folder, names with blanks.
    MakeLink("folder.lnk", "Q:\\Programs\\App");
    MakeLink("spaces.lnk", "Q:\\Program Files\\My App\\my app.exe");
    // Every optional string set.
    {
        ComPtr<IShellLinkA> link = NewLink();
        link->SetPath("Q:\\Programs\\App\\app.exe");
        link->SetArguments("--flag \"a b\"");
        link->SetWorkingDirectory("Q:\\Programs");
        link->SetDescription("An application");
        link->SetIconLocation("Q:\\Programs\\App\\app.exe", 1);
        link->SetShowCmd(SW_SHOWMINNOACTIVE);
        Save(link.Get(), "strings.lnk");
    }
    // A path near MAX_PATH.
    {
        std::string dir = "Q:\\Deep";
        ::CreateDirectoryA(dir.c_str(), nullptr);
        while (dir.size() < 200) {
            dir += "\\abcdefghijklmnopqrstuvwxyz";
            ::CreateDirectoryA(dir.c_str(), nullptr);
        }
        const std::string target = dir + "\\target-program.exe";
        MakeFile(target.c_str());
        MakeLink("deep.lnk", target.c_str());
    }
    // A network share.
    MakeLink("unc.lnk", "\\\\server\\share\\tools\\tool.exe");
    // No file-system target: the "My Computer" folder.
    {
        ComPtr<IShellLinkA> link = NewLink();
        LPITEMIDLIST pidl = nullptr;
        if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidl))) {
            link->SetIDList(pidl);
            ::CoTaskMemFree(pidl);
            Save(link.Get(), "mycomputer.lnk");
        }
    }

    ::DeleteFileA("Q:\\Programs\\Removed\\removed.exe");

    const std::string listPath = g_out + "\\getpath.txt";
    FILE* list = std::fopen(listPath.c_str(), "wb");
    if (list == nullptr) return 1;
    for (const char* name : {"intact.lnk", "broken.lnk", "never.lnk", "folder.lnk", "spaces.lnk",
                             "strings.lnk", "deep.lnk", "unc.lnk", "mycomputer.lnk"})
        Record(list, name);
    std::fclose(list);
    ::CoUninitialize();
    return 0;
}
