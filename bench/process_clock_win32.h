// Wall and processor clocks of the Windows benchmark programs, in seconds.
// Processor time comes from GetProcessTimes (every thread of the process).
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>

namespace qm::bench {

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double CpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto secs = [](const FILETIME& f) {
        return double((std::uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return secs(kernel) + secs(user);
}

}  // namespace qm::bench
