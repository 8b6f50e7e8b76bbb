// "ignore add" on Windows killed at random points (TerminateProcess, as Task
// Manager's End Task does): the ignore list is the old one or the new one.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "platform/handles_win32.h"
#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;

// Starts quillmere-cli with `arguments`; its output goes nowhere. The child gets no
// console at all (DETACHED_PROCESS): under Wine a console of its own means a conhost
// process, and one whose client is killed at the wrong moment stays behind holding
// the test runner's output open, so ctest waits for it until its time-out.
Win32Handle Start(const std::string& arguments) {
    std::string line = std::string("\"") + QM_CLI_EXE + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    Win32Handle nul(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0,
                                nullptr));
    si.hStdOutput = nul.Get();
    si.hStdError = nul.Get();
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    nul.Close();
    if (!started) {
        std::fprintf(stderr, "test: CreateProcess of %s failed, error %lu\n", QM_CLI_EXE, error);
        return Win32Handle();
    }
    Win32Handle(pi.hThread).Close();
    return Win32Handle(pi.hProcess);
}

// Waits for the process and closes it; its exit code.
DWORD Finish(Win32Handle process) {
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

TEST(IgnoreListKill, KilledAddLeavesTheOldListOrTheNewOne) {
    const std::string file = "kill-ignore.lst";
    std::string before;
    for (int i = 0; i < 60000; ++i)
        before += "C:\\Program Files\\Some Vendor\\file" + std::to_string(i) + ".dll\r\n";
    const std::string after = before + "C:\\added.dll\r\n";
    const std::string add = "--ignore-file " + file + " ignore add C:\\added.dll";

    WriteWholeFile(file, before);
    const auto start = std::chrono::steady_clock::now();
    Win32Handle first = Start(add);
    ASSERT_TRUE(first);
    ASSERT_EQ(Finish(std::move(first)), 0u);
    const long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(ReadWholeFile(file), after);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<long long> at(0, micros);
    int old = 0, changed = 0;
    for (int round = 0; round < 20; ++round) {
        WriteWholeFile(file, before);
        Win32Handle p = Start(add);
        ASSERT_TRUE(p);
        std::this_thread::sleep_for(std::chrono::microseconds(at(random)));
        TerminateProcess(p.Get(), 9);
        Finish(std::move(p));
        const std::string now = ReadWholeFile(file);
        ASSERT_TRUE(now == before || now == after) << "round " << round << ": " << now.size() << " bytes";
        (now == before ? old : changed)++;
    }
    std::printf("ignore list: %d kills left the old list, %d the new one\n", old, changed);
    // What killed runs leave behind is their own temporary files only.
    WIN32_FIND_DATAA data;
    const FindFileHandle find(FindFirstFileA((file + ".*.tmp").c_str(), &data));
    if (find) {
        do DeleteFileA(data.cFileName);
        while (FindNextFileA(find.Get(), &data));
    }
    DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace qm
