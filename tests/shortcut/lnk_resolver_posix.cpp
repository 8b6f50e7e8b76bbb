// The liblnk resolver on shortcut files made by Wine's shell (tests/data/lnk):
// the same target as IShellLinkA::GetPath gave under Wine and as lnkinfo
// prints; damaged files fail cleanly.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "emulation/shortcut_resolver_posix.h"
#include "platform/file_descriptor_posix.h"

namespace qm::test {
namespace {

const std::string kDataDir = std::string(QM_TEST_DATA_DIR) + "/lnk/";

struct GetPathRecord {
    std::string name;
    std::int32_t result;
    std::string path;
};

std::vector<GetPathRecord> ReadGetPathList() {
    std::vector<GetPathRecord> records;
    std::ifstream in(kDataDir + "getpath.txt", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        GetPathRecord r;
        std::string hex;
        std::getline(fields, r.name, '\t');
        std::getline(fields, hex, '\t');
        std::getline(fields, r.path);
        r.result = static_cast<std::int32_t>(std::stoul(hex, nullptr, 16));
        records.push_back(r);
    }
    return records;
}

// The "Local path" lnkinfo prints for a file; empty when it prints none.
std::string LnkinfoLocalPath(const std::string& file) {
    const std::string command = "lnkinfo '" + file + "' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "?";
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    ::pclose(pipe);
    const std::string key = "Local path";
    const std::size_t at = out.find("\t" + key);
    if (at == std::string::npos) return std::string();
    const std::size_t colon = out.find(": ", at);
    const std::size_t end = out.find('\n', colon);
    return out.substr(colon + 2, end - colon - 2);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(LnkResolver, GivesWhatGetPathGaveUnderWineAndWhatLnkinfoPrints) {
    const std::vector<GetPathRecord> records = ReadGetPathList();
    ASSERT_GE(records.size(), 9u);
    const bool haveLnkinfo = std::system("command -v lnkinfo >/dev/null 2>&1") == 0;
    for (const GetPathRecord& r : records) {
        SCOPED_TRACE(r.name);
        std::string target = "unchanged";
        const std::int32_t result = ReadShortcutTarget(kDataDir + r.name, target);
        EXPECT_EQ(result, r.result);
        EXPECT_EQ(target, r.path);
        if (haveLnkinfo) {
            EXPECT_EQ(LnkinfoLocalPath(kDataDir + r.name), r.path);
        }
    }
}

TEST(LnkResolver, WhatIsNotARegularShortcutFileFailsWithoutBeingRead) {
    std::string target = "unchanged";
    EXPECT_LT(ReadShortcutTarget(kDataDir + "no-such.lnk", target), 0);
    EXPECT_LT(ReadShortcutTarget(kDataDir, target), 0);  // a directory
    // A FIFO would block a reader that opened it.
    const std::string fifo = "resolver-fifo.lnk";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_LT(ReadShortcutTarget(fifo, target), 0);
    ::unlink(fifo.c_str());
    WriteFile("resolver-text.lnk", "[InternetShortcut]\r\nURL=http://example.org/\r\n");
    EXPECT_EQ(ReadShortcutTarget("resolver-text.lnk", target), kShellFail);
    ::unlink("resolver-text.lnk");
    EXPECT_EQ(target, "unchanged");
}

// Every truncation of four of the data files, and every third byte of each inverted
// in turn: the resolver returns (no crash, no hang), and a truncated file
// never gives a target other than the whole file's.
TEST(LnkResolver, TruncatedAndCorruptedCopiesFailCleanly) {
    // The damaged copies live in a memory file, reached by its /proc path.
    const FileDescriptor file(::memfd_create("damaged.lnk", MFD_CLOEXEC));
    ASSERT_TRUE(file);
    const int fd = file.Get();
    const std::string copy = "/proc/self/fd/" + std::to_string(fd);
    const auto put = [fd](const std::string& bytes) {
        ASSERT_EQ(::ftruncate(fd, 0), 0);
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    };
    for (const GetPathRecord& r : ReadGetPathList()) {
        // Each kind of content once: every string, a long path, no location
        // information, no item list.
        if (r.name != "strings.lnk" && r.name != "deep.lnk" && r.name != "mycomputer.lnk" &&
            r.name != "unc.lnk")
            continue;
        SCOPED_TRACE(r.name);
        const std::string bytes = ReadFile(kDataDir + r.name);
        ASSERT_FALSE(bytes.empty());
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            put(bytes.substr(0, length));
            std::string target;
            const std::int32_t result = ReadShortcutTarget(copy, target);
            if (result >= 0 && !target.empty()) {
                EXPECT_EQ(target, r.path) << "length " << length;
            }
        }
        for (std::size_t at = 0; at < bytes.size(); at += 3) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(~damaged[at]);
            put(damaged);
            std::string target;
            ReadShortcutTarget(copy, target);
        }
    }
}

}  // namespace
}  // namespace qm::test
