// The deletion primitives of the repair: a whole key tree, one value, and the
// depth-first tree walk for systems whose key deletion refuses keys that
// still have sub-keys.
#include "engine/registry_lib.h"

namespace qm {

RegStatus CRegistryLib::RegDelKey(const std::string& rootName, const std::string& subKey) {
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kRegInvalidFunction;
    // An empty sub-key names the root itself; the 95/98/Me key deletion would
    // take the whole root tree with it. Nothing the repair removes is a root.
    if (subKey.empty()) return kRegBadKey;
    if (oldPlatform_) return registry_->RegDeleteKeyA(root, subKey.c_str());
    const std::string copy = subKey;
    return RegDeleteKeyNT(root, copy);
}

RegStatus CRegistryLib::RegDeleteKeyNT(RegKey parent, const std::string& subKey) {
    if (subKey.empty()) return kRegBadKey;
    RegKeyHandle key;
    const RegStatus opened = registry_->RegOpenKeyExA(parent, subKey.c_str(),
                                                      kKeyDeleteAndEnumerate,
                                                      key.Receive(*registry_));
    if (opened != kRegSuccess) return opened;

    RegStatus status = kRegSuccess;
    for (;;) {
        char name[256];
        name[0] = '\0';
        std::uint32_t length = sizeof name;
        const RegStatus enumerated = registry_->RegEnumKeyExA(key.Get(), 0, name, &length);
        if (enumerated == kRegNoMoreItems) {
            // Close before deleting: some registries refuse to delete an open key.
            key.Reset();
            status = registry_->RegDeleteKeyA(parent, subKey.c_str());
            break;
        }
        if (enumerated != kRegSuccess) {
            status = enumerated;
            break;
        }
        const RegStatus child = RegDeleteKeyNT(key.Get(), std::string(name, length));
        if (child != kRegSuccess) return child;  // children deleted so far stay deleted
    }
    return status;
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
