// The Windows side of bench_shortcut_walk: shortcuts made by the shell, and
// the floor the walk is measured against, written with the bare Win32 calls:
// FindFirstFileA / FindNextFileA over every directory, and every ".lnk" file
// read through one shell-link object (COM initialised once) and its target
// tested with GetFileAttributesA.
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
        const HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            const std::string path = folder + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
                ++counts.directories;
                Walk(shell, path, counts);
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
    }

    bool resolve_;
};

}  // namespace bench
