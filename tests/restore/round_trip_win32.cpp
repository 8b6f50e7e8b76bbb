// The round trip on the real registry, in a scratch key under
// HKEY_CURRENT_USER\Software that is removed again at the end.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "tests/restore/round_trip.h"

namespace qm {
namespace {

class RealRegistryRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = "Software\\QuillmereTest" + std::to_string(::GetCurrentProcessId());
        test::DeleteTree(DefaultRegistry(), kHkeyCurrentUser, parent_);
        services_.registry = &DefaultRegistry();
        services_.system = &sys_;
        services_.ignoreFile = "round-trip-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        // These backups write below HKEY_CURRENT_USER.
        repair_->SetRestoreAreas(&test::TestRestoreAreas());
    }
    void TearDown() override {
        repair_.reset();
        lib_.reset();
        EXPECT_TRUE(test::DeleteTree(DefaultRegistry(), kHkeyCurrentUser, parent_));
    }

    std::string parent_;
    MemorySystem sys_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    RecordingRestoreUi ui_;
};

// Non-ASCII letters in value texts; names made of ASCII (see below).
TEST_F(RealRegistryRoundTrip, RandomTreesComeBackWithTheSameTypesAndBytes) {
    test::RoundTripCounts().clear();
    for (std::uint32_t seed = 1; seed <= 100; ++seed) {
        const std::string diff = test::RoundTrip(*repair_, ui_, kHkeyCurrentUser, "HKEY_CURRENT_USER",
                                                 parent_, seed, "round_trip_real.xml", false);
        ASSERT_EQ(diff, "") << "seed " << seed;
    }
    // Every type code 0-11 and some without a name, as the registry keeps them.
    for (std::uint32_t type = 0; type <= 11; ++type)
        EXPECT_GE(test::RoundTripCounts()[type], 10u) << "type " << type;
    EXPECT_GE(test::RoundTripCounts().size(), 16u);
    std::printf("values restored exactly, by type:\n%s", test::DescribeRoundTripCounts().c_str());
}

// Names with non-ASCII letters. RegQueryInfoKeyA counts a name's characters,
// not the bytes a multi-byte code page (UTF-8 here) needs; the backup walk
// must still write every value and sub-key.
TEST_F(RealRegistryRoundTrip, NonAsciiNamesComeBack) {
    for (std::uint32_t seed = 1; seed <= 100; ++seed) {
        const std::string diff = test::RoundTrip(*repair_, ui_, kHkeyCurrentUser, "HKEY_CURRENT_USER",
                                                 parent_, seed, "round_trip_real.xml", true);
        ASSERT_EQ(diff, "") << "seed " << seed;
    }
}

TEST_F(RealRegistryRoundTrip, UnknownRootAndUncreatableKeyFail) {
    // A key name of more than 255 characters is refused by the registry.
    const std::string tooLong(300, 'x');
    const std::string file = "round_trip_real.xml";
    test::WriteFileBytes(file,
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
                        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"" + parent_.substr(0, 8) +
                            "\">\r\n    <k name=\"" + parent_.substr(9) + "\">\r\n     <k name=\"" +
                            tooLong + "\"/>\r\n    </k>\r\n   </k>\r\n  </k>\r\n </registry>\r\n");
    CXmlReader reader;
    EXPECT_EQ(repair_->LoadAsXml(reader, file), 0);
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0], "couldn't create key HKEY_CURRENT_USER\\" + parent_ + "\\" + tooLong);

    ui_.ClearMessages();
    test::WriteFileBytes(file, "<registry>\r\n <k name=\"HKEY_NOWHERE\"/>\r\n</registry>\r\n");
    CXmlReader again;
    EXPECT_EQ(repair_->LoadAsXml(again, file), 0);
    EXPECT_TRUE(ui_.Messages().empty());
}

}  // namespace
}  // namespace qm
