// Standard output in large blocks. The C runtime leaves a console or other
// character device unbuffered, so a report went out line by line (under Wine
// every write is a round trip to its server); with one large buffer the
// report costs the same whatever standard output is. Standard error stays
// unbuffered, and every message to it first flushes standard output, so the
// two keep their order when they go to the same place.
#pragma once

namespace qm::cli {

// Gives standard output a large buffer; call before anything is printed.
void BufferStandardOutput();

// Flushes standard output, then writes one formatted message to standard
// error in a single write.
void Complain(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace qm::cli
