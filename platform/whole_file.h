// Whole files read and written safely:
// - ReadWholeFile reads a file in binary, refusing anything larger than a
//   limit (a device such as /dev/zero, a runaway file) instead of running
//   out of memory;
// - ReplaceFileAtomically writes the new content under a temporary name in
//   the same folder, flushes it to the disk and renames it over the file, so
//   that a kill, a crash or a full disk leaves either the old file or the new
//   one, never a part of either.
// Paths are the platform's (ANSI code page on Windows). Failures come back as
// a line for the user ("cannot write \"x\": No space left on device").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// The line end text files are written with: what the C runtime's text mode
// writes on the platform.
#ifdef _WIN32
constexpr const char* kNativeLineEnd = "\r\n";
#else
constexpr const char* kNativeLineEnd = "\n";
#endif

enum class ReadStatus {
    Read,      // `bytes` holds the whole file
    Missing,   // nothing at the path
    TooLarge,  // more than the limit (nothing kept)
    Failed,    // a folder, a device, no permission, a read error
};

// Reads the file at `path` into `bytes` (emptied first). `error` says why when
// the result is not Read.
ReadStatus ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                         std::string& error);

// Replaces (or creates) the file at `path` by `size` bytes of `data` through
// "<path>.<process id>.tmp". Refuses a read-only file and a folder at `path`.
// On failure the file at `path` is untouched, the temporary file is removed
// and `error` says why.
bool ReplaceFileAtomically(const std::string& path, const void* data, std::size_t size,
                           std::string& error);

// The temporary name ReplaceFileAtomically uses in this process.
std::string AtomicTempName(const std::string& path);

// A size in bytes for messages: "512 MiB", "1.5 GiB", "100 bytes".
std::string DescribeSize(std::uint64_t bytes);

}  // namespace qm
