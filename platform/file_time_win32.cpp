#include <windows.h>

#include <cstdint>

#include "platform/file_time.h"

namespace qm {

bool FileModificationTime(const std::string& path, std::time_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    // 100-nanosecond steps since 1601.
    const std::uint64_t ticks =
        (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    constexpr std::uint64_t kTicksTo1970 = 116444736000000000ull;
    if (ticks < kTicksTo1970) return false;
    time = static_cast<std::time_t>((ticks - kTicksTo1970) / 10000000ull);
    return true;
}

}  // namespace qm
