// The registry export's system side on Windows: the real file calls, the
// local time, and the registry editor started through the shell.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/handles_win32.h"
#include "repair/export_backups.h"

namespace qm {

namespace {

class Win32ExportHost : public IExportHost {
public:
    std::string GetCurrentDirectoryA() override {
        const DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
        if (needed == 0) return std::string();
        std::vector<char> buffer(needed + 1);
        const DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0 || length >= buffer.size()) return std::string();
        std::string dir(buffer.data(), length);
        // A drive's root comes with its backslash ("C:\"); the export adds its own.
        if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
        return dir;
    }
    char PathSeparator() const override { return '\\'; }
    ExportTime GetLocalTime() override {
        SYSTEMTIME st;
        ::GetLocalTime(&st);
        ExportTime t;
        t.year = st.wYear;
        t.month = st.wMonth;
        t.day = st.wDay;
        t.hour = st.wHour;
        t.minute = st.wMinute;
        t.second = st.wSecond;
        return t;
    }
    bool FileExists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool DeleteFileA(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }
    bool CreateDirectoryA(const std::string& path) override {
        return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
    }
    bool MoveFileA(const std::string& from, const std::string& to) override {
        return ::MoveFileA(from.c_str(), to.c_str()) != 0;
    }
    std::vector<std::string> FindFileNames(const std::string& pattern) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        const FindFileHandle find(FindFirstFileA(pattern.c_str(), &data));
        if (!find) return names;
        do {
            names.emplace_back(data.cFileName);
        } while (FindNextFileA(find.Get(), &data));
        return names;
    }
    bool StartEditor(const std::string& program, const std::string& parameters) override {
        // ShellExecuteA's start, with the process handle kept so that an
        // editor that ends without writing is noticed at once. No error box:
        // the caller reports the failure.
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.hwnd = nullptr;
        info.lpVerb = nullptr;
        info.lpFile = program.c_str();
        info.lpParameters = parameters.c_str();
        info.lpDirectory = nullptr;
        info.nShow = SW_HIDE;
        if (!ShellExecuteExA(&info)) return false;
        process_.Reset(info.hProcess);  // may be null (a program started through DDE)
        return true;
    }
    EditorState EditorStatus() override {
        if (!process_) return EditorState::Unknown;
        return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT ? EditorState::Running : EditorState::Ended;
    }
    std::uint64_t Milliseconds() override { return GetTickCount64(); }
    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

private:
    Win32Handle process_;
};

}  // namespace

std::unique_ptr<IExportHost> MakeExportHost() { return std::make_unique<Win32ExportHost>(); }

}  // namespace qm
