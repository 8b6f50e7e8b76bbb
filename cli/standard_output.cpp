#include "cli/standard_output.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace qm::cli {

namespace {

constexpr std::size_t kOutputBlock = 64 * 1024;

}  // namespace

void BufferStandardOutput() {
    static char block[kOutputBlock];
    std::setvbuf(stdout, block, _IOFBF, sizeof block);
}

void Complain(const char* format, ...) {
    std::fflush(stdout);
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(&text[0], text.size(), format, again);
        std::fwrite(text.data(), 1, static_cast<std::size_t>(length), stderr);
        std::fflush(stderr);
    }
    va_end(again);
}

}  // namespace qm::cli
