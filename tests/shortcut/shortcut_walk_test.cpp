// The walk's choices that a real drive cannot easily show: which drives are
// walked, directories reached twice (bind mounts, links), which identities
// are asked for, and what a shortcut's resolution result means. A file system
// and resolver in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/shortcut.h"
#include "platform/named_event.h"

namespace qm::test {
namespace {

using Strings = std::vector<std::string>;

struct Node {
    std::uint32_t attributes;
    FileIdentity id;
};

class MemoryFileSystem : public IFileSystem {
public:
    std::map<std::string, std::uint32_t> driveTypes;  // "C:\" -> type
    std::map<std::string, Node> nodes;                // full path -> node
    std::vector<std::string> searched;                // FindFirstFileA patterns
    std::vector<std::string> identified;              // GetFileIdentity paths
    // Listings carry each entry's file index, as the Win32 backend's do.
    bool indexInListing = false;

    void Dir(const std::string& path, std::uint64_t index) {
        nodes[path] = {kFileAttributeDirectory, {1, index}};
    }
    void File(const std::string& path) { nodes[path] = {kFileAttributeArchive, {1, 0}}; }

    std::vector<std::string> GetLogicalDriveStringsA() override {
        std::vector<std::string> roots;
        for (const auto& d : driveTypes) roots.push_back(d.first);
        return roots;
    }
    std::uint32_t GetDriveTypeA(const std::string& root) override {
        const auto it = driveTypes.find(root);
        return it == driveTypes.end() ? kDriveNoRootDir : it->second;
    }
    std::unique_ptr<FindHandle> FindFirstFileA(const std::string& pattern, FindData& data) override {
        searched.push_back(pattern);
        const std::size_t slash = pattern.rfind('\\');
        const std::string folder = pattern.substr(0, slash + 1);
        const bool lnkOnly = pattern.substr(slash + 1) == "*.lnk";
        std::vector<FindData> found;
        for (const auto& n : nodes) {
            const std::string& path = n.first;
            if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) continue;
            const std::string name = path.substr(folder.size());
            if (name.find('\\') != std::string::npos) continue;
            if (lnkOnly && (name.size() < 4 || name.substr(name.size() - 4) != ".lnk")) continue;
            FindData entry;
            entry.attributes = n.second.attributes;
            entry.name = name;
            entry.hasFileIndex = indexInListing;
            entry.fileIndex = n.second.id.index;
            found.push_back(entry);
        }
        if (found.empty()) return nullptr;
        data = found.front();
        return std::make_unique<Listing>(std::move(found));
    }
    bool GetFileIdentity(const std::string& path, FileIdentity& identity) override {
        identified.push_back(path);
        std::string key = path;
        if (key.size() == 3 && key[1] == ':') key.pop_back();  // "C:\" is the node "C:"
        const auto it = nodes.find(key);
        if (it == nodes.end()) return false;
        identity = it->second.id;
        return true;
    }
    std::uint32_t GetFileAttributesA(const std::string&) override { return kInvalidFileAttributes; }
    bool SetFileAttributesA(const std::string&, std::uint32_t) override { return false; }
    bool DeleteFileA(const std::string&) override { return false; }
    bool Access(const std::string& path) override { return nodes.count(path) != 0; }
    bool IsHostFolderDrive(const std::string& root) override { return hostFolders.count(root) != 0; }
    bool PresenceUnknown(const std::string& path) override {
        for (const std::string& folder : unreadable)
            if (path.compare(0, folder.size(), folder) == 0) return true;
        return false;
    }

    std::set<std::string> hostFolders;  // roots of drives standing for host folders
    std::set<std::string> unreadable;   // folders whose contents cannot be told

private:
    struct Listing : FindHandle {
        explicit Listing(std::vector<FindData> e) : entries(std::move(e)) {}
        bool FindNextFileA(FindData& data) override {
            if (++next >= entries.size()) return false;
            data = entries[next];
            return true;
        }
        std::vector<FindData> entries;
        std::size_t next = 0;
    };
};

// Every shortcut names "<its path>.target", except those given here.
class MemoryResolver : public IShortcutResolver {
public:
    std::map<std::string, std::pair<std::int32_t, std::string>> answers;
    int batches = 0;       // begun
    int openBatches = 0;   // not yet ended
    int unbatchedCalls = 0;

    struct Batch : ShortcutBatch {
        explicit Batch(int& open) : open_(open) { ++open_; }
        ~Batch() override { --open_; }
        int& open_;
    };
    std::unique_ptr<ShortcutBatch> BeginBatch() override {
        ++batches;
        return std::make_unique<Batch>(openBatches);
    }
    std::int32_t GetShortcutPath(const std::string& path, std::string& target) override {
        if (openBatches == 0) ++unbatchedCalls;
        const auto it = answers.find(path);
        if (it == answers.end()) {
            target = path + ".target";
            return kShellOk;
        }
        if (it->second.first >= 0) target = it->second.second;
        return it->second.first;
    }
};

class ShortcutWalk : public ::testing::Test {
protected:
    void SetUp() override { stop_.Reset(); }
    void TearDown() override { stop_.Reset(); }
    CShortcut& Scanner() {
        if (!scanner_) scanner_ = std::make_unique<CShortcut>(ShortcutServices{&fs_, &resolver_});
        return *scanner_;
    }

    MemoryFileSystem fs_;
    MemoryResolver resolver_;
    NamedEvent stop_{kStopEventName};
    std::unique_ptr<CShortcut> scanner_;
};

TEST_F(ShortcutWalk, WalksOnlyFixedDrivesAndOnlyThoseTheFilterNames) {
    const std::pair<const char*, std::uint32_t> drives[] = {
        {"C:\\", kDriveFixed}, {"D:\\", kDriveRemovable}, {"E:\\", kDriveFixed},
        {"F:\\", kDriveCdrom}, {"G:\\", kDriveRemote},    {"H:\\", kDriveRamdisk}};
    std::uint64_t index = 1;
    for (const auto& d : drives) {
        fs_.driveTypes[d.first] = d.second;
        const std::string letter(d.first, 2);
        fs_.Dir(letter, index++);
        fs_.Dir(letter + "\\Dir", index++);
        fs_.File(letter + "\\Dir\\a.lnk");
    }
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), (Strings{"C:\\Dir\\a.lnk", "E:\\Dir\\a.lnk"}));

    Scanner().SetDriveFilter("ed");  // D: is removable: still not walked
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), Strings{"E:\\Dir\\a.lnk"});
    EXPECT_EQ(Scanner().ItemsScanned(), 1);
}

TEST_F(ShortcutWalk, ADirectoryReachedAgainWithoutALinkIsNotListedAgain) {
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.Dir("C:", 1);
    fs_.Dir("C:\\A", 2);
    fs_.Dir("C:\\A\\Mount", 2);  // the same directory as C:\A (a bind mount)
    fs_.Dir("C:\\A\\Root", 1);   // the drive root again
    fs_.Dir("C:\\A\\Sub", 3);
    fs_.File("C:\\A\\Sub\\s.lnk");
    fs_.Dir("C:\\B", 4);
    fs_.nodes["C:\\B\\Link"] = {kFileAttributeDirectory | kFileAttributeReparsePoint, {1, 9}};
    fs_.File("C:\\B\\Link\\l.lnk");
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), (Strings{"C:\\A\\Sub\\s.lnk", "C:\\B\\Link\\l.lnk"}));
    for (const std::string& pattern : fs_.searched) {
        EXPECT_EQ(pattern.find("Mount"), std::string::npos) << pattern;
        EXPECT_EQ(pattern.find("Root"), std::string::npos) << pattern;
    }
}

// C:\Real is reached plainly and through C:\Alias (which sorts first); a
// folder on another volume only through two links; links lead back to the
// root and into their own folder. Each real folder is listed once, by its own path where it has one.
TEST_F(ShortcutWalk, LinksAreFollowedAfterThePlainTreeAndEachRealFolderOnlyOnce) {
    const std::uint32_t link = kFileAttributeDirectory | kFileAttributeReparsePoint;
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.Dir("C:", 1);
    fs_.nodes["C:\\Alias"] = {link, {1, 5}};
    fs_.File("C:\\Alias\\r.lnk");
    fs_.Dir("C:\\Real", 5);
    fs_.File("C:\\Real\\r.lnk");
    fs_.nodes["C:\\Real\\Again"] = {link, {1, 5}};  // into its own folder
    fs_.nodes["C:\\Real\\Up"] = {link, {1, 1}};     // the drive root
    fs_.nodes["C:\\Real\\Away"] = {link, {7, 6}};   // another volume
    fs_.File("C:\\Real\\Away\\a.lnk");
    fs_.Dir("C:\\Real\\Away\\Deeper", 8);  // inherits Away's volume
    fs_.File("C:\\Real\\Away\\Deeper\\d.lnk");
    fs_.nodes["C:\\Real\\Away\\Deeper\\Home"] = {link, {7, 6}};
    fs_.nodes["C:\\Real\\Zz"] = {link, {7, 6}};  // Away's folder again
    fs_.File("C:\\Real\\Zz\\a.lnk");
    fs_.nodes["C:\\Dangling"] = {link, {0, 0}};
    fs_.indexInListing = true;

    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(),
              (Strings{"C:\\Real\\r.lnk", "C:\\Real\\Away\\a.lnk", "C:\\Real\\Away\\Deeper\\d.lnk"}));
    EXPECT_EQ(Scanner().ItemsScanned(), 3);
    // Identities asked for: the drive's root (when the walk begins and when
    // the drive is walked) and each link, nothing for the plain directories.
    // Links are followed nearest the top first, then in the order met.
    EXPECT_EQ(fs_.identified, (Strings{"C:\\", "C:\\", "C:\\Alias", "C:\\Dangling", "C:\\Real\\Again",
                                       "C:\\Real\\Away", "C:\\Real\\Up", "C:\\Real\\Zz",
                                       "C:\\Real\\Away\\Deeper\\Home"}));
    // Folders listed: each once.
    std::set<std::string> once(fs_.searched.begin(), fs_.searched.end());
    EXPECT_EQ(once.size(), fs_.searched.size());
}

// As under Wine, where AppData\...\Templates and the Desktop both lead to the
// home folder: the link nearest the top names it, whatever the order met.
TEST_F(ShortcutWalk, AFolderOnlyLinkedToIsNamedByItsShortestLink) {
    const std::uint32_t link = kFileAttributeDirectory | kFileAttributeReparsePoint;
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.Dir("C:", 1);
    fs_.Dir("C:\\AppData", 2);
    fs_.Dir("C:\\AppData\\Roaming", 3);
    fs_.nodes["C:\\AppData\\Roaming\\Templates"] = {link, {2, 9}};
    fs_.File("C:\\AppData\\Roaming\\Templates\\x.lnk");
    fs_.nodes["C:\\Desktop"] = {link, {2, 9}};
    fs_.File("C:\\Desktop\\x.lnk");
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), Strings{"C:\\Desktop\\x.lnk"});
}

// Under Wine a host folder reached through a link may hold a drive's own
// folder: a plain directory whose file index is another drive's root's is
// identified by asking, and not walked again.
TEST_F(ShortcutWalk, APlainDirectoryThatIsAnotherDrivesRootIsNotWalkedAgain) {
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.driveTypes["Z:\\"] = kDriveFixed;
    fs_.hostFolders = {"Z:\\"};
    fs_.Dir("C:", 40);
    fs_.Dir("C:\\Users", 41);
    fs_.nodes["C:\\Users\\Desktop"] = {kFileAttributeDirectory | kFileAttributeReparsePoint, {90, 50}};
    fs_.File("C:\\Users\\Desktop\\home.lnk");
    fs_.nodes["C:\\Users\\Desktop\\drive_c"] = {kFileAttributeDirectory, {1, 40}};  // C:'s folder
    fs_.File("C:\\Users\\Desktop\\drive_c\\again.lnk");
    fs_.Dir("C:\\Users\\Desktop\\other", 40);  // the same index on the host's volume: asked, walked
    fs_.nodes["C:\\Users\\Desktop\\other"].id = {90, 40};
    fs_.File("C:\\Users\\Desktop\\other\\o.lnk");
    fs_.Dir("Z:", 2);
    fs_.nodes["Z:"].id = {90, 2};
    fs_.nodes["C:"].id = {1, 40};
    fs_.nodes["C:\\Users"].id = {1, 41};
    fs_.indexInListing = true;

    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), (Strings{"C:\\Users\\Desktop\\home.lnk", "C:\\Users\\Desktop\\other\\o.lnk"}));
    EXPECT_EQ(std::count(fs_.identified.begin(), fs_.identified.end(), "C:\\Users\\Desktop\\drive_c"), 1);
    EXPECT_EQ(std::count(fs_.identified.begin(), fs_.identified.end(), "C:\\Users\\Desktop\\other"), 1);
    EXPECT_EQ(std::count(fs_.identified.begin(), fs_.identified.end(), "C:\\Users"), 0);
}

TEST_F(ShortcutWalk, OneResolverBatchServesTheWholeWalk) {
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.driveTypes["D:\\"] = kDriveFixed;
    fs_.Dir("C:", 1);
    fs_.Dir("D:", 2);
    for (const char* dir : {"C:\\A", "C:\\B", "D:\\A"}) {
        fs_.Dir(dir, static_cast<std::uint64_t>(dir[0] * 10 + dir[3]));
        fs_.File(std::string(dir) + "\\x.lnk");
    }
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().ItemsScanned(), 3);
    EXPECT_EQ(resolver_.batches, 1);
    EXPECT_EQ(resolver_.openBatches, 0);
    EXPECT_EQ(resolver_.unbatchedCalls, 0);
    Scanner().RecurseFolder("C:\\A");
    EXPECT_EQ(resolver_.batches, 2);
    EXPECT_EQ(resolver_.unbatchedCalls, 0);
}

TEST_F(ShortcutWalk, OnlyAReadTargetThatIsMissingMakesAShortcutBroken) {
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.Dir("C:", 1);
    fs_.Dir("C:\\D", 2);
    for (const char* name : {"bad", "none", "self", "gone", "there"}) fs_.File(std::string("C:\\D\\") + name + ".lnk");
    fs_.File("C:\\there.exe");
    resolver_.answers["C:\\D\\bad.lnk"] = {kShellFail, ""};             // not a shortcut
    resolver_.answers["C:\\D\\none.lnk"] = {kShellFalse, ""};           // no file-system target
    resolver_.answers["C:\\D\\self.lnk"] = {kShellOk, "C:\\D\\self.lnk"};  // buffer left as filled
    resolver_.answers["C:\\D\\there.lnk"] = {kShellOk, "C:\\there.exe"};
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().ItemsScanned(), 5);
    EXPECT_EQ(Scanner().BrokenLinks(), Strings{"C:\\D\\gone.lnk"});
    EXPECT_EQ(Scanner().BrokenTargets(), Strings{"C:\\D\\gone.lnk.target"});
    EXPECT_EQ(Scanner().ResolveShortCut("C:\\D\\bad.lnk"), kShellFail);
}

TEST_F(ShortcutWalk, StopSetBeforeTheScanResetsTheResultsAndWalksNothing) {
    fs_.driveTypes["C:\\"] = kDriveFixed;
    fs_.Dir("C:", 1);
    fs_.Dir("C:\\D", 2);
    fs_.File("C:\\D\\a.lnk");
    Scanner().ScanLinkFile();
    ASSERT_EQ(Scanner().ErrorsFound(), 1);
    stop_.Set();
    fs_.searched.clear();
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().ErrorsFound(), 0);
    EXPECT_EQ(Scanner().ItemsScanned(), 0);
    EXPECT_TRUE(Scanner().BrokenLinks().empty());
    EXPECT_TRUE(fs_.searched.empty());
}

TEST_F(ShortcutWalk, TargetsBeyondReachAreNeverBroken) {
    const std::pair<const char*, std::uint32_t> drives[] = {
        {"C:\\", kDriveFixed}, {"D:\\", kDriveRemovable}, {"F:\\", kDriveCdrom},
        {"G:\\", kDriveRemote}, {"H:\\", kDriveRamdisk}};
    for (const auto& d : drives) fs_.driveTypes[d.first] = d.second;
    fs_.Dir("C:", 1);
    fs_.Dir("C:\\D", 2);
    const std::pair<const char*, const char*> links[] = {
        {"fixed", "C:\\Gone\\app.exe"},          {"ram", "H:\\Gone\\app.exe"},
        {"removable", "D:\\Setup\\setup.exe"},   {"optical", "F:\\autorun.exe"},
        {"network", "G:\\Tools\\tool.exe"},      {"absent", "Q:\\Games\\game.exe"},
        {"share", "\\\\server\\share\\app.exe"}, {"slashes", "C:/Gone/app.exe"},
        {"unreadable", "C:\\Locked\\app.exe"}};  // a folder the user may not read
    for (const auto& [name, target] : links) {
        const std::string link = std::string("C:\\D\\") + name + ".lnk";
        fs_.File(link);
        resolver_.answers[link] = {kShellOk, target};
    }
    fs_.unreadable.insert("C:\\Locked\\");
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().ItemsScanned(), 9);
    // Listed by name: fixed, ram and slashes of the nine.
    EXPECT_EQ(Scanner().BrokenLinks(), (Strings{"C:\\D\\fixed.lnk", "C:\\D\\ram.lnk", "C:\\D\\slashes.lnk"}));
}

TEST_F(ShortcutWalk, HostFolderDrivesAreWalkedOnlyWhenNamed) {
    for (const char* root : {"C:\\", "Y:\\", "Z:\\"}) {
        fs_.driveTypes[root] = kDriveFixed;
        const std::string letter(root, 2);
        fs_.Dir(letter, letter[0]);
        fs_.Dir(letter + "\\Dir", letter[0] + 100);
        fs_.File(letter + "\\Dir\\a.lnk");
    }
    fs_.hostFolders = {"Y:\\", "Z:\\"};
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), Strings{"C:\\Dir\\a.lnk"});
    for (const std::string& pattern : fs_.searched) EXPECT_EQ(pattern[0], 'C') << pattern;

    Scanner().SetDriveFilter("cz");
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().BrokenLinks(), (Strings{"C:\\Dir\\a.lnk", "Z:\\Dir\\a.lnk"}));
}

}  // namespace
}  // namespace qm::test
