// "schedule list | add | delete": the scheduled scans of the Windows task
// scheduler (one task per user, one trigger per schedule). The native build
// has no task scheduler: the command exists there and fails with exit 2.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "repair/add_schedule.h"
#include "repair/schedule_text.h"
#include "repair/scheduled_scans.h"

namespace qm::cli {
namespace {

struct ScheduleOptions {
    std::string task;  // empty: the program's own task
    std::string date;
    std::string time;
    std::string frequency = "once";
    int number = 0;
};

[[noreturn]] void Unavailable() {
    throw CliError("schedule: not available on this platform (it needs the Windows task scheduler)");
}

std::string TaskOf(const ScheduleOptions& options) {
    return options.task.empty() ? DefaultScheduledTask() : options.task;
}

std::string StatusText(TaskStatus status) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(status)));
    return buf;
}

void List(CliState& state, const ScheduleOptions& options) {
    if (!HaveTaskScheduler()) Unavailable();
    std::vector<std::string> list;
    std::time_t lastRun = 0;
    const TaskStatus status = ListScheduledScans(TaskOf(options), list, lastRun);
    const std::string ran = FormatLastRunTime(lastRun);
    for (std::size_t i = 0; i < list.size(); ++i)
        std::printf("%u\t%s\t%s\n", static_cast<unsigned>(i + 1), list[i].c_str(), ran.c_str());
    std::fflush(stdout);
    // No task yet simply means no schedules.
    if (!TaskSucceeded(status) && status != kTaskMissing)
        throw CliError("cannot list the schedules of task \"" + TaskOf(options) + "\" (status " +
                       StatusText(status) + ")");
    state.exitCode = kExitClean;
}

void Add(CliState& state, const ScheduleOptions& options) {
    if (!HaveTaskScheduler()) Unavailable();
    ScheduleTime start;
    if (!ParseScheduleStart(options.date, options.time, &start))
        throw CliError("expected --date YYYY-MM-DD and --time HH:MM naming a real date and time, got \"" +
                       options.date + "\" and \"" + options.time + "\"");
    const std::int32_t frequency = FrequencyFromName(options.frequency);
    if (frequency == 0)
        throw CliError("--frequency must be once, daily, weekly or monthly, not \"" + options.frequency + "\"");
    const AddScheduleResult result = AddScheduledScan(TaskOf(options), start, frequency);
    if (result.message.empty())
        throw CliError("cannot look for the schedules of task \"" + TaskOf(options) + "\" (status " +
                       StatusText(result.status) + ")");
    std::printf("%s\n", result.message.c_str());
    std::fflush(stdout);
    state.exitCode = result.Added() ? kExitClean : kExitError;
}

void Delete(CliState& state, const ScheduleOptions& options) {
    if (!HaveTaskScheduler()) Unavailable();
    const TaskStatus status =
        options.number >= 1 ? DeleteScheduledScan(TaskOf(options), options.number - 1) : kTriggerMissing;
    if (status == kTriggerMissing || status == kTaskMissing)
        throw CliError("there is no schedule " + std::to_string(options.number) + " (see schedule list)");
    if (!TaskSucceeded(status))
        throw CliError("cannot delete schedule " + std::to_string(options.number) + " (status " +
                       StatusText(status) + ")");
    std::printf("Deleted schedule %d\n", options.number);
    state.exitCode = kExitClean;
}

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
