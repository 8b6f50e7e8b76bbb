// The default answers of ISystem's optional queries, for systems that know
// no better.
#include "platform/system.h"

namespace qm {

bool ISystem::GetEnvironmentVariable(const std::string& name, std::string& value) {
    const std::string piece = "%" + name + "%";
    std::string expanded = ExpandEnvironmentStrings(piece);
    if (name.empty() || expanded == piece) return false;
    value = std::move(expanded);
    return true;
}

bool ISystem::IsDirectory(const std::string&) { return false; }

bool ISystem::IsLocalDrive(char) { return true; }

bool ISystem::PresenceUnknown(const std::string&) { return false; }

}  // namespace qm
