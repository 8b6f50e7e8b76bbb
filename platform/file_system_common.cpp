// The default answers of IFileSystem's optional queries.
#include "platform/file_system.h"

namespace qm {

bool IFileSystem::IsHostFolderDrive(const std::string&) { return false; }

}  // namespace qm
