#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::RunCli;

TEST(ScanCommand, JsonIsOneObjectWithRowsFindingsAndShortcuts) {
    const auto run = RunCli("scan --json --categories com,shareddlls,drivers,help,apppaths,sharedtools,fonts,startup,uninstall");
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << " " << run.err;
    nlohmann::json doc;
    ASSERT_NO_THROW(doc = nlohmann::json::parse(run.out)) << run.out;
    ASSERT_TRUE(doc.is_object());
    ASSERT_TRUE(doc["rows"].is_array());
    ASSERT_TRUE(doc["findings"].is_array());
    ASSERT_TRUE(doc["shortcuts"].is_array());
    EXPECT_EQ(doc["rows"].size(), 9u);
    for (const auto& row : doc["rows"]) {
        EXPECT_TRUE(row["label"].is_string());
        EXPECT_TRUE(row["scanned"].is_number_integer());
        EXPECT_TRUE(row["found"].is_number_integer());
        EXPECT_EQ(row["fixed"], 0);
    }
    for (const auto& f : doc["findings"]) {
        for (const char* field : {"tag", "kind", "key", "value", "path", "owner"})
            EXPECT_TRUE(f[field].is_string()) << field;
        EXPECT_TRUE(f["view"] == "64" || f["view"] == "32") << f;
    }
    EXPECT_EQ(run.exitCode, doc["findings"].empty() && doc["shortcuts"].empty() ? 0 : 1);
}

TEST(ScanCommand, SelectedCategoriesGiveOnlyTheirRows) {
    const auto run = RunCli("scan --json --categories fonts,com");
    nlohmann::json doc = nlohmann::json::parse(run.out);
    ASSERT_EQ(doc["rows"].size(), 2u);
    EXPECT_EQ(doc["rows"][0]["label"], "Invalid CLSID");  // the scan run's fixed order
    EXPECT_EQ(doc["rows"][1]["label"], "Corrupt Fonts");
}

TEST(ScanCommand, UsageErrorsExitTwoWithOneLineOnStandardError) {
    for (const char* args : {"scan --categories com,bogus", "", "scan --no-such-option", "frobnicate"}) {
        const auto run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_TRUE(run.out.empty()) << args << ": " << run.out;
        ASSERT_FALSE(run.err.empty()) << args;
        const std::size_t firstBreak = run.err.find('\n');
        EXPECT_TRUE(firstBreak == std::string::npos || firstBreak + 1 >= run.err.size() - 1)
            << args << ": " << run.err;
    }
}

TEST(ScanCommand, HelpExitsZero) {
    auto run = RunCli("--help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("scan"), std::string::npos);
    run = RunCli("scan --help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("--categories"), std::string::npos);
}

}  // namespace
}  // namespace qm
