// Membership of BUILTIN\Administrators in the effective token. With User
// Account Control an administrator's programs run on a filtered token whose
// Administrators entry is deny-only, and CheckTokenMembership answers no for
// it: only an elevated program holds the rights.
#include <windows.h>

#include <atomic>

#include "platform/administrator_rights.h"
#include "platform/handles_win32.h"

namespace qm {

namespace {

// BUILTIN\Administrators; empty when it cannot be built.
Sid AdministratorsSid() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                    0, &sid))
        return Sid();
    return Sid(sid);
}

bool InAdministratorsGroup() {
    const Sid admins = AdministratorsSid();
    if (!admins) return false;
    BOOL member = FALSE;
    // A null token: the calling thread's effective token (its impersonation
    // token, or else the process token).
    return ::CheckTokenMembership(nullptr, admins.Get(), &member) && member;
}

class TokenRights final : public IAdministratorRights {
public:
    bool Held() override { return !OrdinaryUserAsked() && InAdministratorsGroup(); }
};

std::atomic<IAdministratorRights*> g_rights{nullptr};

}  // namespace

IAdministratorRights& DefaultAdministratorRights() {
    if (IAdministratorRights* chosen = g_rights.load()) return *chosen;
    static TokenRights platform;
    return platform;
}

void SetDefaultAdministratorRights(IAdministratorRights* rights) { g_rights.store(rights); }

}  // namespace qm
