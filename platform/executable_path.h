// The running program's own file.
#pragma once

#include <string>

namespace qm {

// The full path of the running executable (GetModuleFileNameA on Windows,
// /proc/self/exe natively), whatever the current directory; empty if the
// system cannot say.
std::string RunningExecutablePath();

}  // namespace qm
