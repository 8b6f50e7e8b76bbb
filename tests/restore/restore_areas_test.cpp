// A backup restores only into the areas the program cleans: keys of the
// category scans' keys (either registry view) and shortcut files on local
// drives. Anything else refuses the whole backup before the first write.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/file_system.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/backup_summary.h"
#include "repair/backup_value_format.h"
#include "repair/backup_walk.h"
#include "repair/registry_repair.h"
#include "repair/restore_areas.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/registry_keys.h"

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using V = std::vector<std::string>;

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> out;
    std::size_t count = 0;
    EXPECT_TRUE(AppendKeyPieces(path, out, count)) << path;
    out.resize(count);
    return out;
}

KeyPlace PlaceOf(const std::string& path, RegView view = RegView::k64) {
    const std::vector<std::string> c = Components(path);
    return RestoreAreas::Program().Place(c, c.size(), view);
}

TEST(RestoreAreas, KeysLieInTheCategoryKeysOrOnTheWayToThem) {
    const struct {
        const char* path;
        KeyPlace place;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE", KeyPlace::Way},
        {"hkey_local_machine\\software\\MICROSOFT\\windows\\currentversion", KeyPlace::Way},
        {"HKEY_CLASSES_ROOT\\CLSID", KeyPlace::TreeTop},
        {"HKEY_CLASSES_ROOT\\CLSID\\{1A2B}\\InprocServer32", KeyPlace::Tree},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", KeyPlace::Values},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe", KeyPlace::Tree},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P\\Sub", KeyPlace::Tree},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\help", KeyPlace::Values},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help", KeyPlace::Values},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\Tool", KeyPlace::Tree},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", KeyPlace::Values},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", KeyPlace::Values},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", KeyPlace::Values},
        // Where the 64-bit view shows the 32-bit one.
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", KeyPlace::Values},
        {"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{1A2B}", KeyPlace::Tree},
        // The user's own startup, uninstall and App Paths keys.
        {"HKEY_CURRENT_USER", KeyPlace::Way},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", KeyPlace::Values},
        {"hkey_current_user\\SOFTWARE\\microsoft\\windows\\currentversion\\uninstall\\P", KeyPlace::Tree},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe", KeyPlace::Tree},
        // Sub-keys of a value area: a value's backup holds its key's sub-keys.
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub", KeyPlace::Tree},
        // Outside: other keys, the user's other keys and areas the user's
        // hive does not have (its Software key is one in both views).
        {"HKEY_LOCAL_MACHINE\\SYSTEM", KeyPlace::Outside},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\evil", KeyPlace::Outside},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
         KeyPlace::Outside},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", KeyPlace::Outside},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run2", KeyPlace::Outside},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", KeyPlace::Outside},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", KeyPlace::Outside},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Help", KeyPlace::Outside},
        {"HKEY_CURRENT_USER\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", KeyPlace::Outside},
        {"HKEY_CURRENT_USER\\Environment", KeyPlace::Outside},
        {"HKEY_USERS\\S-1-5-21\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", KeyPlace::Outside},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1A2B}", KeyPlace::Outside},
    };
    for (const auto& c : cases) EXPECT_EQ(PlaceOf(c.path), c.place) << c.path;

    // The 32-bit view spells its keys as the 64-bit view does, without Wow6432Node.
    EXPECT_EQ(PlaceOf("HKEY_CLASSES_ROOT\\CLSID\\{1A2B}", RegView::k32), KeyPlace::Tree);
    EXPECT_EQ(PlaceOf("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", RegView::k32),
              KeyPlace::Values);
    EXPECT_EQ(PlaceOf("HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{1A2B}", RegView::k32), KeyPlace::Outside);

    // Every area of the list, as the scans spell it, in both views.
    for (const RegistryArea& area : kRegistryAreas)
        for (const RegView view : {RegView::k64, RegView::k32})
            EXPECT_EQ(PlaceOf(area.path, view), area.shape == AreaShape::SubKeys ? KeyPlace::TreeTop : KeyPlace::Values)
                << area.path;
}

TEST(RestoreAreas, KeyNamesAreSplitAsTheRegistryReadsThem) {
    EXPECT_EQ(Components("HKEY_CLASSES_ROOT\\CLSID"), (V{"hkey_classes_root", "clsid"}));
    std::vector<std::string> pieces;
    std::size_t count = 0;
    for (const std::string& bad : V{"", "a\\\\b", "a\\", "\\a", "..", "a\\.", std::string("a\0b", 3)}) {
        count = 0;
        EXPECT_FALSE(AppendKeyPieces(bad, pieces, count)) << bad;
    }
    // Non-ASCII letters never equal an area's component.
    count = 0;
    ASSERT_TRUE(AppendKeyPieces("Cl\xC3\xA9SID", pieces, count));
    EXPECT_EQ(count, 1u);
    EXPECT_NE(pieces[0], "clsid");
}

TEST(RestoreAreas, ShortcutsOnlyOnLocalDrives) {
    for (const char* good : {"C:\\Users\\Public\\Desktop\\App.lnk", "q:\\a b\\x.LNK", "C:\\Old & <Program>.lnk",
                             "C:\\a.b\\...x.lnk"})
        EXPECT_EQ(ShortcutPathProblem(good, nullptr), "") << good;
    const struct {
        const char* path;
        const char* problem;
    } bad[] = {
        {"\\\\server\\share\\x.lnk", "is on a network share or a device, not on a local drive"},
        {"\\\\?\\C:\\x.lnk", "is on a network share or a device, not on a local drive"},
        {"\\\\.\\C:\\x.lnk", "is on a network share or a device, not on a local drive"},
        {"//server/share/x.lnk", "is on a network share or a device, not on a local drive"},
        {"C:x.lnk", "is not a full path on a local drive (X:\\...)"},
        {"Windows\\System32\\drivers\\etc\\hosts2", "is not a full path on a local drive (X:\\...)"},
        {"C:/Users/x.lnk", "is not a full path on a local drive (X:\\...)"},
        {"C:\\Users\\Public\\evil.exe", "is not a shortcut (.lnk)"},
        {"C:\\x.lnk:stream", "is not a shortcut (.lnk)"},
        {"C:\\x.exe:y.lnk", "has the character ':' in its path"},
        {"C:\\a/../x.lnk", "has the character '/' in its path"},
        {"C:\\Users\\..\\Windows\\x.lnk", "has \"..\" in its path"},
        {"C:\\.\\x.lnk", "has \".\" in its path"},
        {"C:\\a\\. .\\x.lnk", "has \". .\" in its path"},
        {"C:\\a\\\\x.lnk", "has an empty folder name in its path"},
        {"C:\\a\\NUL.lnk", "names the device \"NUL.lnk\""},
        {"C:\\com1 .x\\y.lnk", "names the device \"com1 .x\""},
        {"C:\\a\\CONOUT$.lnk", "names the device \"CONOUT$.lnk\""},
    };
    for (const auto& b : bad) EXPECT_EQ(ShortcutPathProblem(b.path, nullptr), b.problem) << b.path;
    EXPECT_EQ(ShortcutPathProblem(std::string("C:\\evil.exe\0.lnk", 16), nullptr), "has a zero character in its path");
}

TEST(RestoreAreas, ShellLinksAreKnownByHeaderSizeAndClass) {
    const std::string file = test::ReadFileBytes(std::string(QM_TEST_DATA_DIR) + "/lnk/intact.lnk");
    ASSERT_GT(file.size(), 0x4Cu);
    Bytes link(file.begin(), file.end());
    EXPECT_TRUE(IsShellLink(link));
    EXPECT_TRUE(IsShellLink(Bytes(link.begin(), link.begin() + 0x4C)));
    EXPECT_FALSE(IsShellLink(Bytes(link.begin(), link.begin() + 0x4B)));
    Bytes otherClass = link;
    otherClass[19] = 0x47;
    EXPECT_FALSE(IsShellLink(otherClass));
    Bytes otherSize = link;
    otherSize[0] = 0x4D;
    EXPECT_FALSE(IsShellLink(otherSize));
    EXPECT_FALSE(IsShellLink(Bytes{'M', 'Z', 0x90, 0}));
}

// Files of the restore, held in memory: which were created, and the type of
// drive N: (a network drive).
class RecordingFiles : public IFileSystem {
public:
    std::vector<std::string> GetLogicalDriveStringsA() override { return {"C:\\", "N:\\"}; }
    std::uint32_t GetDriveTypeA(const std::string& root) override {
        return root == "N:\\" ? kDriveRemote : kDriveFixed;
    }
    std::unique_ptr<FindHandle> FindFirstFileA(const std::string&, FindData&) override { return nullptr; }
    bool GetFileIdentity(const std::string&, FileIdentity&) override { return false; }
    std::uint32_t GetFileAttributesA(const std::string& path) override {
        return files.count(path) ? kFileAttributeArchive : kInvalidFileAttributes;
    }
    bool SetFileAttributesA(const std::string&, std::uint32_t) override { return true; }
    bool DeleteFileA(const std::string& path) override { return files.erase(path) > 0; }
    bool Access(const std::string& path) override { return files.count(path) > 0; }
    bool CreateFileWithBytes(const std::string& path, const Bytes& bytes) override {
        if (files.count(path)) return false;
        files[path] = bytes;
        return true;
    }
    std::map<std::string, Bytes> files;
};

std::string Xml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n" + body + " </registry>\r\n";
}

// An element chain from the root, one "k" per component, holding `inner`.
std::string Chain(const std::string& path, const std::string& inner, const std::string& rootAttributes = "") {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = path.find('\\', start)) != std::string::npos; start = end + 1)
        parts.push_back(path.substr(start, end - start));
    parts.push_back(path.substr(start));
    std::string open, close;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        open += std::string(i + 2, ' ') + "<k name=\"" + parts[i] + "\"" + (i == 0 ? rootAttributes : "") + ">\r\n";
        close = std::string(i + 2, ' ') + "</k>\r\n" + close;
    }
    return open + inner + close;
}

std::string Value(const std::string& name, const std::string& text, const std::string& more = "") {
    return "     <v name=\"" + name + "\" value=\"" + text + "\"" + more + "/>\r\n";
}

std::string FileElement(const std::string& path, const Bytes& bytes) {
    return "  <file path=\"" + path + "\" data=\"" + HexByteText(bytes.data(), bytes.size()) + "\" attributes=\"32\"/>\r\n";
}

constexpr const char* kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kAppPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qm.exe";

class RestoreAreasRestore : public ::testing::Test {
protected:
    void SetUp() override {
        services_.registry = &reg_;
        services_.system = &sys_;
        services_.ignoreFile = "restore-areas-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        repair_->SetRestoreFileSystem(&files_);
        const std::string file = test::ReadFileBytes(std::string(QM_TEST_DATA_DIR) + "/lnk/broken.lnk");
        link_.assign(file.begin(), file.end());
        // Something in the areas first: a refused backup writes none of it.
        good_ = Chain(kAppPath, Value("(Default)", "C:\\Gone\\qm.exe")) +
                FileElement("C:\\Users\\Public\\Desktop\\Gone.lnk", link_);
    }

    int Restore(const std::string& content) {
        test::WriteFileBytes(file_, content);
        CXmlReader reader;
        const int result = repair_->LoadAsXml(reader, file_);
        EXPECT_EQ(reg_.OpenHandleCount(), 0u);
        return result;
    }

    // The backup is refused at `line` for `reason`, with nothing written.
    void ExpectRefused(const std::string& body, std::int32_t line, const std::string& reason) {
        const test::TreeSnapshot machine = test::Snapshot(reg_, kHkeyLocalMachine, "");
        const test::TreeSnapshot user = test::Snapshot(reg_, kHkeyCurrentUser, "");
        EXPECT_EQ(Restore(Xml(good_ + body)), 0);
        const RestoreReport& report = repair_->LastRestore();
        EXPECT_TRUE(report.refused);
        EXPECT_EQ(report.line, line);
        EXPECT_EQ(report.reason, reason);
        EXPECT_EQ(report.Describe(), "line " + std::to_string(line) + ": " + reason +
                                         "; the backup was refused whole and nothing was restored");
        EXPECT_TRUE(test::Snapshot(reg_, kHkeyLocalMachine, "") == machine) << "the registry changed";
        EXPECT_TRUE(test::Snapshot(reg_, kHkeyCurrentUser, "") == user) << "the registry changed";
        EXPECT_TRUE(files_.files.empty()) << files_.files.begin()->first;
        EXPECT_EQ(ui_.Messages(), V{});
    }

    MemoryRegistry reg_;
    MemorySystem sys_;
    RecordingFiles files_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    RecordingRestoreUi ui_;
    std::string file_ = "restore_areas.xml";
    Bytes link_;
    std::string good_;
};

// Line 3 is the first "k"; `good_` takes 16 lines.
constexpr std::int32_t kAfterGood = 3 + 16;

TEST_F(RestoreAreasRestore, BackupsOutsideTheAreasAreRefusedWholeWithNothingWritten) {
    ExpectRefused(Chain("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\evil",
                        Value("Start", "0x00000002 (2)", " type=\"REG_DWORD\"") + Value("ImagePath", "C:\\evil.exe")),
                  kAfterGood + 1, "key \"HKEY_LOCAL_MACHINE\\SYSTEM\" lies outside the registry areas the program cleans");
    ExpectRefused(Chain("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution "
                        "Options\\notepad.exe",
                        Value("Debugger", "C:\\evil.exe")),
                  kAfterGood + 5,
                  "key \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution "
                  "Options\" lies outside the registry areas the program cleans");
    ExpectRefused(Chain("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                        Value("evil", "C:\\evil.exe")),
                  kAfterGood + 5,
                  "key \"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" lies outside the "
                  "registry areas the program cleans");
    // A value where a backup holds none.
    ExpectRefused(Chain("HKEY_LOCAL_MACHINE\\SOFTWARE", Value("evil", "x")), kAfterGood + 2,
                  "value \"evil\" of key \"HKEY_LOCAL_MACHINE\\SOFTWARE\" lies outside the registry areas the program cleans");
    ExpectRefused(Chain("HKEY_CLASSES_ROOT\\CLSID", Value("evil", "x")), kAfterGood + 2,
                  "value \"evil\" of key \"HKEY_CLASSES_ROOT\\CLSID\" lies outside the registry areas the program cleans");
    // A name that is several keys, or a path that climbs.
    ExpectRefused(Chain("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\..\\RunOnce", ""),
                  kAfterGood + 6,
                  "key \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\..\" is not a "
                  "registry key path (an empty name, \".\" or \"..\")");
    ExpectRefused("  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\">\r\n" +
                      Value("evil", "x") + "   </k>\r\n  </k>\r\n",
                  kAfterGood + 1,
                  "key \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" lies outside the "
                  "registry areas the program cleans");
    // The 32-bit view has no Wow6432Node of its own.
    ExpectRefused(Chain("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                        Value("evil", "x"), " view=\"32\""),
                  kAfterGood + 2,
                  "key \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\" (32-bit view) lies outside the registry areas the "
                  "program cleans");

    // Files: not a shortcut, not a shell link, a path that climbs, a share.
    ExpectRefused(FileElement("C:\\Users\\Public\\evil.exe", link_), kAfterGood,
                  "file \"C:\\Users\\Public\\evil.exe\" is not a shortcut (.lnk)");
    ExpectRefused(FileElement("C:\\Users\\Public\\Desktop\\x.lnk", Bytes{'M', 'Z', 0x90, 0}), kAfterGood,
                  "file \"C:\\Users\\Public\\Desktop\\x.lnk\" does not hold a shell link (a shortcut's content)");
    ExpectRefused(FileElement("C:\\Users\\Public\\..\\..\\Windows\\System32\\x.lnk", link_), kAfterGood,
                  "file \"C:\\Users\\Public\\..\\..\\Windows\\System32\\x.lnk\" has \"..\" in its path");
    ExpectRefused(FileElement("\\\\server\\share\\x.lnk", link_), kAfterGood,
                  "file \"\\\\server\\share\\x.lnk\" is on a network share or a device, not on a local drive");
    ExpectRefused(FileElement("N:\\x.lnk", link_), kAfterGood,
                  "file \"N:\\x.lnk\" is on a network drive, not on a local drive");
    ExpectRefused(FileElement("Windows\\System32\\drivers\\etc\\hosts2", link_), kAfterGood,
                  "file \"Windows\\System32\\drivers\\etc\\hosts2\" is not a full path on a local drive (X:\\...)");

    // Refused ahead of a failure that comes later in the file, too.
    ExpectRefused(FileElement("C:\\evil.exe", link_) + "  <\r\n", kAfterGood, "file \"C:\\evil.exe\" is not a shortcut (.lnk)");
}

TEST_F(RestoreAreasRestore, EveryAreaInBothViewsRestores) {
    std::string body = good_;
    for (const RegistryArea& area : kRegistryAreas) {
        const std::string inner = area.shape == AreaShape::SubKeys
                                      ? "      <k name=\"Entry\">\r\n" + Value("v", "1") + "      </k>\r\n"
                                      : Value("v", "1");
        body += Chain(area.path, inner) + Chain(area.path, inner, " view=\"32\"");
    }
    // The 32-bit view's keys as the 64-bit view shows them; attributes a
    // restore does not know are passed over.
    body += Chain("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                  Value("wow", "2", " literal=\"1\""), " origin=\"machine\"");
    body += Chain("HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{1}", Value("(Default)", "3"), " view=\"64\"");
    ASSERT_EQ(Restore(Xml(body)), 1) << repair_->LastRestore().Describe();
    EXPECT_TRUE(reg_.ValueExists(kAppPath, ""));
    EXPECT_TRUE(reg_.ValueExists(kRun, "v"));
    EXPECT_TRUE(reg_.ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "v"));
    EXPECT_TRUE(reg_.ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "wow"));
    EXPECT_TRUE(reg_.ValueExists("HKEY_CLASSES_ROOT\\CLSID\\Entry", "v"));
    EXPECT_TRUE(reg_.ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\Entry", "v"));
    EXPECT_TRUE(reg_.ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}", ""));
    EXPECT_TRUE(reg_.ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help", "v"));
    ASSERT_EQ(files_.files.count("C:\\Users\\Public\\Desktop\\Gone.lnk"), 1u);
    EXPECT_EQ(files_.files["C:\\Users\\Public\\Desktop\\Gone.lnk"], link_);
    EXPECT_EQ(repair_->LastRestore().files, 1u);
}

// A file that breaks off keeps restoring what comes before the break; what
// comes after it is not looked at.
TEST_F(RestoreAreasRestore, WhatFollowsABreakIsNotChecked) {
    EXPECT_EQ(Restore(Xml(good_ + "  <\r\n" + FileElement("C:\\evil.exe", link_))), 0);
    EXPECT_FALSE(repair_->LastRestore().refused);
    EXPECT_EQ(repair_->LastRestore().line, kAfterGood);
    EXPECT_TRUE(reg_.ValueExists(kAppPath, ""));
    EXPECT_EQ(files_.files.size(), 1u);
}

// The walk that feeds the writes checks as well (the file may change after
// the check before the first write): it ends at the element outside the
// areas, before a step for it.
TEST_F(RestoreAreasRestore, TheWritingWalkEndsAtTheFirstElementOutside) {
    test::WriteFileBytes(file_, Xml(Chain(kRun, Value("v", "1")) +
                                   Chain("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                         Value("w", "2"))));
    CXmlReader reader;
    BackupWalk walk(reader, file_, false, &RestoreAreas::Program(), &files_);
    RestoreStepBatch batch;
    EXPECT_FALSE(walk.Fill(batch, 100));
    std::vector<std::string> steps;
    for (std::size_t i = 0; i < batch.Size(); ++i) {
        const RestoreStep& step = batch[i];
        switch (step.kind) {
            case RestoreStep::Kind::Key: steps.push_back("k " + step.text + " " + std::to_string(int(step.place))); break;
            case RestoreStep::Kind::EndKey: steps.push_back("/k"); break;
            case RestoreStep::Kind::Value: steps.push_back("v " + step.text); break;
            case RestoreStep::Kind::File: steps.push_back("file"); break;
            case RestoreStep::Kind::Fail:
                steps.push_back(std::string(step.refused ? "refused " : "fail ") + std::to_string(step.line));
                break;
        }
    }
    reader.Close();
    const std::string way = " " + std::to_string(int(KeyPlace::Way));
    EXPECT_EQ(steps, (V{"k HKEY_LOCAL_MACHINE" + way, "k SOFTWARE" + way, "k Microsoft" + way, "k Windows" + way,
                        "k CurrentVersion" + way, "k Run " + std::to_string(int(KeyPlace::Values)), "v v", "/k", "/k",
                        "/k", "/k", "/k", "/k", "k HKEY_LOCAL_MACHINE" + way, "k SOFTWARE" + way,
                        "k Microsoft" + way, "k Windows" + way, "k CurrentVersion" + way, "refused 21"}));
}

TEST_F(RestoreAreasRestore, SummaryCountsWhatTheBackupPutsBackOnce) {
    // A class named by two findings, a Run key by two values, a key on the
    // way, a shortcut twice.
    const std::string clsid = "HKEY_CLASSES_ROOT\\CLSID\\{AB}";
    const std::string body =
        Chain(clsid, "      <k name=\"InprocServer32\">\r\n" + Value("(Default)", "a.dll") + "      </k>\r\n") +
        Chain(clsid, "      <k name=\"inprocserver32\">\r\n" + Value("(default)", "a.dll") + "      </k>\r\n" +
                         "      <k name=\"LocalServer32\"/>\r\n") +
        Chain(kRun, Value("a", "a.exe")) + Chain(kRun, Value("b", "b.exe")) +
        Chain(kRun, Value("a", "a.exe"), " view=\"32\"") + Chain("HKEY_LOCAL_MACHINE\\SOFTWARE", "") +
        FileElement("C:\\x.lnk", link_) + FileElement("c:\\X.LNK", link_);
    const std::string name = "FixedOnSundayDecember062026050645.xml";
    test::WriteFileBytes(name, Xml(body));
    const BackupSummary s = SummarizeBackup(name, RestoreAreas::Program(), &files_);
    EXPECT_TRUE(s.opened);
    EXPECT_TRUE(s.complete);
    EXPECT_FALSE(s.refused);
    // {AB}, its two server keys, Run, Run (32-bit view).
    EXPECT_EQ(s.keys, 5u);
    EXPECT_EQ(s.values, 4u);
    EXPECT_EQ(s.shortcuts, 1u);
    ASSERT_EQ(s.dateSource, BackupSummary::DateSource::FileName);
    EXPECT_EQ(FormatBackupTime(s.written), "Sunday 6 December 2026 at 05:06:45");
    EXPECT_EQ(s.ConfirmationText(name),
              "Put back what this backup holds?\n\n" + name +
                  "\nWritten on Sunday 6 December 2026 at 05:06:45\n\nIt puts back 5 keys, 4 values and 1 shortcut.");

    // Cut off: what comes before the break.
    const std::string whole = Xml(Chain(kRun, Value("a", "a.exe")));
    test::WriteFileBytes(name, whole.substr(0, whole.find("a.exe\"/>\r\n") + 10));
    const BackupSummary cut = SummarizeBackup(name, RestoreAreas::Program(), &files_);
    EXPECT_TRUE(cut.opened);
    EXPECT_FALSE(cut.complete);
    EXPECT_FALSE(cut.refused);
    EXPECT_EQ(cut.values, 1u);
    EXPECT_NE(cut.ConfirmationText(name).find("\n\nThe file breaks off at line "), std::string::npos);

    // Refused: where and why.
    test::WriteFileBytes(name, Xml(Chain(kRun, Value("a", "a.exe")) + FileElement("C:\\x.exe", link_)));
    const BackupSummary refused = SummarizeBackup(name, RestoreAreas::Program(), &files_);
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.line, 3 + 13);
    EXPECT_EQ(refused.reason, "file \"C:\\x.exe\" is not a shortcut (.lnk)");
    std::remove(name.c_str());

    EXPECT_FALSE(SummarizeBackup("no such backup.xml", RestoreAreas::Program(), &files_).opened);
}

TEST(BackupSummaryDate, FromTheFileNameOrElseTheFileItself) {
    std::tm t{};
    ASSERT_TRUE(BackupTimeFromFileName("C:\\Program Files\\Quillmere\\FixedOnWednesdayJanuary212026235909.xml", t));
    EXPECT_EQ(FormatBackupTime(t), "Wednesday 21 January 2026 at 23:59:09");
    ASSERT_TRUE(BackupTimeFromFileName("dir/FixedOnThursdayFebruary292024000000-2.XML", t));
    EXPECT_EQ(FormatBackupTime(t), "Thursday 29 February 2024 at 00:00:00");
    for (const char* other :
         {"FixedOnSundayJanuary212026235909.xml",   // 21 January 2026 is a Wednesday
          "FixedOnWednesdayFebruary292026000000.xml",  // no such day
          "FixedOnWednesdayJanuary212026245909.xml", "FixedOnWednesdayJanuary21202623590.xml",
          "FixedOnWednesdayJanuary212026235909-.xml", "FixedOnWednesdayJanuary212026235909.xml.bak",
          "fixedonWednesdayJanuary212026235909.xml", "backup.xml"})
        EXPECT_FALSE(BackupTimeFromFileName(other, t)) << other;

    const std::string name = "summary-date.xml";
    test::WriteFileBytes(name, Xml(""));
    RecordingFiles files;
    const BackupSummary s = SummarizeBackup(name, RestoreAreas::Program(), &files);
    ASSERT_EQ(s.dateSource, BackupSummary::DateSource::ModificationTime);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    EXPECT_EQ(s.written.tm_year, local.tm_year);
    EXPECT_EQ(s.written.tm_yday, local.tm_yday);
    EXPECT_EQ(s.ConfirmationText(name).find("Put back what this backup holds?\n\nsummary-date.xml\nLast changed on "), 0u);
    std::remove(name.c_str());
}

TEST_F(RestoreAreasRestore, RestoreRegistryAsksBeforeWriting) {
    test::WriteFileBytes(file_, Xml(Chain(kRun, Value("a", "a.exe"))));
    {
        RecordingRestoreUi no(file_);
        no.SetAnswer(false);
        repair_->SetRestoreUi(&no);
        EXPECT_FALSE(repair_->RestoreRegistry());
        ASSERT_EQ(no.Questions().size(), 1u);
        EXPECT_NE(no.Questions()[0].find("It puts back 1 key, 1 value and 0 shortcuts."), std::string::npos)
            << no.Questions()[0];
        EXPECT_EQ(no.Messages(), V{});
        EXPECT_FALSE(reg_.KeyExists(kRun));
    }
    {
        RecordingRestoreUi yes(file_);
        repair_->SetRestoreUi(&yes);
        EXPECT_TRUE(repair_->RestoreRegistry());
        EXPECT_EQ(yes.Questions().size(), 1u);
        EXPECT_TRUE(reg_.ValueExists(kRun, "a"));
    }
    {
        // Refused: no question, the reason instead.
        test::WriteFileBytes(file_, Xml(Chain("HKEY_CURRENT_USER\\Environment", Value("a", "a.exe"))));
        RecordingRestoreUi refused(file_);
        repair_->SetRestoreUi(&refused);
        EXPECT_FALSE(repair_->RestoreRegistry());
        EXPECT_EQ(refused.Questions(), V{});
        EXPECT_EQ(refused.Messages(),
                  V{"Restoration refused: line 4: key \"HKEY_CURRENT_USER\\Environment\" lies outside the registry "
                    "areas the program cleans; the backup was refused whole and nothing was restored"});
        EXPECT_FALSE(reg_.KeyExists("HKEY_CURRENT_USER\\Environment"));
    }
}

}  // namespace
}  // namespace qm
