#include "repair/task_schedule_win32.h"

#include <windows.h>
#include <initguid.h>  // instantiate the mstask class and interface identifiers
#include <mstask.h>
#include <wrl/client.h>

#include <cstddef>
#include <cstring>

#include "platform/codepage.h"
#include "platform/com_scope_win32.h"
#include "platform/handles_win32.h"
#include "repair/schedule_text.h"

namespace qm {

using Microsoft::WRL::ComPtr;

static_assert(sizeof(TASK_TRIGGER) == sizeof(TriggerRecord), "trigger record layout");
static_assert(offsetof(TASK_TRIGGER, wStartMinute) == offsetof(TriggerRecord, startMinute),
              "trigger record layout");
static_assert(offsetof(TASK_TRIGGER, TriggerType) == offsetof(TriggerRecord, triggerType),
              "trigger record layout");
static_assert(offsetof(TASK_TRIGGER, Type) == offsetof(TriggerRecord, type), "trigger record layout");
static_assert(offsetof(TASK_TRIGGER, wRandomMinutesInterval) ==
                  offsetof(TriggerRecord, randomMinutesInterval),
              "trigger record layout");

namespace {

constexpr DWORD kTaskFlagsNt = 0xC1;  // interactive, no start on batteries, stop on batteries
constexpr DWORD kTaskFlags9x = 0xC0;

bool IsOldPlatform() { return (::GetVersion() & 0x80000000u) != 0; }

std::wstring Wide(const std::string& text) {
    const std::u16string utf16 = AnsiToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const wchar_t* text) {
    if (!text) return std::string();
    std::u16string utf16;
    for (const wchar_t* p = text; *p; ++p) utf16.push_back(static_cast<char16_t>(*p));
    return Utf16ToAnsiText(utf16);
}

HRESULT CreateScheduler(ComPtr<ITaskScheduler>& scheduler) {
    return ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ITaskScheduler, reinterpret_cast<void**>(scheduler.GetAddressOf()));
}

HRESULT ActivateTask(const std::string& taskName, ComPtr<ITask>& task) {
    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CreateScheduler(scheduler);
    if (FAILED(hr)) return hr;
    return scheduler->Activate(Wide(taskName).c_str(), IID_ITask,
                               reinterpret_cast<IUnknown**>(task.GetAddressOf()));
}

HRESULT SaveTask(ITask* task) {
    ComPtr<IPersistFile> file;
    HRESULT hr = task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
    if (FAILED(hr)) return hr;
    return file->Save(nullptr, FALSE);
}

HRESULT ReadTrigger(ITask* task, WORD index, TriggerRecord& record) {
    ComPtr<ITaskTrigger> trigger;
    HRESULT hr = task->GetTrigger(index, trigger.GetAddressOf());
    if (FAILED(hr)) return hr;
    // The scheduler copies only the fields of the trigger's own type: start
    // from zeros so that the rest of the record stays defined.
    TASK_TRIGGER data;
    std::memset(&data, 0, sizeof data);
    data.cbTriggerSize = sizeof data;
    hr = trigger->GetTrigger(&data);
    if (SUCCEEDED(hr)) std::memcpy(static_cast<void*>(&record), &data, sizeof record);
    return hr;
}

// The number of triggers that are schedules: a task saved without triggers
// reports one disabled default trigger, which counts as none.
HRESULT CountSchedules(ITask* task, WORD& count) {
    HRESULT hr = task->GetTriggerCount(&count);
    if (FAILED(hr) || count != 1) return hr;
    TriggerRecord first;
    hr = ReadTrigger(task, 0, first);
    if (SUCCEEDED(hr) && IsEmptyTaskPlaceholder(count, first)) count = 0;
    return hr;
}

std::string LocaleText(LCTYPE type) {
    char buf[128] = {};
    if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf) <= 0) return std::string();
    return buf;
}

const TriggerNames& LocaleTriggerNames() {
    static const TriggerNames names = [] {
        TriggerNames n = EnglishTriggerNames();
        // LOCALE_SABBREVDAYNAME1 is Monday, ... 7 is Sunday.
        for (int i = 0; i < 7; ++i) {
            std::string day = LocaleText(LOCALE_SABBREVDAYNAME1 + i);
            if (!day.empty()) n.days[(i + 1) % 7] = day;
        }
        for (int i = 0; i < 12; ++i) {
            std::string month = LocaleText(LOCALE_SABBREVMONTHNAME1 + i);
            if (!month.empty()) n.months[i] = month;
        }
        return n;
    }();
    return names;
}

// The description Windows gives for a trigger, built by us: times and dates
// in the user's locale formats.
std::string DescribeInLocale(const TriggerRecord& record) {
    SYSTEMTIME st = {};
    st.wYear = record.beginYear;
    st.wMonth = record.beginMonth;
    st.wDay = record.beginDay;
    st.wHour = record.startHour;
    st.wMinute = record.startMinute;
    char timeText[64] = {};
    char dateText[64] = {};
    std::string timeString = DefaultTriggerTimeText(record);
    std::string dateString = DefaultTriggerDateText(record);
    if (::GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, timeText, sizeof timeText) > 0)
        timeString = timeText;
    if (::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, dateText, sizeof dateText) > 0)
        dateString = dateText;
    return DescribeTrigger(record, timeString, dateString, LocaleTriggerNames());
}

}  // namespace

std::string LogonUserName() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (!::GetUserNameA(name, &size)) return std::string();
    return name;
}

std::string TaskName() { return ComposeTaskName(IsOldPlatform(), LogonUserName()); }

CTaskSchedule::CTaskSchedule() : useAccount(!IsOldPlatform()) {}

void CTaskSchedule::DescribeRunningProgram() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    application.assign(path, length < MAX_PATH ? length : 0);
    const std::string::size_type slash = application.rfind('\\');
    workingFolder = slash == std::string::npos ? std::string() : application.substr(0, slash);
    parameters = "scan";
    accountName = LogonUserName();
}

TaskStatus CTaskSchedule::CreateTask(const std::string& taskName) {
    if (start.year == 0 || taskName.empty() || application.empty()) return E_FAIL;

    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CreateScheduler(scheduler);
    if (FAILED(hr)) return hr;
    const std::wstring name = Wide(taskName);
    {
        ComPtr<ITask> existing;
        if (SUCCEEDED(scheduler->Activate(name.c_str(), IID_ITask,
                                          reinterpret_cast<IUnknown**>(existing.GetAddressOf()))))
            return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    }

    ComPtr<ITask> task;
    hr = scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                reinterpret_cast<IUnknown**>(task.GetAddressOf()));
    if (FAILED(hr)) return hr;
    // A task that could not be described fully is not saved.
    hr = task->SetApplicationName(Wide(application).c_str());
    if (SUCCEEDED(hr) && !parameters.empty()) hr = task->SetParameters(Wide(parameters).c_str());
    if (SUCCEEDED(hr) && !workingFolder.empty())
        hr = task->SetWorkingDirectory(Wide(workingFolder).c_str());
    if (SUCCEEDED(hr) && useAccount) hr = task->SetAccountInformation(Wide(accountName).c_str(), nullptr);
    if (SUCCEEDED(hr)) hr = task->SetFlags(IsOldPlatform() ? kTaskFlags9x : kTaskFlagsNt);
    if (FAILED(hr)) return hr;
    return SaveTask(task.Get());
}

TaskStatus CTaskSchedule::AddTrigger(const std::string& taskName) {
    if (start.year == 0 || taskName.empty() || application.empty()) return E_FAIL;
    TriggerRecord record;
    if (!BuildTriggerRecord(start, frequency, &record)) return E_INVALIDARG;

    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(taskName, task);
    if (FAILED(hr)) return hr;

    // The disabled default trigger of a task saved without triggers is
    // replaced rather than kept beside the new one.
    WORD existing = 0;
    hr = task->GetTriggerCount(&existing);
    if (FAILED(hr)) return hr;
    WORD schedules = 0;
    hr = CountSchedules(task.Get(), schedules);
    if (FAILED(hr)) return hr;

    ComPtr<ITaskTrigger> trigger;
    if (existing == 1 && schedules == 0) {
        hr = task->GetTrigger(0, trigger.GetAddressOf());
    } else {
        WORD index = 0;
        hr = task->CreateTrigger(&index, trigger.GetAddressOf());
    }
    if (FAILED(hr)) return hr;
    TASK_TRIGGER data;
    std::memcpy(&data, &record, sizeof data);
    hr = trigger->SetTrigger(&data);
    if (FAILED(hr)) return hr;
    return SaveTask(task.Get());
}

TaskStatus CTaskSchedule::FindTrigger(const std::string& taskName, std::int16_t& index) {
    index = -1;
    ComScope com;
    if (taskName.empty()) return E_FAIL;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(taskName, task);
    if (FAILED(hr)) return hr;
    WORD count = 0;
    hr = CountSchedules(task.Get(), count);
    if (FAILED(hr)) return hr;
    for (WORD i = 0; i < count; ++i) {
        TriggerRecord record;
        hr = ReadTrigger(task.Get(), i, record);
        if (FAILED(hr)) return hr;
        if (TriggerStartsAt(record, start)) {
            index = static_cast<std::int16_t>(i);
            break;
        }
    }
    return hr;
}

TaskStatus ListTriggers(const std::string& taskName, std::vector<std::string>& list,
                        std::time_t& lastRun) {
    lastRun = 0;
    ComScope com;
    if (taskName.empty()) return E_FAIL;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(taskName, task);
    if (FAILED(hr)) return hr;

    SYSTEMTIME ran = {};
    hr = task->GetMostRecentRunTime(&ran);
    if (FAILED(hr)) return hr;
    ScheduleTime ranAt;
    ranAt.year = ran.wYear;
    ranAt.month = ran.wMonth;
    ranAt.day = ran.wDay;
    ranAt.hour = ran.wHour;
    ranAt.minute = ran.wMinute;
    ranAt.second = ran.wSecond;
    lastRun = LocalTimeValue(ranAt);

    WORD count = 0;
    hr = CountSchedules(task.Get(), count);
    if (FAILED(hr)) return hr;
    for (WORD i = 0; i < count; ++i) {
        CoTaskMemory<WCHAR> text;
        hr = task->GetTriggerString(i, text.Out());
        if (SUCCEEDED(hr)) {
            list.push_back(Narrow(text.Get()));
            continue;
        }
        // The scheduler cannot describe it (Wine: not implemented): say it
        // in the same words ourselves.
        TriggerRecord record;
        hr = ReadTrigger(task.Get(), i, record);
        if (FAILED(hr)) return hr;
        list.push_back(DescribeInLocale(record));
    }
    return hr;
}

TaskStatus DeleteTrigger(const std::string& taskName, int index) {
    ComScope com;
    if (taskName.empty()) return E_FAIL;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(taskName, task);
    if (FAILED(hr)) return hr;
    WORD count = 0;
    hr = CountSchedules(task.Get(), count);
    if (FAILED(hr)) return hr;
    if (index < 0 || index >= count) return SCHED_E_TRIGGER_NOT_FOUND;
    hr = task->DeleteTrigger(static_cast<WORD>(index));
    if (FAILED(hr)) return hr;
    return SaveTask(task.Get());
}

TaskStatus ReadTriggers(const std::string& taskName, std::vector<TriggerRecord>& triggers) {
    ComScope com;
    if (taskName.empty()) return E_FAIL;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(taskName, task);
    if (FAILED(hr)) return hr;
    WORD count = 0;
    hr = CountSchedules(task.Get(), count);
    for (WORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
        TriggerRecord record;
        hr = ReadTrigger(task.Get(), i, record);
        if (SUCCEEDED(hr)) triggers.push_back(record);
    }
    return hr;
}

TaskStatus DeleteTask(const std::string& taskName) {
    ComScope com;
    if (taskName.empty()) return E_FAIL;
    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CreateScheduler(scheduler);
    if (FAILED(hr)) return hr;
    return scheduler->Delete(Wide(taskName).c_str());
}

}  // namespace qm
