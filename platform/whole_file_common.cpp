#include <cstdio>

#include "platform/whole_file.h"

namespace qm {

std::string DescribeSize(std::uint64_t bytes) {
    char text[48];
    const double kib = 1024.0, mib = kib * 1024, gib = mib * 1024;
    if (bytes >= static_cast<std::uint64_t>(gib))
        std::snprintf(text, sizeof text, "%.3g GiB", static_cast<double>(bytes) / gib);
    else if (bytes >= static_cast<std::uint64_t>(mib))
        std::snprintf(text, sizeof text, "%.3g MiB", static_cast<double>(bytes) / mib);
    else if (bytes >= static_cast<std::uint64_t>(kib))
        std::snprintf(text, sizeof text, "%.3g KiB", static_cast<double>(bytes) / kib);
    else
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    return text;
}

}  // namespace qm
