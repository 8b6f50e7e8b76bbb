// What the commands of quillmere-cli share: the options every command takes,
// the exit status, and the error reporting convention (one line on standard
// error, exit status 2).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace qm::cli {

constexpr int kExitClean = 0;     // nothing found / success
constexpr int kExitFindings = 1;  // findings were reported
constexpr int kExitError = 2;     // usage or runtime error

struct CliState {
    int exitCode = kExitClean;
    std::string ignoreFile = "ignore.lst";
    // `fix` calls this before it removes anything. The native build keeps a
    // copy of a registry loaded from a file as "FILE.orig" (once); it throws
    // when that copy cannot be made, and then nothing may be removed.
    std::function<void()> beforeRepair = []() {};
    // Commands that change the registry (fix, restore, settings) call this
    // once they are done. The native build writes a registry loaded from a
    // file back to it; `afterRepair` says the change was a repair.
    std::function<void(bool afterRepair)> registryChanged = [](bool) {};
};

// Thrown by a command for a runtime error; main prints "quillmere-cli: <what>"
// on standard error and exits with 2.
struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace qm::cli
