// The Windows side of the shortcut benchmarks (bench_shortcut_walk,
// bench_shortcut_scan_win32): shortcuts made by the shell, processor time, and
// the floor the walk is measured against (ResolvingWalk), written with the
// bare Win32 calls.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using Microsoft::WRL::ComPtr;

struct ShellLink {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    bool Create() {
        return SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IShellLinkA, reinterpret_cast<void**>(link.GetAddressOf()))) &&
               SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf())));
    }
};

inline bool ToWide(const std::string& path, WCHAR (&wide)[MAX_PATH]) {
    return ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) != 0;
}

// Saves each (shortcut path, target path) pair as a shortcut made by the shell.
inline int MakeShortcuts(const std::vector<std::pair<std::string, std::string>>& links) {
    ::CoInitialize(nullptr);
    int made = 0;
    {
        ShellLink shell;
        if (shell.Create()) {
            for (const auto& [path, target] : links) {
                WCHAR wide[MAX_PATH];
                if (FAILED(shell.link->SetPath(target.c_str())) || !ToWide(path, wide)) continue;
                if (SUCCEEDED(shell.file->Save(wide, TRUE))) ++made;
            }
        }
    }
    ::CoUninitialize();
    return made;
}

// Processor time of this process (user and kernel), in seconds.
inline double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct FloorCounts {
    long directories = 0;
    long shortcuts = 0;
    long broken = 0;
};

// The floor of the shortcut walk, shared by bench_shortcut_walk and
// bench_shortcut_scan_win32 so that both measure against the same work: COM
// initialised once and one shell-link object for the whole walk (both made
// inside the timed walk, as the scan makes its own); each directory listed
// once with FindFirstFileA (folder + "\\*") / FindNextFileA; every ".lnk" file
// loaded as it is listed and its target read with the flags the scan uses
// (SLGP_SHORTPATH) and tested with GetFileAttributesA; the sub-directories
// entered after the listing is closed (one open listing at a time, as the
// scan does), reparse points left out (the benchmark trees have none). With
// resolve false it is the bare walk: listings only.
class ResolvingWalk {
public:
    explicit ResolvingWalk(bool resolve) : resolve_(resolve) {}

    void Run(const std::string& folder, FloorCounts& counts) {
        ::CoInitialize(nullptr);
        {
            ShellLink shell;
            if (!resolve_ || shell.Create()) Walk(shell, folder, counts);
        }
        ::CoUninitialize();
    }

private:
    static bool EndsWithLnk(const char* name) {
        const std::size_t n = std::strlen(name);
        return n >= 4 && ::lstrcmpiA(name + n - 4, ".lnk") == 0;
    }

    void Walk(ShellLink& shell, const std::string& folder, FloorCounts& counts) {
        WIN32_FIND_DATAA found;
        const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return;
        std::vector<std::string> subFolders;
        do {
            const std::string path = folder + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
                ++counts.directories;
                subFolders.push_back(path);
            } else if (resolve_ && EndsWithLnk(found.cFileName)) {
                ++counts.shortcuts;
                WCHAR wide[MAX_PATH];
                if (!ToWide(path, wide) || FAILED(shell.file->Load(wide, STGM_READ))) continue;
                char target[MAX_PATH];
                WIN32_FIND_DATAA data;
                if (SUCCEEDED(shell.link->GetPath(target, MAX_PATH, &data, SLGP_SHORTPATH)) && target[0] != '\0' &&
                    ::GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
                    ++counts.broken;
            }
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
        for (const std::string& sub : subFolders) Walk(shell, sub, counts);
    }

    bool resolve_;
};

}  // namespace bench
