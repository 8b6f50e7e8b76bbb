#include <atomic>

#include "platform/administrator_rights.h"

namespace qm {

namespace {

class AlwaysHeld final : public IAdministratorRights {
public:
    bool Held() override { return !OrdinaryUserAsked(); }
};

std::atomic<IAdministratorRights*> g_rights{nullptr};

}  // namespace

IAdministratorRights& DefaultAdministratorRights() {
    if (IAdministratorRights* chosen = g_rights.load()) return *chosen;
    static AlwaysHeld platform;
    return platform;
}

void SetDefaultAdministratorRights(IAdministratorRights* rights) { g_rights.store(rights); }

}  // namespace qm
