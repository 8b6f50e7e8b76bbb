// The shortcut scan of one folder tree (CShortcut::RecurseFolder, as the
// scan walks a drive) against its floor: a walk of the same tree that lists
// each folder once and resolves every shortcut through the shell, with COM
// initialised and one shell-link object made once for the whole walk, and
// tests each target once. Scan and floor run by turns; both must count the
// same shortcuts. tools/bench-wine builds the tree with bench_make_links_win32.
//
//   bench_shortcut_scan_win32 FOLDER [rounds]     (default 5)
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/shortcut.h"

using namespace qm;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Counts {
    long scanned = 0, broken = 0;
};

class Floor {
public:
    Floor() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link_));
        if (link_) link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file_));
    }
    ~Floor() {
        if (file_) file_->Release();
        if (link_) link_->Release();
        CoUninitialize();
    }
    bool Ready() const { return file_ != nullptr; }

    void Walk(const std::string& folder, Counts& counts) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return;
        std::vector<std::string> subFolders;
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subFolders.push_back(path);
            } else if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".lnk") == 0) {
                Resolve(path, counts);
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
        for (const std::string& sub : subFolders) Walk(sub, counts);
    }

private:
    void Resolve(const std::string& path, Counts& counts) {
        ++counts.scanned;
        wchar_t wide[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return;
        if (FAILED(file_->Load(wide, STGM_READ))) return;
        char target[MAX_PATH] = {};
        WIN32_FIND_DATAA fd;
        if (link_->GetPath(target, MAX_PATH, &fd, SLGP_RAWPATH) != S_OK || target[0] == '\0') return;
        if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) ++counts.broken;
    }

    IShellLinkA* link_ = nullptr;
    IPersistFile* file_ = nullptr;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_shortcut_scan_win32 FOLDER [rounds]\n");
        return 2;
    }
    const std::string root = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<double> scanTimes, floorTimes;
    Counts scan, floor;
    for (int r = 0; r < rounds; ++r) {
        {
            double t = Now();
            CShortcut shortcuts;
            shortcuts.RecurseFolder(root);
            scanTimes.push_back(Now() - t);
            scan.scanned = shortcuts.ItemsScanned();
            scan.broken = shortcuts.ErrorsFound();
        }
        {
            double t = Now();
            Floor walk;
            if (!walk.Ready()) {
                std::fprintf(stderr, "no shell link object\n");
                return 1;
            }
            floor = Counts{};
            walk.Walk(root, floor);
            floorTimes.push_back(Now() - t);
        }
    }
    const double s = Median(scanTimes), f = Median(floorTimes);
    std::printf("shortcut scan  %8.3f s   floor %8.3f s   ratio %.2fx   (median of %d; scan %ld shortcuts, %ld broken; "
                "floor %ld, %ld broken)\n",
                s, f, f > 0 ? s / f : 0.0, rounds, scan.scanned, scan.broken, floor.scanned, floor.broken);
    return 0;
}
