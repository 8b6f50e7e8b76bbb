// The deletion primitives of the repair: a whole key tree, one value, and the
// tree walk for systems whose key deletion refuses keys that still have
// sub-keys. A tree goes whole or not at all (see DeleteTree).
#include "engine/registry_lib.h"
#include "platform/registry_walk.h"

namespace qm {

RegStatus CRegistryLib::RegDelKey(const std::string& rootName, const std::string& subKey) {
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kRegInvalidFunction;
    // An empty sub-key names the root itself; the 95/98/Me key deletion would
    // take the whole root tree with it. Nothing the repair removes is a root.
    if (subKey.empty()) return kRegBadKey;
    if (oldPlatform_) {
        // That deletion stops at the first key it cannot remove: check first.
        const RegStatus check = CheckDeleteTree(*registry_, root, subKey);
        if (check != kRegSuccess) return check;
        return registry_->RegDeleteKeyA(root, subKey.c_str());
    }
    return RegDeleteKeyNT(root, subKey);
}

RegStatus CRegistryLib::RegDeleteKeyNT(RegKey parent, const std::string& subKey) {
    return DeleteTree(*registry_, parent, subKey);
}

RegStatus CRegistryLib::RegDelKeyValue(const std::string& rootName, const std::string& subKey,
                                       const std::string& valueName) {
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kRegInvalidFunction;
    RegKeyHandle key;
    const RegStatus opened =
        registry_->RegOpenKeyExA(root, subKey.c_str(), kKeySetValue, key.Receive(*registry_));
    if (opened != kRegSuccess) return opened;
    return registry_->RegDeleteValueA(key.Get(), valueName.c_str());
}

}  // namespace qm
