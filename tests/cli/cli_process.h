// Runs quillmere-cli as a separate process, as scripts do, and captures what
// it prints.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
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

// `args` is appended to the program's quoted path as written. Standard error
// goes to `err`, or with `mergeErrors` into `out` as well, where it shows how
// the two streams' lines interleave.
inline CliRun RunCli(const std::string& args, bool mergeErrors = false) {
    const std::string errFile = "cli-stderr.txt";
    std::string command = std::string("\"") + QM_CLI_EXE + "\" " + args + (mergeErrors ? " 2>&1" : " 2>" + errFile);
#ifdef _WIN32
    // cmd.exe strips the first and last quote of the whole line.
    command = "\"" + command + "\"";
    FILE* p = _popen(command.c_str(), "rb");
#else
    FILE* p = popen(command.c_str(), "r");
#endif
    CliRun run;
    if (p == nullptr) return run;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.out.append(buf, n);
#ifdef _WIN32
    run.exitCode = _pclose(p);
#else
    const int status = pclose(p);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.err = ReadWholeFile(errFile);
    std::remove(errFile.c_str());
    return run;
}

}  // namespace qm::testing
