// Runs quillmere-cli as a separate process, as scripts do, and captures what
// it prints.
#pragma once

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace qm::testing {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes `bytes` as the whole of the file at `path`.
inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Waits until the file at `path` holds `text` (a process writing it says so),
// for at most `limit`; false when it never did.
inline bool WaitForFileText(const std::string& path, const std::string& text,
                            std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (ReadWholeFile(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

#ifndef _WIN32

// `args` is appended to the program's quoted path as written (the shell
// reads it). Standard error goes to `err`, or with `mergeErrors` into `out`
// as well, where it shows how the two streams' lines interleave.
inline CliRun RunCli(const std::string& args, bool mergeErrors = false) {
    const std::string errFile = "cli-stderr.txt";
    const std::string command =
        std::string("\"") + QM_CLI_EXE + "\" " + args + (mergeErrors ? " 2>&1" : " 2>" + errFile);
    FILE* p = popen(command.c_str(), "r");
    CliRun run;
    if (p == nullptr) return run;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.out.append(buf, n);
    const int status = pclose(p);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadWholeFile(errFile);
    std::remove(errFile.c_str());
    return run;
}

#endif

}  // namespace qm::testing

#ifdef _WIN32
#include "tests/cli/cli_process_win32.h"
#endif
