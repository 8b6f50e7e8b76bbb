#include <gtest/gtest.h>

#include <cstdio>

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;

std::string Lines(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

TEST(IgnoreCommand, AddListRemoveRoundTripInTheNamedFile) {
    const std::string file = "cli-ignore-test.lst";
    std::remove(file.c_str());
    EXPECT_EQ(RunCli("ignore add \"C:\\Program Files\\x y.dll\" --ignore-file " + file).exitCode, 0);
    EXPECT_EQ(RunCli("--ignore-file " + file + " ignore add \"C:\\second.dll\"").exitCode, 0);
    EXPECT_EQ(RunCli("ignore add \"C:\\second.dll\" --ignore-file " + file).exitCode, 0);  // no duplicate
    EXPECT_EQ(Lines(ReadWholeFile(file)), "C:\\Program Files\\x y.dll\nC:\\second.dll\n");

    auto run = RunCli("ignore list --ignore-file " + file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Lines(run.out), "C:\\Program Files\\x y.dll\nC:\\second.dll\n");

    run = RunCli("ignore remove \"C:\\SECOND.dll\" --ignore-file " + file);  // exact match only
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("not on the ignore list"), std::string::npos) << run.err;
    EXPECT_EQ(RunCli("ignore remove \"C:\\second.dll\" --ignore-file " + file).exitCode, 0);
    EXPECT_EQ(Lines(ReadWholeFile(file)), "C:\\Program Files\\x y.dll\n");
    std::remove(file.c_str());
}

TEST(IgnoreCommand, ArgumentErrorsExitTwo) {
    for (const char* args : {"ignore", "ignore add", "ignore remove", "ignore frob x"}) {
        const auto run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_FALSE(run.err.empty()) << args;
    }
}

}  // namespace
}  // namespace qm
