// CThreadSummary: the result window on a thread of its own, started and
// closed as a panel does it, on an in-memory registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>

#include "control/thread_summary_win32.h"
#include "platform/handles_win32.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"
#include "tests/ui/screen_capture_win32.h"
#include "ui/skin_resource_win32.h"

namespace qm {
namespace {

const std::string kAppPaths = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// Holds the scanning worker inside the registry until the gate opens,
// whatever the stop event says: a result window that cannot close.
class GateRegistry : public MemoryRegistry {
public:
    GateRegistry() : gate(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen) override {
        if (closed) {
            held = true;
            WaitForSingleObject(gate.Get(), 20000);
        }
        return MemoryRegistry::RegEnumKeyExA(key, index, name, nameLen);
    }
    Win32Handle gate;
    std::atomic<bool> closed{false};
    std::atomic<bool> held{false};
};

HWND ResultWindowOf(HANDLE thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        GetThreadId(thread),
        [](HWND w, LPARAM p) -> BOOL {
            char name[64] = "";
            GetClassNameA(w, name, sizeof name);
            if (std::string(name) != kResultWindowClass || !IsWindowVisible(w)) return TRUE;
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= milliseconds) return false;
        Sleep(10);
    }
    return true;
}

class ThreadSummaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::DisplayAvailable()) GTEST_SKIP() << "no display: run under Xvfb with DISPLAY set";
        setup_.skin.SetSkinFile("Skin.ini");
        ASSERT_TRUE(LoadBuiltInSkin(setup_.skin));
        setup_.states[kSlotAppPaths] = 1;
        NamedEvent(kStopEventName).Reset();
        ScanInProgress.store(1);  // as the panel leaves it
    }
    void TearDown() override {
        if (thread_) WaitForSingleObject(thread_.Get(), 30000);
        thread_.Close();
        NamedEvent(kStopEventName).Reset();
        NamedEvent(kAbortedEventName).Reset();
        ScanInProgress.store(0);
    }
    void Start(IRegistry& registry) {
        setup_.engine = EngineServices{&registry, nullptr, "ignore.lst"};
        thread_ = CThreadSummary::Start(setup_);
        ASSERT_TRUE(thread_);
    }

    CThreadSummary::Setup setup_;
    Win32Handle thread_;
};

TEST_F(ThreadSummaryTest, ScansTheGivenCategoriesOnItsOwnThreadAndCloseEndsIt) {
    MemoryRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    ASSERT_NO_FATAL_FAILURE(Start(registry));
    HWND list = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        HWND window = ResultWindowOf(thread_.Get());
        list = window != nullptr ? FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr) : nullptr;
        return list != nullptr && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 2;
    })) << "the scan-complete list: App Paths and the shortcuts";
    EXPECT_NE(GetThreadId(thread_.Get()), GetCurrentThreadId());

    const DWORD start = GetTickCount();
    EXPECT_TRUE(CThreadSummary::Close(thread_.Get(), 10000));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(ScanInProgress.load(), 0);
    EXPECT_TRUE(registry.KeyExists(kAppPaths + "\\qm-gone.exe")) << "nothing repaired";
}

TEST_F(ThreadSummaryTest, CloseGivesUpAfterItsTimeOnAWindowThatCannotClose) {
    GateRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    registry.closed = true;
    ASSERT_NO_FATAL_FAILURE(Start(registry));
    ASSERT_TRUE(WaitFor([&] { return registry.held.load() && ResultWindowOf(thread_.Get()) != nullptr; }));

    const DWORD start = GetTickCount();
    EXPECT_FALSE(CThreadSummary::Close(thread_.Get(), 700));
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 690u);
    EXPECT_LT(took, 3000u);

    // Let go, the cancel already asked for closes it.
    registry.closed = false;
    SetEvent(registry.gate.Get());
    EXPECT_TRUE(CThreadSummary::Close(thread_.Get(), 20000));
    EXPECT_EQ(ScanInProgress.load(), 0);
}

TEST_F(ThreadSummaryTest, ASkinWithoutItsScreensEndsTheThreadAndTheScan) {
    setup_.skin.UseSkinText("[MAINSCREENINFO]\r\nMain=home_on.gif\r\n");
    MemoryRegistry registry;
    ASSERT_NO_FATAL_FAILURE(Start(registry));
    EXPECT_EQ(WaitForSingleObject(thread_.Get(), 20000), WAIT_OBJECT_0);
    EXPECT_EQ(ScanInProgress.load(), 0) << "no window would ever end it";
}

}  // namespace
}  // namespace qm
