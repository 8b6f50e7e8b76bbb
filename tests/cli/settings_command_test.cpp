// "quillmere-cli settings": natively on a registry export file (--registry),
// under Wine on the prefix's real registry. Afterwards the values are checked
// with the program's own settings readers, so the command writes what the
// program reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/registry.h"
#include "tests/cli/cli_process.h"
#include "platform/settings_values.h"
#ifndef _WIN32
#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#endif

namespace qm {
namespace {

using testing::RunCli;

std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

const char* const kNames[] = {"savereg",    "savecountreg", "scannext",     "scanperiod",
                              "enablescan", "scanminutes",  "recommendurl", "supporturl"};

class SettingsCommand : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        std::FILE* f = std::fopen(kFile, "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe]\r\n", f);
        std::fclose(f);
#endif
        for (const char* n : kNames) RunCli("settings unset " + std::string(n) + Where());
    }
    void TearDown() override {
        for (const char* n : kNames) RunCli("settings unset " + std::string(n) + Where());
#ifndef _WIN32
        std::remove(kFile);
        std::remove((std::string(kFile) + ".orig").c_str());
#endif
    }
    static std::string Where() {
#ifdef _WIN32
        return "";
#else
        return std::string(" --registry ") + kFile;
#endif
    }
    // The registry the command wrote to, as the program would read it.
    IRegistry& Written() {
#ifdef _WIN32
        return DefaultRegistry();
#else
        loaded_ = std::make_unique<MemoryRegistry>();
        LoadRegFile(kFile, *loaded_);
        return *loaded_;
#endif
    }

    static constexpr const char* kFile = "cli-settings.reg";
#ifndef _WIN32
    std::unique_ptr<MemoryRegistry> loaded_;
#endif
};

TEST_F(SettingsCommand, FlagsTextsAndTimesRoundTrip) {
    auto run = RunCli("settings get savereg" + Where());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), "off\n");

    EXPECT_EQ(RunCli("settings set savereg" + Where()).exitCode, 0);
    EXPECT_EQ(RunCli("settings set savecountreg 3" + Where()).exitCode, 0);
    EXPECT_EQ(RunCli("settings set scannext -5" + Where()).exitCode, 0);
    EXPECT_EQ(RunCli("settings set ScanPeriod 86460" + Where()).exitCode, 0) << "names as the registry compares them";
    EXPECT_EQ(Lines(RunCli("settings get savereg" + Where()).out), "on\n");
    EXPECT_EQ(Lines(RunCli("settings get savecountreg" + Where()).out), "3\n");
    EXPECT_EQ(Lines(RunCli("settings get scannext" + Where()).out), "-5\n");

    run = RunCli("settings get" + Where());
    EXPECT_EQ(run.exitCode, 0);
    const std::string all = Lines(run.out);
    EXPECT_NE(all.find("savereg=on\n"), std::string::npos) << all;
    EXPECT_NE(all.find("savecountreg=3\n"), std::string::npos) << all;
    EXPECT_NE(all.find("scanperiod=86460\n"), std::string::npos) << all;
    EXPECT_NE(all.find("scanminutes=(not set)\n"), std::string::npos) << all;
    EXPECT_NE(all.find("enablescan=off\n"), std::string::npos) << all;

    IRegistry& reg = Written();
    std::string data;
    std::uint32_t type = 0;
    ASSERT_TRUE(ReadSettingValue(reg, kSettingsKey, "savereg", &data, &type));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, std::string("1", 2));
    std::string text;
    ASSERT_TRUE(ReadSettingText(reg, kSettingsKey, "savecountreg", text));
    EXPECT_EQ(text, "3");
    EXPECT_EQ(ReadSettingTime(reg, "scannext"), -5);
    EXPECT_EQ(ReadSettingTime(reg, "scanperiod"), 86460);

    // Off and unset remove the value; a text that is not set exits 1 silently.
    EXPECT_EQ(RunCli("settings set savereg off" + Where()).exitCode, 0);
    EXPECT_EQ(Lines(RunCli("settings get savereg" + Where()).out), "off\n");
    EXPECT_EQ(RunCli("settings unset savecountreg" + Where()).exitCode, 0);
    EXPECT_EQ(RunCli("settings unset savecountreg" + Where()).exitCode, 0) << "unsetting twice is no error";
    run = RunCli("settings get savecountreg" + Where());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(ReadSettingValue(Written(), kSettingsKey, "savecountreg"));
}

TEST_F(SettingsCommand, BadNamesAndValuesChangeNothingAndExitTwo) {
    EXPECT_EQ(RunCli("settings set savecountreg 4" + Where()).exitCode, 0);
    for (const char* args : {"settings get frob", "settings set savereg maybe", "settings set savecountreg many",
                             "settings set savecountreg -1", "settings set scannext 4294967296",
                             "settings set scanperiod 12abc", "settings set scannext", "settings set",
                             "settings unset QUILLMERE", "settings"}) {
        const auto run = RunCli(args + Where());
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_FALSE(run.err.empty()) << args;
    }
    EXPECT_NE(RunCli("settings get frob" + Where()).err.find("unknown setting \"frob\""), std::string::npos);
    EXPECT_EQ(Lines(RunCli("settings get savecountreg" + Where()).out), "4\n");
    EXPECT_EQ(Lines(RunCli("settings get savereg" + Where()).out), "off\n");
}

TEST_F(SettingsCommand, WebAddressesAreSetOnlyToWebPages) {
    EXPECT_EQ(RunCli("settings set supporturl https://quillmere.example.org/help" + Where()).exitCode, 0);
    EXPECT_EQ(Lines(RunCli("settings get supporturl" + Where()).out), "https://quillmere.example.org/help\n");
    EXPECT_EQ(ReadWebAddress(Written(), kSupportAddressSetting, "fallback"), "https://quillmere.example.org/help");
    // Anything the shell could take for a program or a file is refused and
    // leaves the stored address as it was.
    for (const char* bad : {"calc.exe", "file:///C:/Windows/notepad.exe", "https://", "ftp://example.org/"}) {
        const auto run = RunCli(std::string("settings set supporturl ") + bad + Where());
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_NE(run.err.find("web address"), std::string::npos) << bad;
    }
    EXPECT_EQ(Lines(RunCli("settings get supporturl" + Where()).out), "https://quillmere.example.org/help\n");
    auto run = RunCli("settings get recommendurl" + Where());
    EXPECT_EQ(run.exitCode, 1) << "not set: the program uses its built-in address";
}

// An address longer than the first read's 256 bytes (and a text as long) is
// read back whole, by the command and by the window's reader.
TEST_F(SettingsCommand, LongAddressesAreReadBackWhole) {
    const std::string address = "https://quillmere.example.org/" + std::string(240, 'a');
    ASSERT_EQ(address.size(), 270u);
    auto run = RunCli("settings set supporturl " + address + Where());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = RunCli("settings get supporturl" + Where());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), address + "\n");
    EXPECT_EQ(ReadWebAddress(Written(), kSupportAddressSetting, "fallback"), address);
    run = RunCli("settings get" + Where());
    EXPECT_NE(Lines(run.out).find("supporturl=" + address + "\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace qm
