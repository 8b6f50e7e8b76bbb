// Builds the folder tree and shortcut files the shortcut benchmarks walk:
// FOLDERS folders under ROOT (ten to a parent), LINKS shortcuts spread over
// them, made through the shell as Windows makes them; every other shortcut's
// target file is created, the others are left missing (broken shortcuts).
//
//   bench_make_links_win32 ROOT FOLDERS LINKS
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_make_links_win32 ROOT FOLDERS LINKS\n");
        return 2;
    }
    const std::string root = argv[1];
    const int folders = std::atoi(argv[2]);
    const int links = std::atoi(argv[3]);
    CreateDirectoryA(root.c_str(), nullptr);
    const std::string targets = root + "\\targets";
    CreateDirectoryA(targets.c_str(), nullptr);
    std::vector<std::string> paths;
    for (int i = 0; i < folders; ++i) {
        // Folder i lives in folder (i - 1) / 10: a tree ten wide.
        const std::string parent = i == 0 ? root : paths[std::size_t((i - 1) / 10)];
        paths.push_back(parent + "\\f" + std::to_string(i));
        CreateDirectoryA(paths.back().c_str(), nullptr);
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return 1;
    int made = 0;
    for (int i = 0; i < links; ++i) {
        const std::string target = targets + "\\t" + std::to_string(i) + ".exe";
        HANDLE h = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        link->SetPath(target.c_str());
        const std::string where =
            (folders > 0 ? paths[std::size_t(i % folders)] : root) + "\\s" + std::to_string(i) + ".lnk";
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, where.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Save(wide, TRUE))) ++made;
        if (i % 2 == 1) DeleteFileA(target.c_str());
    }
    file->Release();
    link->Release();
    CoUninitialize();
    std::printf("%d folders, %d shortcuts (%d broken) under %s\n", folders, made, links / 2, root.c_str());
    return made == links ? 0 : 1;
}
