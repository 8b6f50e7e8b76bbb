// The repairs of fix_fidelity_test.cpp on the real registry (Wine in the tests).
#include "platform/registry_win32.h"
#include "tests/repair/fix_fidelity.h"

namespace qm::test {
namespace {

std::unique_ptr<IRegistry> MakeWin32() { return std::make_unique<Win32Registry>(); }

INSTANTIATE_TEST_SUITE_P(Win32, FixFidelity, ::testing::Values(FidelityBackend{"Win32", &MakeWin32}),
                         PrintFidelityBackend);

}  // namespace
}  // namespace qm::test
