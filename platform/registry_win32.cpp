// advapi32 behind IRegistry.
#include "platform/registry_win32.h"

#include <windows.h>

#include <atomic>

namespace qm {

namespace {

// The predefined keys are 32-bit values with the top bit set; a 64-bit HKEY
// holds them sign-extended.
constexpr RegKey kPredefinedFirst = 0x80000000u;
constexpr RegKey kPredefinedLast = 0xFFFFFFFFu;

HKEY ToHkey(RegKey key) {
    if (key >= kPredefinedFirst && key <= kPredefinedLast) {
        return reinterpret_cast<HKEY>(
            static_cast<std::intptr_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(key))));
    }
    return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) {
    const auto value = static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(key));
    if (value < 0 && value >= static_cast<std::intptr_t>(INT32_MIN)) {
        return static_cast<RegKey>(static_cast<std::uint32_t>(value));
    }
    return reinterpret_cast<RegKey>(key);
}

// DWORD and std::uint32_t are distinct types of the same size; calls go
// through a DWORD copy of each in/out length.
class DwordSlot {
public:
    explicit DwordSlot(std::uint32_t* p) : p_(p), value_(p ? *p : 0) {}
    ~DwordSlot() {
        if (p_) *p_ = static_cast<std::uint32_t>(value_);
    }
    DwordSlot(const DwordSlot&) = delete;
    DwordSlot& operator=(const DwordSlot&) = delete;
    DWORD* Get() { return p_ ? &value_ : nullptr; }

private:
    std::uint32_t* p_;
    DWORD value_;
};

class HkeyOut {
public:
    explicit HkeyOut(RegKey* p) : p_(p) {}
    ~HkeyOut() {
        if (p_) *p_ = FromHkey(value_);
    }
    HkeyOut(const HkeyOut&) = delete;
    HkeyOut& operator=(const HkeyOut&) = delete;
    HKEY* Get() { return p_ ? &value_ : nullptr; }

private:
    RegKey* p_;
    HKEY value_ = nullptr;
};

}  // namespace

RegStatus Win32Registry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
    HkeyOut out(result);
    return ::RegOpenKeyA(ToHkey(parent), subKey, out.Get());
}

RegStatus Win32Registry::RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                                       RegKey* result) {
    HkeyOut out(result);
    return ::RegOpenKeyExA(ToHkey(parent), subKey, 0, access, out.Get());
}

RegStatus Win32Registry::RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) {
    HkeyOut out(result);
    return ::RegCreateKeyA(ToHkey(parent), subKey, out.Get());
}

RegStatus Win32Registry::RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                                         bool* created) {
    HkeyOut out(result);
    DWORD disposition = 0;
    const LONG status = ::RegCreateKeyExA(ToHkey(parent), subKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                          nullptr, out.Get(), &disposition);
    if (status == ERROR_SUCCESS && created) *created = disposition == REG_CREATED_NEW_KEY;
    return status;
}

RegStatus Win32Registry::RegQueryInfoKeyA(RegKey key, RegKeyInfo* info) {
    DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
    const LONG status =
        ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen,
                           nullptr, &values, &maxValueNameLen, &maxValueLen, nullptr, nullptr);
    if (status == ERROR_SUCCESS && info) {
        info->subKeys = subKeys;
        info->maxSubKeyLen = maxSubKeyLen;
        info->values = values;
        info->maxValueNameLen = maxValueNameLen;
        info->maxValueLen = maxValueLen;
    }
    return status;
}

RegStatus Win32Registry::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                       std::uint32_t* nameLen) {
    DwordSlot len(nameLen);
    return ::RegEnumKeyExA(ToHkey(key), index, name, len.Get(), nullptr, nullptr, nullptr,
                           nullptr);
}

RegStatus Win32Registry::RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                                       std::uint32_t* nameLen, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* dataLen) {
    DwordSlot len(nameLen), typeSlot(type), size(dataLen);
    return ::RegEnumValueA(ToHkey(key), index, name, len.Get(), nullptr, typeSlot.Get(), data,
                           size.Get());
}

RegStatus Win32Registry::RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type,
                                          std::uint8_t* data, std::uint32_t* dataLen) {
    DwordSlot typeSlot(type), size(dataLen);
    return ::RegQueryValueExA(ToHkey(key), name, nullptr, typeSlot.Get(), data, size.Get());
}

RegStatus Win32Registry::RegSetValueExA(RegKey key, const char* name, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t dataLen) {
    return ::RegSetValueExA(ToHkey(key), name, 0, type, data, dataLen);
}

RegStatus Win32Registry::RegDeleteKeyA(RegKey parent, const char* subKey) {
    return ::RegDeleteKeyA(ToHkey(parent), subKey);
}

RegStatus Win32Registry::RegDeleteValueA(RegKey key, const char* name) {
    return ::RegDeleteValueA(ToHkey(key), name);
}

RegStatus Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

namespace {
std::atomic<IRegistry*> g_registry{nullptr};
}  // namespace

IRegistry& DefaultRegistry() {
    if (IRegistry* chosen = g_registry.load()) return *chosen;
    static Win32Registry real;
    return real;
}

void SetDefaultRegistry(IRegistry* registry) { g_registry.store(registry); }

}  // namespace qm
