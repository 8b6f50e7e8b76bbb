#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        services_.registry = &registry_;
        services_.system = &system_;
        services_.ignoreFile = "engine-frame-test-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
    }

    RegKeyHandle Create(RegKey root, const char* path) {
        RegKeyHandle key;
        EXPECT_EQ(registry_.RegCreateKeyA(root, path, key.Receive(registry_)), kRegSuccess);
        return key;
    }
    void Set(RegKey key, const char* name, std::uint32_t type, std::vector<std::uint8_t> data) {
        ASSERT_EQ(registry_.RegSetValueExA(key, name, type, data.data(),
                                           static_cast<std::uint32_t>(data.size())),
                  kRegSuccess);
    }
    static std::vector<std::uint8_t> Text(const char* s) {
        return std::vector<std::uint8_t>(s, s + std::strlen(s) + 1);
    }
    ValueList Values(RegKey key) {
        ValueList list;
        lib_->AddRegistryValues(key, list);
        return list;
    }

    MemoryRegistry registry_;
    MemorySystem system_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
};

TEST(SeperateMainKey, SplitsAtTheFirstBackslash) {
    std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";
    EXPECT_EQ(CRegistryLib::SeperateMainKey(path), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(path, "SOFTWARE\\Microsoft\\Shared Tools");

    path = "HKEY_LOCAL_MACHINE";
    EXPECT_EQ(CRegistryLib::SeperateMainKey(path), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(path, "");

    path = "";
    EXPECT_EQ(CRegistryLib::SeperateMainKey(path), "");
    EXPECT_EQ(path, "");

    path = "HKEY_USERS\\";
    EXPECT_EQ(CRegistryLib::SeperateMainKey(path), "HKEY_USERS");
    EXPECT_EQ(path, "");

    path = "\\x";
    EXPECT_EQ(CRegistryLib::SeperateMainKey(path), "");
    EXPECT_EQ(path, "x");
}

TEST_F(EngineTest, OpenKeyAcceptsTheFiveRootsInAnyCaseAndNothingElse) {
    Create(kHkeyLocalMachine, "SOFTWARE\\QuillmereFrame");

    RegKeyHandle opened;
    EXPECT_EQ(lib_->OpenKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QuillmereFrame", opened.Receive(registry_)), kRegSuccess);
    EXPECT_NE(opened.Get(), kNullKey);
    EXPECT_EQ(lib_->OpenKey("hkey_local_machine", "software\\quillmereframe", opened.Receive(registry_)), kRegSuccess);

    for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_USERS",
                             "HKEY_CURRENT_CONFIG", "Hkey_Classes_Root"}) {
        EXPECT_EQ(lib_->OpenKey(root, "", opened.Receive(registry_)), kRegSuccess) << root;
    }
    opened.Reset();
    RegKey out = kNullKey;  // a failed open leaves nothing to close
    for (const char* root : {"HKLM", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA", "", "HKEY_LOCAL_MACHINE "}) {
        out = 123;
        EXPECT_EQ(lib_->OpenKey(root, "SOFTWARE", &out), kRegInvalidFunction) << root;
        EXPECT_EQ(out, kNullKey) << root;
    }
    EXPECT_EQ(lib_->OpenKey("HKEY_LOCAL_MACHINE", "SOFTWARE", nullptr), kRegInvalidFunction);
    EXPECT_EQ(lib_->OpenKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\NoSuchKeyHere", &out), kRegFileNotFound);
    EXPECT_EQ(out, kNullKey);
}

TEST_F(EngineTest, KeyWithoutValuesGivesTheDefaultPlaceholder) {
    RegKeyHandle k = Create(kHkeyCurrentUser, "Empty");
    ValueList list = Values(k.Get());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->name, "(Default)");
    EXPECT_EQ(list[0]->data, "(value not set)");
    EXPECT_EQ(list[0]->type, kRegSz);
    k.Reset();
}

TEST_F(EngineTest, OnlyANamedValueGetsThePlaceholderInFront) {
    RegKeyHandle k = Create(kHkeyCurrentUser, "Named");
    Set(k.Get(), "Path", kRegSz, Text("C:\\x.exe"));
    ValueList list = Values(k.Get());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->name, "(Default)");
    EXPECT_EQ(list[0]->data, "(value not set)");
    EXPECT_EQ(list[1]->name, "Path");
    EXPECT_EQ(list[1]->data, "C:\\x.exe");
    EXPECT_EQ(list[1]->type, kRegSz);
    k.Reset();
}

TEST_F(EngineTest, EmptyDefaultStringDiffersFromDefaultWithoutBytes) {
    RegKeyHandle a = Create(kHkeyCurrentUser, "EmptyString");
    Set(a.Get(), "", kRegSz, {0});
    ValueList la = Values(a.Get());
    ASSERT_EQ(la.size(), 1u);
    EXPECT_EQ(la[0]->name, "(Default)");
    EXPECT_EQ(la[0]->data, "");

    RegKeyHandle b = Create(kHkeyCurrentUser, "NoBytes");
    Set(b.Get(), "", kRegBinary, {});
    ValueList lb = Values(b.Get());
    ASSERT_EQ(lb.size(), 1u);
    EXPECT_EQ(lb[0]->name, "(Default)");
    EXPECT_EQ(lb[0]->data, "(value not set)");
    EXPECT_EQ(lb[0]->type, kRegBinary);
    a.Reset();
    b.Reset();
}

TEST_F(EngineTest, AValueNamedDefaultCountsAsTheDefaultEntry) {
    RegKeyHandle k = Create(kHkeyCurrentUser, "Literal");
    Set(k.Get(), "(Default)", kRegSz, Text("literal"));
    ValueList list = Values(k.Get());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->name, "(Default)");
    EXPECT_EQ(list[0]->data, "literal");
    k.Reset();
}

TEST_F(EngineTest, NamedDwordIsRenderedUnnamedDwordIsRawText) {
    RegKeyHandle k = Create(kHkeyCurrentUser, "Dwords");
    Set(k.Get(), "Flags", kRegDword, {0x0a, 0, 0, 0});
    Set(k.Get(), "", kRegDword, {'A', 'B', 0, 0});
    ValueList list = Values(k.Get());
    ASSERT_EQ(list.size(), 2u);
    const CRegValueItem* named = list[0]->name == "Flags" ? list[0].get() : list[1].get();
    const CRegValueItem* unnamed = list[0]->name == "Flags" ? list[1].get() : list[0].get();
    EXPECT_EQ(named->data, "0x0000000a (10)");
    EXPECT_EQ(named->type, kRegDword);
    EXPECT_EQ(unnamed->name, "(Default)");
    EXPECT_EQ(unnamed->data, "AB");
    EXPECT_EQ(unnamed->type, kRegDword);
    k.Reset();
}

// The progress callback is a plain function: it reports through these.
ScanCategoryStates* g_states = nullptr;
int g_comSlotDuringScan = 0;
void RecordSlot(std::string, std::string, std::int32_t, std::int32_t) {
    g_comSlotDuringScan = (*g_states)[kSlotCom];
}

// A key of many values is visited one value at a time past its first few
// hundred: the items, their order and the "(Default)" placeholder in front
// must stay those of the whole list, wherever the key's own default is.
TEST_F(EngineTest, ValuesVisitedOneByOneAreTheListsItemsInItsOrder) {
    struct Case {
        const char* key;
        int count;
        int defaultAt;  // -1: none
        const char* defaultName;
        std::vector<std::uint8_t> defaultData;
    };
    const Case cases[] = {
        {"Few", 3, -1, "", {}},
        {"ManyNoDefault", 600, -1, "", {}},
        {"ManyUnnamedFirst", 600, 0, "", Text("first")},
        {"ManyUnnamedLate", 600, 400, "", Text("late")},
        {"ManyUnnamedWithoutBytes", 600, 300, "", {}},
        {"ManyLiteralDefaultLate", 600, 500, "(Default)", Text("literal")},
    };
    const auto render = [](const CRegValueItem& item) {
        return item.name + "=" + item.data + "/" + std::to_string(item.type) + (item.isDefault ? "*" : "");
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        RegKeyHandle k = Create(kHkeyCurrentUser, c.key);
        for (int i = 0; i < c.count; ++i) {
            if (i == c.defaultAt) Set(k.Get(), c.defaultName, kRegSz, c.defaultData);
            Set(k.Get(), ("C:\\lib\\v" + std::to_string(i) + ".dll").c_str(), kRegDword,
                {static_cast<std::uint8_t>(i), 0, 0, 0});
        }
        std::vector<std::string> listed, visited;
        for (const auto& item : Values(k.Get())) listed.push_back(render(*item));
        EXPECT_TRUE(lib_->ForEachRegistryValue(k.Get(), [&](const CRegValueItem& item) {
            visited.push_back(render(item));
            return true;
        }));
        EXPECT_EQ(visited, listed);
        EXPECT_EQ(visited.size(), std::size_t(c.count + 1));

        // Stopped part-way: what was visited up to then, and false.
        std::size_t seen = 0;
        EXPECT_FALSE(lib_->ForEachRegistryValue(k.Get(), [&](const CRegValueItem&) { return ++seen < 2; }));
        EXPECT_EQ(seen, 2u);
        k.Reset();
    }
}

// Items are read into storage kept between keys: a key read after a larger
// one, or inside the visit of another key, shows its own values only.
TEST_F(EngineTest, ValuesVisitedAfterOrInsideAnotherKeyAreTheirOwn) {
    const auto render = [](const CRegValueItem& item) {
        return item.name + "=" + item.data + "/" + std::to_string(item.type) + (item.isDefault ? "*" : "");
    };
    RegKeyHandle big = Create(kHkeyCurrentUser, "Big");
    Set(big.Get(), "", kRegSz, Text(std::string(3000, 'x').c_str()));
    for (int i = 0; i < 40; ++i)
        Set(big.Get(), ("name" + std::to_string(i)).c_str(), kRegExpandSz, Text(("%SystemRoot%\\f" + std::to_string(i)).c_str()));
    RegKeyHandle small = Create(kHkeyCurrentUser, "Small");
    Set(small.Get(), "only", kRegDword, {7, 0, 0, 0});
    const auto listed = [&](RegKey k) {
        std::vector<std::string> out;
        for (const auto& item : Values(k)) out.push_back(render(*item));
        return out;
    };
    const auto visited = [&](RegKey k) {
        std::vector<std::string> out;
        EXPECT_TRUE(lib_->ForEachRegistryValue(k, [&](const CRegValueItem& item) {
            out.push_back(render(item));
            return true;
        }));
        return out;
    };
    EXPECT_EQ(visited(big.Get()), listed(big.Get()));
    EXPECT_EQ(visited(small.Get()), listed(small.Get()));  // placeholder and "only", nothing of Big's
    std::vector<std::string> outer;
    EXPECT_TRUE(lib_->ForEachRegistryValue(big.Get(), [&](const CRegValueItem& item) {
        EXPECT_EQ(visited(small.Get()), listed(small.Get()));
        outer.push_back(render(item));
        return true;
    }));
    EXPECT_EQ(outer, listed(big.Get()));
    EXPECT_EQ(visited(big.Get()), listed(big.Get()));
    big.Reset();
    small.Reset();
}

TEST_F(EngineTest, SelectedSlotsGoToTwoThenMinusOneUnselectedStayZero) {
    RegKeyHandle cls = Create(kHkeyClassesRoot, "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32");
    Set(cls.Get(), "", kRegSz, Text("C:\\missing\\gone.dll"));
    cls.Reset();

    ScanCategoryStates states;
    states[kSlotCom] = 1;
    states[kSlotFonts] = 7;  // any non-zero value selects
    states[0] = 5;           // slots the engine does not use are left alone
    g_states = &states;
    g_comSlotDuringScan = 0;
    lib_->SetProgressCallback(&RecordSlot);
    ResultRows rows;
    lib_->ScanRegistry(rows, states);

    EXPECT_EQ(g_comSlotDuringScan, 2);
    EXPECT_EQ(states[kSlotCom], -1);
    EXPECT_EQ(states[kSlotFonts], -1);
    EXPECT_EQ(states[0], 5);
    for (int slot : {kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths, kSlotSharedTools,
                     kSlotStartup, kSlotShortcuts, kSlotUninstall, 2, 12, 13})
        EXPECT_EQ(states[slot], 0) << slot;
    ASSERT_EQ(rows.size(), 2u);  // one row per selected category
}

// A stop request made through an event object closed at once, while the COM
// class scan runs: the event must stay set after that scan's own object is
// gone, so every later category returns at once.
void StopThroughAShortLivedObject(std::string, std::string, std::int32_t, std::int32_t) {
    NamedEvent(kStopEventName).Set();
}

TEST_F(EngineTest, StopSetThroughAShortLivedObjectStopsTheLaterCategories) {
    RegKeyHandle cls = Create(kHkeyClassesRoot, "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32");
    Set(cls.Get(), "", kRegSz, Text("C:\\missing\\gone.dll"));
    cls.Reset();
    lib_->SetProgressCallback(&StopThroughAShortLivedObject);
    ScanCategoryStates states;
    states[kSlotCom] = 1;
    states[kSlotSharedDlls] = 1;
    states[kSlotFonts] = 1;
    ResultRows rows;
    lib_->ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->label, "Invalid CLSID");
    EXPECT_EQ(states[kSlotFonts], -1);
    NamedEvent(kStopEventName).Reset();
}

TEST_F(EngineTest, StopEventLeftSetBeforeTheRunIsResetAndEmptiesOldFindings) {
    RegKeyHandle cls = Create(kHkeyClassesRoot, "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32");
    Set(cls.Get(), "", kRegSz, Text("C:\\missing\\gone.dll"));
    cls.Reset();

    ScanCategoryStates states;
    states[kSlotCom] = 1;
    ResultRows rows;
    lib_->ScanRegistry(rows, states);
    ASSERT_EQ(lib_->Findings().size(), 1u);

    NamedEvent stop(kStopEventName);
    stop.Set();
    states[kSlotCom] = 1;
    rows.push_back(std::make_unique<CScanError>("stale", 1, 1));
    lib_->ScanRegistry(rows, states);
    EXPECT_FALSE(stop.IsSignalled());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->label, "Invalid CLSID");
    EXPECT_EQ(rows[0]->errorsFound, 1);
    EXPECT_EQ(lib_->Findings().size(), 1u);  // the old findings were replaced, not added to
}

}  // namespace
}  // namespace qm
