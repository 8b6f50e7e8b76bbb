// The built-in demonstration registry of the native command line.
#pragma once

namespace qm {
class MemoryRegistry;
class MemorySystem;
}  // namespace qm

namespace qm::cli {

// Fills a registry with realistic entries of every category (some naming
// files that do not exist) and the file system with the files that do.
void PopulateDemoRegistry(MemoryRegistry& registry, MemorySystem& system);

}  // namespace qm::cli
