// A backup file that stops growing part-way (a full disk, simulated with the
// file-size limit): no finding is removed once its backup may be incomplete.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include "repair_fixture.h"

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
        created = lib_->FixRegistry(rows, file);
    }
    EXPECT_EQ(created, file);
    EXPECT_TRUE(lib_->BackupWriter().WriteFailed());

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

}  // namespace
}  // namespace qm
