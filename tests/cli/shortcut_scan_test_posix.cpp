// quillmere-cli scan, shortcut category: the "Missing ShortCuts" row, the
// broken shortcuts under "shortcuts", --drives and the ignore list, on drive
// folders holding shortcut files made by Wine's shell (tests/data/lnk).
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::RunCli;

class ShortcutScanCommand : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string lnk = std::string(QM_TEST_DATA_DIR) + "/lnk/";
        ASSERT_EQ(std::system(("rm -rf sc-q sc-r && mkdir -p sc-q/Programs/App sc-q/Desktop sc-r/Desk && "
                               "touch sc-q/Programs/App/app.exe && "
                               "cp '" + lnk + "intact.lnk' sc-q/Desktop/Program.lnk && "
                               "cp '" + lnk + "broken.lnk' 'sc-q/Desktop/Old Program.lnk' && "
                               "cp '" + lnk + "broken.lnk' sc-r/Desk/Other.lnk")
                                  .c_str()),
                  0);
    }
    void TearDown() override { std::system("rm -rf sc-q sc-r sc-ignore.lst"); }

    static nlohmann::json Scan(const std::string& options, int expectedExit) {
        const auto run = RunCli("--drive Q=sc-q --drive R=sc-r --ignore-file sc-ignore.lst scan "
                                "--json --categories shortcuts " + options);
        EXPECT_EQ(run.exitCode, expectedExit) << run.err;
        return nlohmann::json::parse(run.out, nullptr, false);
    }
};

TEST_F(ShortcutScanCommand, ReportsTheRowAndEachBrokenShortcutWithItsTarget) {
    const auto doc = Scan("", 1);
    ASSERT_EQ(doc["rows"].size(), 1u);
    EXPECT_EQ(doc["rows"][0]["label"], "Missing ShortCuts");
    EXPECT_EQ(doc["rows"][0]["scanned"], 3);
    EXPECT_EQ(doc["rows"][0]["found"], 2);
    EXPECT_EQ(doc["shortcuts"],
              nlohmann::json::parse(R"([
                  {"path": "Q:\\Desktop\\Old Program.lnk", "target": "Q:\\Programs\\Removed\\removed.exe"},
                  {"path": "R:\\Desk\\Other.lnk", "target": "Q:\\Programs\\Removed\\removed.exe"}])"));
}

TEST_F(ShortcutScanCommand, DrivesLimitTheWalk) {
    auto doc = Scan("--drives r:", 1);
    EXPECT_EQ(doc["rows"][0]["scanned"], 1);
    ASSERT_EQ(doc["shortcuts"].size(), 1u);
    EXPECT_EQ(doc["shortcuts"][0]["path"], "R:\\Desk\\Other.lnk");

    doc = Scan("--drives Q,X", 1);
    EXPECT_EQ(doc["rows"][0]["scanned"], 2);

    const auto run = RunCli("--drive Q=sc-q scan --categories shortcuts --drives C:\\\\");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--drives"), std::string::npos) << run.err;
}

TEST_F(ShortcutScanCommand, IgnoredShortcutsAreNotReported) {
    ASSERT_EQ(RunCli("ignore add \"Q:\\Desktop\\Old Program.lnk\" --ignore-file sc-ignore.lst").exitCode, 0);
    ASSERT_EQ(RunCli("ignore add \"R:\\Desk\\Other.lnk\" --ignore-file sc-ignore.lst").exitCode, 0);
    const auto doc = Scan("", 0);
    EXPECT_EQ(doc["rows"][0]["scanned"], 3);
    EXPECT_EQ(doc["rows"][0]["found"], 0);
    EXPECT_TRUE(doc["shortcuts"].empty());
}

}  // namespace
}  // namespace qm
