// The deletion primitives of the repair: a whole key tree, one value, and the
// tree walk for systems whose key deletion refuses keys that still have
// sub-keys. A tree goes whole or not at all (see DeleteTree).
#include "platform/registry_walk.h"
#include "repair/registry_repair.h"

namespace qm {

RegStatus CRegistryRepair::RegDelKey(const std::string& rootName, const std::string& subKey, RegView view) {
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kRegInvalidFunction;
    // An empty sub-key names the root itself; the 95/98/Me key deletion would
    // take the whole root tree with it. Nothing the repair removes is a root.
    if (subKey.empty()) return kRegBadKey;
    if (engine_.IsOldPlatform()) {
        // That deletion stops at the first key it cannot remove: check first.
        IRegistry& registry = Registry(view);
        const RegStatus check = CheckDeleteTree(registry, root, subKey);
        if (check != kRegSuccess) return check;
        return registry.RegDeleteKeyA(root, subKey.c_str());
    }
    return RegDeleteKeyNT(root, subKey, view);
}

RegStatus CRegistryRepair::RegDeleteKeyNT(RegKey parent, const std::string& subKey, RegView view) {
    return DeleteTree(Registry(view), parent, subKey);
}

RegStatus CRegistryRepair::RegDelKeyValue(const std::string& rootName, const std::string& subKey,
                                          const std::string& valueName, RegView view) {
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kRegInvalidFunction;
    IRegistry& registry = Registry(view);
    RegKeyHandle key;
    const RegStatus opened =
        registry.RegOpenKeyExA(root, subKey.c_str(), kKeySetValue, key.Receive(registry));
    if (opened != kRegSuccess) return opened;
    return registry.RegDeleteValueA(key.Get(), valueName.c_str());
}

}  // namespace qm
