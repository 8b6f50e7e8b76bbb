// A stop belongs to the program that asks for it: a kernel event of the stop
// event's name, set by another program (a second window, a script), neither
// stops this program's run nor is reset by it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

Win32Handle g_foreign;

void SetThroughTheForeignHandle(std::string, std::string, std::int32_t, std::int32_t) {
    ::SetEvent(g_foreign.Get());
}

TEST(StopFromAnotherProcess, AnotherProgramsEventOfTheSameNameNeitherStopsNorIsReset) {
    g_foreign.Reset(::CreateEventA(nullptr, TRUE, FALSE, kStopEventName));
    ASSERT_TRUE(g_foreign);
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
    ASSERT_EQ(rows.size(), 2u) << "the foreign set stopped nothing";
    EXPECT_EQ(lib.Findings().size(), 2u);
    EXPECT_FALSE(NamedEvent(kStopEventName).IsSignalledNow());
    // The other program's event keeps its own state.
    EXPECT_EQ(::WaitForSingleObject(g_foreign.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));

    // This program's own stop still works: the next category does not run.
    lib.SetProgressCallback([](std::string, std::string, std::int32_t, std::int32_t) {
        NamedEvent(kStopEventName).Set();
    });
    states[kSlotCom] = 1;
    states[kSlotSharedDlls] = 1;
    lib.ScanRegistry(rows, states);
    EXPECT_EQ(rows.size(), 1u);
    NamedEvent(kStopEventName).Reset();
    g_foreign.Close();
}

}  // namespace
}  // namespace qm
