// Processor and wall clocks of the benchmark programs, in seconds.
#pragma once

#include <chrono>
#include <ctime>

namespace qm::bench {

// Processor time of the whole process (every thread).
inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

inline double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace qm::bench
