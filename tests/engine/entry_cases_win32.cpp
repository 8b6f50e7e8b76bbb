// The everyday entry shapes of entry_cases.h on the real registry (under
// Wine: the test prefix's), seeded under the keys the scans read with names
// of this run, and taken away again; their files live in a scratch folder of
// drive C: (a few bare names in the system and Windows folders, removed
// afterwards; a file that was there already is left alone).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "entry_cases.h"

namespace qm {
namespace {

using test::EntryCase;
using test::EntryCases;
using test::Fill;
using test::Lowered;

using Hkey = RegistryKey;

constexpr const char* kIgnoreFile = "entry-cases-win32-ignore.lst";

class RealEntryCases : public ::testing::Test {
protected:
    void SetUp() override {
        std::remove(kIgnoreFile);
        pid_ = std::to_string(::GetCurrentProcessId());
        char buf[MAX_PATH];
        ASSERT_GT(::GetSystemDirectoryA(buf, MAX_PATH), 0u);
        sys_ = buf;
        ASSERT_GT(::GetWindowsDirectoryA(buf, MAX_PATH), 0u);
        win_ = buf;
        base_ = win_.substr(0, 3) + "QmCases" + pid_;
        for (char letter = 'Q'; letter <= 'Y' && absent_.empty(); ++letter) {
            const char root[] = {letter, ':', '\\', '\0'};
            if (::GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) absent_ = std::string(1, letter) + ":";
        }
        ASSERT_FALSE(absent_.empty());
        const DWORD n = ::GetEnvironmentVariableA("ProgramFiles", buf, MAX_PATH);
        ASSERT_TRUE(n > 0 && n < MAX_PATH);
        pf_.assign(buf, n);
        const DWORD l = ::GetEnvironmentVariableA("LOCALAPPDATA", buf, MAX_PATH);
        ASSERT_TRUE(l > 0 && l < MAX_PATH);
        local_.assign(buf, l);
    }
    void TearDown() override {
        for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
            Hkey key;
            if (::RegOpenKeyExA(it->root, it->key.c_str(), 0, KEY_SET_VALUE, key.Out()) == ERROR_SUCCESS)
                ::RegDeleteValueA(key.Get(), it->value.c_str());
        }
        for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) ::RegDeleteTreeA(it->root, it->key.c_str());
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            DWORD subKeys = 1, values = 1;
            {
                Hkey key;
                if (::RegOpenKeyExA(it->root, it->key.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) continue;
                ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr);
            }
            if (subKeys == 0 && values == 0) ::RegDeleteKeyA(it->root, it->key.c_str());
        }
        for (auto it = files_.rbegin(); it != files_.rend(); ++it) ::DeleteFileA(it->c_str());
        for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it) ::RemoveDirectoryA(it->c_str());
        std::remove(kIgnoreFile);
    }

    std::string Tag(std::size_t i) const {
        char buf[16];
        std::snprintf(buf, sizeof buf, "QmE%02zux", i);
        return buf + pid_;
    }
    // The text with its placeholders filled, in the ANSI code page; false
    // when the code page cannot hold it.
    bool Filled(const char* text, std::size_t i, std::string& out) const {
        std::string shortForm;
        if (std::strstr(text, "{short}") != nullptr) {
            // Wine's short names, as the file system gives them: the folder
            // exists once the case's files are made.
            const std::string longForm = base_ + "\\" + Tag(i) + "\\Program Files\\Common Files";
            char buf[MAX_PATH];
            const DWORD n = ::GetShortPathNameA(longForm.c_str(), buf, MAX_PATH);
            if (n > 0 && n < MAX_PATH) shortForm.assign(buf, n);
        }
        const std::string utf8 =
            Fill(text, Tag(i), base_ + "\\" + Tag(i), sys_, win_, absent_, pf_, shortForm, local_);
        out.clear();
        if (utf8.empty()) return true;
        const int wide = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
        if (wide <= 0) return false;
        std::wstring w(std::size_t(wide), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &w[0], wide);
        BOOL lost = FALSE;
        const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0, nullptr, &lost);
        if (n <= 0 || lost) return false;
        out.resize(std::size_t(n));
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), wide, &out[0], n, nullptr, nullptr);
        return true;
    }
    std::string Filled(const char* text, std::size_t i) const {
        std::string out;
        Filled(text, i, out);
        return out;
    }
    // Whether every text of the case fits the ANSI code page.
    bool Representable(const EntryCase& c, std::size_t i) const {
        std::string out;
        for (const char* f : c.files)
            if (!Filled(f, i, out)) return false;
        return Filled(c.value, i, out) && Filled(c.data, i, out) && (!c.otherData || Filled(c.otherData, i, out));
    }

    void Create(const std::string& key, Hkey& k) {
        DWORD disposition = 0;
        ASSERT_EQ(::RegCreateKeyExA(root_, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.Out(), &disposition),
                  ERROR_SUCCESS)
            << key;
        if (disposition == REG_CREATED_NEW_KEY) created_.push_back({root_, key, {}});
    }
    void Set(const std::string& key, const std::string& name, const std::string& text, DWORD type = REG_SZ) {
        Hkey k;
        Create(key, k);
        ASSERT_EQ(::RegSetValueExA(k.Get(), name.empty() ? nullptr : name.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1)),
                  ERROR_SUCCESS)
            << key << " " << name;
    }
    void SetShared(const std::string& key, const std::string& name) {
        Hkey k;
        Create(key, k);
        const DWORD one = 1;
        ASSERT_EQ(::RegSetValueExA(k.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
                  ERROR_SUCCESS);
    }
    // Makes the file and the folders above it that are missing.
    void MakeFile(const std::string& path) {
        if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;  // not ours
        for (auto slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
            const std::string dir = path.substr(0, slash);
            if (::CreateDirectoryA(dir.c_str(), nullptr)) dirs_.push_back(dir);
        }
        const Win32Handle h(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(h) << path;
        files_.push_back(path);
    }

    void Seed(const EntryCase& c, std::size_t i) {
        for (const char* f : c.files) MakeFile(Filled(f, i));
        const std::string tag = Tag(i);
        const std::string name = Filled(c.value, i);
        const std::string data = Filled(c.data, i);
        const std::string sw = "SOFTWARE\\Microsoft\\";
        root_ = c.user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        switch (c.category) {
            case Category::Com: {
                const std::string key = "Software\\Classes\\CLSID\\{" + tag + "}";
                keys_.push_back({root_, key, {}});
                Set(key + "\\" + name, "", data, c.type);
                break;
            }
            case Category::Startup:
                values_.push_back({root_, sw + "Windows\\CurrentVersion\\Run", name});
                Set(sw + "Windows\\CurrentVersion\\Run", name, data, c.type);
                break;
            case Category::Uninstall:
                keys_.push_back({root_, sw + "Windows\\CurrentVersion\\Uninstall\\" + tag, {}});
                Set(keys_.back().key, name, data, c.type);
                break;
            case Category::AppPaths: {
                const std::string key = sw + "Windows\\CurrentVersion\\App Paths\\" + tag + ".exe";
                keys_.push_back({root_, key, {}});
                Set(key, name, data, c.type);
                if (c.otherValue) Set(key, c.otherValue, Filled(c.otherData, i));
                break;
            }
            case Category::SharedTools:
                keys_.push_back({root_, sw + "Shared Tools\\" + tag, {}});
                Set(keys_.back().key, name, data, c.type);
                break;
            case Category::Help:
                values_.push_back({root_, sw + "Windows\\Help", name});
                Set(sw + "Windows\\Help", name, data, c.type);
                break;
            case Category::Fonts:
                values_.push_back({root_, sw + "Windows NT\\CurrentVersion\\Fonts", name});
                Set(sw + "Windows NT\\CurrentVersion\\Fonts", name, data, c.type);
                break;
            case Category::SharedDlls:
                values_.push_back({root_, sw + "Windows\\CurrentVersion\\SharedDLLs", name});
                SetShared(sw + "Windows\\CurrentVersion\\SharedDLLs", name);
                break;
            case Category::Drivers:
                values_.push_back({root_, sw + "Windows NT\\CurrentVersion\\Drivers32", name});
                Set(sw + "Windows NT\\CurrentVersion\\Drivers32", name, data, c.type);
                break;
            case Category::Shortcuts:
                break;
        }
    }

    // A key (and value) seeded below a root, taken away afterwards.
    struct Seeded {
        HKEY root;
        std::string key, value;
    };
    std::string pid_, sys_, win_, base_, absent_, pf_, local_;
    HKEY root_ = HKEY_LOCAL_MACHINE;  // of the case being seeded
    std::vector<Seeded> keys_, created_, values_;
    std::vector<std::string> files_, dirs_;
};

TEST_F(RealEntryCases, IntactShapesPassBrokenTwinsAreFound) {
    const auto& cases = EntryCases();
    std::vector<bool> seeded(cases.size(), false);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (!Representable(cases[i], i)) {
            std::printf("passed over (the ANSI code page cannot hold its names): %s\n", cases[i].shape);
            continue;
        }
        Seed(cases[i], i);
        if (HasFatalFailure()) return;
        seeded[i] = true;
    }
    EngineServices services;
    services.ignoreFile = kIgnoreFile;
    CRegistryLib lib(services);
    ResultRows rows;
    ScanCategoryStates states;
    for (const auto& info : kCategories)
        if (info.category != Category::Shortcuts) states[info.slot] = 1;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 9u);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (!seeded[i]) continue;
        const EntryCase& c = cases[i];
        const std::string tag = Lowered(Tag(i));
        std::vector<const CRegErrorLog*> mine;
        for (const auto& f : lib.Findings()) {
            const std::string text =
                f->GetKeyPath() + "|" + (f->GetValue() ? f->GetValue()->name : "") + "|" + f->GetFilePath();
            if (Lowered(text).find(tag) != std::string::npos) mine.push_back(f.get());
        }
        EXPECT_EQ(!mine.empty(), c.broken) << c.shape << " [" << Filled(c.data, i) << "]";
        // A finding names the hive its entry lives in.
        for (const CRegErrorLog* f : mine)
            EXPECT_EQ(f->GetKeyPath().rfind(c.user ? "HKEY_CURRENT_USER\\" : "HKEY_", 0), 0u) << c.shape;
        if (c.shortNames) {
            EXPECT_NE(Filled(c.data, i).find('~'), std::string::npos) << c.shape;
        }
        if (c.kind) {
            ASSERT_EQ(mine.size(), 1u) << c.shape;
            EXPECT_EQ(mine[0]->GetRemoveKind(), c.kind) << c.shape;
        }
    }
}

}  // namespace
}  // namespace qm
