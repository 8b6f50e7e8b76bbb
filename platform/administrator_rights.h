// Whether the running program holds administrator rights: on Windows, an
// elevated token of a member of the Administrators group, which writing under
// HKEY_LOCAL_MACHINE needs. Natively every process counts as holding them
// (the native build works on a registry loaded from a file of its own),
// unless told otherwise (below).
#pragma once

#include <cstdlib>

namespace qm {

// Set (to anything but "" or "0"), the platform's check answers no, whatever
// the token: the program behaves as for an ordinary user, as its tests need
// where the only account at hand is an administrator. It never grants rights.
constexpr const char* kOrdinaryUserEnvironmentVariable = "QUILLMERE_ORDINARY_USER";

inline bool OrdinaryUserAsked() {
    const char* value = std::getenv(kOrdinaryUserEnvironmentVariable);
    return value != nullptr && value[0] != '\0' && !(value[0] == '0' && value[1] == '\0');
}

class IAdministratorRights {
public:
    virtual ~IAdministratorRights() = default;
    virtual bool Held() = 0;
};

// The platform's check (see kOrdinaryUserEnvironmentVariable), or the one the
// program chose (SetDefaultAdministratorRights).
IAdministratorRights& DefaultAdministratorRights();
// Replaces the check DefaultAdministratorRights returns (not owned); nullptr
// goes back to the platform's own.
void SetDefaultAdministratorRights(IAdministratorRights* rights);

}  // namespace qm
