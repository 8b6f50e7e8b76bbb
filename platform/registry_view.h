// The 32-bit registry view of 64-bit Windows as a key tree that holds both
// views, the way the 64-bit registry editor shows and exports it: a key that
// is redirected for 32-bit programs has its 32-bit twin below a "Wow6432Node"
// key; every other key is shared by both views. Backends that keep a tree of
// their own (memory, registry files) follow 32-bit paths through this.
//
// The rules are those of Windows 7 and later:
// - HKEY_LOCAL_MACHINE\SOFTWARE is redirected to SOFTWARE\Wow6432Node, except
//   SOFTWARE\Classes (below) and the shared keys of kWow64SharedSoftwareKeys
//   (App Paths, Fonts, Shared Tools\MSInfo, ...);
// - in SOFTWARE\Classes of the machine (HKEY_CLASSES_ROOT) and of each user
//   (HKEY_CURRENT_USER\Software\Classes, HKEY_USERS\<user>\Software\Classes)
//   only CLSID, DirectShow, Interface, Media Type and MediaFoundation are
//   redirected, to Classes\Wow6432Node\<name>; the rest is shared;
// - everything else (the rest of the user's Software, SYSTEM, ...) is shared;
// - a path that already names a Wow6432Node key at its redirection point is
//   taken as it is.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

// The key names below HKEY_LOCAL_MACHINE\SOFTWARE that both views share.
extern const std::vector<std::string> kWow64SharedSoftwareKeys;

// The literal path of the key that `path` (names below `root`, one per
// element) reaches in `view`. `root` is one of the five predefined roots;
// HKEY_CLASSES_ROOT paths are taken as below HKEY_LOCAL_MACHINE\SOFTWARE\Classes
// and given back below HKEY_CLASSES_ROOT. The 64-bit view gives `path` back.
std::vector<std::string> ViewPath(RegKey root, const std::vector<std::string>& path,
                                  RegView view);

// The same for a full path text ("HKEY_LOCAL_MACHINE\\SOFTWARE\\X"); a path
// whose root is not a root name is given back unchanged.
std::string ViewPathText(const std::string& fullPath, RegView view);

// The view a literal full path belongs to: 32 when it runs through a
// Wow6432Node key, else 64.
RegView ViewOfPath(const std::string& fullPath);

}  // namespace qm

namespace qm {

// Another registry seen through one view: every open or create below a
// predefined root follows its path in `view`, and a key path deleted below a
// root is deleted in that view. Calls below an open handle go through as
// they are (the handle is in the view already). Not owning.
class ViewRegistry : public IRegistry {
public:
    ViewRegistry(IRegistry& base, RegView view) : base_(base), view_(view) {}
    RegView View() const { return view_; }
    IRegistry& Base() const { return base_; }

    RegStatus RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) override;
    RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                            RegKey* result) override;
    RegStatus RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) override;
    RegStatus RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result, bool* created,
                              std::uint32_t view = 0) override;
    RegStatus RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override {
        return base_.RegQueryInfoKeyA(key, info);
    }
    RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                            std::uint32_t* nameLen) override {
        return base_.RegEnumKeyExA(key, index, name, nameLen);
    }
    RegStatus RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                            std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataLen) override {
        return base_.RegEnumValueA(key, index, name, nameLen, type, data, dataLen);
    }
    RegStatus RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* dataLen) override {
        return base_.RegQueryValueExA(key, name, type, data, dataLen);
    }
    RegStatus RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t dataLen) override {
        return base_.RegSetValueExA(key, name, type, data, dataLen);
    }
    RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) override;
    RegStatus RegDeleteValueA(RegKey key, const char* name) override {
        return base_.RegDeleteValueA(key, name);
    }
    RegStatus RegCloseKey(RegKey key) override { return base_.RegCloseKey(key); }
    bool RegIsSameKey(RegKey a, RegKey b) override { return base_.RegIsSameKey(a, b); }
    ClassesHive RegClassesHiveOf(RegKey key) override { return base_.RegClassesHiveOf(key); }

private:
    bool ViewApplies(RegKey parent) const;

    IRegistry& base_;
    RegView view_;
};

}  // namespace qm
