// RunCli on Windows (see tests/cli/cli_process.h): quillmere-cli started
// with CreateProcess, no command interpreter between, its standard output
// read through a pipe.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "tests/cli/cli_process.h"

namespace qm::testing {

namespace detail {

// Fails `run` with what went wrong and the system's error code, and says so
// on the test's own standard error, whatever the test then checks.
inline void CliFailed(CliRun& run, const std::string& what) {
    const DWORD code = GetLastError();
    run.exitCode = -1;
    run.err = "test: " + what + " failed, error " + std::to_string(code);
    std::fprintf(stderr, "%s (running %s)\n", run.err.c_str(), QM_CLI_EXE);
}

}  // namespace detail

// Runs "`QM_CLI_EXE` `args`" (nothing in `args` is special but the program's
// own quoting). Standard error goes to `err`, or with `mergeErrors` into the
// output pipe as well, where it shows how the two streams' lines interleave.
// A program that cannot be started, or still runs two minutes after its
// output has ended, gives exit code -1 and says why in `err`.
inline CliRun RunCli(const std::string& args, bool mergeErrors = false) {
    CliRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        detail::CliFailed(run, "CreatePipe");
        return run;
    }
    Win32Handle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);  // the child gets the write end only
    const std::string errFile = "cli-stderr.txt";
    Win32Handle errors;
    if (!mergeErrors) {
        errors.Reset(CreateFileA(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!errors) {
            detail::CliFailed(run, "creating " + errFile);
            return run;
        }
    }
    Win32Handle input(
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));

    const std::string command = std::string("\"") + QM_CLI_EXE + "\" " + args;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.Get();
    startup.hStdOutput = writer.Get();
    startup.hStdError = mergeErrors ? writer.Get() : errors.Get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        detail::CliFailed(run, "CreateProcess");
        return run;
    }
    Win32Handle child(process.hProcess), thread(process.hThread);
    // The child holds the only write end now: the pipe ends when it does.
    writer.Reset();
    errors.Reset();

    char buf[4096];
    DWORD n = 0;
    while (ReadFile(reader.Get(), buf, sizeof buf, &n, nullptr) && n > 0) run.out.append(buf, n);
    const DWORD readStop = GetLastError();
    if (WaitForSingleObject(child.Get(), 120000) != WAIT_OBJECT_0) {
        detail::CliFailed(run, "waiting for the program to end (it is killed)");
        TerminateProcess(child.Get(), 1);
        WaitForSingleObject(child.Get(), 10000);
        return run;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(child.Get(), &code)) {
        detail::CliFailed(run, "GetExitCodeProcess");
        return run;
    }
    run.exitCode = static_cast<int>(code);
    if (readStop != ERROR_BROKEN_PIPE && readStop != ERROR_SUCCESS)
        std::fprintf(stderr, "test: reading the output of %s ended with error %lu\n", QM_CLI_EXE, readStop);
    if (!mergeErrors) {
        run.err = ReadWholeFile(errFile);
        DeleteFileA(errFile.c_str());
    }
    return run;
}

}  // namespace qm::testing
