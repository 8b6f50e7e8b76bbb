#include <windows.h>

#include "platform/handles_win32.h"
#include "platform/whole_file.h"

namespace qm {
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    const LocalMemory held(text);
    std::string message = n > 0 && text != nullptr ? std::string(text, n) : std::string();
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty()) message = "error " + std::to_string(code);
    return message;
}

}  // namespace

std::string AtomicTempName(const std::string& path) {
    return path + "." + std::to_string(static_cast<unsigned long>(::GetCurrentProcessId())) + ".tmp";
}

ReadStatus ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                         std::string& error) {
    bytes.clear();
    error.clear();
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "cannot read " + Quoted(path) + ": it is a folder";
        return ReadStatus::Failed;
    }
    Win32Handle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD e = ::GetLastError();
        error = "cannot open " + Quoted(path) + ": " + SystemMessage(e);
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? ReadStatus::Missing
                                                                         : ReadStatus::Failed;
    }
    const std::string tooLarge =
        Quoted(path) + " is larger than " + DescribeSize(limit) + ", more than this program reads";
    const DWORD type = ::GetFileType(file.Get());
    if (type == FILE_TYPE_CHAR) {
        error = "cannot read " + Quoted(path) + ": it is a device, not a file";
        return ReadStatus::Failed;
    }
    LARGE_INTEGER size{};
    if (type == FILE_TYPE_DISK && ::GetFileSizeEx(file.Get(), &size)) {
        if (static_cast<std::uint64_t>(size.QuadPart) > limit) {
            error = tooLarge;
            return ReadStatus::TooLarge;
        }
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    std::uint8_t buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF) break;
            error = "cannot read " + Quoted(path) + ": " + SystemMessage(e);
            bytes.clear();
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::uint64_t>(n) > limit) {
            error = tooLarge;
            bytes.clear();
            bytes.shrink_to_fit();
            return ReadStatus::TooLarge;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return ReadStatus::Read;
}

bool ReplaceFileAtomically(const std::string& path, const void* data, std::size_t size,
                           std::string& error) {
    error.clear();
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = "cannot write " + Quoted(path) + ": it is a folder";
            return false;
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            error = "cannot write " + Quoted(path) + ": the file is read-only";
            return false;
        }
    }
    const std::string temp = AtomicTempName(path);
    Win32Handle file(::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        error = "cannot write " + Quoted(path) + ": " + SystemMessage(::GetLastError());
        return false;
    }
    auto fail = [&](DWORD e) {
        file.Close();
        ::DeleteFileA(temp.c_str());
        error = "cannot write " + Quoted(path) + ": " + SystemMessage(e);
        return false;
    };
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    while (left > 0) {
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), p, chunk, &written, nullptr)) return fail(::GetLastError());
        if (written == 0) return fail(ERROR_DISK_FULL);
        p += written;
        left -= written;
    }
    if (!::FlushFileBuffers(file.Get())) return fail(::GetLastError());
    if (!file.Close()) return fail(::GetLastError());
    if (!::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD e = ::GetLastError();
        ::DeleteFileA(temp.c_str());
        error = "cannot write " + Quoted(path) + ": " + SystemMessage(e);
        return false;
    }
    return true;
}

}  // namespace qm
