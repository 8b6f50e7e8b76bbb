#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/registry_lib.h"
#include "platform/registry_memory.h"
#include "platform/system_memory.h"

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

}  // namespace
}  // namespace qm
