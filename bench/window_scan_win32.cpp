// The window's scan against the command line's, on the same registry and
// drives, by turns in one run:
//   window        quillmere.exe scan: from its main window showing to its
//                 result panel showing (the scan and the filling of the list)
//   command line  quillmere-cli scan --drives D, less the command line's own
//                 start-up (quillmere-cli ignore list)
// Each round gives the ratio window / command line; printed as min / median /
// max, with the seconds of the best rounds. Both programs are taken from this
// program's own folder and run in the current folder (the same ignore list).
// The window's shortcut scan keeps to the same drives
// (QUILLMERE_SHORTCUT_DRIVES); its areas are those it ticks at a fresh start
// (all of them), as the command line's default is. Needs a display.
//
//   bench_window_scan_win32 [ROUNDS] [DRIVES]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Now() {
    LARGE_INTEGER counter{}, frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string OwnFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    const std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

// Owns a started process's handles.
struct Process {
    PROCESS_INFORMATION info{};
    ~Process() {
        if (info.hThread != nullptr) CloseHandle(info.hThread);
        if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    }
};

bool Start(const std::string& commandLine, Process& process, HANDLE output) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        startup.hStdInput = nullptr;
    }
    std::string line = commandLine;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                          &process.info) != FALSE;
}

// Seconds a console program takes, its output thrown away; negative on failure.
double TimeConsole(const std::string& commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE null = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                              nullptr);
    Process process;
    const double start = Now();
    const bool started = Start(commandLine, process, null);
    if (started) WaitForSingleObject(process.info.hProcess, INFINITE);
    const double took = Now() - start;
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    return started ? took : -1.0;
}

struct Found {
    DWORD pid;
    HWND window;
};

HWND MainWindowOf(DWORD pid) {
    Found found{pid, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Found*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            char name[64] = "";
            GetClassNameA(w, name, sizeof name);
            if (owner != f->pid || !IsWindowVisible(w) || std::string(name) != "QuillmereMainWindow") return TRUE;
            f->window = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.window;
}

// Polls `done` every 10 ms (a light touch: the programs under test share
// the processor with this one) for at most `seconds`.
template <typename Done>
bool Await(Done done, double seconds) {
    const double until = Now() + seconds;
    while (!done()) {
        if (Now() > until) return false;
        Sleep(10);
    }
    return true;
}

// Seconds from the window showing to its result panel showing; negative on
// failure. The program is closed afterwards as a user closes it.
double TimeWindowScan(const std::string& program) {
    Process process;
    if (!Start("\"" + program + "\" scan", process, nullptr)) return -1.0;
    HWND main = nullptr;
    double scanned = -1.0;
    if (Await([&] { return (main = MainWindowOf(process.info.dwProcessId)) != nullptr; }, 120.0)) {
        const double shown = Now();
        HWND result = FindWindowExA(main, nullptr, "QuillmerePanel", "SUBMAIN_RESULT");
        if (result != nullptr && Await([&] { return IsWindowVisible(result) != FALSE; }, 3600.0))
            scanned = Now() - shown;
        PostMessageA(main, WM_COMMAND, 32773, 0);  // the tray menu's "Close"
    }
    if (WaitForSingleObject(process.info.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.info.hProcess, 1);
        WaitForSingleObject(process.info.hProcess, INFINITE);
    }
    return scanned;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[(v.size() - 1) / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string drives = argc > 2 ? argv[2] : "C";
    const std::string folder = OwnFolder();
    const std::string window = folder + "\\quillmere.exe";
    const std::string cli = "\"" + folder + "\\quillmere-cli.exe\"";
    SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", drives.c_str());

    std::vector<double> windowTimes, cliTimes, ratios;
    for (int round = 0; round < rounds; ++round) {
        const double startUp = TimeConsole(cli + " ignore list");
        double w = -1.0, c = -1.0;
        // Which of the two goes first changes from round to round.
        if (round % 2 == 0) {
            w = TimeWindowScan(window);
            c = TimeConsole(cli + " scan --drives " + drives);
        } else {
            c = TimeConsole(cli + " scan --drives " + drives);
            w = TimeWindowScan(window);
        }
        if (w < 0 || c < 0 || startUp < 0) {
            std::fprintf(stderr, "bench_window_scan: round %d failed (window %.3f s, command line %.3f s)\n",
                         round + 1, w, c);
            return 1;
        }
        c = std::max(0.001, c - startUp);
        windowTimes.push_back(w);
        cliTimes.push_back(c);
        ratios.push_back(w / c);
        std::printf("round %d: window %.3f s   command line %.3f s (start-up %.3f s taken off)   ratio %.2fx\n",
                    round + 1, w, c, startUp, w / c);
        std::fflush(stdout);
    }
    std::vector<double> sorted = ratios;
    std::sort(sorted.begin(), sorted.end());
    std::printf("window scan %.3f s   command line scan %.3f s   (best rounds)   ratio %.2fx / %.2fx / %.2fx"
                " (min / median / max of %d rounds; goal 1.10x)\n",
                *std::min_element(windowTimes.begin(), windowTimes.end()),
                *std::min_element(cliTimes.begin(), cliTimes.end()), sorted.front(), Median(ratios), sorted.back(),
                rounds);
    return 0;
}
