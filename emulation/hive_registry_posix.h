// The registry of an offline Windows installation: hive files loaded into a
// MemoryRegistry (each below the key Windows mounts it at), shown through the
// IRegistry operations the way Windows shows them, and written back to the
// hive files on Commit (see hive_file_posix.h).
//
// What it adds to the MemoryRegistry it holds:
// - HKEY_CLASSES_ROOT is the merged view Windows gives: the sub-keys of the
//   user's classes (HKEY_CURRENT_USER\Software\Classes, UsrClass.dat) and of
//   HKEY_LOCAL_MACHINE\SOFTWARE\Classes together, sorted, each name once; a
//   key's values are those of the user's key where it exists, else those of
//   the machine's. New keys go where Windows puts them (the machine's
//   classes, unless only the user has the parent key), values go to the key
//   that shows them, and a key deleted through HKEY_CLASSES_ROOT is the
//   user's where the user has one, else the machine's (RegClassesHiveOf
//   tells which of the two a key opened there is; a repair or restore that
//   must act on one hive alone names its key by that hive's own path). A
//   key one of whose two halves refuses the access asked for is refused
//   whole, so that an operation never falls through to the other half;
// - "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet" (opened from the
//   HKEY_LOCAL_MACHINE root) is the control set the SYSTEM hive's
//   "Select\Current" names;
// - a value larger than kHiveBigDataLimit bytes cannot be set (5, access
//   denied), and a key that holds one refuses changes to its values and its
//   own deletion as a key whose access list denies them would (see
//   HiveFile::LoadInto): the hive could not be written back without
//   changing how that value is stored, and what was deleted could not be
//   given back;
// - a new key whose name hivex would sort among its siblings otherwise than
//   Windows does (names beyond ASCII differing in case) is refused with 5:
//   Windows looks keys up in that order and could no longer find it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulation/hive_file_posix.h"
#include "emulation/registry_memory.h"

namespace qm {

class HiveRegistry : public IRegistry {
public:
    HiveRegistry();
    ~HiveRegistry() override;
    HiveRegistry(const HiveRegistry&) = delete;
    HiveRegistry& operator=(const HiveRegistry&) = delete;

    // Loads the hive file below `mountPath` ("HKEY_LOCAL_MACHINE\\SOFTWARE").
    // `writable`: it can be committed. `skip`: sub-trees of the hive (paths
    // below its root) that another hive stands for. Throws HiveError.
    void Mount(const std::string& file, const std::string& mountPath, bool writable,
               const std::vector<std::string>& skip = {});
    // HKEY_CLASSES_ROOT merges HKEY_CURRENT_USER\Software\Classes in from now on.
    void MergeUserClasses();
    // "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet" stands for
    // "HKEY_LOCAL_MACHINE\SYSTEM\<name>" (e.g. "ControlSet001").
    void SetCurrentControlSet(const std::string& name);

    // Writes every writable hive whose keys or values were changed back to its
    // file. Returns the files written. Throws HiveError: when a hive refuses
    // a change (see HiveFile::ApplyChanges) before any file is written; when
    // writing a file fails, the hives written before it stay written and the
    // failing one is unchanged.
    std::vector<std::string> Commit();

    // The key tree (for reading the installation's settings, and for tests).
    MemoryRegistry& Memory() { return memory_; }

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
    ClassesHive RegClassesHiveOf(RegKey key) override;

private:
    struct Mounted {
        std::unique_ptr<HiveFile> file;
        std::string mountPath;
        std::vector<std::string> skip;
        bool pending = false;  // changes applied to the hive but not yet written
    };
    // A key seen through HKEY_CLASSES_ROOT: the user's and the machine's key
    // of that name (either may be missing: kNullKey).
    struct Merged {
        RegKey user = kNullKey;
        RegKey machine = kNullKey;
        // The sorted union of sub-key names, valid while `generation` is current.
        std::vector<std::string> names;
        std::uint64_t generation = 0;
        bool haveNames = false;
    };

    Merged* MergedOf(RegKey key);
    // The merged view of a handle (HKEY_CLASSES_ROOT included), or null.
    Merged* ViewOf(RegKey key);
    // The key whose values a (possibly merged) handle shows.
    RegKey ValueKey(RegKey key);
    RegStatus OpenMerged(RegKey parent, const char* subKey, std::uint32_t access, bool create,
                         RegKey* result, bool* created);
    RegStatus MergedNames(Merged& m, std::vector<std::string>** names);
    RegKey NewMerged(RegKey user, RegKey machine);
    // The sub-key path with "SYSTEM\CurrentControlSet" resolved when `parent`
    // is the HKEY_LOCAL_MACHINE root.
    std::string Resolve(RegKey parent, const char* subKey) const;
    // False when the first key `subKey` would make below `parent` would go
    // where Windows would not look for it (see the header comment).
    bool PlacedInOrder(RegKey parent, const char* subKey);

    MemoryRegistry memory_;
    std::vector<Mounted> hives_;
    bool mergeClasses_ = false;
    RegKeyHandle userClasses_;  // HKEY_CURRENT_USER\Software\Classes
    std::string currentControlSet_;
    std::map<RegKey, Merged> merged_;
    Merged rootView_;  // HKEY_CLASSES_ROOT itself
    RegKey nextMerged_;
    std::uint64_t generation_ = 1;
};

}  // namespace qm
