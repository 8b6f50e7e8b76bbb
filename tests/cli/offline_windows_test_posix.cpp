// quillmere-cli --windows DIR on the hive files of a Windows installation,
// made at test time from the same registries the --registry tests use.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "emulation/hive_registry_posix.h"
#include "emulation/name_case.h"
#include "emulation/reg_file.h"
#include "platform/file_descriptor_posix.h"
#include "platform/whole_file.h"
#include "tests/cli/cli_process.h"
#include "tests/support/generated_installation.h"
#include "tests/support/hive_maker.h"
#include "tests/support/registry_dump.h"

namespace qm {
namespace {

using testing::RunCli;

const std::string kDemo = std::string(QM_TEST_DATA_DIR) + "/../../demo";
const std::string kConfig = "/Windows/System32/config/";
const std::string kUserDir = "/Users/User";
const std::string kClasses = "/Users/User/AppData/Local/Microsoft/Windows/UsrClass.dat";

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// A fresh folder `name` holding demo/C, demo.reg and the hives made from it in C/.
void MakeDemoInstallation(const std::string& name) {
    Shell("rm -rf " + name + " && mkdir " + name);
    Shell("cp -r '" + kDemo + "/C' '" + kDemo + "/demo.reg' " + name + "/");
    MemoryRegistry reg;
    LoadRegFile(name + "/demo.reg", reg);
    testing::WriteHiveSet(reg, name + "/C");
}

std::string Bytes(const std::string& file) { return testing::ReadWholeFile(file); }

// Every key and value of a hive, read through hivex, as sorted lines.
std::vector<std::string> HiveContents(const std::string& file) {
    HiveRegistry reg;
    reg.Mount(file, "HKEY_USERS\\H", false);
    return testing::SortedDump(testing::DumpTree(reg, kHkeyUsers, "H"));
}

// What regfexport (libregf, a reader independent of hivex) shows of a hive:
// the key paths, and one record per value ("KEY PATH\nValue: name\nType...").
struct Export {
    bool read = false;
    std::set<std::string> keys;
    std::set<std::string> values;
};

std::string Upper(const std::string& s) {
    std::string u = s;
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return std::toupper(c); });
    return u;
}

Export RegfExport(const std::string& file) {
    Export e;
    const std::string out = "regfexport.txt";
    if (std::system(("regfexport '" + file + "' > " + out + " 2>&1").c_str()) != 0) return e;
    e.read = true;
    std::istringstream in(Bytes(out));
    std::string line, key, record;
    const auto flush = [&]() {
        if (!record.empty()) e.values.insert(Upper(key) + "\n" + record);
        record.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("Key path: ", 0) == 0) {
            flush();
            key = line.substr(10);
            e.keys.insert(Upper(key));
        } else if (line.rfind("Value: ", 0) == 0) {
            flush();
            // "Value: N name": the index moves when an earlier value goes.
            const std::string rest = line.substr(7);
            record = "Value: " + rest.substr(rest.find(' ') + 1) + "\n";
        } else if (line.empty()) {
            flush();
        } else if (!record.empty()) {
            record += line + "\n";
        }
    }
    flush();
    return e;
}

// The key path regfexport shows for a finding's key in the SOFTWARE hive.
std::string SoftwarePath(const std::string& key) {
    const std::string u = Upper(key);
    for (const auto& [root, in] : {std::pair<std::string, std::string>{"HKEY_CLASSES_ROOT\\", "ROOT\\CLASSES\\"},
                                   {"HKEY_LOCAL_MACHINE\\SOFTWARE\\", "ROOT\\"}})
        if (u.rfind(root, 0) == 0) return in + u.substr(root.size());
    return "";
}

nlohmann::json Json(const testing::CliRun& run) { return nlohmann::json::parse(run.out); }

// A scan of the hives as a scan of the same registry in a file gives it: the
// file has no user's classes, so every class it finds is the machine's.
nlohmann::json WithoutMachineHive(nlohmann::json scan) {
    for (auto& f : scan["findings"]) {
        if (f.contains("hive") && f["hive"] == "machine") f.erase("hive");
    }
    return scan;
}

TEST(OfflineWindows, ScanFindsWhatTheRegistryFileGivesOnTheSameData) {
    MakeDemoInstallation("same");
    const auto file = RunCli("--registry same/demo.reg --drive C=same/C scan --json");
    const auto hives = RunCli("--windows same/C scan --json");
    ASSERT_EQ(file.exitCode, 1) << file.err;
    ASSERT_EQ(hives.exitCode, 1) << hives.err;
    EXPECT_EQ(WithoutMachineHive(Json(hives)), Json(file));
    EXPECT_EQ(Json(hives)["findings"].size(), 10u);

    // A generated installation of a few thousand keys in every category.
    Shell("rm -rf gen && mkdir -p gen/C");
    MemoryRegistry reg;
    testing::GenerateInstallation(reg, "gen/C", 800);
    SaveRegFile("gen/gen.reg", reg, RegFileFormat::Unicode5);
    testing::WriteHiveSet(reg, "gen/C");
    const auto genFile = RunCli("--registry gen/gen.reg --drive C=gen/C scan --categories com,shareddlls,drivers,help,apppaths,sharedtools,fonts,startup,uninstall --json");
    const auto genHives = RunCli("--windows gen/C scan --categories com,shareddlls,drivers,help,apppaths,sharedtools,fonts,startup,uninstall --json");
    ASSERT_EQ(genFile.exitCode, 1) << genFile.err;
    ASSERT_EQ(genHives.exitCode, 1) << genHives.err;
    EXPECT_EQ(WithoutMachineHive(Json(genHives)), Json(genFile));
    const auto generated = Json(genHives);
    EXPECT_GT(generated["findings"].size(), 100u);
    for (const auto& row : generated["rows"]) EXPECT_GT(row["found"].get<int>(), 0) << row;
}

TEST(OfflineWindows, FixRemovesExactlyTheFindingsAndRestoreGivesTheHivesBack) {
    MakeDemoInstallation("cycle");
    const std::string software = "cycle/C" + kConfig + "SOFTWARE";
    const std::string ntuser = "cycle/C" + kUserDir + "/NTUSER.DAT";
    const std::string softwareBytes = Bytes(software), ntuserBytes = Bytes(ntuser);
    const auto softwareBefore = HiveContents(software), ntuserBefore = HiveContents(ntuser);
    const auto systemBytes = Bytes("cycle/C" + kConfig + "SYSTEM");
    const Export exportBefore = RegfExport(software);

    const auto scan = RunCli("--windows cycle/C scan --json");
    ASSERT_EQ(scan.exitCode, 1) << scan.err;
    const auto scanJson = Json(scan);
    const auto& findings = scanJson["findings"];
    const auto fix = RunCli("--windows cycle/C fix --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    const auto fixJson = Json(fix);
    int fixed = 0;
    for (const auto& row : fixJson["rows"]) fixed += row["fixed"].get<int>();
    EXPECT_EQ(fixed, 11);
    EXPECT_EQ(RunCli("--windows cycle/C scan").exitCode, 0);

    // The original is kept; hives nothing was removed from are not rewritten.
    EXPECT_EQ(Bytes(software + ".orig"), softwareBytes);
    EXPECT_EQ(Bytes(ntuser), ntuserBytes);
    EXPECT_EQ(Bytes("cycle/C" + kConfig + "SYSTEM"), systemBytes);
    EXPECT_NE(access(("cycle/C" + kConfig + "SYSTEM.orig").c_str(), F_OK), 0);
    EXPECT_NE(access((ntuser + ".orig").c_str(), F_OK), 0);

    // An independent reader sees the found keys and values gone and nothing else changed.
    const Export exportAfter = RegfExport(software);
    if (exportBefore.read) {
        ASSERT_TRUE(exportAfter.read) << "regfexport cannot read the fixed hive";
        std::set<std::string> removedKeys, removedValues;
        for (const std::string& k : exportBefore.keys)
            if (!exportAfter.keys.count(k)) removedKeys.insert(k);
        for (const std::string& v : exportBefore.values)
            if (!exportAfter.values.count(v)) removedValues.insert(v);
        for (const std::string& k : exportAfter.keys) EXPECT_TRUE(exportBefore.keys.count(k)) << "new key " << k;
        for (const std::string& v : exportAfter.values) EXPECT_TRUE(exportBefore.values.count(v)) << "changed " << v;
        std::set<std::string> findingKeys, findingValues;
        for (const auto& f : findings) {
            const std::string path = SoftwarePath(f["key"]);
            if (path.empty()) continue;  // in another hive
            if (f["kind"] == "KEY") findingKeys.insert(path);
            else findingValues.insert(Upper(path + "\nValue: " + f["value"].get<std::string>()));
        }
        for (const std::string& k : findingKeys) EXPECT_TRUE(removedKeys.count(k)) << "still there: " << k;
        const auto underFindingKey = [&findingKeys](const std::string& path) {
            for (const std::string& k : findingKeys)
                if (path == k || path.rfind(k + "\\", 0) == 0) return true;
            return false;
        };
        for (const std::string& k : removedKeys) EXPECT_TRUE(underFindingKey(k)) << "removed: " << k;
        for (const std::string& v : removedValues) {
            const std::string key = v.substr(0, v.find('\n'));
            const std::string name = Upper(v.substr(0, v.find('\n', key.size() + 1)));
            EXPECT_TRUE(underFindingKey(key) || findingValues.count(name)) << "removed: " << v;
        }
        EXPECT_FALSE(findingValues.empty());
    }

    const auto restore = RunCli("--windows cycle/C restore " + Json(fix)["backup"].get<std::string>());
    EXPECT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    EXPECT_EQ(HiveContents(software), softwareBefore);
    EXPECT_EQ(HiveContents(ntuser), ntuserBefore);
    EXPECT_EQ(RunCli("--windows cycle/C scan --json").out, scan.out);
}

// Sets the hive's secondary sequence number (as Windows leaves it while a
// write is unfinished) and its header checksum.
void SetSecondarySequence(const std::string& file, std::uint32_t value) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<std::uint8_t> head(512);
    f.read(reinterpret_cast<char*>(head.data()), 512);
    for (int i = 0; i < 4; ++i) head[8 + i] = static_cast<std::uint8_t>(value >> (8 * i));
    std::uint32_t sum = 0;
    for (int i = 0; i < 508; i += 4)
        sum ^= std::uint32_t(head[i]) | std::uint32_t(head[i + 1]) << 8 | std::uint32_t(head[i + 2]) << 16 |
               std::uint32_t(head[i + 3]) << 24;
    for (int i = 0; i < 4; ++i) head[508 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
    f.seekp(0);
    f.write(reinterpret_cast<const char*>(head.data()), 512);
}

std::uint32_t Sequence(const std::string& file, int at) {
    const std::string b = Bytes(file);
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

// A transaction log of the newer format whose one entry carries `sequence`.
void WriteLog(const std::string& file, std::uint32_t sequence) {
    std::vector<std::uint8_t> b(1024, 0);
    std::memcpy(&b[0], "regf", 4);
    b[4] = b[8] = static_cast<std::uint8_t>(sequence);
    std::memcpy(&b[512], "HvLE", 4);
    b[512 + 5] = 2;  // size 512
    for (int i = 0; i < 4; ++i) b[512 + 12 + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), 1024);
}

TEST(OfflineWindows, DirtyHiveIsScannedButNeverWritten) {
    MakeDemoInstallation("dirty");
    const std::string software = "dirty/C" + kConfig + "SOFTWARE";
    SetSecondarySequence(software, Sequence(software, 8) + 1);
    const std::string bytes = Bytes(software);

    auto run = RunCli("--windows dirty/C fix");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("sequence numbers differ"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing was changed"), std::string::npos) << run.err;
    EXPECT_EQ(Bytes(software), bytes);
    EXPECT_EQ(RunCli("--windows dirty/C settings set autoscan on").exitCode, 2);
    EXPECT_EQ(Bytes(software), bytes);
    EXPECT_EQ(access("dirty/C/Users/Public/Desktop/Removed Program.lnk", F_OK), 0);
    run = RunCli("--windows dirty/C scan --json");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(Json(run)["findings"].size(), 10u);

    // Clean header, but a log (any letter case) holding newer entries.
    SetSecondarySequence(software, Sequence(software, 4));
    const std::uint32_t sequence = Sequence(software, 8);
    WriteLog("dirty/C" + kConfig + "software.LOG1", sequence);
    run = RunCli("--windows dirty/C fix");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("software.LOG1"), std::string::npos) << run.err;
    // A log of older entries only is spent: the hive may be written.
    WriteLog("dirty/C" + kConfig + "software.LOG1", sequence - 1);
    WriteLog("dirty/C" + kConfig + "SOFTWARE.LOG2", sequence - 1);
    run = RunCli("--windows dirty/C fix");
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST(OfflineWindows, ASecondRunWaitsForTheFirstAndReadsWhatItWrote) {
    MakeDemoInstallation("held");
    const std::string software = "held/C" + kConfig + "SOFTWARE";
    FileDescriptor held(::open(software.c_str(), O_RDONLY));
    ASSERT_TRUE(held);
    ASSERT_EQ(::flock(held.Get(), LOCK_EX), 0);  // as a running fix holds it
    const pid_t fix = ::fork();
    if (fix == 0) {
        std::freopen("held-err.txt", "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        ::execl(QM_CLI_EXE, QM_CLI_EXE, "--windows", "held/C", "fix", "--categories", "fonts", nullptr);
        ::_exit(127);
    }
    ASSERT_GT(fix, 0);
    // It says that it waits, and goes on waiting while the file is held.
    EXPECT_TRUE(testing::WaitForFileText("held-err.txt", "waiting for another run")) << Bytes("held-err.txt");
    EXPECT_EQ(::waitpid(fix, nullptr, WNOHANG), 0) << "it did not wait";
    {
        // The holder writes the hive anew (as a fix does) and lets go.
        HiveFile hive(software, true);
        MemoryRegistry reg;
        hive.LoadInto(reg, "HKEY_LOCAL_MACHINE\\SOFTWARE");
        reg.CreateKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\QmWrittenMeanwhile");
        ASSERT_EQ(hive.ApplyChanges(reg, "HKEY_LOCAL_MACHINE\\SOFTWARE"), 1u);
        hive.Commit();
    }
    held.Close();
    int status = 0;
    ASSERT_EQ(::waitpid(fix, &status, 0), fix);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Bytes("held-err.txt");
    HiveRegistry after;
    after.Mount(software, "HKEY_LOCAL_MACHINE\\SOFTWARE", false);
    EXPECT_TRUE(after.Memory().KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\QmWrittenMeanwhile"));
    EXPECT_FALSE(after.Memory().ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                            "Contoso Sans (TrueType)"));
}

TEST(OfflineWindows, FailedCommitLeavesTheHiveUnchanged) {
    MakeDemoInstallation("commit");
    const std::string software = "commit/C" + kConfig + "SOFTWARE";
    const std::string bytes = Bytes(software);
    HiveRegistry reg;
    reg.Mount(software, "HKEY_LOCAL_MACHINE\\SOFTWARE", true);
    ASSERT_EQ(reg.RegDeleteValueA(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\\x"), 2);
    RegKeyHandle key;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", kKeyAllAccess, key.Receive(reg)), 0);
    ASSERT_EQ(reg.RegDeleteValueA(key.Get(), "vidc.xvid"), 0);
    key.Reset();
    // The new file cannot be made: a folder stands where it would go.
    Shell("mkdir '" + AtomicTempName(software) + "'");
    EXPECT_THROW(reg.Commit(), HiveError);
    EXPECT_EQ(Bytes(software), bytes);
    Shell("rmdir '" + AtomicTempName(software) + "'");
    EXPECT_EQ(reg.Commit().size(), 1u);
    EXPECT_NE(Bytes(software), bytes);
    EXPECT_EQ(Bytes(software + ".orig"), bytes);

    // Through the command line: a folder the run may not write in.
    if (::geteuid() != 0) {
        MakeDemoInstallation("readonly");
        const std::string ro = "readonly/C" + kConfig + "SOFTWARE";
        const std::string roBytes = Bytes(ro);
        Shell("chmod a-w readonly/C" + kConfig);
        const auto run = RunCli("--windows readonly/C fix");
        Shell("chmod u+w readonly/C" + kConfig);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("not changed"), std::string::npos) << run.err;
        EXPECT_EQ(Bytes(ro), roBytes);
    }
}

TEST(OfflineWindows, KeyWithABigDataValueIsNeverRewritten) {
    Shell("rm -rf big && mkdir big");
    MemoryRegistry source;
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Big";
    source.SetValue(key, "blob", kRegBinary, std::vector<std::uint8_t>(20000, 7));
    source.SetString(key, "small", "x");
    source.SetString(key + "\\Child", "small", "y");
    source.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other", "small", "z");
    testing::WriteEmptyHive("big/SOFTWARE");
    testing::FillHive("big/SOFTWARE", source, "HKEY_LOCAL_MACHINE\\SOFTWARE");

    HiveRegistry reg;
    reg.Mount("big/SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", true);
    RegKeyHandle big, other;
    // The key refuses what a key whose access list denies changes refuses:
    // its values stay as they are, and so does the key itself (what a
    // deletion took could not be written back).
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Big", kKeyAllAccess, big.Receive(reg)), kRegAccessDenied);
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Big", kKeySetValue, big.Receive(reg)), kRegAccessDenied);
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Big", kMaximumAllowed, big.Receive(reg)), 0);
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Other", kKeyAllAccess, other.Receive(reg)), 0);
    const std::uint8_t text[] = "new";
    EXPECT_EQ(reg.RegDeleteValueA(big.Get(), "small"), kRegAccessDenied);
    EXPECT_EQ(reg.RegDeleteValueA(big.Get(), "blob"), kRegAccessDenied);
    EXPECT_EQ(reg.RegSetValueExA(big.Get(), "small", kRegSz, text, sizeof text), kRegAccessDenied);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Big\\Child"), 0);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Big"), kRegAccessDenied);
    const std::vector<std::uint8_t> large(kHiveBigDataLimit + 1, 1);
    EXPECT_EQ(reg.RegSetValueExA(other.Get(), "large", kRegBinary, large.data(), std::uint32_t(large.size())),
              kRegAccessDenied);
    // Text counts as the hive stores it: UTF-16, twice its 8-bit size.
    const std::string longText(kHiveBigDataLimit / 2 + 1, 'a');
    EXPECT_EQ(reg.RegSetValueExA(other.Get(), "text", kRegSz, reinterpret_cast<const std::uint8_t*>(longText.c_str()),
                                 std::uint32_t(longText.size() + 1)),
              kRegAccessDenied);
    const std::string fits(kHiveBigDataLimit / 2 - 1, 'a');
    EXPECT_EQ(reg.RegSetValueExA(other.Get(), "text", kRegSz, reinterpret_cast<const std::uint8_t*>(fits.c_str()),
                                 std::uint32_t(fits.size() + 1)),
              0);
    // Other keys and the key's sub-keys change as usual.
    EXPECT_EQ(reg.RegDeleteValueA(other.Get(), "small"), 0);
    big.Reset();
    other.Reset();
    EXPECT_EQ(reg.Commit().size(), 1u);
    HiveRegistry reread;
    reread.Mount("big/SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", false);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(reread.Memory().GetValue(key, "blob", &type, &bytes));
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(20000, 7));
    EXPECT_TRUE(reread.Memory().ValueExists(key, "small"));
    EXPECT_FALSE(reread.Memory().KeyExists(key + "\\Child"));
    EXPECT_FALSE(reread.Memory().ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other", "small"));
    EXPECT_TRUE(reread.Memory().ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other", "text"));

    // Writing back never rewrites such a key, even when asked to directly.
    HiveFile file("big/SOFTWARE", true);
    MemoryRegistry changed;
    file.LoadInto(changed, "HKEY_LOCAL_MACHINE\\SOFTWARE");
    changed.SetString(key, "small", "changed");
    EXPECT_THROW(file.ApplyChanges(changed, "HKEY_LOCAL_MACHINE\\SOFTWARE"), HiveError);
}

TEST(OfflineWindows, KeyHoldingWhatCannotBeReadIsNeverRewritten) {
    Shell("rm -rf unreadable && mkdir unreadable");
    MemoryRegistry source;
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd";
    source.SetValue(key, "hugevalue", kRegBinary, std::vector<std::uint8_t>(100, 1));
    source.SetString(key, "small", "x");
    source.SetString(key + "\\Child", "", "y");
    testing::WriteEmptyHive("unreadable/SOFTWARE");
    testing::FillHive("unreadable/SOFTWARE", source, "HKEY_LOCAL_MACHINE\\SOFTWARE");
    // Its value record now claims 9 MiB of data: more than hivex reads.
    std::string bytes = Bytes("unreadable/SOFTWARE");
    const std::size_t name = bytes.find("hugevalue");
    ASSERT_NE(name, std::string::npos);
    ASSERT_EQ(bytes.substr(name - 20, 2), "vk");
    bytes[name - 20 + 4 + 2] = 0x90;  // data length 0x00900064
    std::ofstream("unreadable/SOFTWARE", std::ios::binary | std::ios::trunc) << bytes;

    HiveRegistry reg;
    reg.Mount("unreadable/SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", true);
    EXPECT_EQ(reg.Memory().ValueNames(key), std::vector<std::string>{"small"});
    RegKeyHandle odd;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Odd", kKeyRead, odd.Receive(reg)), 0);
    RegKeyHandle child;
    ASSERT_EQ(reg.RegOpenKeyExA(odd.Get(), "Child", kKeyAllAccess, child.Receive(reg)), 0);
    EXPECT_EQ(reg.RegDeleteValueA(child.Get(), ""), 0);  // its sub-keys change as usual
    child.Reset();
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Odd", kKeyAllAccess, child.Receive(reg)), kRegAccessDenied);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Odd\\Child"), 0);
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Odd"), kRegAccessDenied);
    odd.Reset();
    EXPECT_EQ(reg.Commit().size(), 1u);
    EXPECT_EQ(Bytes("unreadable/SOFTWARE.orig"), bytes);
    HiveRegistry reread;
    reread.Mount("unreadable/SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", false);
    EXPECT_TRUE(reread.Memory().ValueExists(key, "small"));
    EXPECT_FALSE(reread.Memory().KeyExists(key + "\\Child"));
}

TEST(OfflineWindows, NewKeysGoWhereWindowsLooksForThem) {
    Shell("rm -rf order && mkdir order");
    MemoryRegistry source;
    source.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Keys\\é", "", "x");
    testing::WriteEmptyHive("order/SOFTWARE");
    testing::FillHive("order/SOFTWARE", source, "HKEY_LOCAL_MACHINE\\SOFTWARE");
    HiveRegistry reg;
    reg.Mount("order/SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", true);
    RegKeyHandle key;
    // Upper-cased as Windows compares, "É1" follows "É"; hivex would put it first.
    EXPECT_EQ(reg.RegCreateKeyA(kHkeyLocalMachine, "SOFTWARE\\Keys\\É1\\Sub", key.Receive(reg)), kRegAccessDenied);
    EXPECT_EQ(reg.RegCreateKeyA(kHkeyLocalMachine, "SOFTWARE\\Keys\\ü\\Sub", key.Receive(reg)), 0);
    key.Reset();
    EXPECT_EQ(reg.RegCreateKeyA(kHkeyLocalMachine, "SOFTWARE\\Keys\\É\\Sub", key.Receive(reg)), 0);  // the same key
    key.Reset();
    EXPECT_EQ(reg.Commit().size(), 1u);
    HiveRegistry reread;
    reread.Mount("order/SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE", false);
    EXPECT_EQ(reread.Memory().SubKeyNames("HKEY_LOCAL_MACHINE\\SOFTWARE\\Keys"),
              (std::vector<std::string>{"é", "ü"}));
    EXPECT_TRUE(reread.Memory().KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Keys\\É\\SUB"));
}

TEST(OfflineWindows, UserProfilesAndTheirChoice) {
    MakeDemoInstallation("users");
    MemoryRegistry second;
    second.SetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool",
                     "C:\\Users\\Zoë\\missing.exe");
    testing::WriteHiveSet(second, "users/second", "Zoë");
    Shell("mkdir -p users/C/Users/Zoë && cp users/second/Users/Zoë/NTUSER.DAT users/C/Users/Zoë/");

    auto run = RunCli("--windows users/C scan");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--user"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("User, Zoë"), std::string::npos) << run.err;
    run = RunCli("--windows users/C --user nobody scan");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("User, Zoë"), std::string::npos) << run.err;
    run = RunCli("--windows users/C --user user scan --json");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    // The environment comes from the chosen profile.
    run = RunCli("--windows users/C --user ZOË settings get");
    EXPECT_NE(run.exitCode, 2) << run.err;
    EXPECT_EQ(RunCli("--user User scan").exitCode, 2);
    EXPECT_EQ(RunCli("--windows users/C --registry users/demo.reg scan").exitCode, 2);
    EXPECT_EQ(RunCli("--windows users/nowhere scan").exitCode, 2);
    run = RunCli("--windows users scan");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("no Windows installation"), std::string::npos) << run.err;
}

TEST(OfflineWindows, ClassesOfTheUserAreMergedIntoClassesRoot) {
    MakeDemoInstallation("merged");
    MemoryRegistry user;
    const std::string cls = "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{11111111-2222-3333-4444-555555555555}";
    user.SetString(cls, "", "Per-user control");
    user.SetString(cls + "\\InprocServer32", "", "C:\\Users\\User\\AppData\\Local\\Gone\\gone.dll");
    // Installed software: its folders and environment come from the hives.
    user.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Apps");
    user.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "kept",
                   "\"%ProgramFiles%\\kept.exe\" /tray");
    user.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "lost",
                   "\"%ProgramFiles%\\lost.exe\" /tray");
    Shell("mkdir -p merged/extra/C merged/C/Apps && touch merged/C/Apps/kept.exe");
    testing::WriteHiveSet(user, "merged/extra/C");
    MemoryRegistry demo;
    LoadRegFile("merged/demo.reg", demo);
    testing::WriteHiveSet(demo, "merged/C");  // the user's classes are replaced below
    Shell("cp merged/extra/C" + kClasses + " merged/C" + kClasses);
    {
        HiveFile software("merged/C" + kConfig + "SOFTWARE", true);
        MemoryRegistry both;
        software.LoadInto(both, "HKEY_LOCAL_MACHINE\\SOFTWARE");
        HiveFile extra("merged/extra/C" + kConfig + "SOFTWARE", false);
        extra.LoadInto(both, "HKEY_LOCAL_MACHINE\\SOFTWARE");
        software.ApplyChanges(both, "HKEY_LOCAL_MACHINE\\SOFTWARE");
        software.Commit();
        Shell("rm merged/C" + kConfig + "SOFTWARE.orig");
    }

    auto run = RunCli("--windows merged/C scan --categories com,startup --json");
    ASSERT_EQ(run.exitCode, 1) << run.err;
    std::set<std::string> found;
    const auto scanned = Json(run);
    for (const auto& f : scanned["findings"]) found.insert(f["key"].get<std::string>() + " " + f["path"].get<std::string>());
    EXPECT_TRUE(found.count("HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555} "
                            "C:\\Users\\User\\AppData\\Local\\Gone\\gone.dll"))
        << run.out;
    EXPECT_TRUE(found.count("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run "
                            "C:\\Apps\\lost.exe"))
        << run.out;
    EXPECT_EQ(found.size(), 5u) << run.out;  // and the demo's two classes and its broken Run entry

    const std::string classes = "merged/C" + kClasses;
    const std::string softwareBytes = Bytes("merged/C" + kConfig + "SOFTWARE");
    run = RunCli("--windows merged/C fix --categories com --json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto userClasses = HiveContents(classes);
    for (const std::string& line : userClasses) EXPECT_EQ(line.find("11111111"), std::string::npos) << line;
    EXPECT_NE(Bytes("merged/C" + kConfig + "SOFTWARE"), softwareBytes);  // the demo's classes went too
    EXPECT_EQ(Bytes(classes + ".orig"), Bytes("merged/extra/C" + kClasses));
}

}  // namespace
}  // namespace qm
