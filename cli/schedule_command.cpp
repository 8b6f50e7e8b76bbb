// "schedule list | add | delete": the scheduled scans of the Windows task
// scheduler (one task per user, one trigger per schedule). The native build
// has no task scheduler: the command exists there and fails with exit 2.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "repair/add_schedule.h"

#ifdef _WIN32
#include <windows.h>

#include <ctime>
#include <vector>

#include "platform/com_scope_win32.h"
#include "repair/schedule_text.h"
#include "repair/task_schedule_win32.h"
#endif

namespace qm::cli {
namespace {

struct ScheduleOptions {
    std::string task;  // empty: the program's own task
    std::string date;
    std::string time;
    std::string frequency = "once";
    int number = 0;
};

#ifdef _WIN32

std::string TaskOf(const ScheduleOptions& options) {
    return options.task.empty() ? TaskName() : options.task;
}

std::string StatusText(TaskStatus status) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(status)));
    return buf;
}

bool IsMissingTask(TaskStatus status) {
    return status == static_cast<TaskStatus>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

// The program the task starts: quillmere.exe beside this program when it is
// there, otherwise this program (whose "scan" command scans).
void DescribeProgram(CTaskSchedule& schedule) {
    schedule.DescribeRunningProgram();
    const std::string gui = schedule.workingFolder + "\\quillmere.exe";
    if (::GetFileAttributesA(gui.c_str()) != INVALID_FILE_ATTRIBUTES) schedule.application = gui;
}

void List(CliState& state, const ScheduleOptions& options) {
    ComScope com;
    std::vector<std::string> list;
    std::time_t lastRun = 0;
    const TaskStatus status = ListTriggers(TaskOf(options), list, lastRun);
    const std::string ran = FormatLastRunTime(lastRun);
    for (std::size_t i = 0; i < list.size(); ++i)
        std::printf("%u\t%s\t%s\n", static_cast<unsigned>(i + 1), list[i].c_str(), ran.c_str());
    std::fflush(stdout);
    // No task yet simply means no schedules.
    if (!TaskSucceeded(status) && !IsMissingTask(status))
        throw CliError("cannot list the schedules of task \"" + TaskOf(options) + "\" (status " +
                       StatusText(status) + ")");
    state.exitCode = kExitClean;
}

void Add(CliState& state, const ScheduleOptions& options) {
    CTaskSchedule schedule;
    if (!ParseScheduleStart(options.date, options.time, &schedule.start))
        throw CliError("expected --date YYYY-MM-DD and --time HH:MM naming a real date and time, got \"" +
                       options.date + "\" and \"" + options.time + "\"");
    schedule.frequency = FrequencyFromName(options.frequency);
    if (schedule.frequency == 0)
        throw CliError("--frequency must be once, daily, weekly or monthly, not \"" + options.frequency + "\"");
    DescribeProgram(schedule);

    ComScope com;
    const AddScheduleResult result = AddSchedule(schedule, TaskOf(options));
    if (result.message.empty())
        throw CliError("cannot look for the schedules of task \"" + TaskOf(options) + "\" (status " +
                       StatusText(result.status) + ")");
    std::printf("%s\n", result.message.c_str());
    std::fflush(stdout);
    state.exitCode = result.Added() ? kExitClean : kExitError;
}

void Delete(CliState& state, const ScheduleOptions& options) {
    ComScope com;
    const TaskStatus status = options.number >= 1 ? DeleteTrigger(TaskOf(options), options.number - 1)
                                                  : static_cast<TaskStatus>(SCHED_E_TRIGGER_NOT_FOUND);
    if (status == static_cast<TaskStatus>(SCHED_E_TRIGGER_NOT_FOUND) || IsMissingTask(status))
        throw CliError("there is no schedule " + std::to_string(options.number) + " (see schedule list)");
    if (!TaskSucceeded(status))
        throw CliError("cannot delete schedule " + std::to_string(options.number) + " (status " +
                       StatusText(status) + ")");
    std::printf("Deleted schedule %d\n", options.number);
    state.exitCode = kExitClean;
}

#else

[[noreturn]] void Unavailable() {
    throw CliError("schedule: not available on this platform (it needs the Windows task scheduler)");
}
void List(CliState&, const ScheduleOptions&) { Unavailable(); }
void Add(CliState&, const ScheduleOptions&) { Unavailable(); }
void Delete(CliState&, const ScheduleOptions&) { Unavailable(); }

#endif

}  // namespace

void AddScheduleCommand(CLI::App& app, CliState& state) {
    auto options = std::make_shared<ScheduleOptions>();
    auto* cmd = app.add_subcommand("schedule", "Scans started by the Windows task scheduler");
    cmd->require_subcommand(1);
    cmd->fallthrough();
    cmd->add_option("--task", options->task,
                    "The scheduler task to work on (default: Quillmere followed by the user name)");

    auto* list = cmd->add_subcommand(
        "list", "Print each schedule: its number, its description and the task's last run time");
    list->callback([&state, options]() { List(state, *options); });

    auto* add = cmd->add_subcommand("add", "Add a schedule, as the Add Schedule dialog does");
    add->add_option("--date", options->date, "Start date, YYYY-MM-DD")->required();
    add->add_option("--time", options->time, "Start time, HH:MM (24-hour)")->required();
    add->add_option("--frequency", options->frequency, "once, daily, weekly or monthly (default once)");
    add->callback([&state, options]() { Add(state, *options); });

    auto* remove = cmd->add_subcommand("delete", "Delete schedule N (numbered as schedule list shows)");
    remove->add_option("N", options->number, "The schedule's number")->required();
    remove->callback([&state, options]() { Delete(state, *options); });
}

}  // namespace qm::cli
