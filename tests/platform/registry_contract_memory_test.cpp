// The registry contract on the in-memory registry (both builds).
#include "emulation/registry_memory.h"
#include "tests/platform/registry_contract.h"

namespace qm::test {
namespace {

std::unique_ptr<IRegistry> MakeMemory() { return std::make_unique<MemoryRegistry>(); }

INSTANTIATE_TEST_SUITE_P(Memory, RegistryContract,
                         ::testing::Values(RegistryBackend{"Memory", &MakeMemory}), PrintBackend);

}  // namespace
}  // namespace qm::test
