// Loading a registry export file of Windows 11 size into the registry held in
// memory (what `quillmere-cli --registry FILE` does first), against a floor:
// a program that reads the same file, turns its UTF-16 text into 8-bit text
// and splits it into lines, keeping all of them. Each load runs in a process
// of its own, so that its peak memory is its own; neither frees anything
// before it ends. Printed at 1/4, 1/2 and the whole size, so that growth
// shows: wall time, processor time (user and system; steadier than wall time
// on a busy machine) and peak resident memory of each, and their ratios.
//
//   bench_reg_load_posix [KEYS] [ROUNDS]   (default 700000 keys at the whole size, 3 rounds; the median is printed)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "platform/whole_file.h"

using namespace qm;

namespace {

using Clock = std::chrono::steady_clock;

// The file: vendor trees of product settings, about 320 bytes of UTF-16 and
// 1.7 values per key, as an export of a real HKEY_LOCAL_MACHINE.
void WriteExport(const std::string& file, long keys) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    text.reserve(static_cast<std::size_t>(keys) * 170);
    for (long i = 0; i < keys; ++i) {
        const std::string vendor = "Vendor" + std::to_string(i / 1000), product = "Product" + std::to_string(i / 10 % 100);
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + vendor + "\\" + product + "\\Settings" + std::to_string(i % 10) + "]\r\n";
        text += "\"InstallPath\"=\"C:\\\\Program Files\\\\" + vendor + "\\\\" + product + "\\\\bin\\\\component" +
                std::to_string(i) + ".dll\"\r\n";
        if (i % 10 < 7) text += "\"Version\"=dword:" + std::to_string(10000000 + i % 89999999) + "\r\n";
        text += "\r\n";
    }
    std::vector<char> bytes = {'\xFF', '\xFE'};
    bytes.reserve(text.size() * 2 + 2);
    for (const char c : text) {
        bytes.push_back(c);
        bytes.push_back(0);
    }
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The floor: read, decode, split, keep.
void Floor(const std::string& file) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (ReadWholeFile(file, kRegFileSizeLimit, bytes, error) != ReadStatus::Read) std::abort();
    std::string* text = new std::string;
    text->reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text->push_back(static_cast<char>(bytes[i]));
    auto* lines = new std::vector<std::string>;
    std::size_t pos = 0;
    while (pos < text->size()) {
        std::size_t end = text->find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text->size();
        lines->emplace_back(*text, pos, end - pos);
        pos = end + (end + 1 < text->size() && (*text)[end] == '\r' && (*text)[end + 1] == '\n' ? 2 : 1);
    }
    if (lines->size() < 2) std::abort();
    new std::vector<std::uint8_t>(std::move(bytes));  // kept to the end, as the text and lines are
}

void Load(const std::string& file) {
    MemoryRegistry* reg = new MemoryRegistry;  // kept to the end
    StreamRegFile(file, *reg);
}

struct Figures {
    double seconds = 0, processorSeconds = 0, peakMiB = 0;
};

// Runs `work` in a child process; its wall time and peak resident memory.
Figures InChild(void (*work)(const std::string&), const std::string& file) {
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const auto t0 = Clock::now();
        const double c0 = ProcessorSeconds();
        work(file);
        Figures f{std::chrono::duration<double>(Clock::now() - t0).count(), ProcessorSeconds() - c0, PeakMiB()};
        if (write(fds[1], &f, sizeof f) != sizeof f) _exit(1);
        _exit(0);  // no freeing, no destructors: the process's memory goes back whole
    }
    close(fds[1]);
    Figures f;
    const bool got = read(fds[0], &f, sizeof f) == sizeof f;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_reg_load_posix: a load failed\n");
        std::exit(2);
    }
    return f;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long keys = argc > 1 ? std::atol(argv[1]) : 700000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (keys < 4 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_reg_load_posix [KEYS >= 4] [ROUNDS >= 1]\n");
        return 2;
    }
    const std::string file = "bench-reg-load.reg";
    std::printf("%-6s %8s %6s  %7s %7s %5s  %7s %7s %5s  %8s %8s %5s\n", "scale", "keys", "MB", "load s", "floor s",
                "ratio", "load cpu", "floor", "ratio", "load MiB", "floor", "ratio");
    for (const int quarter : {1, 2, 4}) {
        const long n = keys * quarter / 4;
        WriteExport(file, n);
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        const double mb = double(in.tellg()) / 1e6;
        std::vector<double> loadS, floorS, loadC, floorC, loadM, floorM;
        for (int r = 0; r < rounds; ++r) {  // alternating
            const Figures l = InChild(Load, file), f = InChild(Floor, file);
            loadS.push_back(l.seconds);
            loadC.push_back(l.processorSeconds);
            floorC.push_back(f.processorSeconds);
            loadM.push_back(l.peakMiB);
            floorS.push_back(f.seconds);
            floorM.push_back(f.peakMiB);
        }
        const double ls = Median(loadS), fs = Median(floorS), lc = Median(loadC), fc = Median(floorC);
        const double lm = Median(loadM), fm = Median(floorM);
        std::printf("%-6s %8ld %6.0f  %7.2f %7.2f %5.2f  %7.2f %7.2f %5.2f  %8.0f %8.0f %5.2f\n",
                    quarter == 4 ? "1" : quarter == 2 ? "1/2" : "1/4", n, mb, ls, fs, ls / fs, lc, fc, lc / fc, lm, fm,
                    lm / fm);
        std::fflush(stdout);
    }
    std::remove(file.c_str());
    return 0;
}
