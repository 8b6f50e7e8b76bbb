// Behaviour every registry backend shares with the real registry. Each
// difference the real registry shows here is a fault of the memory backend.
#include "tests/platform/registry_contract.h"

#include <chrono>
#include <cstring>
#include <random>

namespace qm::test {

namespace {

const char* const kContractParent = "Software\\QuillmereContractTest";

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::vector<std::uint8_t> Text(const std::string& s) {
    std::vector<std::uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

}  // namespace

// ---------------------------------------------------------------- fixture

void RegistryContract::SetUp() {
    reg_ = GetParam().make();
    std::mt19937_64 rng(std::random_device{}() ^
                        static_cast<std::uint64_t>(
                            std::chrono::steady_clock::now().time_since_epoch().count()));
    scratchPath_ = std::string(kContractParent) + "\\" + std::to_string(rng());
    bool created = false;
    ASSERT_EQ(reg_->RegCreateKeyExA(kHkeyCurrentUser, scratchPath_.c_str(), &scratch_, &created),
              kRegSuccess);
    ASSERT_TRUE(created);
}

void RegistryContract::TearDown() {
    for (RegKey k : tracked_) reg_->RegCloseKey(k);
    if (scratch_ != kNullKey) reg_->RegCloseKey(scratch_);
    if (!scratchPath_.empty()) {
        EXPECT_EQ(DeleteTree(kHkeyCurrentUser, scratchPath_), kRegSuccess);
        // Gone only when no other run is using it at the same time.
        reg_->RegDeleteKeyA(kHkeyCurrentUser, kContractParent);
    }
}

RegKey RegistryContract::Track(RegKey key) {
    if (key != kNullKey) tracked_.push_back(key);
    return key;
}

RegKey RegistryContract::Create(const std::string& subKey) {
    RegKey key = kNullKey;
    EXPECT_EQ(reg_->RegCreateKeyExA(scratch_, subKey.c_str(), &key, nullptr), kRegSuccess)
        << subKey;
    return Track(key);
}

RegKey RegistryContract::Open(const std::string& subKey, std::uint32_t access) {
    RegKey key = kNullKey;
    if (reg_->RegOpenKeyExA(scratch_, subKey.c_str(), access, &key) != kRegSuccess) {
        return kNullKey;
    }
    return Track(key);
}

RegStatus RegistryContract::SetBytes(RegKey key, const char* name, std::uint32_t type,
                                     const std::vector<std::uint8_t>& bytes) {
    return reg_->RegSetValueExA(key, name, type, bytes.empty() ? nullptr : bytes.data(),
                                static_cast<std::uint32_t>(bytes.size()));
}

RegStatus RegistryContract::SetText(RegKey key, const char* name, const std::string& text,
                                    std::uint32_t type) {
    return SetBytes(key, name, type, Text(text));
}

RegStatus RegistryContract::Query(RegKey key, const char* name, std::uint32_t* type,
                                  std::vector<std::uint8_t>* bytes) {
    std::uint32_t size = 0;
    RegStatus status = reg_->RegQueryValueExA(key, name, type, nullptr, &size);
    if (status != kRegSuccess) return status;
    // One spare byte, so a missing terminator would show as an appended zero.
    std::vector<std::uint8_t> buffer(size + 1, 0xCC);
    std::uint32_t len = size;
    status = reg_->RegQueryValueExA(key, name, type, buffer.data(), &len);
    if (status != kRegSuccess) return status;
    EXPECT_EQ(len, size);
    EXPECT_EQ(buffer[size], 0xCC) << "wrote past the size it gave";
    buffer.resize(len);
    *bytes = buffer;
    return status;
}

std::vector<std::string> RegistryContract::SubKeys(RegKey key) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        std::uint32_t len = sizeof(name);
        const RegStatus status = reg_->RegEnumKeyExA(key, i, name, &len);
        if (status != kRegSuccess) {
            EXPECT_EQ(status, kRegNoMoreItems);
            break;
        }
        EXPECT_EQ(len, std::strlen(name));
        names.emplace_back(name, len);
    }
    return names;
}

std::vector<std::string> RegistryContract::Values(RegKey key) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        std::uint32_t len = sizeof(name);
        const RegStatus status =
            reg_->RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr);
        if (status != kRegSuccess) {
            EXPECT_EQ(status, kRegNoMoreItems);
            break;
        }
        names.emplace_back(name, len);
    }
    return names;
}

RegKeyInfo RegistryContract::Info(RegKey key) {
    RegKeyInfo info;
    EXPECT_EQ(reg_->RegQueryInfoKeyA(key, &info), kRegSuccess);
    return info;
}

RegStatus RegistryContract::DeleteTree(RegKey parent, const std::string& subKey) {
    RegKey key = kNullKey;
    RegStatus status = reg_->RegOpenKeyExA(parent, subKey.c_str(), kKeyDeleteAndEnumerate, &key);
    if (status != kRegSuccess) return status;
    for (;;) {
        char name[4096];  // names of 255 characters in any code page
        std::uint32_t len = sizeof(name);
        status = reg_->RegEnumKeyExA(key, 0, name, &len);
        if (status == kRegNoMoreItems) {
            status = reg_->RegDeleteKeyA(parent, subKey.c_str());
            break;
        }
        if (status != kRegSuccess) break;
        status = DeleteTree(key, name);
        if (status != kRegSuccess) break;
    }
    reg_->RegCloseKey(key);
    return status;
}

// ---------------------------------------------------------------- keys

TEST_P(RegistryContract, CreateReportsNewOrExistingAndMakesIntermediateKeys) {
    RegKey a = kNullKey;
    bool created = false;
    ASSERT_EQ(Reg().RegCreateKeyExA(Scratch(), "One\\Two\\Three", &a, &created), kRegSuccess);
    Track(a);
    EXPECT_TRUE(created);
    RegKey b = kNullKey;
    ASSERT_EQ(Reg().RegCreateKeyExA(Scratch(), "One\\Two\\Three", &b, &created), kRegSuccess);
    Track(b);
    EXPECT_FALSE(created);
    EXPECT_NE(a, b) << "each open gives its own handle";
    // The intermediate keys exist and are ordinary keys.
    EXPECT_NE(Open("One"), kNullKey);
    EXPECT_NE(Open("One\\Two"), kNullKey);
    // RegCreateKeyA also creates what is missing and opens what exists.
    RegKey c = kNullKey;
    ASSERT_EQ(Reg().RegCreateKeyA(Scratch(), "One\\Other", &c), kRegSuccess);
    Track(c);
    EXPECT_EQ(SubKeys(Open("One")), (std::vector<std::string>{"Other", "Two"}));
}

TEST_P(RegistryContract, OpenOfMissingKeyGives2AndNoHandle) {
    Create("Present");
    RegKey key = 12345;
    EXPECT_EQ(Reg().RegOpenKeyExA(Scratch(), "Absent", kKeyRead, &key), kRegFileNotFound);
    EXPECT_EQ(key, kNullKey);
    key = 12345;
    EXPECT_EQ(Reg().RegOpenKeyA(Scratch(), "Absent\\Below", &key), kRegFileNotFound);
    EXPECT_EQ(key, kNullKey);
    EXPECT_EQ(Reg().RegOpenKeyExA(Scratch(), "Present\\Absent", kKeyRead, &key),
              kRegFileNotFound);
    EXPECT_EQ(Reg().RegOpenKeyExA(kHkeyCurrentUser,
                                  (ScratchPath() + "\\Present").c_str(), kKeyRead, &key),
              kRegSuccess);
    Track(key);
}

TEST_P(RegistryContract, PathsToleratedRepeatedAndTrailingSeparatorsButNotLeadingOne) {
    Create("P\\Q");
    EXPECT_NE(Open("P\\\\Q"), kNullKey);
    EXPECT_NE(Open("P\\Q\\"), kNullKey);
    RegKey key = kNullKey;
    EXPECT_EQ(Reg().RegOpenKeyExA(Scratch(), "\\P", kKeyRead, &key), kRegBadPathname);
    EXPECT_EQ(Reg().RegCreateKeyExA(Scratch(), "\\R", &key, nullptr), kRegBadPathname);
    EXPECT_EQ(SubKeys(Scratch()), (std::vector<std::string>{"P"}));
}

TEST_P(RegistryContract, EmptySubKeyOpensTheKeyItself) {
    RegKey k = Create("Self");
    ASSERT_EQ(SetText(k, "v", "x"), kRegSuccess);
    // RegOpenKeyA hands back the very handle it was given.
    RegKey same = kNullKey;
    EXPECT_EQ(Reg().RegOpenKeyA(k, "", &same), kRegSuccess);
    EXPECT_EQ(same, k);
    EXPECT_EQ(Reg().RegOpenKeyA(k, nullptr, &same), kRegSuccess);
    EXPECT_EQ(same, k);
    EXPECT_EQ(Reg().RegOpenKeyA(kHkeyLocalMachine, "", &same), kRegSuccess);
    EXPECT_EQ(same, kHkeyLocalMachine);
    // RegOpenKeyExA gives a root back as it is, and a new handle otherwise.
    EXPECT_EQ(Reg().RegOpenKeyExA(kHkeyCurrentUser, "", kKeyRead, &same), kRegSuccess);
    EXPECT_EQ(same, kHkeyCurrentUser);
    RegKey other = Open("Self\\");
    RegKey again = kNullKey;
    ASSERT_EQ(Reg().RegOpenKeyExA(other, "", kKeyAllAccess, &again), kRegSuccess);
    Track(again);
    EXPECT_NE(again, other);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(Query(again, "v", &type, &data), kRegSuccess);
    // RegCreateKeyExA with an empty path opens the key again. (NT reports an
    // existing key; Wine 8 says "created", so that flag is not compared.)
    ASSERT_EQ(Reg().RegCreateKeyExA(k, "", &again, nullptr), kRegSuccess);
    Track(again);
    EXPECT_NE(again, k);
    EXPECT_EQ(Query(again, "v", &type, &data), kRegSuccess);
}

TEST_P(RegistryContract, ClosedAndUnknownHandlesGive6) {
    RegKey k = kNullKey;
    ASSERT_EQ(Reg().RegCreateKeyExA(Scratch(), "Closing", &k, nullptr), kRegSuccess);
    EXPECT_EQ(Reg().RegCloseKey(k), kRegSuccess);
    EXPECT_EQ(Reg().RegCloseKey(k), kRegInvalidHandle);
    EXPECT_EQ(Reg().RegCloseKey(kNullKey), kRegInvalidHandle);
    EXPECT_EQ(Reg().RegCloseKey(kHkeyLocalMachine), kRegSuccess) << "roots close as a no-op";
    RegKeyInfo info;
    EXPECT_EQ(Reg().RegQueryInfoKeyA(k, &info), kRegInvalidHandle);
    char name[16];
    std::uint32_t len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(k, 0, name, &len), kRegInvalidHandle);
    EXPECT_EQ(Reg().RegSetValueExA(k, "v", kRegBinary, nullptr, 0), kRegInvalidHandle);
    std::uint32_t size = 0;
    EXPECT_EQ(Reg().RegQueryValueExA(k, "v", nullptr, nullptr, &size), kRegInvalidHandle);
    RegKey sub = kNullKey;
    EXPECT_EQ(Reg().RegOpenKeyExA(k, "x", kKeyRead, &sub), kRegInvalidHandle);
    EXPECT_EQ(Reg().RegOpenKeyExA(kNullKey, "x", kKeyRead, &sub), kRegInvalidHandle);
}

TEST_P(RegistryContract, NamesMatchWithoutCaseAndKeepTheirSpelling) {
    RegKey k = Create("MixedCase");
    bool created = true;
    RegKey again = kNullKey;
    ASSERT_EQ(Reg().RegCreateKeyExA(Scratch(), "MIXEDCASE", &again, &created), kRegSuccess);
    Track(again);
    EXPECT_FALSE(created);
    EXPECT_NE(Open("mixedcase"), kNullKey);
    EXPECT_EQ(SubKeys(Scratch()), (std::vector<std::string>{"MixedCase"}));

    ASSERT_EQ(SetText(k, "ValueName", "first"), kRegSuccess);
    ASSERT_EQ(SetText(k, "VALUENAME", "second"), kRegSuccess);
    EXPECT_EQ(Values(k), (std::vector<std::string>{"ValueName"}));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(Query(k, "valuename", &type, &data), kRegSuccess);
    EXPECT_EQ(data, Text("second"));
    EXPECT_EQ(Reg().RegDeleteValueA(k, "vALUEnAME"), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), "mixedCASE"), kRegSuccess);
}

// ---------------------------------------------------------------- enumeration

TEST_P(RegistryContract, SubKeysComeSortedWithoutRegardToCaseThen259) {
    for (const char* name : {"delta", "Bravo", "alpha", "Charlie", "ab", "A1", "a10", "a9"}) {
        Create(name);
    }
    const std::vector<std::string> expected = {"A1",    "a10",     "a9",   "ab",
                                               "alpha", "Bravo", "Charlie", "delta"};
    EXPECT_EQ(SubKeys(Scratch()), expected);
    EXPECT_EQ(SubKeys(Scratch()), expected) << "the same order every time";
    char name[32];
    std::uint32_t len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(Scratch(), 8, name, &len), kRegNoMoreItems);
    len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(Scratch(), 1000, name, &len), kRegNoMoreItems);
    // A new key takes its sorted place; the ones after it move up by one.
    Create("B");
    len = sizeof(name);
    ASSERT_EQ(Reg().RegEnumKeyExA(Scratch(), 5, name, &len), kRegSuccess);
    EXPECT_STREQ(name, "B");
}

TEST_P(RegistryContract, ValuesEnumerateEachOnceInAStableOrderThen259) {
    RegKey k = Create("Values");
    // Created in sorted order, which is also the order the real registry
    // keeps (NT: creation order; Wine: sorted).
    for (const char* name : {"alpha", "beta", "gamma"}) ASSERT_EQ(SetText(k, name, name), kRegSuccess);
    const std::vector<std::string> expected = {"alpha", "beta", "gamma"};
    EXPECT_EQ(Values(k), expected);
    EXPECT_EQ(Values(k), expected);
    // Replacing a value keeps its place.
    ASSERT_EQ(SetText(k, "alpha", "replaced"), kRegSuccess);
    EXPECT_EQ(Values(k), expected);
    char name[16];
    std::uint32_t len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumValueA(k, 3, name, &len, nullptr, nullptr, nullptr), kRegNoMoreItems);
}

TEST_P(RegistryContract, EnumKeyWithTooSmallBufferGives234AndLeavesLengthAndBuffer) {
    Create("abcde");
    char name[16];
    std::memset(name, 'x', sizeof(name));
    std::uint32_t len = 5;  // room for the five characters but not the zero
    EXPECT_EQ(Reg().RegEnumKeyExA(Scratch(), 0, name, &len), kRegMoreData);
    EXPECT_EQ(len, 5u);
    EXPECT_EQ(name[0], 'x');
    len = 0;
    EXPECT_EQ(Reg().RegEnumKeyExA(Scratch(), 0, name, &len), kRegMoreData);
    EXPECT_EQ(len, 0u);
    len = 6;
    ASSERT_EQ(Reg().RegEnumKeyExA(Scratch(), 0, name, &len), kRegSuccess);
    EXPECT_EQ(len, 5u);
    EXPECT_STREQ(name, "abcde");
}

TEST_P(RegistryContract, LongestKeyNameFitsA256ByteBuffer) {
    const std::string longName(255, 'k');
    Create(longName);
    char name[256];
    std::uint32_t len = sizeof(name);
    ASSERT_EQ(Reg().RegEnumKeyExA(Scratch(), 0, name, &len), kRegSuccess);
    EXPECT_EQ(len, 255u);
    EXPECT_EQ(std::string(name), longName);
    len = 255;
    EXPECT_EQ(Reg().RegEnumKeyExA(Scratch(), 0, name, &len), kRegMoreData);
    EXPECT_EQ(Info(Scratch()).maxSubKeyLen, 255u);
}

TEST_P(RegistryContract, EnumValueWithTooSmallBuffersGives234WithTheDataSize) {
    RegKey k = Create("V");
    ASSERT_EQ(SetText(k, "Name", "foobar"), kRegSuccess);  // 7 bytes with the zero
    char name[16];
    std::uint8_t data[16];
    std::uint32_t type = 0;

    // Name buffer too small (4 characters need 5).
    std::uint32_t nameLen = 4, dataLen = sizeof(data);
    EXPECT_EQ(Reg().RegEnumValueA(k, 0, name, &nameLen, &type, data, &dataLen), kRegMoreData);
    EXPECT_EQ(nameLen, 4u);
    EXPECT_EQ(dataLen, 7u);
    EXPECT_EQ(type, kRegSz);

    // Data buffer too small.
    nameLen = sizeof(name);
    dataLen = 6;
    type = 0;
    EXPECT_EQ(Reg().RegEnumValueA(k, 0, name, &nameLen, &type, data, &dataLen), kRegMoreData);
    EXPECT_EQ(nameLen, sizeof(name));
    EXPECT_EQ(dataLen, 7u);
    EXPECT_EQ(type, kRegSz);

    // No data buffer: the size is reported and the call succeeds.
    nameLen = sizeof(name);
    dataLen = 0;
    ASSERT_EQ(Reg().RegEnumValueA(k, 0, name, &nameLen, &type, nullptr, &dataLen), kRegSuccess);
    EXPECT_EQ(nameLen, 4u);
    EXPECT_STREQ(name, "Name");
    EXPECT_EQ(dataLen, 7u);

    // Exact sizes.
    nameLen = 5;
    dataLen = 7;
    ASSERT_EQ(Reg().RegEnumValueA(k, 0, name, &nameLen, &type, data, &dataLen), kRegSuccess);
    EXPECT_EQ(nameLen, 4u);
    EXPECT_EQ(dataLen, 7u);
    EXPECT_EQ(std::memcmp(data, "foobar", 7), 0);

    // Binary data too small behaves the same.
    ASSERT_EQ(SetBytes(k, "Bin", kRegBinary, Bytes("0123456789")), kRegSuccess);
    std::uint32_t index = Values(k)[0] == "Bin" ? 0 : 1;
    nameLen = sizeof(name);
    dataLen = 9;
    EXPECT_EQ(Reg().RegEnumValueA(k, index, name, &nameLen, &type, data, &dataLen), kRegMoreData);
    EXPECT_EQ(dataLen, 10u);
    EXPECT_EQ(type, kRegBinary);
}

TEST_P(RegistryContract, QueryValueWithTooSmallBufferGives234AndTheSize) {
    RegKey k = Create("Q");
    ASSERT_EQ(SetBytes(k, "Bin", kRegBinary, Bytes("0123456789")), kRegSuccess);
    ASSERT_EQ(SetText(k, "Text", "hello"), kRegSuccess);
    std::uint8_t data[16];
    std::uint32_t type = 0, len = 9;
    EXPECT_EQ(Reg().RegQueryValueExA(k, "Bin", &type, data, &len), kRegMoreData);
    EXPECT_EQ(len, 10u);
    len = 5;
    EXPECT_EQ(Reg().RegQueryValueExA(k, "Text", &type, data, &len), kRegMoreData);
    EXPECT_EQ(len, 6u);
    // Type and size alone.
    len = 1234;
    ASSERT_EQ(Reg().RegQueryValueExA(k, "Text", &type, nullptr, &len), kRegSuccess);
    EXPECT_EQ(len, 6u);
    EXPECT_EQ(type, kRegSz);
    // Existence alone.
    EXPECT_EQ(Reg().RegQueryValueExA(k, "Bin", nullptr, nullptr, nullptr), kRegSuccess);
    EXPECT_EQ(Reg().RegQueryValueExA(k, "Missing", nullptr, nullptr, nullptr), kRegFileNotFound);
}

// ---------------------------------------------------------------- values

TEST_P(RegistryContract, DefaultValueIsTheNullOrEmptyName) {
    RegKey k = Create("D");
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(Query(k, nullptr, &type, &data), kRegFileNotFound);
    EXPECT_EQ(Query(k, "", &type, &data), kRegFileNotFound);
    EXPECT_TRUE(Values(k).empty()) << "a new key has no default value";

    // An empty string: one byte, the terminator.
    ASSERT_EQ(SetText(k, nullptr, ""), kRegSuccess);
    ASSERT_EQ(Query(k, "", &type, &data), kRegSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, std::vector<std::uint8_t>{0});
    EXPECT_EQ(Values(k), std::vector<std::string>{""});

    // No bytes at all.
    ASSERT_EQ(Reg().RegSetValueExA(k, "", kRegSz, nullptr, 0), kRegSuccess);
    ASSERT_EQ(Query(k, nullptr, &type, &data), kRegSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_TRUE(data.empty());

    char name[8] = "xxxxxxx";
    std::uint32_t nameLen = sizeof(name), dataLen = 0;
    ASSERT_EQ(Reg().RegEnumValueA(k, 0, name, &nameLen, &type, nullptr, &dataLen), kRegSuccess);
    EXPECT_EQ(nameLen, 0u);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(dataLen, 0u);

    EXPECT_EQ(Reg().RegDeleteValueA(k, nullptr), kRegSuccess);
    EXPECT_EQ(Query(k, nullptr, &type, &data), kRegFileNotFound);
    // A value literally named "(Default)" is an ordinary value.
    EXPECT_EQ(Reg().RegDeleteValueA(k, "(Default)"), kRegFileNotFound);
}

TEST_P(RegistryContract, EveryTypeStoresItsBytesIncludingNone) {
    RegKey k = Create("Types");
    struct Case {
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<std::uint8_t> dword = {0x0A, 0, 0, 0};
    const std::vector<Case> cases = {
        {kRegNone, {1, 2}},
        {kRegSz, Text("C:\\Windows\\notepad.exe")},
        {kRegExpandSz, Text("%SystemRoot%\\x.dll")},
        {kRegBinary, {0, 0xFF, 0x80, 0x7F}},
        {kRegDword, dword},
        {kRegDwordBigEndian, {0, 0, 0, 0x0A}},
        {kRegLink, {'a', 0, 'b', 0}},
        {kRegMultiSz, {'a', 0, 'b', 'c', 0, 0}},
        {kRegResourceList, {1, 0, 0, 0, 9}},
        {kRegFullResourceDescriptor, {2}},
        {kRegResourceRequirementsList, {3, 3}},
        {kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x1234, {9}},
        {kRegDword, {1, 2}},  // a DWORD of the wrong size is kept as it is
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        for (bool empty : {false, true}) {
            const std::string name = "t" + std::to_string(i) + (empty ? "e" : "");
            const std::vector<std::uint8_t> bytes = empty ? std::vector<std::uint8_t>{} : cases[i].bytes;
            ASSERT_EQ(SetBytes(k, name.c_str(), cases[i].type, bytes), kRegSuccess) << name;
            std::uint32_t type = 0;
            std::vector<std::uint8_t> read;
            ASSERT_EQ(Query(k, name.c_str(), &type, &read), kRegSuccess) << name;
            EXPECT_EQ(type, cases[i].type) << name;
            EXPECT_EQ(read, bytes) << name;
        }
    }
}

TEST_P(RegistryContract, SetReplacesTypeAndData) {
    RegKey k = Create("Replace");
    ASSERT_EQ(SetText(k, "v", "a long piece of text"), kRegSuccess);
    ASSERT_EQ(SetBytes(k, "v", kRegDword, {7, 0, 0, 0}), kRegSuccess);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(Query(k, "v", &type, &data), kRegSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(Info(k).values, 1u);
}

TEST_P(RegistryContract, TextWithoutTerminatorIsStoredAsGivenAndCompletedOnQuery) {
    RegKey k = Create("Terminators");
    const char withZero[] = "abc";
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (std::string(GetParam().name) == "Win32") {
        // NT also counts a left-out terminator when the byte after the data
        // is zero. The memory registry never reads past the data it is given.
        ASSERT_EQ(Reg().RegSetValueExA(k, "counted", kRegSz,
                                       reinterpret_cast<const std::uint8_t*>(withZero), 3),
                  kRegSuccess);
        ASSERT_EQ(Query(k, "counted", &type, &data), kRegSuccess);
        EXPECT_EQ(data, Text("abc"));
    }
    // No zero after it: stored as given, by both.
    const char noZero[] = "abcd";
    ASSERT_EQ(Reg().RegSetValueExA(k, "bare", kRegSz,
                                   reinterpret_cast<const std::uint8_t*>(noZero), 3),
              kRegSuccess);
    std::uint8_t buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    std::uint32_t len = 3;
    ASSERT_EQ(Reg().RegQueryValueExA(k, "bare", &type, buffer, &len), kRegSuccess);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(buffer[3], 'x') << "no room: nothing written after the data";
    len = sizeof(buffer);
    ASSERT_EQ(Reg().RegQueryValueExA(k, "bare", &type, buffer, &len), kRegSuccess);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(buffer[3], 0) << "room to spare: a terminator is written";
    // Binary data is never completed.
    ASSERT_EQ(Reg().RegSetValueExA(k, "bin", kRegBinary,
                                   reinterpret_cast<const std::uint8_t*>(withZero), 3),
              kRegSuccess);
    ASSERT_EQ(Query(k, "bin", &type, &data), kRegSuccess);
    EXPECT_EQ(data, Bytes("abc"));
}

TEST_P(RegistryContract, ValueNamesMayHoldBackslashes) {
    RegKey k = Create("Names");
    ASSERT_EQ(SetText(k, "C:\\Windows\\x.dll", "1"), kRegSuccess);
    EXPECT_EQ(Values(k), std::vector<std::string>{"C:\\Windows\\x.dll"});
    EXPECT_EQ(Reg().RegDeleteValueA(k, "c:\\windows\\X.DLL"), kRegSuccess);
}

TEST_P(RegistryContract, DeleteValueOfMissingValueGives2) {
    RegKey k = Create("Del");
    EXPECT_EQ(Reg().RegDeleteValueA(k, "none"), kRegFileNotFound);
    ASSERT_EQ(SetText(k, "some", "x"), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteValueA(k, "some"), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteValueA(k, "some"), kRegFileNotFound);
    EXPECT_TRUE(Values(k).empty());
}

// ---------------------------------------------------------------- info

TEST_P(RegistryContract, InfoCountsAndLongestFigures) {
    RegKey k = Create("Info");
    RegKeyInfo info = Info(k);
    EXPECT_EQ(info.subKeys, 0u);
    EXPECT_EQ(info.values, 0u);
    EXPECT_EQ(info.maxSubKeyLen, 0u);
    EXPECT_EQ(info.maxValueNameLen, 0u);
    EXPECT_EQ(info.maxValueLen, 0u);

    Create("Info\\short");
    Create("Info\\a-longer-name");
    ASSERT_EQ(SetBytes(k, "bin", kRegBinary, Bytes("0123456789")), kRegSuccess);
    ASSERT_EQ(SetText(k, "longest value name", "abc"), kRegSuccess);
    info = Info(k);
    EXPECT_EQ(info.subKeys, 2u);
    EXPECT_EQ(info.maxSubKeyLen, 13u);
    EXPECT_EQ(info.values, 2u);
    EXPECT_EQ(info.maxValueNameLen, 18u);
    EXPECT_EQ(info.maxValueLen, 10u);
    // Text is held as UTF-16: "abcdefgh" with its zero is 18 bytes there.
    ASSERT_EQ(SetText(k, "t", "abcdefgh"), kRegSuccess);
    EXPECT_EQ(Info(k).maxValueLen, 18u);

    // After deletions the counts are exact and the longest figures still
    // cover what is left (NT may keep the old, larger figures); once a list
    // is empty its figures are 0.
    ASSERT_EQ(Reg().RegDeleteKeyA(k, "a-longer-name"), kRegSuccess);
    ASSERT_EQ(Reg().RegDeleteValueA(k, "longest value name"), kRegSuccess);
    ASSERT_EQ(Reg().RegDeleteValueA(k, "t"), kRegSuccess);
    info = Info(k);
    EXPECT_EQ(info.subKeys, 1u);
    EXPECT_GE(info.maxSubKeyLen, 5u);
    EXPECT_EQ(info.values, 1u);
    EXPECT_GE(info.maxValueNameLen, 3u);
    EXPECT_GE(info.maxValueLen, 10u);
    ASSERT_EQ(Reg().RegDeleteKeyA(k, "short"), kRegSuccess);
    ASSERT_EQ(Reg().RegDeleteValueA(k, "bin"), kRegSuccess);
    info = Info(k);
    EXPECT_EQ(info.subKeys, 0u);
    EXPECT_EQ(info.maxSubKeyLen, 0u);
    EXPECT_EQ(info.values, 0u);
    EXPECT_EQ(info.maxValueNameLen, 0u);
    EXPECT_EQ(info.maxValueLen, 0u);
}

// ---------------------------------------------------------------- deletion

TEST_P(RegistryContract, DeleteKeyRefusesAKeyWithSubKeys) {
    Create("Parent\\Child");
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), "Parent"), kRegAccessDenied);
    EXPECT_NE(Open("Parent\\Child"), kNullKey) << "nothing was deleted";
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), "Parent\\Child"), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), "Parent"), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), "Parent"), kRegFileNotFound);
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), "Never\\There"), kRegFileNotFound);
    EXPECT_TRUE(SubKeys(Scratch()).empty());
    // A deleted key can be made again.
    RegKey k = kNullKey;
    bool created = false;
    ASSERT_EQ(Reg().RegCreateKeyExA(Scratch(), "Parent", &k, &created), kRegSuccess);
    Track(k);
    EXPECT_TRUE(created);
}

TEST_P(RegistryContract, HandleOfADeletedKeyGives1018) {
    RegKey k = Create("Doomed");
    ASSERT_EQ(SetText(k, "v", "x"), kRegSuccess);
    ASSERT_EQ(Reg().RegDeleteKeyA(Scratch(), "Doomed"), kRegSuccess);
    RegKeyInfo info;
    EXPECT_EQ(Reg().RegQueryInfoKeyA(k, &info), kRegKeyDeleted);
    char name[16];
    std::uint32_t len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(k, 0, name, &len), kRegKeyDeleted);
    len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumValueA(k, 0, name, &len, nullptr, nullptr, nullptr), kRegKeyDeleted);
    std::uint32_t size = 0;
    EXPECT_EQ(Reg().RegQueryValueExA(k, "v", nullptr, nullptr, &size), kRegKeyDeleted);
    EXPECT_EQ(SetText(k, "w", "y"), kRegKeyDeleted);
    EXPECT_EQ(Reg().RegDeleteValueA(k, "v"), kRegKeyDeleted);
    RegKey sub = kNullKey;
    EXPECT_EQ(Reg().RegCreateKeyExA(k, "below", &sub, nullptr), kRegKeyDeleted);
    EXPECT_EQ(Reg().RegOpenKeyExA(k, "below", kKeyRead, &sub), kRegKeyDeleted);
    EXPECT_TRUE(SubKeys(Scratch()).empty());
}

TEST_P(RegistryContract, DeletionWalkReReadingIndexZeroRemovesATree) {
    for (const char* path : {"Tree\\a\\x\\deep", "Tree\\a\\y", "Tree\\b", "Tree\\c\\z"}) {
        Create(path);
    }
    RegKey leaf = Create("Tree\\c\\z");
    ASSERT_EQ(SetText(leaf, "v", "1"), kRegSuccess);
    EXPECT_EQ(DeleteTree(Scratch(), "Tree"), kRegSuccess);
    EXPECT_TRUE(SubKeys(Scratch()).empty());
    EXPECT_EQ(Info(Scratch()).subKeys, 0u);
}

TEST_P(RegistryContract, EnumerationAfterDeletingIndexZeroMovesTheRestDown) {
    RegKey k = Create("Walk");
    for (const char* name : {"k1", "k2", "k3"}) Create(std::string("Walk\\") + name);
    for (const char* expected : {"k1", "k2", "k3"}) {
        char name[16];
        std::uint32_t len = sizeof(name);
        ASSERT_EQ(Reg().RegEnumKeyExA(k, 0, name, &len), kRegSuccess);
        EXPECT_STREQ(name, expected);
        ASSERT_EQ(Reg().RegDeleteKeyA(k, name), kRegSuccess);
    }
    char name[16];
    std::uint32_t len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(k, 0, name, &len), kRegNoMoreItems);
    // Values the same way.
    for (const char* v : {"v1", "v2", "v3"}) ASSERT_EQ(SetText(k, v, v), kRegSuccess);
    for (int i = 0; i < 3; ++i) {
        len = sizeof(name);
        ASSERT_EQ(Reg().RegEnumValueA(k, 0, name, &len, nullptr, nullptr, nullptr), kRegSuccess);
        ASSERT_EQ(Reg().RegDeleteValueA(k, name), kRegSuccess);
    }
    len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumValueA(k, 0, name, &len, nullptr, nullptr, nullptr), kRegNoMoreItems);
}

// ---------------------------------------------------------------- access

TEST_P(RegistryContract, OpenWithTheProgramsAccessMasksGrantsJustThoseRights) {
    RegKey k = Create("Access");
    Create("Access\\child");
    ASSERT_EQ(SetText(k, "v", "x"), kRegSuccess);
    char name[16];
    std::uint32_t len = 0;
    RegKeyInfo info;

    RegKey setOnly = Open("Access", kKeySetValue);
    ASSERT_NE(setOnly, kNullKey);
    EXPECT_EQ(SetText(setOnly, "w", "y"), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteValueA(setOnly, "w"), kRegSuccess);
    len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(setOnly, 0, name, &len), kRegAccessDenied);
    EXPECT_EQ(Reg().RegQueryValueExA(setOnly, "v", nullptr, nullptr, &len), kRegAccessDenied);
    // (RegQueryInfoKeyA needs KEY_QUERY_VALUE on Windows; Wine 8 does not
    // check it: see the memory backend's own tests.)

    RegKey deleteEnum = Open("Access", kKeyDeleteAndEnumerate);
    ASSERT_NE(deleteEnum, kNullKey);
    len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumKeyExA(deleteEnum, 0, name, &len), kRegSuccess);
    EXPECT_EQ(SetText(deleteEnum, "w", "y"), kRegAccessDenied);
    len = sizeof(name);
    EXPECT_EQ(Reg().RegEnumValueA(deleteEnum, 0, name, &len, nullptr, nullptr, nullptr),
              kRegAccessDenied);

    RegKey read = Open("Access", kKeyRead);
    ASSERT_NE(read, kNullKey);
    EXPECT_EQ(Reg().RegQueryInfoKeyA(read, &info), kRegSuccess);
    EXPECT_EQ(SetText(read, "w", "y"), kRegAccessDenied);
    EXPECT_EQ(Reg().RegDeleteValueA(read, "v"), kRegAccessDenied);
    // Deleting a sub-key needs no right on the parent handle.
    EXPECT_EQ(Reg().RegDeleteKeyA(read, "child"), kRegSuccess);

    RegKey all = Open("Access", kKeyAllAccess);
    ASSERT_NE(all, kNullKey);
    EXPECT_EQ(Reg().RegQueryInfoKeyA(all, &info), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteValueA(all, "v"), kRegSuccess);

    // RegOpenKeyA opens with every right the key allows.
    RegKey plain = kNullKey;
    ASSERT_EQ(Reg().RegOpenKeyA(Scratch(), "Access", &plain), kRegSuccess);
    Track(plain);
    EXPECT_EQ(SetText(plain, "z", "1"), kRegSuccess);
    EXPECT_EQ(Reg().RegQueryInfoKeyA(plain, &info), kRegSuccess);
}

}  // namespace qm::test
