// quillmere-cli fix keeps the broken shortcuts it deletes in its backup, and
// restore puts them back byte for byte, unless a file of that name is there
// again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;

class ShortcutRestore : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string lnk = std::string(QM_TEST_DATA_DIR) + "/lnk/";
        ASSERT_EQ(std::system(("rm -rf sr-q sr-work && mkdir -p sr-q/Programs/App sr-q/Desktop sr-work && "
                               "touch sr-q/Programs/App/app.exe && "
                               "cp '" + lnk + "intact.lnk' sr-q/Desktop/Program.lnk && "
                               "cp '" + lnk + "broken.lnk' 'sr-q/Desktop/Old & <Program>.lnk' && "
                               "cp '" + lnk + "never.lnk' sr-q/Desktop/Never.lnk && "
                               "chmod a-w sr-q/Desktop/Never.lnk && "
                               "printf 'Windows Registry Editor Version 5.00\\r\\n\\r\\n' > sr-work/r.reg")
                                  .c_str()),
                  0);
        broken_ = ReadWholeFile(std::string(QM_TEST_DATA_DIR) + "/lnk/broken.lnk");
        never_ = ReadWholeFile(std::string(QM_TEST_DATA_DIR) + "/lnk/never.lnk");
        ASSERT_FALSE(broken_.empty());
    }
    void TearDown() override { std::system("chmod -R u+w sr-q; rm -rf sr-q sr-work"); }

    static testing::CliRun Cli(const std::string& args) {
        return RunCli("--registry sr-work/r.reg --drive Q=sr-q --ignore-file sr-work/ignore.lst " + args);
    }

    std::string broken_, never_;
};

TEST_F(ShortcutRestore, FixBacksUpEachDeletedShortcutAndRestorePutsItBack) {
    auto run = Cli("fix --categories shortcuts --drives Q --json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["rows"][0]["fixed"], 2);
    const std::string backup = doc["backup"];
    EXPECT_FALSE(std::ifstream("sr-q/Desktop/Old & <Program>.lnk").good());
    EXPECT_FALSE(std::ifstream("sr-q/Desktop/Never.lnk").good());
    const std::string xml = ReadWholeFile(backup);
    EXPECT_NE(xml.find("<file path=\"Q:\\Desktop\\Old &amp; &lt;Program>.lnk\" data=\"4c 00 00 00"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find(" </registry>\r\n"), std::string::npos);

    run = Cli("restore " + backup);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Registry Restored Successfuly\n");
    EXPECT_EQ(ReadWholeFile("sr-q/Desktop/Old & <Program>.lnk"), broken_);
    EXPECT_EQ(ReadWholeFile("sr-q/Desktop/Never.lnk"), never_);
    // It was read-only, and is again.
    EXPECT_EQ(std::system("test \"$(stat -c %a sr-q/Desktop/Never.lnk)\" = 444"), 0);
    EXPECT_EQ(ReadWholeFile("sr-q/Desktop/Program.lnk"),
              ReadWholeFile(std::string(QM_TEST_DATA_DIR) + "/lnk/intact.lnk"));

    // A file of that name that came back meanwhile is left as it is.
    ASSERT_EQ(std::system("rm -f 'sr-q/Desktop/Old & <Program>.lnk' && echo mine > 'sr-q/Desktop/Old & <Program>.lnk'"), 0);
    run = Cli("restore " + backup);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "kept the existing file Q:\\Desktop\\Never.lnk\n"
                       "kept the existing file Q:\\Desktop\\Old & <Program>.lnk\n"
                       "Registry Restored Successfuly\n");
    EXPECT_EQ(ReadWholeFile("sr-q/Desktop/Old & <Program>.lnk"), "mine\n");
    std::remove(backup.c_str());
}

TEST_F(ShortcutRestore, ShortcutThatCannotBeBackedUpIsNotDeleted) {
    // Too large for the backup (still a broken shortcut): no backup of it, so it stays.
    ASSERT_EQ(std::system("truncate -s 17M 'sr-q/Desktop/Old & <Program>.lnk'"), 0);
    const auto run = Cli("fix --categories shortcuts --drives Q --json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["rows"][0]["found"], 2);
    EXPECT_EQ(doc["rows"][0]["fixed"], 1);
    EXPECT_EQ(std::system("test -e 'sr-q/Desktop/Old & <Program>.lnk'"), 0);
    EXPECT_EQ(std::system("test -e sr-q/Desktop/Never.lnk"), 256);
    std::remove(std::string(doc["backup"]).c_str());
}

TEST_F(ShortcutRestore, RestoreToAFolderThatIsGoneFails) {
    auto run = Cli("fix --categories shortcuts --drives Q --json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string backup = nlohmann::json::parse(run.out)["backup"];
    ASSERT_EQ(std::system("chmod -R u+w sr-q && rm -rf sr-q/Desktop"), 0);
    run = Cli("restore " + backup);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.out.find("couldn't restore file Q:\\Desktop\\Old & <Program>.lnk\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("couldn't restore file Q:\\Desktop\\Never.lnk (0 keys, 0 values and 0 files restored before it)"),
              std::string::npos)
        << run.err;
    // No folder is made for it.
    EXPECT_EQ(std::system("test -e sr-q/Desktop"), 256);
    std::remove(backup.c_str());
}

}  // namespace
}  // namespace qm
