// A test fixture owning one scheduler task with a name of its own, deleted
// again after the test, so tests never touch the program's real task.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <mstask.h>
#include <wrl/client.h>

#include <string>

#include "platform/handles_win32.h"
#include "repair/task_schedule_win32.h"

namespace qm {

class SchedulerTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        static int counter = 0;
        taskName = "QuillmereTest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        DeleteTask(taskName);
    }
    void TearDown() override {
        DeleteTask(taskName);
        CoUninitialize();
    }

    // The task as the scheduler holds it, or null when it does not exist.
    Microsoft::WRL::ComPtr<ITask> OpenTask() {
        Microsoft::WRL::ComPtr<ITaskScheduler> scheduler;
        Microsoft::WRL::ComPtr<ITask> task;
        if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskScheduler,
                                    reinterpret_cast<void**>(scheduler.GetAddressOf()))))
            return task;
        const std::wstring name(taskName.begin(), taskName.end());
        if (FAILED(scheduler->Activate(name.c_str(), IID_ITask,
                                       reinterpret_cast<IUnknown**>(task.GetAddressOf()))))
            task.Reset();
        return task;
    }

    static std::string TaskText(ITask* task, HRESULT (STDMETHODCALLTYPE ITask::*get)(LPWSTR*)) {
        CoTaskMemory<WCHAR> text;
        if (FAILED((task->*get)(text.Out())) || !text) return "<failed>";
        std::string out;
        for (const wchar_t* p = text.Get(); *p; ++p) out.push_back(static_cast<char>(*p));
        return out;
    }

    std::string taskName;
};

}  // namespace qm
