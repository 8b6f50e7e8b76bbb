// The registry contract on the real registry (Windows build; Wine in the tests).
#include "platform/registry_win32.h"
#include "tests/platform/registry_contract.h"

namespace qm::test {
namespace {

std::unique_ptr<IRegistry> MakeWin32() { return std::make_unique<Win32Registry>(); }

INSTANTIATE_TEST_SUITE_P(Win32, RegistryContract,
                         ::testing::Values(RegistryBackend{"Win32", &MakeWin32}), PrintBackend);

}  // namespace
}  // namespace qm::test
