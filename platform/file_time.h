// When a file was last written, as a time_t (seconds since 1970, UTC). Paths
// are the platform's (ANSI code page on Windows).
#pragma once

#include <ctime>
#include <string>

namespace qm {

// False when the file cannot be looked at.
bool FileModificationTime(const std::string& path, std::time_t& time);

}  // namespace qm
