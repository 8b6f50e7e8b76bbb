// Membership of BUILTIN\Administrators in the effective token. With User
// Account Control an administrator's programs run on a filtered token whose
// Administrators entry is deny-only, and CheckTokenMembership answers no for
// it: only an elevated program holds the rights.
#include <windows.h>

#include <atomic>

#include "platform/administrator_rights.h"

namespace qm {

namespace {

class Sid {
public:
    Sid() {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                        0, 0, 0, &sid_))
            sid_ = nullptr;
    }
    ~Sid() {
        if (sid_ != nullptr) ::FreeSid(sid_);
    }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;
    PSID Get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

bool InAdministratorsGroup() {
    Sid admins;
    if (admins.Get() == nullptr) return false;
    BOOL member = FALSE;
    // A null token: the calling thread's effective token (its impersonation
    // token, or else the process token).
    return ::CheckTokenMembership(nullptr, admins.Get(), &member) && member;
}

class TokenRights final : public IAdministratorRights {
public:
    bool Held() override { return InAdministratorsGroup(); }
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
