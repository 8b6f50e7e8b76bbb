#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/registry_lib.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

class IgnoreListTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = std::string("ignore-test-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".lst";
        std::remove(file_.c_str());
        services_.registry = &registry_;
        services_.system = &system_;
        services_.ignoreFile = file_;
    }
    void TearDown() override { std::remove(file_.c_str()); }

    void Write(const std::string& content) {
        std::ofstream out(file_, std::ios::binary);
        out << content;
    }
    std::string Read() {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        std::string text = s.str();
        // Text mode on Windows writes CR LF; compare line content only.
        std::string out;
        for (char c : text)
            if (c != '\r') out.push_back(c);
        return out;
    }
    static std::vector<std::string> Paths(const CRegistryLib& lib) {
        std::vector<std::string> out;
        for (const auto& e : lib.IgnoreList()) out.push_back(e ? e->GetFilePath() : "<null>");
        return out;
    }

    std::string file_;
    MemoryRegistry registry_;
    MemorySystem system_;
    EngineServices services_;
};

TEST_F(IgnoreListTest, MissingFileGivesAnEmptyList) {
    CRegistryLib lib(services_);
    EXPECT_TRUE(lib.IgnoreList().empty());
    EXPECT_FALSE(lib.IsIgnored(""));
}

TEST_F(IgnoreListTest, LoadsOneEntryPerLineAndKeepsALastLineWithoutLineFeed) {
    Write("C:\\a b\\x.dll\n\nC:\\last.dll");
    CRegistryLib lib(services_);
    EXPECT_EQ(Paths(lib), (std::vector<std::string>{"C:\\a b\\x.dll", "", "C:\\last.dll"}));
}

TEST_F(IgnoreListTest, RoundTripReproducesTheFileLineForLine) {
    const std::string content = "C:\\one.dll\nC:\\Program Files\\two.exe\n\nC:\\three.hlp\n";
    Write(content);
    CRegistryLib lib(services_);
    lib.SaveIgnoreList();
    EXPECT_EQ(Read(), content);
}

TEST_F(IgnoreListTest, NullEntriesAreNotWrittenBack) {
    Write("keep1\ndrop\nkeep2\n");
    CRegistryLib lib(services_);
    lib.IgnoreList()[1].reset();
    lib.SaveIgnoreList();
    EXPECT_EQ(Read(), "keep1\nkeep2\n");
    EXPECT_FALSE(lib.IsIgnored("drop"));
}

TEST_F(IgnoreListTest, MatchIsExactAndCaseSensitive) {
    Write("C:\\Windows\\gone.dll\n");
    CRegistryLib lib(services_);
    EXPECT_TRUE(lib.IsIgnored("C:\\Windows\\gone.dll"));
    EXPECT_FALSE(lib.IsIgnored("C:\\WINDOWS\\gone.dll"));
    EXPECT_FALSE(lib.IsIgnored("C:/Windows/gone.dll"));
    EXPECT_FALSE(lib.IsIgnored("C:\\Windows\\gone.dll "));
    EXPECT_FALSE(lib.IsIgnored("C:\\Windows\\gone.dl"));
}

TEST_F(IgnoreListTest, LongLinesStayWhole) {
    const std::string longPath = "C:\\" + std::string(5000, 'x') + ".dll";
    const std::string exact999(999, 'y');
    const std::string exact1000(1000, 'z');
    Write(longPath + "\n" + exact999 + "\n" + exact1000 + "\nshort\n");
    CRegistryLib lib(services_);
    EXPECT_EQ(Paths(lib), (std::vector<std::string>{longPath, exact999, exact1000, "short"}));
    EXPECT_TRUE(lib.IsIgnored(longPath));
    lib.SaveIgnoreList();
    EXPECT_EQ(Read(), longPath + "\n" + exact999 + "\n" + exact1000 + "\nshort\n");
}

TEST_F(IgnoreListTest, AppendedEntriesAreSavedAndReloaded) {
    CRegistryLib lib(services_);
    auto entry = std::make_unique<CRegErrorLog>();
    entry->SetFilePath("C:\\unticked.dll");
    entry->SetCategory("CLSID");
    lib.IgnoreList().push_back(std::move(entry));
    lib.SaveIgnoreList();

    CRegistryLib other(services_);
    EXPECT_EQ(Paths(other), (std::vector<std::string>{"C:\\unticked.dll"}));
}

TEST_F(IgnoreListTest, ScanRunReloadsTheFile) {
    CRegistryLib lib(services_);
    EXPECT_FALSE(lib.IsIgnored("C:\\later.dll"));
    Write("C:\\later.dll\n");
    ResultRows rows;
    ScanCategoryStates states;
    lib.ScanRegistry(rows, states);
    EXPECT_TRUE(lib.IsIgnored("C:\\later.dll"));
}


// --- reading what editors and other systems leave ---------------------------

TEST_F(IgnoreListTest, ByteOrderMarkAndCrLfLineEndsAreNotPartOfThePaths) {
    Write("\xEF\xBB\xBF" "C:\\first.dll\r\nC:\\second.dll\r\n\r\nC:\\last.dll\r\n");
    CRegistryLib lib(services_);
    EXPECT_EQ(Paths(lib), (std::vector<std::string>{"C:\\first.dll", "C:\\second.dll", "", "C:\\last.dll"}));
    EXPECT_TRUE(lib.IsIgnored("C:\\first.dll"));
    // A last line without its line feed loses its carriage return too; a
    // carriage return inside a line is part of it.
    Write("C:\\a\rb.dll\r\nC:\\end.dll\r");
    lib.LoadIgnoreList();
    EXPECT_EQ(Paths(lib), (std::vector<std::string>{"C:\\a\rb.dll", "C:\\end.dll"}));
    EXPECT_TRUE(lib.IgnoreListError().empty());
}

TEST_F(IgnoreListTest, NulAndCtrlZKeepEveryEntryAndSurviveASave) {
    const std::string nul("C:\\odd\0name.dll", 15);
    Write("C:\\before.dll\n" + nul + "\nC:\\mid\x1Aline.dll\n\x1A\nC:\\after.dll\n");
    CRegistryLib lib(services_);
    EXPECT_EQ(Paths(lib),
              (std::vector<std::string>{"C:\\before.dll", nul, "C:\\mid\x1Aline.dll", "\x1A", "C:\\after.dll"}));
    EXPECT_TRUE(lib.IsIgnored("C:\\after.dll"));
    ASSERT_TRUE(lib.SaveIgnoreList()) << lib.IgnoreListError();
    EXPECT_EQ(Read(), "C:\\before.dll\n" + nul + "\nC:\\mid\x1Aline.dll\n\x1A\nC:\\after.dll\n");
    // A Ctrl-Z that ends the file is an old editor's end-of-file mark.
    Write("C:\\one.dll\r\nC:\\two.dll\r\n\x1A");
    lib.LoadIgnoreList();
    EXPECT_EQ(Paths(lib), (std::vector<std::string>{"C:\\one.dll", "C:\\two.dll"}));
}

TEST_F(IgnoreListTest, SavedLinesEndAsTheSystemsTextFiles) {
    Write("\xEF\xBB\xBF" "C:\\x.dll\r\nC:\\y.dll\n");
    CRegistryLib lib(services_);
    ASSERT_TRUE(lib.SaveIgnoreList());
    std::ifstream in(file_, std::ios::binary);
    std::stringstream raw;
    raw << in.rdbuf();
#ifdef _WIN32
    EXPECT_EQ(raw.str(), "C:\\x.dll\r\nC:\\y.dll\r\n");
#else
    EXPECT_EQ(raw.str(), "C:\\x.dll\nC:\\y.dll\n");
#endif
}

// --- a list that cannot be read or written is never lost silently ----------

TEST_F(IgnoreListTest, WriteFailuresAreReportedAndLeaveTheOldFile) {
    namespace fs = std::filesystem;
    CRegistryLib lib(services_);
    auto entry = std::make_unique<CRegErrorLog>();
    entry->SetFilePath("C:\\kept.dll");
    lib.IgnoreList().push_back(std::move(entry));

    lib.SetIgnoreFile("no-such-folder/ignore.lst");
    EXPECT_FALSE(lib.SaveIgnoreList());
    EXPECT_NE(lib.IgnoreListError().find("no-such-folder/ignore.lst"), std::string::npos) << lib.IgnoreListError();

    const std::string folder = file_ + ".d";
    fs::create_directory(folder);
    lib.SetIgnoreFile(folder);  // a folder in the list's place
    EXPECT_FALSE(lib.SaveIgnoreList());
    EXPECT_TRUE(fs::is_directory(folder));
    fs::remove(folder);

    Write("C:\\old.dll\n");
    fs::permissions(file_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    lib.SetIgnoreFile(file_);
    EXPECT_FALSE(lib.SaveIgnoreList());
    EXPECT_NE(lib.IgnoreListError().find("read-only"), std::string::npos) << lib.IgnoreListError();
    fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Read(), "C:\\old.dll\n");

    // Nothing is left behind, and the next save works.
    for (const auto& e : fs::directory_iterator(".")) {
        const std::string name = e.path().filename().string();
        if (name.rfind(file_, 0) == 0) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        }
    }
    ASSERT_TRUE(lib.SaveIgnoreList()) << lib.IgnoreListError();
    EXPECT_TRUE(lib.IgnoreListError().empty());
    EXPECT_EQ(Read(), "C:\\kept.dll\n");
}

TEST_F(IgnoreListTest, AListThatCannotBeReadIsNeverReplaced) {
    namespace fs = std::filesystem;
    // Larger than any list: refused, not read into memory.
    Write("C:\\precious.dll\n");
    fs::resize_file(file_, 65 * 1024 * 1024);
    CRegistryLib lib(services_);
    EXPECT_TRUE(lib.IgnoreList().empty());
    EXPECT_NE(lib.IgnoreListError().find("larger than"), std::string::npos) << lib.IgnoreListError();
    auto entry = std::make_unique<CRegErrorLog>();
    entry->SetFilePath("C:\\new.dll");
    lib.IgnoreList().push_back(std::move(entry));
    EXPECT_FALSE(lib.SaveIgnoreList());
    EXPECT_EQ(fs::file_size(file_), 65u * 1024 * 1024);
    std::remove(file_.c_str());

    // A folder where the list should be.
    fs::create_directory(file_);
    lib.LoadIgnoreList();
    EXPECT_FALSE(lib.IgnoreListError().empty());
    EXPECT_FALSE(lib.SaveIgnoreList());
    EXPECT_TRUE(fs::is_directory(file_));
    fs::remove(file_);

    // Missing is no error: an empty list that may be written.
    lib.LoadIgnoreList();
    EXPECT_TRUE(lib.IgnoreListError().empty());
    EXPECT_TRUE(lib.SaveIgnoreList());
}

}  // namespace
}  // namespace qm
