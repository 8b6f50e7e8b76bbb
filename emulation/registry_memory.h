// A registry held in memory that behaves, as far as a caller of IRegistry can
// tell, like the registry of the Windows NT family:
//
// - the five roots exist; HKEY_CLASSES_ROOT shows the key
//   HKEY_LOCAL_MACHINE\SOFTWARE\Classes (both are created at start and cannot
//   be deleted);
// - key and value names are compared without regard to case, upper-cased
//   unit by unit in UTF-16 as Windows does (see name_case.h), and kept as
//   written; a sub-key is found, added and removed, and the n-th one
//   reached, in logarithmic time whatever the count of its siblings
//   (ordered_index.h); a value is found in constant time;
// - sub-keys are enumerated sorted by their upper-cased names, compared as
//   UTF-16 code units (the order of the NT hive); values are enumerated in the
//   order they were created. Deleting an item moves the later ones down by one;
//   index n past the last item gives 259;
// - RegQueryInfoKeyA counts the longest names in UTF-16 units, as the NT
//   registry does, while RegEnumKeyExA and RegEnumValueA need room for the
//   8-bit name: a name of non-ASCII letters takes more bytes than reported;
// - data is kept as bytes with its type. For the text types (1, 2, 7) the NT
//   call stores the text as UTF-16, so RegQueryInfoKeyA reports their longest
//   data as the UTF-16 size, while queries return the ANSI size. A text of
//   n > 0 bytes whose last byte is not zero but whose byte n is zero is stored
//   with that zero (NT adds a forgotten terminator, reading one byte past the
//   given size as Windows does);
// - buffer conventions, status codes (2, 5, 6, 87, 161, 234, 259, 998, 1018)
//   and the lengths written on 234 follow the advapi32 functions: see the
//   notes in registry_memory.cpp;
// - each open returns a new handle; a handle keeps its granted access rights
//   and operations check them (5 when missing). Operations on a closed or
//   unknown handle give 6; on a handle whose key was deleted, 1018.
//   RegOpenKeyA with a null or empty sub-key returns the handle passed in (no
//   new handle), as advapi32 does; RegOpenKeyExA with an empty sub-key returns
//   a root handle itself, and a new handle for any other key;
// - RegQueryInfoKeyA's longest figures are those the NT hive keeps: they grow
//   with new names and larger data, and fall to 0 only when the list of
//   sub-keys (or values) becomes empty, so after a deletion they may be larger
//   than what is left (upper bounds, as callers must treat them);
// - RegDeleteKeyA refuses a key that still has sub-keys with 5, unless the
//   Windows 95/98/Me behaviour is chosen, which deletes the whole subtree.
//
// For tests there are helpers that work on full paths
// ("HKEY_LOCAL_MACHINE\\SOFTWARE\\X"), a way to hold sub-key names longer than
// the 255 characters the real registry allows, keys that refuse deletion and
// keys whose RegQueryInfoKeyA fails. All calls are serialised by one mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace qm {

class MemoryRegistry : public IRegistry {
public:
    // `win9xKeyDeletion`: RegDeleteKeyA deletes a key with its whole subtree
    // (Windows 95/98/Me) instead of refusing a key that has sub-keys (NT).
    explicit MemoryRegistry(bool win9xKeyDeletion = false);
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    void SetWin9xKeyDeletion(bool on);

    // IRegistry
    RegStatus RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) override;
    RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                            RegKey* result) override;
    RegStatus RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) override;
    RegStatus RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                              bool* created, std::uint32_t view = 0) override;
    RegStatus RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) override;
    RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                            std::uint32_t* nameLen) override;
    RegStatus RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen,
                            std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataLen) override;
    RegStatus RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* dataLen) override;
    RegStatus RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t dataLen) override;
    RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) override;
    RegStatus RegDeleteValueA(RegKey key, const char* name) override;
    RegStatus RegCloseKey(RegKey key) override;
    bool RegIsSameKey(RegKey a, RegKey b) override;

    // ---- Helpers for tests and the demonstration registry. Paths are full:
    // a root name (any case) and sub-keys separated by "\\". They return 1 for
    // an unknown root, 2 for a missing key, 0 on success.

    // Creates the key and every missing key above it. Unlike RegCreateKeyExA it
    // accepts names longer than 255 characters.
    RegStatus CreateKeyPath(const std::string& fullPath);
    // Creates the key path if needed and stores the value as given (no
    // terminator is added to text).
    RegStatus SetValue(const std::string& fullPath, const std::string& name, std::uint32_t type,
                       const std::vector<std::uint8_t>& bytes);
    // The same below an open key, for a loader that fills a tree key by key
    // without walking it from its root each time: the key `subPath` names
    // below `parent` made as CreateKeyPath makes it, with a new handle of all
    // rights to it in `result`; a value set as SetValue sets it. 6 for a
    // handle that is not open.
    RegStatus CreateKeyPath(RegKey parent, const std::string& subPath, RegKey* result);
    RegStatus SetValue(RegKey key, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> bytes);
    // Text with its terminating zero (type REG_SZ unless given).
    RegStatus SetString(const std::string& fullPath, const std::string& name,
                        const std::string& text, std::uint32_t type = kRegSz);
    RegStatus SetDword(const std::string& fullPath, const std::string& name, std::uint32_t value);
    bool KeyExists(const std::string& fullPath) const;
    bool ValueExists(const std::string& fullPath, const std::string& name) const;
    // The stored bytes and type of a value; false when the key or value is missing.
    bool GetValue(const std::string& fullPath, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* bytes) const;
    // The names of the key's sub-keys and values in enumeration order.
    std::vector<std::string> SubKeyNames(const std::string& fullPath) const;
    std::vector<std::string> ValueNames(const std::string& fullPath) const;

    // The key refuses deletion as a key whose access list denies DELETE and
    // KEY_SET_VALUE would: RegDeleteKeyA on it gives 5, so do RegDeleteValueA
    // and RegSetValueExA in it, and RegOpenKeyExA / RegCreateKeyExA asking for
    // either right. Returns 2 when the key does not exist.
    RegStatus SetDenyDelete(const std::string& fullPath, bool deny = true);
    // RegQueryInfoKeyA on the key returns `status` (0 restores normal
    // behaviour). Returns 2 when the key does not exist.
    RegStatus SetQueryInfoFailure(const std::string& fullPath, RegStatus status);

    // Handles currently open (not counting the root handles), for leak checks.
    std::size_t OpenHandleCount() const;

private:
    struct Node;
    struct Handle {
        std::shared_ptr<Node> node;
        std::uint32_t access;
    };

    std::shared_ptr<Node> NodeOfLocked(RegKey key, RegStatus* status,
                                       std::uint32_t neededAccess = 0) const;
    // Where a path below `node` starts from in the view `access` names: the
    // node itself, or for the 32-bit view its root with `parts` made the
    // whole path of the key in that view.
    std::shared_ptr<Node> ViewStartLocked(std::shared_ptr<Node> node,
                                          std::vector<std::string>* parts,
                                          std::uint32_t access) const;
    // The key `subKey` names below `parent` (the parent itself when empty),
    // followed in the view of `access`.
    std::shared_ptr<Node> ResolveLocked(RegKey parent, const char* subKey, RegStatus* status,
                                        std::uint32_t access = 0) const;
    std::shared_ptr<Node> FindPathLocked(const std::string& fullPath) const;
    std::shared_ptr<Node> CreatePathLocked(const std::string& fullPath, RegStatus* status);
    RegKey NewHandleLocked(const std::shared_ptr<Node>& node, std::uint32_t access);
    RegStatus OpenLocked(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result);
    RegStatus CreateLocked(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result,
                           bool* created);

    mutable std::mutex mutex_;
    bool win9xKeyDeletion_;
    std::unordered_map<RegKey, std::shared_ptr<Node>> roots_;
    std::unordered_map<RegKey, Handle> handles_;
    RegKey nextHandle_;
};

}  // namespace qm
