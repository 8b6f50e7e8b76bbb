// The nine registry category scans on an in-memory registry: what each one
// examines, counts, reports to the progress callback and records.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "engine/registry_lib.h"
#include "engine/scan_frame.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"

namespace qm {
namespace {

// Files and environment under the tests' control.
class TableSystem : public ISystem {
public:
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    std::string ExpandEnvironmentStrings(const std::string& text) override {
        std::string out = text;
        for (const auto& [name, value] : env) {
            const std::string piece = "%" + name + "%";
            for (auto at = out.find(piece); at != std::string::npos;
                 at = out.find(piece, at + value.size()))
                out.replace(at, piece.size(), value);
        }
        return out;
    }
    std::string GetSystemDirectory() override { return "C:\\WINDOWS\\system32"; }
    std::string GetWindowsDirectory() override { return "C:\\WINDOWS"; }
    std::uint32_t GetVersion() override { return version; }
    bool PresenceUnknown(const std::string& path) override {
        for (const std::string& folder : unreadable)
            if (path.compare(0, folder.size(), folder) == 0) return true;
        return false;
    }

    std::set<std::string> files;
    std::set<std::string> unreadable;  // folders whose contents cannot be told
    std::map<std::string, std::string> env = {{"SystemRoot", "C:\\WINDOWS"},
                                              {"ProgramFiles", "C:\\Program Files"}};
    std::uint32_t version = 0x0A280105;
};

struct ProgressCall {
    std::string item, status;
    std::int32_t scanned, found;
};
std::vector<ProgressCall> g_calls;
std::size_t g_stopAfterCalls = 0;  // sets the stop event at this call (0: never)

void RecordProgress(std::string item, std::string status, std::int32_t scanned,
                    std::int32_t found) {
    g_calls.push_back({item, status, scanned, found});
    if (g_calls.size() == g_stopAfterCalls) NamedEvent(kStopEventName).Set();
}

const char* const kClsid = "HKEY_CLASSES_ROOT\\CLSID\\";
const char* const kWin = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows";
const char* const kAppPaths =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char* const kSharedTools = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";
const char* const kFonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char* const kOldFonts =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const char* const kSharedDlls =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const kDrivers =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const char* const kUninstall =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall";
const char* const kRun = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run";

class CategoryScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::remove(kIgnoreFile);
        NamedEvent(kStopEventName).Reset();
        g_calls.clear();
        g_stopAfterCalls = 0;
        MakeLib();
    }
    void TearDown() override {
        NamedEvent(kStopEventName).Reset();
        std::remove(kIgnoreFile);
        lib_.reset();
        EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    }
    void MakeLib() {
        EngineServices services;
        services.registry = &reg_;
        services.system = &sys_;
        services.ignoreFile = kIgnoreFile;
        lib_ = std::make_unique<CRegistryLib>(services);
        lib_->SetProgressCallback(&RecordProgress);
    }

    void Str(const std::string& key, const std::string& name, const std::string& text) {
        ASSERT_EQ(reg_.SetString(key, name, text), kRegSuccess) << key << " " << name;
    }
    void Key(const std::string& key) { ASSERT_EQ(reg_.CreateKeyPath(key), kRegSuccess); }

    // Runs one scan and returns its single row.
    CScanError Run(void (CRegistryLib::*scan)(ResultRows&)) {
        ResultRows rows;
        (lib_.get()->*scan)(rows);
        EXPECT_EQ(rows.size(), 1u);
        if (rows.size() != 1) return {};
        EXPECT_EQ(rows[0]->errorsFixed, 0);
        EXPECT_EQ(rows[0]->errorsFound, std::int32_t(lib_->Findings().size()));
        return *rows[0];
    }
    const CRegErrorLog& Finding(std::size_t i) { return *lib_->Findings().at(i); }
    std::vector<std::string> CalledItems() const {
        std::vector<std::string> items;
        for (const auto& c : g_calls) items.push_back(c.item);
        return items;
    }

    static constexpr const char* kIgnoreFile = "category-scans-test-ignore.lst";
    // Held open for the whole test, as the controller holds it: a named event
    // that no one holds any more is gone, and its signal with it.
    NamedEvent stopEvent_{kStopEventName};
    MemoryRegistry reg_;
    TableSystem sys_;
    std::unique_ptr<CRegistryLib> lib_;
};

// ---------------------------------------------------------------- COM classes

TEST_F(CategoryScanTest, DefaultValuesAreTheDefaultItemsOfTheFullList) {
    const std::string base = "HKEY_CURRENT_USER\\Defaults\\";
    Key(base + "Empty");
    Str(base + "NamedOnly", "ThreadingModel", "Both");
    Str(base + "Both", "(Default)", "literal");
    Str(base + "Both", "ThreadingModel", "Both");
    Str(base + "Both", "", "unnamed");
    ASSERT_EQ(reg_.SetValue(base + "NoBytes", "", kRegBinary, {}), kRegSuccess);
    ASSERT_EQ(reg_.SetValue(base + "Dword", "(Default)", kRegDword, {1, 0, 0, 0}), kRegSuccess);
    // ReadDefaultValues gives the same items into objects used again from key
    // to key: a key with fewer defaults than the one before leaves the rest.
    ValueList reused;
    for (const char* name : {"Empty", "NamedOnly", "Both", "NoBytes", "Dword", "Both", "Empty"}) {
        RegKeyHandle key;
        ASSERT_EQ(lib_->OpenKey("HKEY_CURRENT_USER", std::string("Defaults\\") + name,
                                key.Receive(reg_)),
                  kRegSuccess);
        ValueList all, defaults;
        lib_->AddRegistryValues(key.Get(), all);
        lib_->AddDefaultValues(key.Get(), defaults);
        std::vector<std::string> expected, got;
        for (const auto& item : all)
            if (item->name == "(Default)")
                expected.push_back(item->data + "|" + std::to_string(item->type));
        for (const auto& item : defaults) got.push_back(item->name + item->data + "|" + std::to_string(item->type));
        for (auto& e : expected) e = "(Default)" + e;
        EXPECT_EQ(got, expected) << name;

        const std::size_t count = lib_->ReadDefaultValues(key.Get(), reused);
        ASSERT_EQ(count, defaults.size()) << name;
        ASSERT_LE(count, reused.size());
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(reused[i]->name, defaults[i]->name) << name;
            EXPECT_EQ(reused[i]->data, defaults[i]->data) << name;
            EXPECT_EQ(reused[i]->type, defaults[i]->type) << name;
            EXPECT_EQ(reused[i]->isDefault, defaults[i]->isDefault) << name;
        }
    }
}

TEST_F(CategoryScanTest, ComCountsDefaultsOfServersAndProgIdOfFindings) {
    const std::string a = std::string(kClsid) + "{AAAAAAAA-0000-0000-0000-00000000000a}";
    Str(a + "\\InprocServer32", "", "\"C:\\Gone\\a.dll\"");
    Str(a + "\\InprocServer32", "ThreadingModel", "Both");  // not a default: not counted
    Str(a + "\\ProgID", "", "App.A.1");
    const std::string b = std::string(kClsid) + "{BBBBBBBB-0000-0000-0000-00000000000b}";
    Key(b + "\\InprocServer32");  // no default value: 1 scanned, nothing else
    const std::string c = std::string(kClsid) + "{CCCCCCCC-0000-0000-0000-00000000000c}";
    Str(c + "\\InProcServer32", "", "ole32.dll");  // letter case of the name does not matter
    sys_.files.insert("C:\\WINDOWS\\system32\\ole32.dll");
    const std::string d = std::string(kClsid) + "{DDDDDDDD-0000-0000-0000-00000000000d}";
    Str(d + "\\InprocHandler32", "", "C:\\Gone\\handler.dll");  // not a server sub-key
    Str(d + "\\ProgID", "", "App.D");

    const CScanError row = Run(&CRegistryLib::ScanRegistryCLSID);
    EXPECT_EQ(row.label, "Invalid CLSID");
    EXPECT_EQ(row.itemsScanned, 4);  // a: 1 + ProgID 1, b: 1, c: 1
    EXPECT_EQ(row.errorsFound, 1);

    const CRegErrorLog& f = Finding(0);
    EXPECT_EQ(f.GetKeyPath(), a);  // the class name exactly as enumerated
    EXPECT_EQ(f.GetCategory(), "CLSID");
    EXPECT_EQ(f.GetRemoveKind(), "KEY");
    EXPECT_EQ(f.GetFilePath(), "C:\\Gone\\a.dll");
    ASSERT_NE(f.GetValue(), nullptr);
    EXPECT_EQ(f.GetValue()->name, "(Default)");
    EXPECT_EQ(f.GetValue()->data, "\"C:\\Gone\\a.dll\"");  // as listed, before clean-up
    EXPECT_EQ(f.GetValue()->type, kRegSz);

    ASSERT_EQ(g_calls.size(), 2u);  // no call for the value that was not set
    EXPECT_EQ(g_calls[0].item, "C:\\Gone\\a.dll");
    EXPECT_EQ(g_calls[0].status, "Scanning CLSID");
    EXPECT_EQ(g_calls[0].scanned, 2);
    EXPECT_EQ(g_calls[0].found, 1);
    EXPECT_EQ(g_calls[1].item, "C:\\WINDOWS\\system32\\ole32.dll");
    EXPECT_EQ(g_calls[1].scanned, 4);
}

TEST_F(CategoryScanTest, ComTwoMissingServersGiveTwoFindingsOfOneClass) {
    const std::string a = std::string(kClsid) + "{abcdef00-1111-2222-3333-444444444444}";
    Str(a + "\\InprocServer32", "", "C:\\Gone\\x.dll");
    Str(a + "\\LocalServer32", "", "\"C:\\Gone\\x.exe\" /automation");
    Str(a + "\\ProgID", "", "X.Y");

    const CScanError row = Run(&CRegistryLib::ScanRegistryCLSID);
    EXPECT_EQ(row.errorsFound, 2);
    EXPECT_EQ(row.itemsScanned, 4);  // two server defaults, the ProgID default once per finding
    ASSERT_EQ(lib_->Findings().size(), 2u);
    EXPECT_EQ(Finding(0).GetKeyPath(), a);
    EXPECT_EQ(Finding(1).GetKeyPath(), a);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Gone\\x.dll");
    EXPECT_EQ(Finding(1).GetFilePath(), "C:\\Gone\\x.exe ");
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].scanned, 2);
    EXPECT_EQ(g_calls[0].found, 1);
    EXPECT_EQ(g_calls[1].scanned, 4);
    EXPECT_EQ(g_calls[1].found, 2);
}

TEST_F(CategoryScanTest, ComProgIdCountsInAnyLetterCaseAndOnlyUnderThatName) {
    const std::string e = std::string(kClsid) + "{eeeeeeee-0000-0000-0000-00000000000e}";
    Str(e + "\\InprocServer32", "", "C:\\Gone\\e.dll");
    Str(e + "\\LocalServer32", "", "C:\\Gone\\e.exe");
    Str(e + "\\PROGID", "", "E.1");
    const std::string f = std::string(kClsid) + "{ffffffff-0000-0000-0000-00000000000f}";
    Str(f + "\\InprocServer32", "", "C:\\Gone\\f.dll");
    Str(f + "\\VersionIndependentProgID", "", "F");

    const CScanError row = Run(&CRegistryLib::ScanRegistryCLSID);
    EXPECT_EQ(row.errorsFound, 3);
    EXPECT_EQ(row.itemsScanned, 5);  // e: 2 + "PROGID" once per finding; f: 1
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].scanned, 2);
    EXPECT_EQ(g_calls[1].scanned, 4);
    EXPECT_EQ(g_calls[2].scanned, 5);
}

TEST_F(CategoryScanTest, ScanRunAsksForEachPathAtMostTwiceAndAfreshInTheNextRun) {
    class CountingSystem : public TableSystem {
    public:
        bool FileExists(const std::string& path) override {
            ++asked[path];
            return TableSystem::FileExists(path);
        }
        std::map<std::string, int> asked;
    } counting;
    counting.files.insert("C:\\Shared\\s.dll");
    for (int i = 0; i < 3; ++i) {
        const std::string cls = std::string(kClsid) + "{5" + std::to_string(i) + "}";
        Str(cls + "\\InprocServer32", "", "C:\\Shared\\s.dll");
        Str(cls + "\\LocalServer32", "", "C:\\Gone\\g.exe");
    }
    Str(std::string(kClsid) + "{60}\\InprocServer32", "", "C:\\Gone\\g.exe");
    Str(kSharedDlls, "C:\\Shared\\s.dll", "1");
    EngineServices services;
    services.registry = &reg_;
    services.system = &counting;
    services.ignoreFile = kIgnoreFile;
    CRegistryLib lib(services);
    ScanCategoryStates states;
    states[kSlotCom] = 1;
    states[kSlotSharedDlls] = 1;
    ResultRows rows;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->errorsFound, 1);  // only {60} has no working server
    EXPECT_EQ(rows[1]->errorsFound, 0);
    // Named five and four times: asked at its first test and when kept.
    EXPECT_EQ(counting.asked["C:\\Shared\\s.dll"], 2);
    EXPECT_EQ(counting.asked["C:\\Gone\\g.exe"], 2);

    // The next run sees the files as they are then.
    counting.files.erase("C:\\Shared\\s.dll");
    states[kSlotCom] = 1;
    states[kSlotSharedDlls] = 1;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->errorsFound, 7);  // three classes with two findings each, and {60}
    EXPECT_EQ(rows[1]->errorsFound, 1);
    EXPECT_EQ(counting.asked["C:\\Shared\\s.dll"], 4);
}

TEST_F(CategoryScanTest, ComClassWithOneWorkingServerIsNotRecorded) {
    // The OLE automation marshaller on a healthy system: a legacy 16-bit
    // server beside a working 32-bit one.
    const std::string ps = std::string(kClsid) + "{00020420-0000-0000-C000-000000000046}";
    Str(ps + "\\InprocServer", "", "ole2disp.dll");
    Str(ps + "\\InprocServer32", "", "oleaut32.dll");
    Str(ps + "\\ProgID", "", "PSDispatch");
    sys_.files.insert("C:\\WINDOWS\\system32\\oleaut32.dll");
    // A server path holding "?" (a name the code page could not show) may name
    // a working file too.
    const std::string q = std::string(kClsid) + "{11111111-0000-0000-0000-000000000001}";
    Str(q + "\\InprocServer32", "", "C:\\Programme\\M?nchen\\q.dll");
    Str(q + "\\LocalServer32", "", "C:\\Gone\\q.exe");
    // Excluded "mailui.dll" counts as present for the same reason.
    const std::string m = std::string(kClsid) + "{22222222-0000-0000-0000-000000000002}";
    Str(m + "\\InprocServer32", "", "C:\\Program Files\\Outlook Express\\mailui.dll");
    Str(m + "\\LocalServer", "", "C:\\Gone\\m.exe");
    // Missing and ignored: no finding of its own, and no protection for the class.
    const std::string i = std::string(kClsid) + "{33333333-0000-0000-0000-000000000003}";
    Str(i + "\\InprocServer32", "", "C:\\Ignored\\i.dll");
    Str(i + "\\LocalServer32", "", "C:\\Gone\\i.exe");
    lib_->IgnoreList().push_back(std::make_unique<CRegErrorLog>());
    lib_->IgnoreList().back()->SetFilePath("C:\\Ignored\\i.dll");

    const CScanError row = Run(&CRegistryLib::ScanRegistryCLSID);
    EXPECT_EQ(row.itemsScanned, 8);
    EXPECT_EQ(row.errorsFound, 1);
    ASSERT_EQ(lib_->Findings().size(), 1u);
    EXPECT_EQ(Finding(0).GetKeyPath(), i);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Gone\\i.exe");
    // Every server default that was set is still reported, in order.
    EXPECT_EQ(CalledItems(), (std::vector<std::string>{
                                 "C:\\WINDOWS\\system32\\ole2disp.dll",
                                 "C:\\WINDOWS\\system32\\oleaut32.dll",
                                 "C:\\Programme\\M?nchen\\q.dll",
                                 "C:\\Gone\\q.exe",
                                 "C:\\Program Files\\Outlook Express\\mailui.dll",
                                 "C:\\Gone\\m.exe",
                                 "C:\\Ignored\\i.dll",
                                 "C:\\Gone\\i.exe",
                             }));
    for (std::size_t k = 0; k + 1 < g_calls.size(); ++k) EXPECT_EQ(g_calls[k].found, 0) << k;
    EXPECT_EQ(g_calls.back().found, 1);
}

TEST_F(CategoryScanTest, ComMailuiExclusionIsCaseSensitive) {
    Str(std::string(kClsid) + "{1}\\InprocServer32", "", "C:\\OE\\mailui.dll");
    Str(std::string(kClsid) + "{2}\\InprocServer32", "", "C:\\OE\\MAILUI.DLL");
    const CScanError row = Run(&CRegistryLib::ScanRegistryCLSID);
    EXPECT_EQ(row.itemsScanned, 2);
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\OE\\MAILUI.DLL");
    EXPECT_EQ(g_calls.size(), 2u);
}

// ------------------------------------------------- help, app paths, shared tools

TEST_F(CategoryScanTest, HelpFilesInHelpAndHtmlHelpKeysOnly) {
    const std::string help = std::string(kWin) + "\\Help";
    Str(help, "app.hlp", "C:\\WINDOWS\\Help\\");
    Str(help, "gone.hlp", "C:\\WINDOWS\\Help\\");
    sys_.files.insert("C:\\WINDOWS\\Help\\app.hlp");
    // A folder without its closing backslash is the same folder.
    Str(std::string(kWin) + "\\HTML Help", "app.chm", "C:\\WINDOWS\\Help");
    Str(std::string(kWin) + "\\HTML Help", "gone.chm", "C:\\WINDOWS\\Help");
    sys_.files.insert("C:\\WINDOWS\\Help\\app.chm");
    Str(std::string(kWin) + "\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files");

    const CScanError row = Run(&CRegistryLib::ScanRegistryHelp);
    EXPECT_EQ(row.label, "Corrupt Help Files");
    EXPECT_EQ(row.itemsScanned, 6);  // help: placeholder + 2, html help: placeholder + 2
    EXPECT_EQ(row.errorsFound, 2);
    // Sub-keys come sorted: "Help" before "HTML Help".
    EXPECT_EQ(Finding(0).GetKeyPath(), std::string(kWin) + "\\help");
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\WINDOWS\\Help\\gone.hlp");
    EXPECT_EQ(Finding(0).GetRemoveKind(), "VAL");
    EXPECT_EQ(Finding(0).GetCategory(), "Help");
    EXPECT_EQ(Finding(0).GetValue()->name, "gone.hlp");
    EXPECT_EQ(Finding(1).GetKeyPath(), std::string(kWin) + "\\html help");
    EXPECT_EQ(Finding(1).GetFilePath(), "C:\\WINDOWS\\Help\\gone.chm");  // the path as Windows reads it
    EXPECT_EQ(Finding(1).GetValue()->name, "gone.chm");
    EXPECT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[0].status, "Scanning Help Files");
}

TEST_F(CategoryScanTest, EmptyHelpKeyCountsItsPlaceholder) {
    Key(std::string(kWin) + "\\help");
    const CScanError row = Run(&CRegistryLib::ScanRegistryHelp);
    EXPECT_EQ(row.itemsScanned, 1);
    EXPECT_EQ(row.errorsFound, 0);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(CategoryScanTest, AppPathsTestOnlyAbsolutePathsAndRecordTheLowerCasedKey) {
    const std::string app = std::string(kAppPaths) + "\\MyApp.EXE";
    Str(app, "", "\"C:\\Program Files\\MyApp\\MyApp.exe\"");
    Str(app, "Path", "C:\\Program Files\\MyApp;");
    const std::string ok = std::string(kAppPaths) + "\\Tool.exe";
    Str(ok, "", "C:\\Tools\\tool.exe");
    Str(ok, "Path", "C:\\Tools");  // an existing folder: tested, not a finding
    Str(ok, "Other", "tool.exe");  // no drive letter: not tested
    sys_.files.insert("C:\\Tools\\tool.exe");
    sys_.files.insert("C:\\Tools");

    const CScanError row = Run(&CRegistryLib::ScanRegistryAppPaths);
    EXPECT_EQ(row.label, "Invalid Application Paths");
    EXPECT_EQ(row.itemsScanned, 5);
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetKeyPath(), std::string(kAppPaths) + "\\myapp.exe");
    EXPECT_EQ(Finding(0).GetRemoveKind(), "KEY");
    EXPECT_EQ(Finding(0).GetCategory(), "APPPath");
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Program Files\\MyApp\\MyApp.exe");
    EXPECT_EQ(CalledItems(), (std::vector<std::string>{
                                 "C:\\Program Files\\MyApp\\MyApp.exe", "C:\\Program Files\\MyApp;",
                                 "C:\\Tools\\tool.exe", "C:\\Tools", "tool.exe"}));
    EXPECT_EQ(g_calls[0].status, "Scanning Application Paths");
}

TEST_F(CategoryScanTest, SharedToolsTestOnlyThePathValueAndKeepTheKeyCase) {
    const std::string tool = std::string(kSharedTools) + "\\MSInfo";
    Str(tool, " PATH\t", "\"C:\\Program Files\\Common\\MSInfo\\msinfo32.exe\" /x");
    Str(tool, "Version", "C:\\Gone\\not-tested.exe");
    const std::string ok = std::string(kSharedTools) + "\\Proof";
    Str(ok, "Path", "%ProgramFiles%\\Common\\proof.dll");
    sys_.files.insert("C:\\Program Files\\Common\\proof.dll");

    const CScanError row = Run(&CRegistryLib::ScanRegistrySharedTools);
    EXPECT_EQ(row.label, "Invalid Shared Tools");
    EXPECT_EQ(row.itemsScanned, 5);  // every value and both placeholders
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetKeyPath(), tool);
    EXPECT_EQ(Finding(0).GetRemoveKind(), "KEY");
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Program Files\\Common\\MSInfo\\msinfo32.exe ");
    EXPECT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].status, "Scanning Shared Tools");
}

// ------------------------------------------------- fonts, shared DLLs, drivers

TEST_F(CategoryScanTest, FontsBareNamesInTheFontsFolder) {
    Str(kFonts, "Arial (TrueType)", "arial.ttf");
    Str(kFonts, "Gone (TrueType)", "gone.ttf");
    Str(kFonts, "Other (TrueType)", "D:\\MyFonts\\other.ttf");
    Str(kFonts, "Wild (TrueType)", "C:\\Schriften\\M?nchen.ttf");
    sys_.files.insert("C:\\WINDOWS\\fonts\\arial.ttf");

    const CScanError row = Run(&CRegistryLib::ScanRegistryFonts);
    EXPECT_EQ(row.label, "Corrupt Fonts");
    EXPECT_EQ(row.itemsScanned, 5);
    ASSERT_EQ(row.errorsFound, 2);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\WINDOWS\\fonts\\gone.ttf");
    EXPECT_EQ(Finding(0).GetKeyPath(), kFonts);
    EXPECT_EQ(Finding(0).GetCategory(), "font");
    EXPECT_EQ(Finding(0).GetRemoveKind(), "VAL");
    EXPECT_EQ(Finding(0).GetValue()->name, "Gone (TrueType)");
    EXPECT_EQ(Finding(1).GetFilePath(), "D:\\MyFonts\\other.ttf");
    // The "?" path is counted and reported, never recorded.
    EXPECT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls.back().item, "C:\\Schriften\\M?nchen.ttf");
    EXPECT_EQ(g_calls.back().found, 2);
}

TEST_F(CategoryScanTest, FontsOnTheOldPlatformReadTheWindowsKey) {
    Str(kFonts, "NT (TrueType)", "nt.ttf");
    Str(kOldFonts, "Old (TrueType)", "old.ttf");
    sys_.version = 0xC0000A04;  // top bit: the Windows 95/98/Me family
    MakeLib();
    const CScanError row = Run(&CRegistryLib::ScanRegistryFonts);
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetKeyPath(), kOldFonts);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\WINDOWS\\fonts\\old.ttf");
}

TEST_F(CategoryScanTest, SharedDllsTestValueNames) {
    ASSERT_EQ(reg_.SetDword(kSharedDlls, "C:\\Program Files\\Common\\gone.ocx", 3), kRegSuccess);
    ASSERT_EQ(reg_.SetDword(kSharedDlls, "mfc42.dll", 1), kRegSuccess);
    ASSERT_EQ(reg_.SetDword(kSharedDlls, "C:\\Program Files\\Common\\here.dll", 1), kRegSuccess);
    sys_.files.insert("C:\\Program Files\\Common\\here.dll");

    const CScanError row = Run(&CRegistryLib::ScanRegistrySharedFiles);
    EXPECT_EQ(row.label, "Corrupt Shared Files");
    EXPECT_EQ(row.itemsScanned, 4);  // the placeholder too
    ASSERT_EQ(row.errorsFound, 2);
    EXPECT_EQ(Finding(0).GetValue()->name, "C:\\Program Files\\Common\\gone.ocx");
    EXPECT_EQ(Finding(0).GetValue()->data, "0x00000003 (3)");
    EXPECT_EQ(Finding(0).GetKeyPath(), kSharedDlls);
    EXPECT_EQ(Finding(0).GetCategory(), "SharedFile");
    EXPECT_EQ(Finding(1).GetFilePath(), "C:\\WINDOWS\\system32\\mfc42.dll");
    EXPECT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].status, "Scanning Shared Files");
}

TEST_F(CategoryScanTest, DriversBareNamesInTheSystemDirectory) {
    Str(kDrivers, "wave", "wdmaud.drv");
    Str(kDrivers, "midi", "gone.drv");
    sys_.files.insert("C:\\WINDOWS\\system32\\wdmaud.drv");

    const CScanError row = Run(&CRegistryLib::ScanRegistryDrivers);
    EXPECT_EQ(row.label, "Missing Drivers");
    EXPECT_EQ(row.itemsScanned, 3);
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\WINDOWS\\system32\\gone.drv");
    EXPECT_EQ(Finding(0).GetCategory(), "VxD");
    EXPECT_EQ(Finding(0).GetRemoveKind(), "VAL");
    EXPECT_EQ(Finding(0).GetKeyPath(), kDrivers);
    EXPECT_EQ(g_calls[0].status, "Scanning VXD");
}

// ------------------------------------------------- uninstall, startup

TEST_F(CategoryScanTest, UninstallTestsOnlyUninstallStringOfEachProduct) {
    const std::string gone = std::string(kUninstall) + "\\GoneApp";
    Str(gone, "DisplayName", "Gone App");
    Str(gone, "UninstallString", "\"C:\\Program Files\\GoneApp\\unins000.exe\" /SILENT");
    const std::string here = std::string(kUninstall) + "\\HereApp";
    Str(here, "UninstallString", "C:\\Program Files\\HereApp\\uninst.exe /S");
    sys_.files.insert("C:\\Program Files\\HereApp\\uninst.exe");
    const std::string msi = std::string(kUninstall) + "\\{12345678-AAAA-BBBB-CCCC-1234567890AB}";
    Str(msi, "UninstallString", "MsiExec.exe /X{12345678-AAAA-BBBB-CCCC-1234567890AB}");
    const std::string dll = std::string(kUninstall) + "\\DllApp";
    Str(dll, "UninstallString", "C:\\WINDOWS\\RunDll32.exe C:\\Gone\\x.dll,Remove");
    const std::string lower = std::string(kUninstall) + "\\LowerApp";
    Str(lower, "uninstallstring", "C:\\Gone\\lower.exe");  // another name: not examined
    Key(std::string(kUninstall) + "\\Empty");

    const CScanError row = Run(&CRegistryLib::ScanRegistryUninstall);
    EXPECT_EQ(row.label, "Invalid Uninstall Entries");
    // Sorted by upper-cased name: DllApp, Empty, GoneApp, HereApp, LowerApp, {1234...}.
    EXPECT_EQ(row.itemsScanned, 2 + 2 + 1 + 3 + 2 + 2);
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetKeyPath(), std::string(kUninstall) + "\\goneapp");
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Program Files\\GoneApp\\unins000.exe");
    EXPECT_EQ(Finding(0).GetCategory(), "Uninstall");
    EXPECT_EQ(Finding(0).GetRemoveKind(), "VAL");
    EXPECT_EQ(Finding(0).GetValue()->name, "UninstallString");
    EXPECT_EQ(CalledItems(), (std::vector<std::string>{
                                 "C:\\WINDOWS\\RunDll32.exe",
                                 "C:\\Program Files\\GoneApp\\unins000.exe",
                                 "C:\\Program Files\\HereApp\\uninst.exe",
                                 "MsiExec.exe",
                             }));
    EXPECT_EQ(g_calls[0].status, "Scanning Uninstall Entries");
}

TEST_F(CategoryScanTest, FindingsNameTheProgramOrItemTheyBelongTo) {
    // An uninstall entry's DisplayName, read before or after its
    // UninstallString; none without one, and none taken from the product before.
    const std::string before = std::string(kUninstall) + "\\ANamedFirst";
    Str(before, "DisplayName", "Named First");
    Str(before, "UninstallString", "C:\\Gone\\first.exe");
    const std::string after = std::string(kUninstall) + "\\BNamedLast";
    Str(after, "UninstallString", "C:\\Gone\\last.exe");
    Str(after, "DisplayName", "Named Last");
    const std::string unnamed = std::string(kUninstall) + "\\CUnnamed";
    Str(unnamed, "UninstallString", "C:\\Gone\\unnamed.exe");
    Run(&CRegistryLib::ScanRegistryUninstall);
    ASSERT_EQ(lib_->Findings().size(), 3u);
    EXPECT_EQ(OwnerNameOf(Finding(0)), "Named First");
    EXPECT_EQ(OwnerNameOf(Finding(1)), "Named Last");
    EXPECT_EQ(OwnerNameOf(Finding(2)), "");
    // The copy an unticked row puts on the ignore list keeps it.
    EXPECT_EQ(CRegErrorLog(Finding(1)).GetOwnerName(), "Named Last");

    // A COM class's name is its key's unnamed value; a class without one has none.
    lib_->Findings().clear();
    const std::string named = std::string(kClsid) + "{44444444-0000-0000-0000-000000000004}";
    Str(named, "", "Gone Widget Class");
    Str(named + "\\InprocServer32", "", "C:\\Gone\\w.dll");
    Str(named + "\\LocalServer32", "", "C:\\Gone\\w.exe");
    const std::string bare = std::string(kClsid) + "{55555555-0000-0000-0000-000000000005}";
    Str(bare + "\\InprocServer32", "", "C:\\Gone\\b.dll");
    Run(&CRegistryLib::ScanRegistryCLSID);
    ASSERT_EQ(lib_->Findings().size(), 3u);
    EXPECT_EQ(OwnerNameOf(Finding(0)), "Gone Widget Class");
    EXPECT_EQ(OwnerNameOf(Finding(1)), "Gone Widget Class");
    EXPECT_EQ(OwnerNameOf(Finding(2)), "");

    // Entries that carry the name themselves: a font's value name, an
    // application path's key name; a shared DLL's value name is its path.
    lib_->Findings().clear();
    Str(kFonts, "Gone Sans (TrueType)", "C:\\Gone\\sans.ttf");
    Run(&CRegistryLib::ScanRegistryFonts);
    ASSERT_EQ(lib_->Findings().size(), 1u);
    EXPECT_EQ(OwnerNameOf(Finding(0)), "Gone Sans (TrueType)");
    lib_->Findings().clear();
    Str(std::string(kAppPaths) + "\\GoneTool.exe", "", "C:\\Gone\\tool.exe");
    Run(&CRegistryLib::ScanRegistryAppPaths);
    ASSERT_EQ(lib_->Findings().size(), 1u);
    EXPECT_EQ(OwnerNameOf(Finding(0)), "gonetool.exe");
    lib_->Findings().clear();
    Str(kSharedDlls, "C:\\Gone\\s.dll", "1");
    Run(&CRegistryLib::ScanRegistrySharedFiles);
    ASSERT_EQ(lib_->Findings().size(), 1u);
    EXPECT_EQ(OwnerNameOf(Finding(0)), "");
}

TEST_F(CategoryScanTest, StartupCommandsOfTheRunKey) {
    Str(kRun, "Tray", "tray.exe -hide");
    Str(kRun, "Agent", "\"%ProgramFiles%\\Agent\\agent.exe\" /background");
    Str(kRun, "Gone", "C:\\Gone\\gone.exe");
    Str(kRun, "Panel", "rundll32.exe C:\\Gone\\panel.dll,Start");
    sys_.files.insert("C:\\WINDOWS\\tray.exe");
    sys_.files.insert("C:\\Program Files\\Agent\\agent.exe");

    const CScanError row = Run(&CRegistryLib::ScanRegistryStartup);
    EXPECT_EQ(row.label, "Invalid Startup Programs");
    EXPECT_EQ(row.itemsScanned, 5);
    ASSERT_EQ(row.errorsFound, 1);
    EXPECT_EQ(Finding(0).GetKeyPath(), kRun);
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Gone\\gone.exe");
    EXPECT_EQ(Finding(0).GetCategory(), "Startup");
    EXPECT_EQ(Finding(0).GetValue()->name, "Gone");
    EXPECT_EQ(CalledItems(), (std::vector<std::string>{
                                 "C:\\WINDOWS\\tray.exe", "C:\\Program Files\\Agent\\agent.exe",
                                 "C:\\Gone\\gone.exe", "C:\\WINDOWS\\rundll32.exe"}));
    EXPECT_EQ(g_calls[0].status, "Scanning Startup Programs");
}

// ------------------------------------------------- frame behaviour shared by all

TEST_F(CategoryScanTest, IgnoreListSilencesAMissingPathButNotCountsOrProgress) {
    Str(kRun, "A", "C:\\Gone\\a.exe");
    Str(kRun, "B", "C:\\Gone\\b.exe");
    Str(kRun, "C", "C:\\Gone\\c.exe");
    {
        std::FILE* f = std::fopen(kIgnoreFile, "w");
        ASSERT_NE(f, nullptr);
        std::fputs("C:\\Gone\\a.exe\nC:\\GONE\\B.EXE\n", f);
        std::fclose(f);
    }
    ResultRows rows;
    ScanCategoryStates states;
    states[kSlotStartup] = 1;
    lib_->ScanRegistry(rows, states);  // reloads the list
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->itemsScanned, 4);
    EXPECT_EQ(rows[0]->errorsFound, 2);  // b's entry differs in letter case
    EXPECT_EQ(Finding(0).GetFilePath(), "C:\\Gone\\b.exe");
    EXPECT_EQ(Finding(1).GetFilePath(), "C:\\Gone\\c.exe");
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].item, "C:\\Gone\\a.exe");
    EXPECT_EQ(g_calls[0].found, 0);
    EXPECT_EQ(g_calls[1].found, 1);
}

// A path the file system cannot answer for (a folder that may not be read,
// a short name it does not resolve) is never reported, in any category;
// the same missing paths elsewhere are.
TEST_F(CategoryScanTest, PathsTheFileSystemCannotAnswerForAreNeverReported) {
    sys_.unreadable.insert("C:\\Locked\\");
    for (const std::string dir : {"C:\\Locked", "C:\\Gone"}) {
        const std::string tag = dir.substr(3);
        Str(std::string(kClsid) + "{" + tag + "}\\InprocServer32", "", dir + "\\lib.dll");
        Str(std::string(kClsid) + "{" + tag + "2}\\LocalServer32", "", dir + "\\app.exe /Embedding");
        Str(std::string(kAppPaths) + "\\" + tag + ".exe", "", dir + "\\app.exe");
        Str(std::string(kSharedTools) + "\\" + tag, "Path", dir + "\\tool.exe");
        Str(kFonts, tag, dir + "\\f.ttf");
        ASSERT_EQ(reg_.SetDword(kSharedDlls, dir + "\\shared.dll", 1), kRegSuccess);
        Str(kDrivers, "msacm." + tag, dir + "\\drv.acm");
        Str(std::string(kUninstall) + "\\" + tag, "UninstallString", "\"" + dir + "\\uninst.exe\" /S");
        Str(kRun, tag, dir + "\\run.exe -tray");
        Str(std::string(kWin) + "\\Help", tag + ".chm", dir);
    }
    ResultRows rows;
    ScanCategoryStates states;
    for (const auto& info : kCategories)
        if (info.category != Category::Shortcuts) states[info.slot] = 1;
    lib_->ScanRegistry(rows, states);
    std::size_t gone = 0;
    for (const auto& f : lib_->Findings()) {
        EXPECT_EQ(f->GetFilePath().find("Locked"), std::string::npos) << f->GetFilePath();
        if (f->GetFilePath().find("Gone") != std::string::npos) ++gone;
    }
    EXPECT_EQ(gone, 10u);
}

TEST_F(CategoryScanTest, EveryCategoryHasItsOwnLabelAndStatus) {
    std::set<std::string> labels, statuses;
    for (const auto& info : kCategories) labels.insert(info.rowLabel);
    for (const char* s : {kStatusCom, kStatusSharedDlls, kStatusDrivers, kStatusHelp,
                          kStatusAppPaths, kStatusSharedTools, kStatusFonts, kStatusStartup,
                          kStatusUninstall})
        statuses.insert(s);
    EXPECT_EQ(labels.size(), kCategories.size());
    EXPECT_EQ(statuses.size(), 9u);
}

TEST_F(CategoryScanTest, MissingRootGivesAnEmptyRowUnqueryableRootNone) {
    // Nothing seeded: every value-list root and sub-key root is missing.
    for (auto scan : {&CRegistryLib::ScanRegistryDrivers, &CRegistryLib::ScanRegistryUninstall,
                      &CRegistryLib::ScanRegistryCLSID}) {
        lib_->Findings().clear();
        const CScanError row = Run(scan);
        EXPECT_EQ(row.itemsScanned, 0);
        EXPECT_EQ(row.errorsFound, 0);
    }
    Str(std::string(kUninstall) + "\\App", "UninstallString", "C:\\Gone\\u.exe");
    ASSERT_EQ(reg_.SetQueryInfoFailure(kUninstall, 5), kRegSuccess);
    ResultRows rows;
    lib_->ScanRegistryUninstall(rows);
    EXPECT_TRUE(rows.empty());
    EXPECT_TRUE(lib_->Findings().empty());
}

TEST_F(CategoryScanTest, StopMidScanEndsAfterTheCurrentEntryLaterScansMakeNoRow) {
    for (int i = 0; i < 6; ++i) {
        const std::string cls = std::string(kClsid) + "{" + std::to_string(i) + "}";
        Str(cls + "\\InprocServer32", "", "C:\\Gone\\" + std::to_string(i) + ".dll");
    }
    Str(kRun, "A", "C:\\Gone\\a.exe");
    Str(kFonts, "F", "f.ttf");
    g_stopAfterCalls = 2;  // the stop arrives while the second class is reported

    // Every scan reads the system directory as it starts: the slots seen then
    // show which category runs.
    ScanCategoryStates states;
    class SlotWatcher : public TableSystem {
    public:
        explicit SlotWatcher(const ScanCategoryStates& s) : states(s) {}
        std::string GetSystemDirectory() override {
            seen.push_back({states[kSlotCom], states[kSlotFonts], states[kSlotStartup]});
            return TableSystem::GetSystemDirectory();
        }
        const ScanCategoryStates& states;
        std::vector<std::vector<std::int32_t>> seen;
    } watcher(states);
    EngineServices services;
    services.registry = &reg_;
    services.system = &watcher;
    services.ignoreFile = kIgnoreFile;
    CRegistryLib lib(services);
    lib.SetProgressCallback(&RecordProgress);

    ResultRows rows;
    states[kSlotCom] = 1;
    states[kSlotFonts] = 1;
    states[kSlotStartup] = 1;
    lib.ScanRegistry(rows, states);

    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->label, "Invalid CLSID");
    EXPECT_EQ(rows[0]->itemsScanned, 2);
    EXPECT_EQ(rows[0]->errorsFound, 2);
    EXPECT_EQ(lib.Findings().size(), 2u);  // the findings so far stay
    EXPECT_EQ(g_calls.size(), 2u);
    // COM, then fonts, then startup each ran (slot 2) after the one before ended (-1).
    EXPECT_EQ(watcher.seen, (std::vector<std::vector<std::int32_t>>{{2, 1, 1}, {-1, 2, 1}, {-1, -1, 2}}));
    EXPECT_EQ(states[kSlotCom], -1);
    EXPECT_EQ(states[kSlotFonts], -1);
    EXPECT_EQ(states[kSlotStartup], -1);
}

TEST_F(CategoryScanTest, StopInsideAValueListLeavesTheRestUnread) {
    Str(kRun, "A", "C:\\Gone\\a.exe");
    Str(kRun, "B", "C:\\Gone\\b.exe");
    Str(kRun, "C", "C:\\Gone\\c.exe");
    g_stopAfterCalls = 1;
    const CScanError row = Run(&CRegistryLib::ScanRegistryStartup);
    EXPECT_EQ(row.itemsScanned, 2);  // placeholder and A
    EXPECT_EQ(row.errorsFound, 1);
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(CategoryScanTest, StopBetweenServerSubKeysLeavesTheClassUnjudged) {
    const std::string a = std::string(kClsid) + "{A}";
    Str(a + "\\InprocServer", "", "C:\\Gone\\a16.dll");
    Str(a + "\\InprocServer32", "", "C:\\Here\\a.dll");
    sys_.files.insert("C:\\Here\\a.dll");
    // The stop arrives while the first server sub-key's path is tested; the
    // next sub-key is not read. (A class's progress reports come after all
    // its server sub-keys, so the stop is made from the existence test.)
    class StoppingSystem : public TableSystem {
    public:
        bool FileExists(const std::string& path) override {
            NamedEvent(kStopEventName).Set();
            return TableSystem::FileExists(path);
        }
    };
    StoppingSystem stopping;
    stopping.files = sys_.files;
    EngineServices services;
    services.registry = &reg_;
    services.system = &stopping;
    services.ignoreFile = kIgnoreFile;
    CRegistryLib lib(services);
    lib.SetProgressCallback(&RecordProgress);
    ResultRows rows;
    lib.ScanRegistryCLSID(rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->itemsScanned, 1);
    EXPECT_EQ(rows[0]->errorsFound, 0);  // a16.dll is missing, but a.dll was never read
    EXPECT_TRUE(lib.Findings().empty());
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].item, "C:\\Gone\\a16.dll");
}

}  // namespace
}  // namespace qm
