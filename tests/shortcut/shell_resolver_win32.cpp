// The shell's link object on the shortcut files of tests/data/lnk: the same
// results as recorded when they were made, which the liblnk resolver is
// checked against natively.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/shortcut_resolver.h"

namespace qm::test {
namespace {

const std::string kDataDir = std::string(QM_TEST_DATA_DIR) + "/lnk/";

TEST(ShellResolver, GivesTheRecordedGetPathResults) {
    std::ifstream in(kDataDir + "getpath.txt", std::ios::binary);
    std::string line;
    int records = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, hex, path;
        std::getline(fields, name, '\t');
        std::getline(fields, hex, '\t');
        std::getline(fields, path);
        SCOPED_TRACE(name);
        std::string target = "unchanged";
        const std::int32_t result = DefaultShortcutResolver().GetShortcutPath(kDataDir + name, target);
        EXPECT_EQ(result, static_cast<std::int32_t>(std::stoul(hex, nullptr, 16)));
        EXPECT_EQ(target, path);
        ++records;
    }
    EXPECT_GE(records, 9);
}

TEST(ShellResolver, WhatIsNotAShortcutFileFailsAndLeavesTheTarget) {
    std::ofstream("shell-text.lnk", std::ios::binary) << "not a shortcut\r\n";
    std::string target = "unchanged";
    EXPECT_LT(DefaultShortcutResolver().GetShortcutPath("shell-text.lnk", target), 0);
    EXPECT_LT(DefaultShortcutResolver().GetShortcutPath(kDataDir + "no-such.lnk", target), 0);
    EXPECT_LT(DefaultShortcutResolver().GetShortcutPath(kDataDir, target), 0);  // a directory
    EXPECT_LT(DefaultShortcutResolver().GetShortcutPath(std::string(300, 'a') + ".lnk", target), 0);
    EXPECT_EQ(target, "unchanged");
    std::remove("shell-text.lnk");
}

}  // namespace
}  // namespace qm::test
