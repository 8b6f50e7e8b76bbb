// A backup file that stops growing part-way (a full disk, simulated with the
// file-size limit): no finding is removed once its backup may be incomplete.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "emulation/drive_map.h"
#include "emulation/file_system_posix.h"
#include "repair/backup_file_element.h"
#include "repair_fixture.h"
#include "repair/xml_writer.h"

namespace qm {
namespace {

using test::RepairTest;

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(RepairTest, NoRemovalOnceTheBackupCannotGrow) {
    const std::string k = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmFull";
    for (int i = 0; i < 20; ++i) {
        const std::string name = "Font" + std::to_string(i);
        registry_.SetString(k, name, std::string(40, 'x'));
        AddFinding("font", k, kRemoveValue, name, std::string(40, 'x'));
    }
    ResultRows rows = RowsFor({"Corrupt Fonts"});
    const std::string file = UniqueName("full");
    std::string created;
    {
        FileSizeLimit limit(600);
        created = repair_->FixRegistry(rows, file);
    }
    EXPECT_EQ(created, file);
    EXPECT_TRUE(repair_->BackupWriter().WriteFailed());

    // Every removed value is in the file; the rest are still in the registry.
    const auto entries = test::BackupEntries(test::ReadFileBytes(file));
    int removed = 0;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "Font" + std::to_string(i);
        if (registry_.ValueExists(k, name)) continue;
        ++removed;
        EXPECT_EQ(test::CountOf(entries, k + "|" + name + "=" + std::string(40, 'x') + "|-"), 1u)
            << name;
    }
    EXPECT_GT(removed, 0);
    EXPECT_LT(removed, 20);
    EXPECT_EQ(FixedOf(rows, "Corrupt Fonts"), removed);
}

// A file may be deleted only when its whole element reached the backup; once
// a write was lost, no further file is reported as backed up.
TEST(FileBackupFullDisk, NoFileIsReportedBackedUpOnceTheBackupCannotGrow) {
    ASSERT_EQ(std::system("rm -rf full-q && mkdir full-q"), 0);
    DriveMap drives;
    drives.Map('Q', "full-q");
    PosixFileSystem fs(drives);
    for (int i = 0; i < 10; ++i)
        test::WriteFileBytes("full-q/f" + std::to_string(i) + ".lnk", std::string(30, char('a' + i)));

    const std::string file = "full-files.xml";
    std::remove(file.c_str());
    std::vector<bool> saved;
    {
        FileSizeLimit limit(700);
        CXmlWriter writer;
        writer.SetFileName(file);
        CXmlElement("registry").WriteStartTag(writer, 1, true, true);
        for (int i = 0; i < 10; ++i)
            saved.push_back(WriteBackupFileElement(writer, fs, "Q:\\f" + std::to_string(i) + ".lnk"));
        writer.Close();
    }
    const std::string xml = test::ReadFileBytes(file);
    int count = 0;
    for (int i = 0; i < 10; ++i) {
        if (i > 0 && !saved[i - 1]) {
            EXPECT_FALSE(saved[i]) << i;
        }
        if (!saved[i]) continue;
        ++count;
        std::string hex;
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", 'a' + i);
        for (int j = 0; j < 30; ++j) hex += (j ? " " : "") + std::string(byte);
        EXPECT_NE(xml.find("<file path=\"Q:\\f" + std::to_string(i) + ".lnk\" data=\"" + hex +
                           "\" attributes=\"32\"/>\r\n"),
                  std::string::npos)
            << i;
    }
    EXPECT_GT(count, 0);
    EXPECT_LT(count, 10);
    std::system("rm -rf full-q");
}

}  // namespace
}  // namespace qm
