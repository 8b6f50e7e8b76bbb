// The everyday entry shapes of entry_cases.h on the in-memory registry, with
// drive C: mapped onto a scratch folder: each intact shape is passed over,
// each broken twin is found.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/registry_lib.h"
#include "entry_cases.h"
#include "emulation/drive_map.h"
#include "emulation/mapped_system.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::EntryCase;
using test::EntryCases;
using test::Fill;
using test::Lowered;

const char* const kHklmSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\";
const char* const kHkcuSoftware = "HKEY_CURRENT_USER\\Software\\Microsoft\\";

class EntryCasesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::remove(kIgnoreFile);
        NamedEvent(kStopEventName).Reset();
        root_ = fs::current_path() / "entry-cases";
        fs::remove_all(root_);
        fs::create_directories(root_ / "C" / "Windows" / "System32");
        fs::create_directories(root_ / "C" / "Windows" / "Fonts");
        drives_.Map('C', (root_ / "C").string());
        system_ = std::make_unique<MappedSystem>(drives_);
    }
    void TearDown() override {
        fs::remove_all(root_);
        std::remove(kIgnoreFile);
    }

    std::string Tag(std::size_t i) const {
        std::string tag = std::to_string(i);
        if (tag.size() < 2) tag.insert(0, 2 - tag.size(), '0');
        return "QmE" + tag + "x";
    }
    std::string Filled(const char* text, std::size_t i) const {
        return Fill(text, Tag(i), "C:\\QmCases\\" + Tag(i), "C:\\Windows\\System32", "C:\\Windows", "Q:",
                    "C:\\Program Files", "C:\\QmCases\\" + Tag(i) + "\\PROGRA~1\\COMMON~1",
                    "C:\\Users\\User\\AppData\\Local");
    }
    void MakeFile(const std::string& windowsPath) {
        const auto host = drives_.ToHostPath(windowsPath);
        ASSERT_TRUE(host) << windowsPath;
        fs::create_directories(fs::path(*host).parent_path());
        std::ofstream(*host).put('x');
    }
    void Seed(const EntryCase& c, std::size_t i) {
        const std::string tag = Tag(i);
        const std::string name = Filled(c.value, i);
        const std::string data = Filled(c.data, i);
        const std::string sw = c.user ? kHkcuSoftware : kHklmSoftware;
        switch (c.category) {
            case Category::Com:
                Set("HKEY_CLASSES_ROOT\\CLSID\\{" + tag + "}\\" + name, "", data, c.type);
                break;
            case Category::Startup:
                Set(sw + "Windows\\CurrentVersion\\Run", name, data, c.type);
                break;
            case Category::Uninstall:
                Set(sw + "Windows\\CurrentVersion\\Uninstall\\" + tag, name, data, c.type);
                break;
            case Category::AppPaths: {
                const std::string key = sw + "Windows\\CurrentVersion\\App Paths\\" + tag + ".exe";
                Set(key, name, data, c.type);
                if (c.otherValue) Set(key, c.otherValue, Filled(c.otherData, i));
                break;
            }
            case Category::SharedTools:
                Set(sw + "Shared Tools\\" + tag, name, data, c.type);
                break;
            case Category::Help:
                Set(sw + "Windows\\Help", name, data, c.type);
                break;
            case Category::Fonts:
                Set(sw + "Windows NT\\CurrentVersion\\Fonts", name, data, c.type);
                break;
            case Category::SharedDlls:
                ASSERT_EQ(registry_.SetDword(sw + "Windows\\CurrentVersion\\SharedDLLs", name, 1), kRegSuccess);
                break;
            case Category::Drivers:
                Set(sw + "Windows NT\\CurrentVersion\\Drivers32", name, data, c.type);
                break;
            case Category::Shortcuts:
                break;
        }
        for (const char* f : c.files) MakeFile(Filled(f, i));
    }
    void Set(const std::string& key, const std::string& name, const std::string& data,
             std::uint32_t type = kRegSz) {
        ASSERT_EQ(registry_.SetString(key, name, data, type), kRegSuccess) << key << " " << name;
    }

    static constexpr const char* kIgnoreFile = "entry-cases-test-ignore.lst";
    NamedEvent stopEvent_{kStopEventName};
    fs::path root_;
    DriveMap drives_;
    std::unique_ptr<MappedSystem> system_;
    MemoryRegistry registry_;
};

TEST_F(EntryCasesTest, IntactShapesPassBrokenTwinsAreFound) {
    const auto& cases = EntryCases();
    for (std::size_t i = 0; i < cases.size(); ++i) Seed(cases[i], i);

    EngineServices services;
    services.registry = &registry_;
    services.system = system_.get();
    services.ignoreFile = kIgnoreFile;
    CRegistryLib lib(services);
    ResultRows rows;
    ScanCategoryStates states;
    for (const auto& info : kCategories)
        if (info.category != Category::Shortcuts) states[info.slot] = 1;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 9u);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const EntryCase& c = cases[i];
        const std::string tag = Lowered(Tag(i));
        std::vector<const CRegErrorLog*> mine;
        for (const auto& f : lib.Findings()) {
            const std::string text = f->GetKeyPath() + "|" + (f->GetValue() ? f->GetValue()->name : "") +
                                     "|" + f->GetFilePath();
            if (Lowered(text).find(tag) != std::string::npos) mine.push_back(f.get());
        }
        EXPECT_EQ(!mine.empty(), c.broken && !c.shortNames) << c.shape << " [" << Filled(c.data, i) << "]";
        // A finding names the hive its entry lives in.
        for (const CRegErrorLog* f : mine)
            EXPECT_EQ(f->GetKeyPath().rfind(c.user ? "HKEY_CURRENT_USER\\" : "HKEY_", 0), 0u) << c.shape;
        if (c.kind) {
            ASSERT_EQ(mine.size(), 1u) << c.shape;
            EXPECT_EQ(mine[0]->GetRemoveKind(), c.kind) << c.shape;
        }
    }
}

}  // namespace
}  // namespace qm
