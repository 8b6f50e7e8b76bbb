// The registry service: the advapi32 operations the program uses, behind an
// interface so that the engine can run against the real registry (Win32) or
// against a key tree held in memory or loaded from a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qm {

// Opaque key handle. The five predefined roots carry the 32-bit values that
// Windows documents for them; backends map them to their own handles.
using RegKey = std::uintptr_t;
using RegStatus = std::int32_t;

constexpr RegKey kNullKey = 0;
constexpr RegKey kHkeyClassesRoot = 0x80000000u;
constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr RegKey kHkeyUsers = 0x80000003u;
constexpr RegKey kHkeyCurrentConfig = 0x80000005u;

// Status codes, as the Windows registry API returns them.
constexpr RegStatus kRegSuccess = 0;
constexpr RegStatus kRegInvalidFunction = 1;  // also: unknown root name
constexpr RegStatus kRegFileNotFound = 2;
constexpr RegStatus kRegAccessDenied = 5;
constexpr RegStatus kRegInvalidHandle = 6;       // closed or unknown handle
constexpr RegStatus kRegInvalidParameter = 87;
constexpr RegStatus kRegBadPathname = 161;       // sub-key path starting with "\\"
constexpr RegStatus kRegMoreData = 234;
constexpr RegStatus kRegNoMoreItems = 259;
constexpr RegStatus kRegNoAccess = 998;          // null data pointer with a non-zero size
constexpr RegStatus kRegBadKey = 1010;
constexpr RegStatus kRegKeyDeleted = 1018;       // the handle's key has been deleted

// Value type codes.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegDwordBigEndian = 5;
constexpr std::uint32_t kRegLink = 6;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegResourceList = 8;
constexpr std::uint32_t kRegFullResourceDescriptor = 9;
constexpr std::uint32_t kRegResourceRequirementsList = 10;
constexpr std::uint32_t kRegQword = 11;

// Access masks the program passes to RegOpenKeyExA.
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyDeleteAndEnumerate = 0x10008;
constexpr std::uint32_t kKeyRead = 0x20019;
// The single rights the operations check on a handle (as Windows does):
// RegQueryInfoKeyA, RegQueryValueExA, RegEnumValueA need kKeyQueryValue;
// RegEnumKeyExA needs kKeyEnumerateSubKeys; RegSetValueExA and
// RegDeleteValueA need kKeySetValue. RegDeleteKeyA opens the sub-key itself
// with kDelete, so the parent handle needs no particular right.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kMaximumAllowed = 0x02000000;
// The registry view of 64-bit Windows an open or create call works in (added
// to its access mask, as advapi32 takes them): the 64-bit view (what a 64-bit
// program sees by default) or the 32-bit view of 32-bit programs, where
// redirected keys live under "Wow6432Node" keys (see registry_view.h).
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
constexpr std::uint32_t kKeyWow64Res = kKeyWow64_64Key | kKeyWow64_32Key;

enum class RegView : std::uint8_t { k64, k32 };
// The access bit of a view: kKeyWow64_64Key or kKeyWow64_32Key.
constexpr std::uint32_t ViewAccess(RegView view) {
    return view == RegView::k32 ? kKeyWow64_32Key : kKeyWow64_64Key;
}
// "64" or "32".
constexpr const char* ViewName(RegView view) { return view == RegView::k32 ? "32" : "64"; }

// Where a key of HKEY_CLASSES_ROOT lives when that root is the merged view of
// two hives, as Windows shows it: the user's classes
// (HKEY_CURRENT_USER\Software\Classes, the profile's UsrClass.dat) over the
// machine's (HKEY_LOCAL_MACHINE\SOFTWARE\Classes). kMerged: the registry
// does not tell (Windows' own, a registry file), and a path below
// HKEY_CLASSES_ROOT is used as it is.
enum class ClassesHive : std::uint8_t { kMerged, kUser, kMachine };
// "user", "machine", or "" for kMerged.
constexpr const char* ClassesHiveName(ClassesHive hive) {
    return hive == ClassesHive::kUser ? "user" : hive == ClassesHive::kMachine ? "machine" : "";
}
// The full path `fullPath` ("HKEY_CLASSES_ROOT\CLSID\{...}", root name in
// any case) stands for in `hive`: "HKEY_CURRENT_USER\Software\Classes\..."
// or "HKEY_LOCAL_MACHINE\SOFTWARE\Classes\...". Other paths, and any path
// with kMerged, are given back as they are.
std::string ClassesHivePath(const std::string& fullPath, ClassesHive hive);

// What RegQueryInfoKeyA reports. Lengths are in bytes (characters) without
// the terminating zero, as Windows reports them.
struct RegKeyInfo {
    std::uint32_t subKeys = 0;
    std::uint32_t maxSubKeyLen = 0;
    std::uint32_t values = 0;
    std::uint32_t maxValueNameLen = 0;
    std::uint32_t maxValueLen = 0;
};

// The root names accepted in key paths ("HKEY_LOCAL_MACHINE", ...), compared
// without regard to case. Returns kNullKey for anything else.
RegKey RootKeyFromName(const std::string& name);
// The canonical upper-case name of a root handle, or "" for other handles.
std::string RootKeyName(RegKey root);

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Each operation mirrors the advapi32 function of the same name:
    // same arguments (reduced to what the program uses), same status codes,
    // same buffer-length conventions (lengths in and out are in bytes; a
    // name length on output excludes the terminating zero).
    //
    // Behaviour the real registry shows and the memory backend copies
    // (checked by tests/platform/registry_contract_test.cpp):
    // - Views: RegOpenKeyExA and RegCreateKeyExA take kKeyWow64_32Key (or
    //   kKeyWow64_64Key, the default) in their access; the path below
    //   `parent` is then followed in that view. Every other call, and an open
    //   without a view bit below a handle, follows names literally: a handle
    //   opened in the 32-bit view stands for the key it reached (such as
    //   HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\X), so its sub-keys are
    //   reached and deleted through it in that view.
    // - RegOpenKeyA with a null or empty sub-key gives back `parent` itself,
    //   not a new handle: closing both closes one handle twice. RegOpenKeyExA
    //   with an empty sub-key gives a root back as it is and a new handle
    //   for any other key.
    // - Sub-keys enumerate sorted without regard to case; a path may repeat or
    //   end with "\\" but not start with it (161).
    // - 234: RegEnumKeyExA leaves the name length as it was (a name of n
    //   characters needs a length of n + 1); RegEnumValueA leaves the name
    //   length, writes the type and puts the needed data size in `dataLen`;
    //   RegQueryValueExA puts the needed size in `dataLen`.
    // - A handle answers only for the rights it was opened with (5):
    //   kKeySetValue for RegSetValueExA / RegDeleteValueA, kKeyQueryValue for
    //   RegQueryValueExA / RegEnumValueA / RegQueryInfoKeyA,
    //   kKeyEnumerateSubKeys for RegEnumKeyExA.
    // - 6 for a closed or unknown handle, 1018 for a handle whose key was
    //   deleted; RegDeleteKeyA gives 5 for a key that still has sub-keys.
    virtual RegStatus RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) = 0;
    virtual RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                                    RegKey* result) = 0;
    virtual RegStatus RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) = 0;
    // Options 0 and KEY_ALL_ACCESS. `created`, when not null, receives true
    // for a new key and false for an existing one. `view` is 0 or a view bit
    // (kKeyWow64_32Key, kKeyWow64_64Key), added to KEY_ALL_ACCESS.
    virtual RegStatus RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                                      bool* created, std::uint32_t view = 0) = 0;
    virtual RegStatus RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) = 0;
    virtual RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                    std::uint32_t* nameLen) = 0;
    // `type`, `data` and `dataLen` may be null as with the real API.
    virtual RegStatus RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                                    std::uint32_t* nameLen, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* dataLen) = 0;
    virtual RegStatus RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* dataLen) = 0;
    virtual RegStatus RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t dataLen) = 0;
    virtual RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) = 0;
    virtual RegStatus RegDeleteValueA(RegKey key, const char* name) = 0;
    virtual RegStatus RegCloseKey(RegKey key) = 0;

    // True when two open handles stand for the same key, as a key that both
    // views share gives in each of them. The default compares the handles:
    // a backend with views answers for its keys.
    virtual bool RegIsSameKey(RegKey a, RegKey b) { return a == b; }

    // Where an open key reached through HKEY_CLASSES_ROOT lives: kUser when
    // the user's classes hold a key of its path (a deletion through
    // HKEY_CLASSES_ROOT takes that one, as on Windows), else kMachine. The
    // default, for a backend without two hives behind that root: kMerged.
    virtual ClassesHive RegClassesHiveOf(RegKey key) {
        (void)key;
        return ClassesHive::kMerged;
    }
};

// Owns one open key and closes it when it goes out of scope.
class RegKeyHandle {
public:
    RegKeyHandle() = default;
    RegKeyHandle(IRegistry& reg, RegKey key) : reg_(&reg), key_(key) {}
    RegKeyHandle(const RegKeyHandle&) = delete;
    RegKeyHandle& operator=(const RegKeyHandle&) = delete;
    RegKeyHandle(RegKeyHandle&& o) noexcept : reg_(o.reg_), key_(o.key_) { o.key_ = kNullKey; }
    RegKeyHandle& operator=(RegKeyHandle&& o) noexcept {
        if (this != &o) {
            Reset();
            reg_ = o.reg_;
            key_ = o.key_;
            o.key_ = kNullKey;
        }
        return *this;
    }
    ~RegKeyHandle() { Reset(); }

    RegKey Get() const { return key_; }
    explicit operator bool() const { return key_ != kNullKey; }
    RegKey Release() {
        RegKey k = key_;
        key_ = kNullKey;
        return k;
    }
    void Reset() {
        if (reg_ && key_ != kNullKey) reg_->RegCloseKey(key_);
        key_ = kNullKey;
    }
    // For passing to an open call: closes any key held, then points at the slot.
    RegKey* Receive(IRegistry& reg) {
        Reset();
        reg_ = &reg;
        return &key_;
    }

private:
    IRegistry* reg_ = nullptr;
    RegKey key_ = kNullKey;
};

// The real registry in the Windows build; in the native build, the registry
// chosen by the program at start-up (see SetDefaultRegistry).
IRegistry& DefaultRegistry();
// Replaces the registry DefaultRegistry returns (not owned). Used by the
// native command line and by tests.
void SetDefaultRegistry(IRegistry* registry);

}  // namespace qm
