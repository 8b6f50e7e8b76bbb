// advapi32 behind IRegistry.
#include "platform/registry_win32.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles_win32.h"
#include "platform/key_path.h"

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

// Some implementations of the 8-bit calls (Wine's) convert a sub-key path
// into a fixed buffer of 260 UTF-16 units and answer 234 for a longer one,
// which the registry itself would take. Such a path is then followed one name
// at a time below the parent: `step` opens (or creates) each name but the
// last, `last` acts on the last one below the key reached.
template <class Step, class Last>
LONG ByNames(HKEY parent, const char* subKey, Step&& step, Last&& last) {
    const std::vector<std::string> names = KeyPathNames(subKey);
    if (names.empty()) return ERROR_MORE_DATA;
    std::vector<RegistryKey> opened;  // closed on the way out
    HKEY key = parent;
    LONG status = ERROR_SUCCESS;
    for (std::size_t i = 0; i + 1 < names.size() && status == ERROR_SUCCESS; ++i) {
        RegistryKey next;
        status = step(key, names[i].c_str(), next.Out());
        if (status == ERROR_SUCCESS) {
            key = next.Get();
            opened.push_back(std::move(next));
        }
    }
    if (status == ERROR_SUCCESS) status = last(key, names.back().c_str());
    return status;
}

bool LongPathRefused(LONG status, const char* subKey) {
    return status == ERROR_MORE_DATA && subKey && std::string(subKey).find('\\') != std::string::npos;
}

LONG OpenName(HKEY parent, const char* name, HKEY* out) {
    return ::RegOpenKeyExA(parent, name, 0, MAXIMUM_ALLOWED, out);
}

// The name-by-name walk keeps the view of the call at every step.
auto OpenNameIn(REGSAM access) {
    return [view = access & KEY_WOW64_RES](HKEY parent, const char* name, HKEY* out) {
        return ::RegOpenKeyExA(parent, name, 0, MAXIMUM_ALLOWED | view, out);
    };
}

auto CreateNameIn(REGSAM access) {
    return [view = access & KEY_WOW64_RES](HKEY parent, const char* name, HKEY* out) {
        return ::RegCreateKeyExA(parent, name, 0, nullptr, 0, MAXIMUM_ALLOWED | view, nullptr, out,
                                 nullptr);
    };
}

LONG OpenEx(HKEY parent, const char* subKey, REGSAM access, HKEY* out) {
    LONG status = ::RegOpenKeyExA(parent, subKey, 0, access, out);
    if (LongPathRefused(status, subKey)) {
        status = ByNames(parent, subKey, OpenNameIn(access), [&](HKEY key, const char* name) {
            return ::RegOpenKeyExA(key, name, 0, access, out);
        });
    }
    return status;
}

LONG CreateEx(HKEY parent, const char* subKey, REGSAM access, HKEY* out, DWORD* disposition) {
    LONG status = ::RegCreateKeyExA(parent, subKey, 0, nullptr, 0, access, nullptr, out, disposition);
    if (LongPathRefused(status, subKey)) {
        status = ByNames(parent, subKey, CreateNameIn(access), [&](HKEY key, const char* name) {
            return ::RegCreateKeyExA(key, name, 0, nullptr, 0, access, nullptr, out, disposition);
        });
    }
    return status;
}

// The kernel's name of an open key ("\\REGISTRY\\MACHINE\\SOFTWARE\\..."), through
// NtQueryKey's KeyNameInformation; empty when it cannot be had.
std::wstring KernelKeyName(HKEY key) {
    using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const NtQueryKeyFn query = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<NtQueryKeyFn>(
                           reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryKey")))
                     : nullptr;
    }();
    if (!query) return std::wstring();
    constexpr int kKeyNameInformation = 3;
    std::vector<std::uint8_t> buffer(1024);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(key, kKeyNameInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            ULONG bytes = 0;
            std::memcpy(&bytes, buffer.data(), sizeof bytes);
            if (bytes > buffer.size() - sizeof bytes) return std::wstring();
            std::wstring name(bytes / sizeof(wchar_t), L'\0');
            std::memcpy(&name[0], buffer.data() + sizeof bytes, name.size() * sizeof(wchar_t));
            return name;
        }
        if (needed <= buffer.size()) return std::wstring();
        buffer.resize(needed);
    }
    return std::wstring();
}

}  // namespace

RegStatus Win32Registry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
    HkeyOut out(result);
    const LONG status = ::RegOpenKeyA(ToHkey(parent), subKey, out.Get());
    if (LongPathRefused(status, subKey) && out.Get())
        return OpenEx(ToHkey(parent), subKey, MAXIMUM_ALLOWED, out.Get());
    return status;
}

RegStatus Win32Registry::RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                                       RegKey* result) {
    HkeyOut out(result);
    if (!out.Get()) return ::RegOpenKeyExA(ToHkey(parent), subKey, 0, access, nullptr);
    return OpenEx(ToHkey(parent), subKey, access, out.Get());
}

RegStatus Win32Registry::RegCreateKeyA(RegKey parent, const char* subKey, RegKey* result) {
    HkeyOut out(result);
    const LONG status = ::RegCreateKeyA(ToHkey(parent), subKey, out.Get());
    if (LongPathRefused(status, subKey) && out.Get())
        return CreateEx(ToHkey(parent), subKey, MAXIMUM_ALLOWED, out.Get(), nullptr);
    return status;
}

RegStatus Win32Registry::RegCreateKeyExA(RegKey parent, const char* subKey, RegKey* result,
                                         bool* created, std::uint32_t view) {
    HkeyOut out(result);
    DWORD disposition = 0;
    const REGSAM access = KEY_ALL_ACCESS | (view & KEY_WOW64_RES);
    if (!out.Get()) return ::RegCreateKeyExA(ToHkey(parent), subKey, 0, nullptr, 0, access,
                                             nullptr, nullptr, &disposition);
    const LONG status = CreateEx(ToHkey(parent), subKey, access, out.Get(), &disposition);
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
    const LONG status = ::RegDeleteKeyA(ToHkey(parent), subKey);
    if (LongPathRefused(status, subKey)) return ByNames(ToHkey(parent), subKey, OpenName, ::RegDeleteKeyA);
    return status;
}

RegStatus Win32Registry::RegDeleteValueA(RegKey key, const char* name) {
    return ::RegDeleteValueA(ToHkey(key), name);
}

RegStatus Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

bool Win32Registry::RegIsSameKey(RegKey a, RegKey b) {
    if (a == b) return true;
    const std::wstring first = KernelKeyName(ToHkey(a));
    if (first.empty()) return false;
    const std::wstring second = KernelKeyName(ToHkey(b));
    return second.size() == first.size() &&
           ::CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                  static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

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
