// Repair and restore of keys whose names are long or non-ASCII, on any
// registry backend: a key the repair removes goes whole and its backup gives
// it back byte for byte with its names' letter case, or nothing of it goes
// and its row says so. Each test works below a scratch key of its own,
// HKEY_CURRENT_USER\Software\QmFixFidelity<random>, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/codepage.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/registry_keys.h"
#include "tests/support/test_restore_areas.h"
#include "tests/restore/round_trip.h"

namespace qm::test {

struct FidelityBackend {
    const char* name;
    std::unique_ptr<IRegistry> (*make)();
};

inline std::string PrintFidelityBackend(const ::testing::TestParamInfo<FidelityBackend>& info) {
    return info.param.name;
}

// Names of 1, 255 and more than 255 bytes in the 8-bit code page (UTF-8):
// CJK letters (three bytes each) and accented Latin letters (two each).
inline std::string Repeat(const char16_t* unit, int times) {
    return Utf16ToAnsiText(std::u16string(static_cast<std::size_t>(times), *unit));
}
inline std::string Cjk(int letters) { return Repeat(u"\u4e2d", letters); }
inline std::string Accented(int letters) { return Repeat(u"\u00e9", letters); }

class FixFidelity : public ::testing::TestWithParam<FidelityBackend> {
protected:
    void SetUp() override {
        reg_ = GetParam().make();
        std::mt19937_64 rng(static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        parent_ = "Software\\QmFixFidelity" + std::to_string(rng() % 1000000007u);
        services_.registry = reg_.get();
        services_.system = &system_;
        services_.ignoreFile = File("ignore.lst");
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        // The findings are made by hand below HKEY_CURRENT_USER.
        repair_->SetRestoreAreas(&TestRestoreAreas());
    }
    void TearDown() override {
        repair_.reset();
        lib_.reset();
        DeleteTree(*reg_, kHkeyCurrentUser, parent_);
        for (const auto& f : files_) std::remove(f.c_str());
    }

    std::string File(const std::string& stem) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->name()) + "_" + stem;
        for (char& c : name)
            if (c == '/') c = '_';
        files_.push_back(name);
        std::remove(name.c_str());
        return name;
    }
    // Full path (root name first) of a key below the scratch key.
    std::string Full(const std::string& rel) const { return "HKEY_CURRENT_USER\\" + parent_ + "\\" + rel; }
    std::string Sub(const std::string& rel) const { return parent_ + "\\" + rel; }

    void SetText(const std::string& rel, const std::string& name, const std::string& text) {
        RegKey k = kNullKey;
        ASSERT_EQ(reg_->RegCreateKeyExA(kHkeyCurrentUser, Sub(rel).c_str(), &k, nullptr), kRegSuccess)
            << rel;
        RegKeyHandle h(*reg_, k);
        ASSERT_EQ(reg_->RegSetValueExA(k, name.c_str(), kRegSz,
                                       reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                       static_cast<std::uint32_t>(text.size() + 1)),
                  kRegSuccess)
            << name;
    }
    TreeSnapshot Snap(const std::string& rel) { return Snapshot(*reg_, kHkeyCurrentUser, Sub(rel)); }
    // The sub-key names of a key below the scratch key, as enumerated.
    std::vector<std::string> Names(const std::string& rel) {
        std::vector<std::string> names;
        for (const auto& [path, values] : Snap(rel))
            if (!path.empty() && path.find('\\') == std::string::npos) names.push_back(path);
        return names;
    }

    // One application-path finding for the key (its path as given), repaired
    // with a backup; returns the row's errors fixed.
    std::int32_t Fix(const std::string& keyPath, std::string* backup) {
        auto f = std::make_unique<CRegErrorLog>();
        f->SetCategory(kTagAppPaths);
        f->SetKeyPath(keyPath);
        f->SetRemoveKind(kRemoveKey);
        f->SetFilePath("C:\\Gone\\app.exe");
        f->SetValue(std::make_unique<CRegValueItem>(kDefaultValueName, "C:\\Gone\\app.exe", kRegSz));
        lib_->Findings().clear();
        lib_->Findings().push_back(std::move(f));
        ResultRows rows;
        rows.push_back(std::make_unique<CScanError>(kLabelAppPaths, 1, 1));
        *backup = repair_->FixRegistry(rows, File("backup.xml"));
        if (!backup->empty()) files_.push_back(*backup);
        return rows.front()->errorsFixed;
    }
    // A key shaped like the one that was once half-deleted: sub-keys "Aa" and
    // one with a 90-letter CJK name, and names of 1, 255 and more than 255
    // bytes, three levels deep.
    void FillAwkwardKey(const std::string& key) {
        SetText(key, "", "C:\\Gone\\" + Cjk(3) + ".exe");
        SetText(key, "v", "1");
        SetText(key, std::string(255, 'n'), "255 bytes");
        SetText(key, Cjk(100), Accented(300));
        SetText(key, Accented(130), Cjk(200));
        SetText(key + "\\A", "x", "1");
        SetText(key + "\\Aa", "x", "2");
        SetText(key + "\\" + std::string(255, 'k'), std::string(255, 'k'), "k");
        SetText(key + "\\" + Cjk(90), Cjk(90), Cjk(90));
        SetText(key + "\\" + Cjk(90) + "\\" + Accented(128) + "\\MixedCase", "Deep", "d");
        SetText(key + "\\" + Accented(200), "", Accented(2));
    }

    int Restore(const std::string& backup) {
        ui_.ClearMessages();
        CXmlReader reader;
        return repair_->LoadAsXml(reader, backup);
    }

    std::unique_ptr<IRegistry> reg_;
    std::string parent_;
    MemorySystem system_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    RecordingRestoreUi ui_;
    std::vector<std::string> files_;
};

}  // namespace qm::test
