// Unticked rows before a repair: findings and broken shortcuts go to the
// ignore list and are blanked, and the repair leaves them alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "engine/shortcut.h"
#include "repair/keep_selection.h"
#include "repair_fixture.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::RepairTest;

// One fixed drive C: whose folder C:\Desk holds shortcut files.
class DeskFileSystem : public IFileSystem {
public:
    std::vector<std::string> GetLogicalDriveStringsA() override { return {"C:\\"}; }
    std::uint32_t GetDriveTypeA(const std::string&) override { return kDriveFixed; }
    std::unique_ptr<FindHandle> FindFirstFileA(const std::string& pattern, FindData& data) override {
        std::vector<FindData> entries;
        if (pattern == "C:\\*.*") {
            entries.push_back({kFileAttributeDirectory, "Desk", false, {}});
        } else if (pattern == "C:\\Desk\\*.lnk" || pattern == "C:\\Desk\\*.*") {
            for (const auto& name : links)
                if (!deleted.count("C:\\Desk\\" + name)) entries.push_back({kFileAttributeArchive, name, false, {}});
        }
        if (entries.empty()) return nullptr;
        data = entries[0];
        return std::make_unique<Find>(std::move(entries));
    }
    bool GetFileIdentity(const std::string& path, FileIdentity& id) override {
        id.volume = 1;
        id.index = std::hash<std::string>()(path);
        return true;
    }
    std::uint32_t GetFileAttributesA(const std::string&) override { return kFileAttributeArchive; }
    bool SetFileAttributesA(const std::string&, std::uint32_t) override { return true; }
    bool DeleteFileA(const std::string& path) override {
        if (path.empty()) return false;
        return deleted.insert(path).second;
    }
    bool Access(const std::string&) override { return false; }  // every target is gone

    std::vector<std::string> links = {"a.lnk", "b.lnk", "c.lnk"};
    std::set<std::string> deleted;

private:
    struct Find : FindHandle {
        explicit Find(std::vector<FindData> e) : entries(std::move(e)) {}
        bool FindNextFileA(FindData& data) override {
            if (++next >= entries.size()) return false;
            data = entries[next];
            return true;
        }
        std::vector<FindData> entries;
        std::size_t next = 0;
    };
};

class GoneResolver : public IShortcutResolver {
public:
    std::int32_t GetShortcutPath(const std::string& path, std::string& target) override {
        target = path + ".target.exe";
        return 0;
    }
};

class KeepTest : public RepairTest {
protected:
    void SetUp() override {
        RepairTest::SetUp();
        test::WriteFileBytes(lib_->IgnoreFile(), "C:\\Earlier\\one.dll\n");
        lib_->LoadIgnoreList();
        ShortcutServices s;
        s.fileSystem = &fs_;
        s.resolver = &resolver_;
        shortcuts_ = std::make_unique<CShortcut>(s);
        shortcuts_->ScanLinkFile();
        ASSERT_EQ(shortcuts_->BrokenLinks().size(), 3u);
    }

    // The ignore file is a text file: CR LF line ends on Windows.
    std::string IgnoreFileText() const {
        std::string text = ReadFileBytes(lib_->IgnoreFile());
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    DeskFileSystem fs_;
    GoneResolver resolver_;
    std::unique_ptr<CShortcut> shortcuts_;
};

TEST_F(KeepTest, UntickedRowsAreIgnoredAndBlankedAndTheRepairLeavesThemAlone) {
    const std::string k = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmKeep";
    registry_.SetString(k + "\\Fonts", "Keep", "keep.ttf");
    registry_.SetString(k + "\\Fonts", "Drop", "drop.ttf");
    registry_.SetString(k + "\\Clsid\\{Keep}", "", "x");
    AddFinding("font", k + "\\Fonts", kRemoveValue, "Keep", "keep.ttf").SetFilePath("C:\\Gone\\keep.ttf");
    AddFinding("font", k + "\\Fonts", kRemoveValue, "Drop", "drop.ttf").SetFilePath("C:\\Gone\\drop.ttf");
    AddFinding("CLSID", k + "\\Clsid\\{Keep}", kRemoveKey).SetFilePath("C:\\Gone\\keep.dll");

    // Rows: three findings, then three shortcuts; keep rows 0, 2 and 4.
    CRegistryLib keeper(services_);
    const std::vector<bool> ticked = {false, true, false, true, false, true};
    EXPECT_EQ(KeepUntickedRows(*lib_, shortcuts_.get(), ticked, keeper), 3u);

    EXPECT_EQ(lib_->Findings()[0]->GetKeyPath(), "");
    EXPECT_EQ(lib_->Findings()[1]->GetKeyPath(), k + "\\Fonts");
    EXPECT_EQ(lib_->Findings()[2]->GetKeyPath(), "");
    EXPECT_EQ(shortcuts_->BrokenLinks(),
              (std::vector<std::string>{"C:\\Desk\\a.lnk", "", "C:\\Desk\\c.lnk"}));
    // The ignore file: what it held, then the kept rows' paths in row order.
    EXPECT_EQ(IgnoreFileText(),
              "C:\\Earlier\\one.dll\nC:\\Gone\\keep.ttf\nC:\\Gone\\keep.dll\nC:\\Desk\\b.lnk\n");
    // The copy keeps the finding's other fields.
    ASSERT_EQ(keeper.IgnoreList().size(), 4u);
    EXPECT_EQ(keeper.IgnoreList()[1]->GetKeyPath(), k + "\\Fonts");
    EXPECT_EQ(keeper.IgnoreList()[1]->GetValue()->name, "Keep");

    ResultRows rows = RowsFor({"Corrupt Fonts", "Invalid CLSID"});
    repair_->FixRegistry(rows, UniqueName("kept"));
    shortcuts_->FixLinkFile();
    EXPECT_TRUE(registry_.ValueExists(k + "\\Fonts", "Keep"));
    EXPECT_FALSE(registry_.ValueExists(k + "\\Fonts", "Drop"));
    EXPECT_TRUE(registry_.KeyExists(k + "\\Clsid\\{Keep}"));
    EXPECT_EQ(FixedOf(rows, "Corrupt Fonts"), 1);
    EXPECT_EQ(FixedOf(rows, "Invalid CLSID"), 0);
    EXPECT_EQ(fs_.deleted, (std::set<std::string>{"C:\\Desk\\a.lnk", "C:\\Desk\\c.lnk"}));
    EXPECT_EQ(shortcuts_->ErrorsFixed(), 2);

    // The next scans leave the kept paths out.
    lib_->LoadIgnoreList();
    EXPECT_TRUE(lib_->IsIgnored("C:\\Gone\\keep.ttf"));
    shortcuts_->UseIgnoreListOf(*lib_);
    fs_.deleted.clear();
    shortcuts_->ScanLinkFile();
    EXPECT_EQ(shortcuts_->BrokenLinks(), (std::vector<std::string>{"C:\\Desk\\a.lnk", "C:\\Desk\\c.lnk"}));
}

TEST_F(KeepTest, EveryRowTickedLeavesTheIgnoreFileAsItWas) {
    AddFinding("font", "HKEY_LOCAL_MACHINE\\X", kRemoveValue, "a", "b");
    std::string error = "x";
    EXPECT_EQ(KeepUntickedRows(*lib_, shortcuts_.get(), {}, *lib_, &error), 0u);
    EXPECT_EQ(error, "");
    EXPECT_EQ(IgnoreFileText(), "C:\\Earlier\\one.dll\n");
    EXPECT_EQ(lib_->Findings()[0]->GetKeyPath(), "HKEY_LOCAL_MACHINE\\X");
    // Nothing to write, so a list that cannot be written is no obstacle.
    lib_->SetIgnoreFile("no-such-folder/ignore.lst");
    EXPECT_EQ(KeepUntickedRows(*lib_, shortcuts_.get(), {}, *lib_, &error), 0u);
    EXPECT_EQ(error, "");
}

TEST_F(KeepTest, AListThatCannotBeWrittenIsReported) {
    AddFinding("font", "HKEY_LOCAL_MACHINE\\X", kRemoveValue, "a", "b").SetFilePath("C:\\1");
    lib_->SetIgnoreFile("no-such-folder/ignore.lst");
    std::string error;
    EXPECT_EQ(KeepUntickedRows(*lib_, nullptr, {false}, *lib_, &error), 1u);
    EXPECT_NE(error.find("no-such-folder/ignore.lst"), std::string::npos) << error;
}

TEST_F(KeepTest, EveryRowUntickedWithTheEngineAsItsOwnKeeper) {
    AddFinding("font", "HKEY_LOCAL_MACHINE\\X", kRemoveValue, "a", "b").SetFilePath("C:\\1");
    AddFinding("font", "HKEY_LOCAL_MACHINE\\Y", kRemoveValue, "a", "b").SetFilePath("C:\\2");
    const std::vector<bool> none(5, false);
    EXPECT_EQ(KeepUntickedRows(*lib_, shortcuts_.get(), none, *lib_), 5u);
    for (const auto& f : lib_->Findings()) EXPECT_EQ(f->GetKeyPath(), "");
    for (const auto& s : shortcuts_->BrokenLinks()) EXPECT_EQ(s, "");
    EXPECT_EQ(IgnoreFileText(),
              "C:\\Earlier\\one.dll\nC:\\1\nC:\\2\nC:\\Desk\\a.lnk\nC:\\Desk\\b.lnk\nC:\\Desk\\c.lnk\n");
}

TEST_F(KeepTest, TickedExceptMatchesFilePathsExactly) {
    AddFinding("font", "HKEY_LOCAL_MACHINE\\X", kRemoveValue, "a", "b").SetFilePath("C:\\Gone\\x.ttf");
    AddFinding("Help", "HKEY_LOCAL_MACHINE\\Y", kRemoveValue, "a", "b").SetFilePath("C:\\Gone\\y.hlp");
    AddFinding("Help", "HKEY_LOCAL_MACHINE\\Z", kRemoveValue, "a", "b").SetFilePath("C:\\Gone\\x.ttf");
    const auto ticked = TickedExcept(lib_->Findings(), shortcuts_->BrokenLinks(),
                                     {"C:\\Gone\\x.ttf", "c:\\gone\\y.hlp", "C:\\Desk\\b.lnk"});
    EXPECT_EQ(ticked, (std::vector<bool>{false, true, false, true, false, true}));
    // No shortcut scan: registry rows only.
    EXPECT_EQ(TickedExcept(lib_->Findings(), {}, {}), (std::vector<bool>{true, true, true}));
}

}  // namespace
}  // namespace qm
