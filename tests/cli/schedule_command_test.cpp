// quillmere-cli schedule: the add-schedule messages and exit codes, the list
// and delete by number, on a scheduler task of the test's own (Windows); the
// command's refusal elsewhere.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>

#include "repair/task_schedule_win32.h"
#endif

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::RunCli;

#ifdef _WIN32

std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

class ScheduleCommand : public ::testing::Test {
protected:
    void SetUp() override { DeleteTask(task_); }
    void TearDown() override { DeleteTask(task_); }

    testing::CliRun Run(const std::string& args) { return RunCli("schedule " + args + " --task " + task_); }

    const std::string task_ = "QuillmereCliTest" + std::to_string(GetCurrentProcessId());
};

TEST_F(ScheduleCommand, AddPrintsTheProcedureMessageAndListNumbersTheSchedules) {
    auto run = Run("list");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "") << "no task yet: nothing to list";

    run = Run("add --date 2026-12-07 --time 10:15 --frequency daily");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), "Schedule Creation Success!!\n");
    run = Run("add --date 2026-12-07 --time 10:15 --frequency weekly");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.out), "Already Scheduled For This Time!!\n");
    run = Run("add --date 2026-12-09 --time 22:05");
    EXPECT_EQ(run.exitCode, 0) << run.err;

    run = Run("list");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string out = Lines(run.out);
    EXPECT_EQ(out.rfind("1\tAt 10:15", 0), 0u) << out;
    EXPECT_NE(out.find(" every day, starting "), std::string::npos) << out;
    EXPECT_NE(out.find("\tNever\n2\tAt "), std::string::npos) << out;
    EXPECT_EQ(out.find("\n3\t"), std::string::npos) << out;

    run = Run("delete 1");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = Run("list");
    EXPECT_EQ(Lines(run.out).rfind("1\tAt ", 0), 0u) << run.out;
    EXPECT_EQ(run.out.find("every day"), std::string::npos) << run.out;

    run = Run("delete 2");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("no schedule 2"), std::string::npos) << run.err;
    run = Run("delete 1");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = Run("list");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(ScheduleCommand, RejectsImpossibleStartsAndUnknownFrequencies) {
    for (const char* args : {"add --date 2026-02-29 --time 10:15", "add --date 2026-12-07 --time 24:00",
                             "add --date 07/12/2026 --time 10:15",
                             "add --date 2026-12-07 --time 10:15 --frequency yearly"}) {
        SCOPED_TRACE(args);
        const auto run = Run(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("quillmere-cli: "), std::string::npos);
    }
    EXPECT_EQ(Run("list").out, "") << "nothing was created";
}

#else

TEST(ScheduleCommand, IsAnErrorWithoutTheWindowsTaskScheduler) {
    for (const char* args : {"schedule list", "schedule add --date 2026-12-07 --time 10:15",
                             "schedule delete 1"}) {
        SCOPED_TRACE(args);
        const auto run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("not available on this platform"), std::string::npos) << run.err;
    }
}

#endif

}  // namespace
}  // namespace qm
