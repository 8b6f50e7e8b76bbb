#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "tests/restore/round_trip.h"

namespace qm {
namespace {

class MemoryRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        services_.registry = &reg_;
        services_.system = &sys_;
        services_.ignoreFile = "round-trip-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        // These backups write below HKEY_CURRENT_USER.
        repair_->SetRestoreAreas(&test::TestRestoreAreas());
    }

    MemoryRegistry reg_;
    MemorySystem sys_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    RecordingRestoreUi ui_;
};

TEST_F(MemoryRoundTrip, RandomTreesComeBackWithTheSameTypesAndBytes) {
    test::RoundTripCounts().clear();
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        const std::string diff = test::RoundTrip(*repair_, ui_, kHkeyCurrentUser, "HKEY_CURRENT_USER",
                                                 "Software\\QuillmereTest", seed, "round_trip.xml");
        ASSERT_EQ(diff, "") << "seed " << seed;
    }
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    // Every type code 0-11 and some without a name came back, many times each.
    for (std::uint32_t type = 0; type <= 11; ++type)
        EXPECT_GE(test::RoundTripCounts()[type], 50u) << "type " << type;
    EXPECT_GE(test::RoundTripCounts().size(), 16u);
    std::printf("values restored exactly, by type:\n%s", test::DescribeRoundTripCounts().c_str());
}

// ---------------------------------------------------------------- cut-off files

// What a backup holds up to a cut: the keys whose start tag is complete and
// the values whose element is complete, found with a quote-aware scan of the
// writer's markup (independent of the reader).
struct Holdings {
    std::set<std::string> keys;                                  // full paths
    std::vector<std::pair<std::string, std::string>> values;     // (key path, value name)
};

std::string AttributeOf(const std::string& tag, const std::string& attr) {
    const std::string marker = " " + attr + "=\"";
    const auto at = tag.find(marker);
    if (at == std::string::npos) return "";
    const auto start = at + marker.size();
    return GetUnescapedXmlString(tag.substr(start, tag.find('"', start) - start));
}

Holdings HoldingsOf(const std::string& prefix) {
    Holdings h;
    std::vector<std::string> stack;
    std::size_t i = 0;
    while ((i = prefix.find('<', i)) != std::string::npos) {
        // The tag runs to the first ">" outside double quotes.
        bool quoted = false;
        std::size_t end = i + 1;
        for (; end < prefix.size(); ++end) {
            if (prefix[end] == '"') quoted = !quoted;
            else if (prefix[end] == '>' && !quoted) break;
        }
        if (end >= prefix.size()) break;  // cut inside this tag
        const std::string tag = prefix.substr(i, end + 1 - i);
        const bool empty = tag.size() >= 2 && tag[tag.size() - 2] == '/';
        auto join = [&](const std::string& last) {
            std::string p;
            for (const auto& s : stack) p += s + "\\";
            return p + last;
        };
        if (tag.rfind("<k ", 0) == 0) {
            const std::string name = AttributeOf(tag, "name");
            h.keys.insert(join(name));
            if (!empty) stack.push_back(name);
        } else if (tag == "</k>") {
            if (!stack.empty()) stack.pop_back();
        } else if (tag.rfind("<v ", 0) == 0 && !stack.empty()) {
            std::string p = join("");
            p.pop_back();
            std::string name = AttributeOf(tag, "name");
            if (name == kDefaultValueName) name.clear();
            h.values.emplace_back(p, name);
        }
        i = end + 1;
    }
    return h;
}

TEST_F(MemoryRoundTrip, FileCutOffAfterAnyLineFailsAndAppliesEverythingBeforeTheCut) {
    const std::string parent = "Software\\QuillmereTest";
    int cuts = 0;
    for (std::uint32_t seed = 1000; seed < 1012; ++seed) {
        test::RandomTree tree(seed);
        const std::string sub = parent + "\\Cut " + std::to_string(seed);
        RegKey key = kNullKey;
        ASSERT_EQ(reg_.RegCreateKeyA(kHkeyCurrentUser, sub.c_str(), &key), kRegSuccess);
        {
            RegKeyHandle h(reg_, key);
            tree.Fill(reg_, key, 3);
        }
        const test::TreeSnapshot original = test::Snapshot(reg_, kHkeyCurrentUser, sub);
        ASSERT_EQ(test::WriteBackup(*repair_, "HKEY_CURRENT_USER\\" + sub, "cut_full.xml"), 1);
        test::DeleteTree(reg_, kHkeyCurrentUser, sub);
        const std::string full = test::ReadFileBytes("cut_full.xml");
        const std::string base = "HKEY_CURRENT_USER\\" + sub;

        // Every line end of the file is a cut point (and the empty file).
        std::vector<std::size_t> ends = {0};
        for (std::size_t p = full.find('\n'); p != std::string::npos; p = full.find('\n', p + 1))
            ends.push_back(p + 1);
        for (std::size_t cut : ends) {
            const std::string prefix = full.substr(0, cut);
            test::WriteFileBytes("cut.xml", prefix);
            ui_.ClearMessages();
            CXmlReader reader;
            // Only the whole file is a complete backup.
            const bool whole = cut == full.size();
            ASSERT_EQ(repair_->LoadAsXml(reader, "cut.xml"), whole ? 1 : 0) << "seed " << seed << " cut " << cut;
            EXPECT_EQ(ui_.Messages(), std::vector<std::string>{});
            if (!whole) {
                EXPECT_NE(repair_->LastRestore().reason, "") << "seed " << seed << " cut " << cut;
            }
            EXPECT_EQ(reg_.OpenHandleCount(), 0u);

            // Expected: the original's keys and values that the prefix holds.
            const Holdings h = HoldingsOf(prefix);
            test::TreeSnapshot want;
            for (const std::string& k : h.keys) {
                if (k.size() < base.size() || k.compare(0, base.size(), base) != 0) continue;
                std::string rel = k.substr(base.size());
                if (!rel.empty()) rel.erase(0, 1);
                // The key and every key above it.
                want[""];
                want[rel];
                for (std::size_t p = 0; (p = rel.find('\\', p)) != std::string::npos; ++p)
                    want[rel.substr(0, p)];
            }
            for (const auto& [k, name] : h.values) {
                if (k.compare(0, base.size(), base) != 0) continue;
                std::string rel = k.substr(base.size());
                if (!rel.empty()) rel.erase(0, 1);
                want[rel][name] = original.at(rel).at(name);
            }
            const test::TreeSnapshot got = test::Snapshot(reg_, kHkeyCurrentUser, sub);
            ASSERT_EQ(test::FirstDifference(want, got), "") << "seed " << seed << " cut after byte " << cut;
            if (cut == full.size()) {
                EXPECT_EQ(test::FirstDifference(original, got), "") << seed;
            }
            test::DeleteTree(reg_, kHkeyCurrentUser, sub);
            ++cuts;
        }
    }
    EXPECT_GT(cuts, 100);
}

}  // namespace
}  // namespace qm
