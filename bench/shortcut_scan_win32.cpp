// The shortcut scan of one folder tree (CShortcut::RecurseFolder, as the
// scan walks a drive) against its floor, bench::ResolvingWalk
// (bench/shortcut_walk_win32.h, the floor bench_shortcut_walk uses too): a
// walk of the same tree that lists each folder once, resolves every shortcut
// through one shell-link object and tests each target once. Scan and floor
// run by turns, each first in every other round, after one untimed round of
// each: the first walks after Wine's server starts pay for its start-up (the
// shell's and COM's first loads, Wine's services), seconds that once made the
// scan look twice as slow as its floor. Both must count the same shortcuts.
// tools/bench-wine builds the tree with bench_make_links_win32.
//
// The two shortcut benchmarks differ in their trees only: this one walks
// bench_make_links_win32's (ten folders to a parent, a shortcut in every
// fourth folder, each to a target of its own in one folder of targets);
// bench_shortcut_walk makes its own (ten times the folders, a shortcut in
// every tenth, all naming one of two targets, and plain files).
//
//   bench_shortcut_scan_win32 FOLDER [rounds] [scan|floor]     (default 5)
//
// With "scan" or "floor" only that walk runs (for call traces of one side,
// e.g. WINEDEBUG=+relay on a small tree). Counted so on a tree of 22 folders
// and 5 shortcuts, both make the same calls per folder: the scan one
// CreateFileA, two GetFileInformationByHandleEx reads of the listing and one
// CloseHandle; the floor FindFirstFileA, FindNextFileA up to the end and
// FindClose, the same open, two directory reads and close underneath. The
// scan adds some 45 calls once per walk (the drives and their types, the
// identities of the drive roots and of the top folder, the stop event).
// The walks grow faster than this tree (from 6,000 folders to 20,000, some
// 17 times the time under Wine), the floor's as much as the scan's: the
// missing targets all lie in one folder that grows with the tree, and Wine
// looks for a name it does not find at once through that folder's listing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/shortcut_walk_win32.h"
#include "engine/shortcut.h"

using namespace qm;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) return 0;
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

struct Runs {
    std::vector<double> seconds, processor;
    long scanned = 0, broken = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_shortcut_scan_win32 FOLDER [rounds] [scan|floor]\n");
        return 2;
    }
    const std::string root = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string only = argc > 3 ? argv[3] : "";
    const bool withScan = only != "floor", withFloor = only != "scan";
    Runs scan, floor;
    const auto runScan = [&](bool timed) {
        const double t = Now(), c = bench::ProcessCpuSeconds();
        CShortcut shortcuts;
        shortcuts.RecurseFolder(root);
        if (!timed) return;
        scan.seconds.push_back(Now() - t);
        scan.processor.push_back(bench::ProcessCpuSeconds() - c);
        scan.scanned = shortcuts.ItemsScanned();
        scan.broken = shortcuts.ErrorsFound();
    };
    const auto runFloor = [&](bool timed) {
        const double t = Now(), c = bench::ProcessCpuSeconds();
        bench::FloorCounts counts;
        bench::ResolvingWalk(true).Run(root, counts);
        if (!timed) return;
        floor.seconds.push_back(Now() - t);
        floor.processor.push_back(bench::ProcessCpuSeconds() - c);
        floor.scanned = counts.shortcuts;
        floor.broken = counts.broken;
    };
    if (withScan) runScan(false);
    if (withFloor) runFloor(false);
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        const bool scanFirst = r % 2 == 0;
        if (withScan && scanFirst) runScan(true);
        if (withFloor) runFloor(true);
        if (withScan && !scanFirst) runScan(true);
        if (withScan && withFloor) ratios.push_back(scan.seconds.back() / floor.seconds.back());
    }
    const double s = Median(scan.seconds), f = Median(floor.seconds);
    const double sc = Median(scan.processor), fc = Median(floor.processor);
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("shortcut scan  %8.3f s   floor %8.3f s   ratio %.2fx   median of the rounds' ratios %.2fx\n", s, f,
                ratio(s, f), Median(ratios));
    std::printf("  processor    %8.3f s   floor %8.3f s   ratio %.2fx   (Wine's server not counted)\n", sc, fc,
                ratio(sc, fc));
    std::printf("  (medians of %d rounds; scan %ld shortcuts, %ld broken; floor %ld, %ld broken)\n", rounds,
                scan.scanned, scan.broken, floor.scanned, floor.broken);
    if (withScan && withFloor && (scan.scanned != floor.scanned || scan.broken != floor.broken)) {
        std::printf("COUNTS DIFFER\n");
        return 1;
    }
    return 0;
}
