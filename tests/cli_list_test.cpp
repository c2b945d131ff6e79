#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/AlbumBuilder.h"
#include "tests/RunCli.h"

namespace vyr::test {
namespace {

const std::string kAlbum = Album(
    {"#EXTM3U", "#EXTALB:Summer Songs", "#EXTART:The Example Band", "#EXTBYT:1000", "#EXTINF:215.25,Opening Theme",
     "01 Opening.mp3", "#EXTBYT:2000", "#EXTINF:187,Last Call", "02 Last Call.mp3", "#EXTBIN"},
    PatternBytes(3000));

TEST(cli_list, prints_the_album_as_json_with_offsets_and_ticks)
{
    TempDir dir;
    WriteFile(dir / "Summer.vyr", kAlbum);
    WriteFile(dir / "02 Last Call.mp3", "present");

    const CliRun run = RunCli({"list", "--json", dir / "Summer.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    const std::int64_t headerLength = static_cast<std::int64_t>(kAlbum.size()) - 3000;
    EXPECT_EQ(json["file"], dir / "Summer.vyr");
    EXPECT_EQ(json["kind"], "album");
    EXPECT_EQ(json["scanned"], false);
    EXPECT_EQ(json["title"], "Summer Songs");
    EXPECT_EQ(json["artist"], "The Example Band");
    EXPECT_EQ(json["headerLength"], headerLength);
    EXPECT_EQ(json["dataBase"], headerLength);
    ASSERT_EQ(json["tracks"].size(), 2u);
    const auto& first = json["tracks"][0];
    EXPECT_EQ(first["row"], 0);
    EXPECT_EQ(first["fileName"], "01 Opening.mp3");
    EXPECT_EQ(first["displayName"], "Opening Theme");
    EXPECT_DOUBLE_EQ(first["duration"].get<double>(), 215.25);
    EXPECT_EQ(first["time"], "03:35");
    EXPECT_EQ(first["byteCount"], 1000);
    EXPECT_EQ(first["hasByteCount"], true);
    EXPECT_EQ(first["offset"], headerLength);
    EXPECT_EQ(first["ticked"], true);
    EXPECT_EQ(json["tracks"][1]["offset"], headerLength + 1000);
    EXPECT_EQ(json["tracks"][1]["ticked"], false);
}

TEST(cli_list, prints_a_table_for_people)
{
    TempDir dir;
    WriteFile(dir / "Summer.vyr", kAlbum);
    const CliRun run = RunCli({"list", dir / "Summer.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Album:  Summer Songs"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1  01 Opening.mp3    Opening Theme  03:35   1Kb"), std::string::npos) << run.out;
}

// A header is anyone's text: escape sequences in it must not reach the terminal as commands.
TEST(cli_list, control_characters_reach_the_terminal_as_question_marks)
{
    const std::string blink = "\x1b[5m";
    const std::string title = "\x1b]0;owned\x07Live " + blink;
    TempDir dir;
    WriteFile(dir / "Live.vyr", Album({"#EXTALB:" + title, "#EXTBYT:10",
                                       "#EXTINF:61,Song\xc2\x9b"
                                       "2J",
                                       "a" + blink + ".mp3", "#EXTBIN"},
                                      std::string(200, 'x')));
    WriteFile(dir / "Refused.vyr", Album({"#EXTBYT:9999999999" + blink, "a.mp3", "#EXTBIN"}, std::string(100, 'x')));

    const CliRun table = RunCli({"list", dir / "Live.vyr"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.find('\x1b'), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("Album:  ?]0;owned?Live ?[5m\n"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("1  a?[5m.mp3  Song?2J"), std::string::npos) << table.out;

    const CliRun refused = RunCli({"list", dir / "Refused.vyr"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.find('\x1b'), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("The byte count \"9999999999?[5m\" is outside"), std::string::npos) << refused.err;

    // JSON keeps the exact text, escaped.
    const CliRun json = RunCli({"list", "--json", dir / "Live.vyr"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["title"], title);
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
}

TEST(cli_list, tells_what_a_file_is_when_it_is_no_album)
{
    struct Case {
        std::string bytes;
        const char* kind;
        const char* says;
    };
    const Case cases[] = {
        {std::string("PK\x03\x04 archive", 12), "zip", "is a ZIP archive"},
        {Album({"ID3 AlbumWrap"}), "albumwrap", "Sorry cannot locate files to recover."},
        {Album({"#EXTM3U", "a.mp3", "b.mp3"}), "noheader", "has no album header"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "file.vyr", c.bytes);
        const CliRun run = RunCli({"list", "--json", dir / "file.vyr"});
        EXPECT_EQ(run.status, 3) << c.kind;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        const auto json = nlohmann::json::parse(run.out);
        EXPECT_EQ(json["kind"], c.kind);
        EXPECT_TRUE(json["tracks"].empty());
        EXPECT_TRUE(std::filesystem::exists(dir / "file.vyr")) << "the terminal never renames";
    }
}

TEST(cli_list, answers_the_scan_question_yes_only_when_asked_to)
{
    TempDir dir;
    WriteFile(dir / "plain.mp3", Album({"#EXTM3U", "a.mp3", "b.mp3"}));
    const CliRun no = RunCli({"list", dir / "plain.mp3"});
    EXPECT_EQ(no.status, 3);
    EXPECT_NE(no.err.find("[answered No]"), std::string::npos) << no.err;
    const CliRun yes = RunCli({"list", "--scan", dir / "plain.mp3"});
    EXPECT_EQ(yes.status, 3);
    EXPECT_NE(yes.err.find("[answered Yes]"), std::string::npos) << yes.err;
    EXPECT_NE(yes.err.find("Sorry cannot locate files to recover."), std::string::npos) << yes.err;
}

TEST(cli_list, exits_2_for_usage_errors_and_unreadable_or_refused_files)
{
    TempDir dir;
    WriteFile(dir / "big.vyr", Album({"#EXTBYT:9999999999", "a.mp3", "#EXTBIN"}, std::string(100, 'x')));
    const std::vector<std::vector<std::string>> cases = {{"list"},
                                                         {"list", "--bogus", "x"},
                                                         {"nothing"},
                                                         {"list", dir / "missing.vyr"},
                                                         {"list", dir.path().string()},
                                                         {"list", dir / "big.vyr"}};
    for (const auto& arguments : cases) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 2) << arguments.back() << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(RunCli({"list", "--help"}).status, 0);
}

}  // namespace
}  // namespace vyr::test
