// The process's flag of a named event against changes it does not make
// itself: another process setting or resetting the event (here a kernel
// handle of the same name opened apart from the NamedEvent table, which the
// flag knows nothing of, as of another process's handle).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/handles_win32.h"
#include "platform/named_event.h"

namespace qm {
namespace {

// A manual-reset event of `name`, opened apart from the NamedEvent table.
Win32Handle ForeignEvent(const char* name) {
    return Win32Handle(::CreateEventA(nullptr, TRUE, FALSE, name));
}

// Polls the cheap test until it gives `want`; the time it took.
std::chrono::milliseconds WaitForFlag(const NamedEvent& event, bool want) {
    const auto start = std::chrono::steady_clock::now();
    while (event.IsSignalled() != want && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST(NamedEventForeignHandle, ChangesMadeOutsideTheProcessTableReachTheFlag) {
    const Win32Handle foreign = ForeignEvent("QuillmereTestEventForeign");
    ASSERT_NE(foreign.Get(), nullptr);
    NamedEvent event("QuillmereTestEventForeign");
    EXPECT_FALSE(event.IsSignalledNow());

    ASSERT_TRUE(::SetEvent(foreign.Get()));
    EXPECT_TRUE(event.IsSignalledNow()) << "the event itself is looked at";
    EXPECT_TRUE(event.IsSignalled()) << "and the flag follows it";

    ASSERT_TRUE(::ResetEvent(foreign.Get()));
    // The cheap test sees it once the flag is older than the recheck period.
    const auto took = WaitForFlag(event, false);
    EXPECT_FALSE(event.IsSignalled());
    EXPECT_LT(took.count(), 2000);

    ASSERT_TRUE(::SetEvent(foreign.Get()));
    WaitForFlag(event, true);
    EXPECT_TRUE(event.IsSignalled()) << "a stop set by another process is seen by the per-entry test";

    event.Reset();
    EXPECT_EQ(::WaitForSingleObject(foreign.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a reset here resets the kernel event others see";
    event.Set();
    EXPECT_EQ(::WaitForSingleObject(foreign.Get(), 0), WAIT_OBJECT_0);
    event.Reset();
}

TEST(NamedEventForeignHandle, AnEventAlreadySetWhenFirstOpenedIsSeenAtOnce) {
    const Win32Handle foreign = ForeignEvent("QuillmereTestEventPreset");
    ASSERT_TRUE(::SetEvent(foreign.Get()));
    NamedEvent event("QuillmereTestEventPreset");
    EXPECT_TRUE(event.IsSignalled());
    event.Reset();
}

}  // namespace
}  // namespace qm
