// The walk's choices that a real drive cannot easily show: which drives are
// walked, directories reached twice without a link (bind mounts), and what a
// shortcut's resolution result means. A file system and resolver in memory.
#include <gtest/gtest.h>

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
            found.push_back(entry);
        }
        if (found.empty()) return nullptr;
        data = found.front();
        return std::make_unique<Listing>(std::move(found));
    }
    bool GetFileIdentity(const std::string& path, FileIdentity& identity) override {
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

    std::set<std::string> hostFolders;  // roots of drives standing for host folders

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
    std::int32_t GetShortcutPath(const std::string& path, std::string& target) override {
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

TEST_F(ShortcutWalk, DirectoryAlreadyOnThePathIsNotEnteredEvenWithoutALinkAttribute) {
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
    EXPECT_EQ(Scanner().BrokenLinks(), Strings{"C:\\A\\Sub\\s.lnk"});
    for (const std::string& pattern : fs_.searched) {
        EXPECT_EQ(pattern.find("Mount"), std::string::npos) << pattern;
        EXPECT_EQ(pattern.find("Root"), std::string::npos) << pattern;
        EXPECT_EQ(pattern.find("Link"), std::string::npos) << pattern;
    }
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
        {"share", "\\\\server\\share\\app.exe"}, {"slashes", "C:/Gone/app.exe"}};
    for (const auto& [name, target] : links) {
        const std::string link = std::string("C:\\D\\") + name + ".lnk";
        fs_.File(link);
        resolver_.answers[link] = {kShellOk, target};
    }
    Scanner().ScanLinkFile();
    EXPECT_EQ(Scanner().ItemsScanned(), 8);
    // Listed by name: fixed, ram and slashes of the eight.
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
