// A stop set by another process (the kernel event set through a handle of
// its own, which the process's flag of the event does not hear of) still
// ends the run: at the latest the next category looks at the event itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "engine/registry_lib.h"
#include "platform/named_event.h"
#include "platform/registry_memory.h"
#include "platform/system_memory.h"

namespace qm {
namespace {

HANDLE g_foreign = nullptr;

void SetThroughTheForeignHandle(std::string, std::string, std::int32_t, std::int32_t) {
    ::SetEvent(g_foreign);
}

TEST(StopFromAnotherProcess, EndsTheRunAtTheNextCategory) {
    g_foreign = ::CreateEventA(nullptr, TRUE, FALSE, kStopEventName);
    ASSERT_NE(g_foreign, nullptr);
    MemoryRegistry registry;
    MemorySystem system;
    EngineServices services;
    services.registry = &registry;
    services.system = &system;
    services.ignoreFile = "engine-foreign-stop-ignore.lst";
    CRegistryLib lib(services);
    registry.SetString("HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", "",
                       "C:\\missing\\gone.dll");
    registry.SetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                      "C:\\missing\\shared.dll", 1);
    lib.SetProgressCallback(&SetThroughTheForeignHandle);
    ScanCategoryStates states;
    states[kSlotCom] = 1;
    states[kSlotSharedDlls] = 1;
    ResultRows rows;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->label, "Invalid CLSID");
    EXPECT_EQ(states[kSlotSharedDlls], -1);
    EXPECT_TRUE(NamedEvent(kStopEventName).IsSignalled());

    // The next run resets it, for other processes too.
    lib.SetProgressCallback(nullptr);
    states[kSlotCom] = 1;
    states[kSlotSharedDlls] = 1;
    lib.ScanRegistry(rows, states);
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(::WaitForSingleObject(g_foreign, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ::CloseHandle(g_foreign);
    g_foreign = nullptr;
}

}  // namespace
}  // namespace qm
