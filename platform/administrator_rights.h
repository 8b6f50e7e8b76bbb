// Whether the running program holds administrator rights: on Windows, an
// elevated token of a member of the Administrators group, which writing under
// HKEY_LOCAL_MACHINE needs. Natively every process counts as holding them
// (the native build works on a registry loaded from a file of its own).
#pragma once

namespace qm {

class IAdministratorRights {
public:
    virtual ~IAdministratorRights() = default;
    virtual bool Held() = 0;
};

// The platform's check, or the one the program chose (SetDefaultAdministratorRights).
IAdministratorRights& DefaultAdministratorRights();
// Replaces the check DefaultAdministratorRights returns (not owned); nullptr
// goes back to the platform's own.
void SetDefaultAdministratorRights(IAdministratorRights* rights);

}  // namespace qm
