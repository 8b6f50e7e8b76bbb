// "ignore add" on Windows killed at random points (TerminateProcess, as Task
// Manager's End Task does): the ignore list is the old one or the new one.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;

// Starts quillmere-cli with `arguments`; its output goes nowhere. The child gets no
// console at all (DETACHED_PROCESS): under Wine a console of its own means a conhost
// process, and one whose client is killed at the wrong moment stays behind holding
// the test runner's output open, so ctest waits for it until its time-out.
HANDLE Start(const std::string& arguments) {
    std::string line = std::string("\"") + QM_CLI_EXE + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0,
                             nullptr);
    si.hStdOutput = nul;
    si.hStdError = nul;
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(nul);
    if (!started) {
        std::fprintf(stderr, "test: CreateProcess of %s failed, error %lu\n", QM_CLI_EXE, error);
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD Finish(HANDLE process) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
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
    HANDLE first = Start(add);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(Finish(first), 0u);
    const long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(ReadWholeFile(file), after);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<long long> at(0, micros);
    int old = 0, changed = 0;
    for (int round = 0; round < 20; ++round) {
        WriteWholeFile(file, before);
        HANDLE p = Start(add);
        ASSERT_NE(p, nullptr);
        std::this_thread::sleep_for(std::chrono::microseconds(at(random)));
        TerminateProcess(p, 9);
        Finish(p);
        const std::string now = ReadWholeFile(file);
        ASSERT_TRUE(now == before || now == after) << "round " << round << ": " << now.size() << " bytes";
        (now == before ? old : changed)++;
    }
    std::printf("ignore list: %d kills left the old list, %d the new one\n", old, changed);
    // What killed runs leave behind is their own temporary files only.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((file + ".*.tmp").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do DeleteFileA(data.cFileName);
        while (FindNextFileA(find, &data));
        FindClose(find);
    }
    DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace qm
