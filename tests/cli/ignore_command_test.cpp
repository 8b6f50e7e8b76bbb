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

TEST(IgnoreCommand, ReadsListsWithAByteOrderMarkCrLfNulAndCtrlZ) {
    const std::string file = "cli-ignore-odd.lst";
    {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const char raw[] = "\xEF\xBB\xBF" "C:\\one.dll\r\nC:\\t\0wo.dll\r\nC:\\three\x1A.dll\r\nC:\\four.dll\r\n\x1A";
        const std::string bytes(raw, sizeof raw - 1);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    auto run = RunCli("ignore list --ignore-file " + file);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), "C:\\one.dll\nC:\\t\nC:\\three\x1A.dll\nC:\\four.dll\n");  // printf stops at NUL
    // Adding to it keeps every entry, the one with a NUL byte included.
    run = RunCli("ignore add \"C:\\five.dll\" --ignore-file " + file);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const char expected[] = "C:\\one.dll\nC:\\t\0wo.dll\nC:\\three\x1A.dll\nC:\\four.dll\nC:\\five.dll\n";
    EXPECT_EQ(Lines(ReadWholeFile(file)), std::string(expected, sizeof expected - 1));
    EXPECT_EQ(RunCli("ignore add \"C:\\four.dll\" --ignore-file " + file).out.find("already ignored"), 0u);
    std::remove(file.c_str());
}

TEST(IgnoreCommand, AListThatCannotBeWrittenIsAnError) {
    for (const char* file : {"no-such-folder/ignore.lst", "."}) {
        auto run = RunCli(std::string("ignore add C:\\x.dll --ignore-file ") + file);
        EXPECT_EQ(run.exitCode, 2) << file;
        EXPECT_EQ(run.out.find("ignored:"), std::string::npos) << run.out;
        EXPECT_NE(run.err.find("cannot"), std::string::npos) << run.err;
    }
    // A list that cannot be read is not replaced by a new one without its
    // entries, and a scan does not report what it may hold.
    for (const char* command : {"ignore remove C:\\x.dll", "ignore list", "scan --categories fonts"}) {
        auto run = RunCli(std::string(command) + " --ignore-file .");
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_NE(run.err.find("cannot be read"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

}  // namespace
}  // namespace qm
