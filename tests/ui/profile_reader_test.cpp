#include "ui/profile_reader.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ProfileReader, NamesAreCaseInsensitiveAndTrimmed) {
    ProfileReader p("[Main Screen]\r\n  Key One =  value with spaces  \r\nother=x\r\n[  padded  ]\r\nk=v\r\n");
    EXPECT_EQ(p.GetString("MAIN SCREEN", "key one"), "value with spaces");
    EXPECT_EQ(p.GetString("main screen", "OTHER"), "x");
    EXPECT_EQ(p.GetString("PADDED", "K"), "v");
    EXPECT_EQ(p.GetString(" padded ", " k "), "v");
    EXPECT_TRUE(p.HasSection("Main Screen"));
    EXPECT_FALSE(p.HasSection("Main"));
}

TEST(ProfileReader, CommentsBlankLinesAndLinesOutsideSections) {
    ProfileReader p("orphan=1\n; comment=2\n\n[s]\n  ;also=3\nnovalue\na=1;not a comment\n");
    EXPECT_EQ(p.GetString("", "orphan", "none"), "none");
    EXPECT_EQ(p.GetKeyNames("s"), (std::vector<std::string>{"novalue", "a"}));
    EXPECT_EQ(p.GetString("s", "also", "d"), "d");
    EXPECT_EQ(p.GetString("s", "novalue", "d"), "");
    EXPECT_EQ(p.GetString("s", "a"), "1;not a comment");
}

TEST(ProfileReader, FirstOccurrenceWins) {
    ProfileReader p("[s]\nk=first\nK=second\n[S]\nk=third\nonly=later\n");
    EXPECT_EQ(p.GetString("s", "k"), "first");
    // The second [S] is never consulted; the key list still shows both key lines.
    EXPECT_EQ(p.GetString("s", "only", "missing"), "missing");
    EXPECT_EQ(p.GetKeyNames("s"), (std::vector<std::string>{"k", "K"}));
}

TEST(ProfileReader, FallbackQuotesAndValueBuffer) {
    ProfileReader p("[s]\nq=\"quoted, kept\"\nhalf=\"open\nlong=" + std::string(3000, 'x') + "\n");
    EXPECT_EQ(p.GetString("s", "q"), "quoted, kept");
    EXPECT_EQ(p.GetString("s", "half"), "\"open");
    EXPECT_EQ(p.GetString("s", "long").size(), 2047u);
    EXPECT_EQ(p.GetString("s", "long", "", 10), std::string(9, 'x'));
    EXPECT_EQ(p.GetString("none", "k", "default  "), "default");
    EXPECT_TRUE(p.GetKeyNames("none").empty());
}

TEST(ProfileReader, KeyListStopsAtItsBuffer) {
    ProfileReader p("[s]\naaaa=1\nbbbb=2\ncccc=3\n");
    // "aaaa\0bbbb\0" + final zero = 11 bytes.
    EXPECT_EQ(p.GetKeyNames("s", 11), (std::vector<std::string>{"aaaa", "bbbb"}));
    EXPECT_EQ(p.GetKeyNames("s", 10), (std::vector<std::string>{"aaaa"}));
}

TEST(ProfileReader, ReparseReplacesAndMissingFileEmpties) {
    ProfileReader p("[a]\nk=1\n");
    p.Parse("[b]\nk=2\n");
    EXPECT_FALSE(p.HasSection("a"));
    EXPECT_EQ(p.GetString("b", "k"), "2");
    EXPECT_FALSE(p.ParseFile("/nonexistent/dir/Skin.ini"));
    EXPECT_FALSE(p.HasSection("b"));
}

}  // namespace
}  // namespace qm
