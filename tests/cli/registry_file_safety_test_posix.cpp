// quillmere-cli's own files under faults: the ignore list and the kept
// original of a registry file ("FILE.orig") stay whole when a run is killed
// at any point; a list that cannot be written stops `fix --keep` before it
// removes anything; runs that change one registry file take turns; and
// inputs that are not a usable registry or drive folder are refused.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/directory_stream_posix.h"
#include "platform/file_descriptor_posix.h"
#include "tests/cli/cli_process.h"

extern char** environ;

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;
using testing::WriteWholeFile;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (const DirectoryStream d{opendir(folder.c_str())}) {
        while (const dirent* e = readdir(d.Get()))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    }
    return names;
}

// Starts quillmere-cli with `args` (no shell), its standard error going to
// `errFile` and its standard output nowhere.
pid_t Start(const std::vector<std::string>& args, const std::string& errFile = "/dev/null") {
    std::vector<std::string> all{QM_CLI_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// How long one unhindered run takes, in microseconds.
long long TimeRun(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(Start(args)), 0);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// Runs `args` and kills it after a random time between `fromMicros` and
// `toMicros`.
void RunAndKill(const std::vector<std::string>& args, long long fromMicros, long long toMicros,
                std::mt19937& random) {
    const pid_t pid = Start(args);
    ASSERT_GT(pid, 0);
    std::uniform_int_distribution<long long> at(fromMicros, toMicros);
    std::this_thread::sleep_for(std::chrono::microseconds(at(random)));
    ::kill(pid, SIGKILL);
    Wait(pid);
}

void RemoveMatching(const std::string& prefix, const std::string& suffix = "") {
    for (const std::string& name : NamesIn("."))
        if (name.rfind(prefix, 0) == 0 && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            std::remove(name.c_str());
}

const char kFontsKey[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n";

// A registry export with one broken font entry, and `bulk` further keys that
// make writing it take a while.
std::string RegistryText(int bulk) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    text += kFontsKey;
    text += "\"Qm Keep (TrueType)\"=\"C:\\\\QmGone\\\\keep.ttf\"\r\n";
    text += "\"Qm Drop (TrueType)\"=\"C:\\\\QmGone\\\\drop.ttf\"\r\n\r\n";
    for (int i = 0; i < bulk; ++i)
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBulk\\Key" + std::to_string(i) +
                "]\r\n\"Data\"=\"some text to make the file longer\"\r\n\r\n";
    return text;
}

class RegistryFileSafety : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home_ = cwd;
        scratch_ = home_ + "/file-safety";
        std::system(("rm -rf '" + scratch_ + "'").c_str());
        ASSERT_EQ(mkdir(scratch_.c_str(), 0777), 0);
        ASSERT_EQ(chdir(scratch_.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(home_.c_str()), 0);
        std::system(("rm -rf '" + scratch_ + "'").c_str());
    }
    std::string home_, scratch_;
    std::mt19937 random_{20261207};
};

// --- crash safety -------------------------------------------------------------

TEST_F(RegistryFileSafety, KilledIgnoreListWriteLeavesTheOldListOrTheNewOne) {
    std::string before;
    for (int i = 0; i < 60000; ++i) before += "C:\\Program Files\\Some Vendor\\file" + std::to_string(i) + ".dll\n";
    const std::string after = before + "C:\\added.dll\n";
    const std::vector<std::string> add{"--ignore-file", "big.lst", "ignore", "add", "C:\\added.dll"};
    WriteWholeFile("big.lst", before);
    const long long micros = TimeRun(add);
    ASSERT_EQ(ReadWholeFile("big.lst"), after);

    int old = 0, changed = 0;
    for (int round = 0; round < 30; ++round) {
        WriteWholeFile("big.lst", before);
        RunAndKill(add, 0, micros, random_);
        const std::string now = ReadWholeFile("big.lst");
        ASSERT_TRUE(now == before || now == after) << "round " << round << ": " << now.size() << " bytes";
        (now == before ? old : changed)++;
        RemoveMatching("big.lst.", ".tmp");  // what a killed run leaves behind
    }
    std::printf("ignore list: %d kills left the old list, %d the new one\n", old, changed);
}

TEST_F(RegistryFileSafety, KilledFirstFixLeavesTheRegistryAndItsOriginalWhole) {
    const std::string original = RegistryText(3000);
    const std::vector<std::string> fix{"--registry", "big.reg", "--ignore-file", "none.lst",
                                       "fix",        "--categories", "fonts"};
    WriteWholeFile("big.reg", original);
    const long long micros = TimeRun(fix);
    const std::string fixed = ReadWholeFile("big.reg");
    ASSERT_EQ(fixed.find("Qm Drop"), std::string::npos);
    ASSERT_EQ(ReadWholeFile("big.reg.orig"), original);

    int untouched = 0, kept = 0, done = 0;
    for (int round = 0; round < 30; ++round) {
        WriteWholeFile("big.reg", original);
        std::remove("big.reg.orig");
        // Reading, scanning and repairing take the first part of a run; the
        // kills aim at the writes at its end.
        RunAndKill(fix, micros / 2, micros + micros / 20, random_);
        const std::string now = ReadWholeFile("big.reg");
        ASSERT_TRUE(now == original || now == fixed) << "round " << round << ": " << now.size() << " bytes";
        if (Exists("big.reg.orig")) {
            ASSERT_EQ(ReadWholeFile("big.reg.orig"), original) << "round " << round;
            (now == fixed ? done : kept)++;
        } else {
            ASSERT_EQ(now, original) << "round " << round << ": written back without its original";
            untouched++;
        }
        RemoveMatching("big.reg.", ".tmp");
        RemoveMatching("FixedOn");
    }
    std::printf("fix: %d kills before the original was kept, %d after, %d after the write-back\n", untouched,
                kept, done);
}

TEST_F(RegistryFileSafety, IncompleteOriginalIsReplacedAndAWholeOneKept) {
    const std::string original = RegistryText(50);
    const std::vector<std::string> cuts = {
        "",                                              // killed right after creating it
        original.substr(0, original.size() / 2),         // cut inside a line
        original.substr(0, original.find("keep.ttf")),   // inside a quoted text
        std::string("\xFF\xFE[\0H", 5),                  // UTF-16 cut inside a character
    };
    for (const std::string& cut : cuts) {
        WriteWholeFile("cut.reg", original);
        WriteWholeFile("cut.reg.orig", cut);
        const auto run = RunCli("--registry cut.reg --ignore-file none.lst fix --categories fonts");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("\"cut.reg.orig\" was incomplete"), std::string::npos) << run.err;
        EXPECT_EQ(ReadWholeFile("cut.reg.orig"), original);
    }
    // A whole original from an earlier fix stays as it is.
    const std::string earlier = RegistryText(3);
    WriteWholeFile("cut.reg", original);
    WriteWholeFile("cut.reg.orig", earlier);
    const auto run = RunCli("--registry cut.reg --ignore-file none.lst fix --categories fonts");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_EQ(ReadWholeFile("cut.reg.orig"), earlier);

    // An original that cannot be kept stops the fix before it removes anything.
    WriteWholeFile("cut.reg", original);
    std::remove("cut.reg.orig");
    RemoveMatching("FixedOn");
    ASSERT_EQ(mkdir("cut.reg.orig", 0777), 0);
    const auto stopped = RunCli("--registry cut.reg --ignore-file none.lst fix --categories fonts");
    EXPECT_EQ(stopped.exitCode, 2);
    EXPECT_NE(stopped.err.find("nothing was removed"), std::string::npos) << stopped.err;
    EXPECT_EQ(ReadWholeFile("cut.reg"), original);
    for (const std::string& name : NamesIn(".")) EXPECT_EQ(name.rfind("FixedOn", 0), std::string::npos) << name;
}

// --- the ignore list must be written before anything is removed -------------

TEST_F(RegistryFileSafety, FixKeepWithAnUnwritableIgnoreListRemovesNothing) {
    const std::string original = RegistryText(0);
    ASSERT_EQ(mkdir("readonly", 0555), 0);
    WriteWholeFile("readonly-list.lst", "C:\\earlier.dll\n");
    ASSERT_EQ(chmod("readonly-list.lst", 0444), 0);
    for (const char* list : {"no-such-folder/ignore.lst", "readonly-list.lst", "."}) {
        WriteWholeFile("keep.reg", original);
        const auto run = RunCli(std::string("--registry keep.reg --ignore-file ") + list +
                                " fix --categories fonts --keep 'C:\\QmGone\\keep.ttf'");
        EXPECT_EQ(run.exitCode, 2) << list << ": " << run.out;
        EXPECT_NE(run.err.find("ignore list"), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("kept:"), std::string::npos) << run.out;
        EXPECT_EQ(ReadWholeFile("keep.reg"), original) << list;
        EXPECT_FALSE(Exists("keep.reg.orig")) << list;
    }
    EXPECT_EQ(ReadWholeFile("readonly-list.lst"), "C:\\earlier.dll\n");
    for (const std::string& name : NamesIn(".")) EXPECT_EQ(name.rfind("FixedOn", 0), std::string::npos) << name;

    // With nothing to keep the list is not written, and a read-only one is no obstacle.
    const auto run = RunCli("--registry keep.reg --ignore-file readonly-list.lst fix --categories fonts");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadWholeFile("keep.reg").find("Qm Drop"), std::string::npos);
    chmod("readonly-list.lst", 0644);
}

// --- one run at a time on a registry file -----------------------------------

TEST_F(RegistryFileSafety, ConcurrentRunsOnOneRegistryFileKeepEachOthersChanges) {
    for (int round = 0; round < 4; ++round) {
        WriteWholeFile("shared.reg", RegistryText(2000));
        const pid_t fix = Start({"--registry", "shared.reg", "--ignore-file", "none.lst", "fix", "--categories", "fonts"});
        const pid_t set = Start({"--registry", "shared.reg", "settings", "set", "savecountreg", std::to_string(round + 5)});
        EXPECT_EQ(Wait(fix), 0);
        EXPECT_EQ(Wait(set), 0);
        // Written back as it was read: UTF-8.
        const std::string text = ReadWholeFile("shared.reg");
        auto has = [&text](const std::string& name) { return text.find(name) != std::string::npos; };
        EXPECT_FALSE(has("Qm Drop")) << "round " << round << ": the fix was undone";
        EXPECT_TRUE(has("savecountreg")) << "round " << round << ": the setting was undone";
        RemoveMatching("FixedOn");
    }
}

TEST_F(RegistryFileSafety, ASecondRunWaitsForTheFirstAndReadsWhatItWrote) {
    WriteWholeFile("held.reg", RegistryText(0));
    FileDescriptor held(::open("held.reg", O_RDONLY));
    ASSERT_TRUE(held);
    ASSERT_EQ(::flock(held.Get(), LOCK_EX), 0);  // as a running fix holds it
    const pid_t fix = Start({"--registry", "held.reg", "--ignore-file", "none.lst", "fix", "--categories", "fonts"},
                            "held-err.txt");
    // It says that it waits, and goes on waiting while the file is held.
    EXPECT_TRUE(testing::WaitForFileText("held-err.txt", "waiting for another run")) << ReadWholeFile("held-err.txt");
    EXPECT_EQ(waitpid(fix, nullptr, WNOHANG), 0) << "it did not wait";
    // The holder replaces the file (as a fix does) and lets go: the waiting run
    // works on the new file.
    WriteWholeFile("held.reg.new", RegistryText(0) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QmWrittenMeanwhile]\r\n\r\n");
    ASSERT_EQ(std::rename("held.reg.new", "held.reg"), 0);
    held.Close();
    EXPECT_EQ(Wait(fix), 0) << ReadWholeFile("held-err.txt");
    const std::string narrow = ReadWholeFile("held.reg");
    EXPECT_NE(narrow.find("QmWrittenMeanwhile"), std::string::npos);
    EXPECT_EQ(narrow.find("Qm Drop"), std::string::npos);
}

// --- inputs that cannot be what they claim ------------------------------------

TEST_F(RegistryFileSafety, MissingDriveFolderAndOversizedOrDeviceRegistriesAreRefused) {
    WriteWholeFile("plain-file", "x");
    for (const char* drive : {"C=/no/such/dir", "C=plain-file"}) {
        const auto run = RunCli(std::string("--drive ") + drive + " scan");
        EXPECT_EQ(run.exitCode, 2) << drive;
        EXPECT_NE(run.err.find("no such folder"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    // A sparse file just over the limit: refused from its size, never read.
    const std::string text = RegistryText(0);
    WriteWholeFile("huge.reg", text);
    ASSERT_EQ(truncate("huge.reg", (1ll << 30) + 1), 0);
    for (const char* reg : {"huge.reg", "/dev/zero"}) {
        for (const char* command : {"scan", "fix", "restore nothing.xml"}) {
            const auto run = RunCli(std::string("--registry ") + reg + " " + command);
            EXPECT_EQ(run.exitCode, 2) << reg << " " << command;
            EXPECT_EQ(run.err.find("bad_alloc"), std::string::npos) << run.err;
            EXPECT_TRUE(run.err.find("larger than") != std::string::npos ||
                        run.err.find("device") != std::string::npos)
                << run.err;
        }
    }
}

}  // namespace
}  // namespace qm
