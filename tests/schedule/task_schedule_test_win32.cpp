// The scheduled-task operations against the real Task Scheduler 1.0 (Wine's
// under test). Every test works on a task of its own and deletes it.
#include <gtest/gtest.h>

#include <windows.h>
#include <mstask.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "repair/add_schedule.h"
#include "repair/task_schedule_win32.h"
#include "tests/schedule/scheduler_test_support_win32.h"

namespace qm {
namespace {

using Microsoft::WRL::ComPtr;

class TaskScheduleTest : public SchedulerTaskTest {
protected:
    CTaskSchedule Schedule(int year, int month, int day, int hour, int minute, std::int32_t frequency) {
        CTaskSchedule s;
        s.DescribeRunningProgram();
        s.start.year = static_cast<std::uint16_t>(year);
        s.start.month = static_cast<std::uint16_t>(month);
        s.start.day = static_cast<std::uint16_t>(day);
        s.start.hour = static_cast<std::uint16_t>(hour);
        s.start.minute = static_cast<std::uint16_t>(minute);
        s.frequency = frequency;
        return s;
    }

    AddScheduleResult Add(CTaskSchedule schedule) { return AddSchedule(schedule, taskName); }

    std::vector<TriggerRecord> Triggers() {
        std::vector<TriggerRecord> triggers;
        EXPECT_EQ(ReadTriggers(taskName, triggers), kTaskOk);
        return triggers;
    }

    std::vector<std::string> List(TaskStatus* status = nullptr) {
        std::vector<std::string> list;
        std::time_t lastRun = 12345;
        const TaskStatus s = ListTriggers(taskName, list, lastRun);
        if (status) *status = s;
        EXPECT_EQ(lastRun, 0) << "a task that never ran";
        return list;
    }
};

TEST_F(TaskScheduleTest, CreatedTaskRunsTheProgramWithScanInItsFolder) {
    CTaskSchedule s = Schedule(2026, 12, 7, 10, 15, kScheduleDaily);
    ASSERT_EQ(s.CreateTask(taskName), kTaskOk);
    EXPECT_EQ(s.CreateTask(taskName), static_cast<TaskStatus>(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS)));

    ComPtr<ITask> task = OpenTask();
    ASSERT_TRUE(task);
    EXPECT_EQ(TaskText(task.Get(), &ITask::GetApplicationName), s.application);
    EXPECT_EQ(TaskText(task.Get(), &ITask::GetParameters), "scan");
    EXPECT_EQ(TaskText(task.Get(), &ITask::GetWorkingDirectory),
              s.application.substr(0, s.application.rfind('\\')));
    DWORD flags = 0;
    ASSERT_EQ(task->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, 0xC1u);
    // The account is kept by the scheduler's credential store, not in the task
    // file; Wine keeps none, so it cannot be read back here.

    // A fresh task has no schedules yet.
    EXPECT_TRUE(Triggers().empty());
    EXPECT_TRUE(List().empty());
}

TEST_F(TaskScheduleTest, RefusesIncompleteDescriptions) {
    CTaskSchedule s = Schedule(2026, 12, 7, 10, 15, kScheduleDaily);
    EXPECT_EQ(s.CreateTask(""), static_cast<TaskStatus>(E_FAIL));
    s.start.year = 0;
    EXPECT_EQ(s.CreateTask(taskName), static_cast<TaskStatus>(E_FAIL));
    EXPECT_EQ(s.AddTrigger(taskName), static_cast<TaskStatus>(E_FAIL));
    s = Schedule(2026, 12, 7, 10, 15, kScheduleDaily);
    s.application.clear();
    EXPECT_EQ(s.CreateTask(taskName), static_cast<TaskStatus>(E_FAIL));
    EXPECT_FALSE(OpenTask());

    // An unknown frequency adds nothing and is reported as a failure.
    s = Schedule(2026, 12, 7, 10, 15, 7);
    EXPECT_EQ(AddSchedule(s, taskName).message, kScheduleFailedMessage);
    EXPECT_TRUE(Triggers().empty());
}

TEST_F(TaskScheduleTest, DailyAtTheSameMinuteTwiceKeepsOneTrigger) {
    CTaskSchedule s = Schedule(2026, 12, 7, 10, 15, kScheduleDaily);
    EXPECT_EQ(AddSchedule(s, taskName).message, kScheduleSuccessMessage);
    EXPECT_EQ(AddSchedule(s, taskName).message, kAlreadyScheduledMessage);

    const std::vector<TriggerRecord> triggers = Triggers();
    ASSERT_EQ(triggers.size(), 1u);
    EXPECT_EQ(triggers[0].triggerType, kTriggerDaily);
    EXPECT_EQ(triggers[0].type.daily.daysInterval, 1);
    EXPECT_EQ(triggers[0].beginYear, 2026);
    EXPECT_EQ(triggers[0].beginMonth, 12);
    EXPECT_EQ(triggers[0].beginDay, 7);
    EXPECT_EQ(triggers[0].startHour, 10);
    EXPECT_EQ(triggers[0].startMinute, 15);
    EXPECT_EQ(triggers[0].flags, 0u);

    std::int16_t index = 5;
    EXPECT_EQ(s.FindTrigger(taskName, index), kTaskOk);
    EXPECT_EQ(index, 0);
    s.start.minute = 16;
    EXPECT_EQ(s.FindTrigger(taskName, index), kTaskOk);
    EXPECT_EQ(index, -1);
}

TEST_F(TaskScheduleTest, SameDateAndMinuteIsTakenWhateverTheFrequency) {
    EXPECT_EQ(Add(Schedule(2026, 12, 9, 8, 0, kScheduleOnce)).message,
              kScheduleSuccessMessage);
    CTaskSchedule weekly = Schedule(2026, 12, 9, 8, 0, kScheduleWeekly);
    EXPECT_EQ(AddSchedule(weekly, taskName).message, kAlreadyScheduledMessage);
    // Another minute is another schedule.
    weekly.start.minute = 1;
    EXPECT_EQ(AddSchedule(weekly, taskName).message, kScheduleSuccessMessage);
    const std::vector<TriggerRecord> triggers = Triggers();
    ASSERT_EQ(triggers.size(), 2u);
    EXPECT_EQ(triggers[0].triggerType, kTriggerOnce);
    EXPECT_EQ(triggers[1].triggerType, kTriggerWeekly);
}

TEST_F(TaskScheduleTest, WeeklyAndMonthlyTriggersReadBackAsWritten) {
    // 2026-12-09 is a Wednesday.
    ASSERT_EQ(Add(Schedule(2026, 12, 9, 10, 15, kScheduleWeekly)).message,
              kScheduleSuccessMessage);
    ASSERT_EQ(Add(Schedule(2026, 12, 31, 10, 15, kScheduleMonthly)).message,
              kScheduleSuccessMessage);
    const std::vector<TriggerRecord> triggers = Triggers();
    ASSERT_EQ(triggers.size(), 2u);
    EXPECT_EQ(triggers[0].triggerType, kTriggerWeekly);
    EXPECT_EQ(triggers[0].type.weekly.weeksInterval, 1);
    EXPECT_EQ(triggers[0].type.weekly.daysOfTheWeek, 0x8);
    EXPECT_EQ(triggers[1].triggerType, kTriggerMonthlyDate);
    EXPECT_EQ(triggers[1].type.monthlyDate.days, 1u << 30);
    EXPECT_EQ(triggers[1].type.monthlyDate.months, 0xFFF);
}

TEST_F(TaskScheduleTest, ListDescribesEveryTriggerAndDeleteRemovesByListPosition) {
    ASSERT_TRUE(Add(Schedule(2026, 12, 7, 10, 15, kScheduleDaily)).Added());
    ASSERT_TRUE(Add(Schedule(2026, 12, 9, 11, 30, kScheduleWeekly)).Added());
    ASSERT_TRUE(Add(Schedule(2026, 12, 31, 12, 45, kScheduleMonthly)).Added());

    TaskStatus status = E_FAIL;
    std::vector<std::string> list = List(&status);
    EXPECT_TRUE(TaskSucceeded(status));
    ASSERT_EQ(list.size(), 3u);
    // Wine cannot describe triggers itself; the texts then come from the
    // records, with times and dates in the locale's formats.
    EXPECT_EQ(list[0].rfind("At 10:15", 0), 0u) << list[0];
    EXPECT_NE(list[0].find(" every day, starting "), std::string::npos) << list[0];
    EXPECT_NE(list[0].find("2026"), std::string::npos) << list[0];
    EXPECT_NE(list[1].find(" of every week, starting "), std::string::npos) << list[1];
    EXPECT_NE(list[2].find(" on day 31 of every month, starting "), std::string::npos) << list[2];

    EXPECT_EQ(DeleteTrigger(taskName, 1), kTaskOk);
    const std::vector<TriggerRecord> triggers = Triggers();
    ASSERT_EQ(triggers.size(), 2u);
    EXPECT_EQ(triggers[0].startMinute, 15);
    EXPECT_EQ(triggers[1].startMinute, 45);
    EXPECT_EQ(List().size(), 2u);

    EXPECT_EQ(DeleteTrigger(taskName, 2), static_cast<TaskStatus>(SCHED_E_TRIGGER_NOT_FOUND));
    EXPECT_EQ(DeleteTrigger(taskName, -1), static_cast<TaskStatus>(SCHED_E_TRIGGER_NOT_FOUND));
    EXPECT_EQ(Triggers().size(), 2u);
}

TEST_F(TaskScheduleTest, DeletingTheOnlyTriggerLeavesAnEmptyTask) {
    ASSERT_TRUE(Add(Schedule(2026, 12, 7, 10, 15, kScheduleDaily)).Added());
    ASSERT_EQ(DeleteTrigger(taskName, 0), kTaskOk);

    EXPECT_TRUE(OpenTask()) << "the task itself stays";
    EXPECT_TRUE(List().empty());
    EXPECT_TRUE(Triggers().empty());
    EXPECT_EQ(DeleteTrigger(taskName, 0), static_cast<TaskStatus>(SCHED_E_TRIGGER_NOT_FOUND));

    // The scheduler keeps a disabled stand-in trigger dated now in an empty
    // task; a schedule for this very minute is still new.
    SYSTEMTIME now;
    GetLocalTime(&now);
    CTaskSchedule s = Schedule(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, kScheduleOnce);
    EXPECT_EQ(AddSchedule(s, taskName).message, kScheduleSuccessMessage);
    const std::vector<TriggerRecord> triggers = Triggers();
    ASSERT_EQ(triggers.size(), 1u);
    EXPECT_EQ(triggers[0].flags, 0u);
    EXPECT_EQ(triggers[0].triggerType, kTriggerOnce);
}

TEST_F(TaskScheduleTest, MissingTaskListsNothing) {
    std::vector<std::string> list;
    std::time_t lastRun = 12345;
    EXPECT_FALSE(TaskSucceeded(ListTriggers(taskName, list, lastRun)));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(lastRun, 0);

    CTaskSchedule s = Schedule(2026, 12, 7, 10, 15, kScheduleDaily);
    std::int16_t index = 3;
    EXPECT_FALSE(TaskSucceeded(s.FindTrigger(taskName, index)));
    EXPECT_EQ(index, -1);
    EXPECT_FALSE(TaskSucceeded(DeleteTrigger(taskName, 0)));
    EXPECT_FALSE(TaskSucceeded(ListTriggers("", list, lastRun)));
    EXPECT_FALSE(OpenTask()) << "looking must not create the task";
}

TEST(TaskName, IsQuillmereFollowedByTheUserOnNt) {
    const std::string user = LogonUserName();
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(TaskName(), "Quillmere" + user);
}

}  // namespace
}  // namespace qm
