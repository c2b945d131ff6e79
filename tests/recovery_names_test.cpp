#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recovery/HeaderNames.h"
#include "tests/TestFiles.h"

namespace vyr::recovery {
namespace {

using Names = std::vector<std::string>;

Names NamesOf(std::string_view text, std::size_t pieceSize = 0)
{
    HeaderNames names;
    if (pieceSize == 0) {
        names.Feed(text);
    } else {
        for (std::size_t i = 0; i < text.size(); i += pieceSize) names.Feed(text.substr(i, pieceSize));
    }
    return names.Names();
}

TEST(recovery_header_names, split_at_mp3_after_the_last_bracket)
{
    const std::string longName(HeaderNames::kMaxNameBytes, 'n');
    const struct {
        const char* name;
        std::string text;
        Names expected;
    } cases[] = {
        {"no .mp3: no names", "#EXTM3U\r\nSong\r\n", {""}},
        {"album header lines",
         "#EXTINF:3,x\r\n[01] First.mp3\r\n#EXTINF:4,y\r\n[02] Second.mp3\r\n#EXT",
         {"First", "Second"}},
        {"text after the last ] only, trimmed", "a]b]  Long Name  .mp3", {"Long Name"}},
        {"no ]: the whole piece", "  Plain.mp3", {"Plain"}},
        {"empty names before the first are dropped", ".mp3 ] .mp3One.mp3", {"One"}},
        {"empty names after the first take an entry", "One.mp3.mp3]  .mp3Four.mp3", {"One", "", "", "Four"}},
        {"case matters", "One.MP3Two.mp3", {"One.MP3Two"}},
        {"the text after the last .mp3 names nothing", "One.mp3Two", {"One"}},
        {"a broken match stays in the name", "a.mp.mp3", {"a.mp"}},
        {"a split across pieces", "x]..mp.x.mp3", {"..mp.x"}},
        {"slash makes it empty", "One.mp3a/b.mp3Three.mp3", {"One", "", "Three"}},
        {"backslash and control characters too", "One.mp3a\\b.mp3c\x01.mp3", {"One", "", ""}},
        {"dot and dot-dot", "One.mp3 ..mp3 . .mp3", {"One", "", ""}},
        {"200 bytes is a name", longName + ".mp3", {longName}},
        {"201 bytes is not", "One.mp3" + longName + "n.mp3", {"One", ""}},
        {"trailing spaces do not count", "  " + longName + "        .mp3", {longName}},
        {"a ] resets a long name", std::string(300, 'x') + "]Short.mp3", {"Short"}},
        {"bytes above 127 are kept as bytes", "Caf\xE9.mp3", {"Caf\xE9"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, NamesOf(c.text)) << c.name;
        EXPECT_EQ(c.expected, NamesOf(c.text, 3)) << c.name << " (fed 3 bytes at a time)";
    }
}

TEST(recovery_header_names, too_many_names_overflow)
{
    HeaderNames names;
    for (std::size_t i = 0; i < HeaderNames::kMaxNames; ++i) names.Feed("n.mp3");
    EXPECT_FALSE(names.Overflowed());
    EXPECT_EQ(HeaderNames::kMaxNames, names.Names().size());
    names.Feed("n.mp3");
    EXPECT_TRUE(names.Overflowed());
}

TEST(recovery_row_names, header_names_else_numbered_from_the_listed_name)
{
    const Names names{"First", "Second", ""};
    const struct {
        int row;
        Names names;
        const char* listed;
        const char* expected;
    } cases[] = {
        {0, names, "Party.Mix.vyr", "[01] First.mp3"},
        {1, names, "Party.Mix.vyr", "[02] Second.mp3"},
        {2, names, "Party.Mix.vyr", "[03] Party.mp3"},
        {3, names, "Party.Mix.vyr", "[04] Party.mp3"},
        {0, {""}, "Song.vyr", "[01] Song.mp3"},
        {0, {""}, "noextension", "[01] mp3"},
        {99, {""}, "a.b", "[100] a.mp3"},
        {8, {""}, ".hidden", "[09] .mp3"},
        {0, {"Caf\xE9"}, "x.vyr", "[01] Caf\xC3\xA9.mp3"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, RowFileName(c.row, c.names, c.listed)) << c.expected;
}

TEST(recovery_row_names, a_name_from_any_listed_name_can_be_written_on_either_platform)
{
    const std::string a250 = std::string(248, 'a') + ".b";
    // 84 characters of three bytes each: the cut must not split one.
    std::string euros;
    for (int i = 0; i < 84; ++i) euros += "\xE2\x82\xAC";
    const struct {
        const char* name;
        int row;
        Names names;
        std::string listed;
        std::string expected;
    } cases[] = {
        {"a backslash", 0, {""}, "back\\slash.bin", "[01] back_slash.mp3"},
        {"a line feed", 1, {""}, "line\nfeed.bin", "[02] line_feed.mp3"},
        {"what Windows reserves", 0, {""}, "a:b*c?d\"e<f>g|h\x7F.x", "[01] a_b_c_d_e_f_g_h_.mp3"},
        {"a 250-byte name", 0, {""}, a250, "[01] " + std::string(246, 'a') + ".mp3"},
        {"a wider number leaves less room", 99, {""}, a250, "[100] " + std::string(245, 'a') + ".mp3"},
        {"cut at a character's start", 99, {""}, euros + ".x", "[100] " + euros.substr(0, 243) + ".mp3"},
        {"a header name's display text too",
         0,
         {std::string(200, '\x80')},
         "x.vyr",
         "[01] " + euros.substr(0, 246) + ".mp3"},
    };
    for (const auto& c : cases) {
        const std::string name = RowFileName(c.row, c.names, c.listed);
        EXPECT_EQ(c.expected, name) << c.name;
        EXPECT_LE(name.size(), 255u) << c.name;
    }
}

TEST(recovery_row_names, listed_name_of_a_path)
{
    test::TempDir dir;
    test::WriteFile(dir / "Party.Mix.vyr", "x");
    EXPECT_EQ("Party.Mix.vyr", ListedName(dir / "Party.Mix.vyr"));
    EXPECT_EQ("", ListedName(dir / "absent.vyr"));
}

}  // namespace
}  // namespace vyr::recovery
