#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "tests/AlbumBuilder.h"
#include "tests/RunCli.h"
#include "tests/TestFiles.h"

// `--precise` of vyr scan, list --scan and extract --scan, as a script meets them.
namespace vyr::test {
namespace {

const std::string kMaterial = std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/";
const std::string kFirst = ReadFile(kMaterial + "cover-id3v24.mp3");
const std::string kSecond = ReadFile(kMaterial + "apev2.mp3");

TEST(cli_precise, scan_json_names_the_method_the_name_sources_and_the_gaps)
{
    TempDir dir;
    const std::string junk(100, 'j');
    WriteFile(dir / "Mix.mp3", junk + kFirst + kSecond);
    const CliRun run = RunCli({"scan", "--precise", "--json", dir / "Mix.mp3"});
    ASSERT_EQ(0, run.status) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ("precise", json["method"]);
    ASSERT_EQ(2u, json["tracks"].size());
    EXPECT_EQ("08 Cover Tone.mp3", json["tracks"][0]["fileName"]);
    EXPECT_EQ("tags", json["tracks"][0]["nameFrom"]);
    EXPECT_EQ(100, json["tracks"][0]["offset"]);
    EXPECT_EQ("[02] Mix.mp3", json["tracks"][1]["fileName"]);
    EXPECT_EQ("numbered", json["tracks"][1]["nameFrom"]);
    EXPECT_EQ(nlohmann::json::array(), json["tracks"][0]["damaged"]);
    // Text in front of the first track is no junk of its own: an album header's remains.
    EXPECT_EQ(nlohmann::json::parse(R"([{"offset": 0, "byteCount": 100}])"), json["gaps"]);

    // The classic scan says which it is, and has neither name sources, damage nor gaps.
    const auto classic = nlohmann::json::parse(RunCli({"scan", "--json", dir / "Mix.mp3"}).out);
    EXPECT_EQ("classic", classic["method"]);
    EXPECT_FALSE(classic.contains("gaps"));
    EXPECT_FALSE(classic["tracks"][0].contains("nameFrom"));
    EXPECT_FALSE(classic["tracks"][0].contains("damaged"));

    // An album's rows come from its header: no method at all.
    WriteFile(dir / "A.vyr", Album({"#EXTBYT:4", "a.mp3", "#EXTBIN"}, std::string(100, 'x')));
    const auto album = nlohmann::json::parse(RunCli({"list", "--json", dir / "A.vyr"}).out);
    EXPECT_FALSE(album.contains("method"));
}

TEST(cli_precise, exit_statuses_as_for_scan)
{
    TempDir dir;
    WriteFile(dir / "Junk.mp3", std::string(4000, 'x'));
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {"nothing found", {"scan", "--precise", dir / "Junk.mp3"}, 3},
        {"a missing file", {"scan", "--precise", dir / "None.mp3"}, 2},
        {"list --precise without --scan", {"list", "--precise", dir / "Junk.mp3"}, 2},
        {"extract --precise without --scan", {"extract", "--precise", dir / "Junk.mp3"}, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.status, RunCli(c.arguments).status) << c.name;
    EXPECT_EQ("vyr Extract: Sorry cannot locate files to recover.\n",
              RunCli({"scan", "--precise", dir / "Junk.mp3"}).err);
}

TEST(cli_precise, list_scan_precise_on_a_file_without_header)
{
    TempDir dir;
    WriteFile(dir / "Mix.mp3", kFirst + kSecond);
    const CliRun run = RunCli({"list", "--scan", "--precise", "--json", dir / "Mix.mp3"});
    ASSERT_EQ(0, run.status) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ("noheader", json["kind"]);
    EXPECT_EQ("precise", json["method"]);
    EXPECT_EQ(2u, json["tracks"].size());
}

TEST(cli_precise, extract_scan_precise_writes_each_part_byte_identical)
{
    TempDir dir;
    TempDir out;
    WriteFile(dir / "Mix.mp3", std::string(77, 'j') + kFirst + kSecond);
    const CliRun run = RunCli({"extract", "--scan", "--precise", "-o", out.folder(), dir / "Mix.mp3"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("2 written")) << run.out;
    EXPECT_TRUE(ReadFile(out / "08 Cover Tone.mp3") == kFirst);
    EXPECT_TRUE(ReadFile(out / "[02] Mix.mp3") == kSecond);
}

TEST(cli_precise, damage_stays_in_its_part_and_is_named_in_the_json)
{
    TempDir dir;
    TempDir out;
    // Junk in front of the first frame, as a file may hold it before it is joined; a run of
    // zeros inside the second file's frames, as a lost sector reads back.
    const std::string junk(77, '\0');
    std::string damaged = kSecond;
    damaged.replace(1000, 1200, std::string(1200, '\0'));
    WriteFile(dir / "Mix.mp3", junk + kFirst + damaged);
    const CliRun scan = RunCli({"scan", "--precise", "--json", dir / "Mix.mp3"});
    ASSERT_EQ(0, scan.status) << scan.err;
    const auto json = nlohmann::json::parse(scan.out);
    ASSERT_EQ(2u, json["tracks"].size());
    EXPECT_EQ(nlohmann::json::parse("[[0, 77]]"), json["tracks"][0]["damaged"]);
    const auto second = json["tracks"][1]["damaged"];
    ASSERT_EQ(1u, second.size());
    const std::int64_t start = 77 + static_cast<std::int64_t>(kFirst.size());
    EXPECT_LE(second[0][0].get<std::int64_t>(), start + 1000 + 200);
    EXPECT_GE(second[0][1].get<std::int64_t>(), start + 2200);
    EXPECT_EQ(nlohmann::json::array(), json["gaps"]);

    const CliRun run = RunCli({"extract", "--scan", "--precise", "-o", out.folder(), dir / "Mix.mp3"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(ReadFile(out / "08 Cover Tone.mp3") == junk + kFirst);
    EXPECT_TRUE(ReadFile(out / "[02] Mix.mp3") == damaged);
}

}  // namespace
}  // namespace vyr::test
