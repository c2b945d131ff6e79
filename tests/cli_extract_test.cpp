#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#endif

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/AlbumBuilder.h"
#include "tests/RunCli.h"
#include "tests/extract_mounts.h"

namespace vyr::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kData = PatternBytes(6000);

std::string ThreeTracks(std::string_view third = "c.mp3")
{
    return Album({"#EXTM3U", "#EXTBYT:1000", "a.mp3", "#EXTBYT:2000", "b.mp3", "#EXTBYT:3000", third, "#EXTBIN"},
                 kData);
}

Strings Statuses(const nlohmann::json& album)
{
    Strings statuses;
    for (const auto& row : album["rows"]) statuses.push_back(row["status"]);
    return statuses;
}

TEST(cli_extract, writes_the_rows_not_yet_in_the_output_folder)
{
    TempDir dir;
    TempDir out;
    WriteFile(dir / "Live.vyr", ThreeTracks());
    WriteFile(out / "b.mp3", "mine");

    const CliRun run = RunCli({"extract", "--json", "-o", out.path().string(), dir / "Live.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["file"], dir / "Live.vyr");
    EXPECT_EQ(json["targetFolder"], out.folder());
    // Ticked against the folder written to: the present file's row is not even ticked.
    EXPECT_EQ(Statuses(json), (Strings{"written", "unticked", "written"}));
    EXPECT_EQ(json["rows"][0]["row"], 0);  // counted from 0, as in vyr list --json
    EXPECT_EQ(json["rows"][2]["fileName"], "c.mp3");
    EXPECT_FALSE(json["rows"][0].contains("reason"));
    EXPECT_EQ(ReadFile(out / "a.mp3"), kData.substr(0, 1000));
    EXPECT_EQ(ReadFile(out / "b.mp3"), "mine");
    EXPECT_EQ(ReadFile(out / "c.mp3"), kData.substr(3000, 3000));
    EXPECT_EQ(run.err,
              dir / "Live.vyr" + ": 2 written, 0 skipped as present, 0 refused, 0 failed, in " + out.folder() + "\n");

    // The album's own folder by default; a second run finds everything there.
    EXPECT_EQ(RunCli({"extract", dir / "Live.vyr"}).status, 0);
    const CliRun again = RunCli({"extract", dir / "Live.vyr"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out,
              dir / "Live.vyr" + ": 0 written, 0 skipped as present, 0 refused, 0 failed, in " + dir.folder() + "\n");
    EXPECT_EQ(ReadFile(dir / "b.mp3"), kData.substr(1000, 2000));
}

TEST(cli_extract, names_without_a_folder_are_taken_from_the_working_folder)
{
#ifdef _WIN32
    GTEST_SKIP() << "the expected lines end the folder in a slash";
#endif
    struct Case {
        const char* name;
        Strings arguments;
        const char* writtenTo;  // under the album's folder
    };
    const Case cases[] = {
        {"album in the working folder", {"extract", "Live.vyr"}, ""},
        {"output named relatively", {"extract", "-o", "out", "Live.vyr"}, "out/"},
        {"output is the working folder", {"extract", "-o", ".", "../Live.vyr"}, "out/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directory(dir / "out");
        WriteFile(dir / "Live.vyr", ThreeTracks());
        const std::string folder = c.arguments.back() == "Live.vyr" ? dir.folder() : dir / "out";
        const CliRun run = RunCli(c.arguments, folder);
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string written = dir.folder() + c.writtenTo;
        EXPECT_EQ(run.out,
                  c.arguments.back() + ": 3 written, 0 skipped as present, 0 refused, 0 failed, in " + written + "\n");
        EXPECT_EQ(ReadFile(written + "a.mp3"), kData.substr(0, 1000));
        EXPECT_EQ(ReadFile(written + "c.mp3"), kData.substr(3000, 3000));
    }

    // The listing ticks against the same folder: a present track shows as such.
    TempDir dir;
    WriteFile(dir / "Live.vyr", ThreeTracks());
    WriteFile(dir / "b.mp3", "mine");
    const CliRun list = RunCli({"list", "Live.vyr"}, dir.folder());
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("b.mp3                           2Kb  (exists)"), std::string::npos) << list.out;
}

TEST(cli_extract, tracks_and_rename_choose_and_name_rows_before_the_run)
{
    TempDir dir;
    WriteFile(dir / "Live.vyr", ThreeTracks());
    WriteFile(dir / "a.mp3", "present");
    const CliRun run = RunCli({"extract", "--json", "--tracks", "1,3-3", "--rename", "3=Encore.mp3", dir / "Live.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(Statuses(json), (Strings{"exists", "unticked", "written"}));
    EXPECT_EQ(ReadFile(dir / "Encore.mp3"), kData.substr(3000, 3000));
    EXPECT_EQ(Entries(dir.folder()), (Strings{"Encore.mp3", "Live.vyr", "a.mp3"}));
}

// Paths and names are bytes: a folder or a new name that is not UTF-8 still gives valid JSON,
// each stray byte as U+FFFD, and the status of what was done.
TEST(cli_extract, json_stays_valid_when_a_folder_or_a_new_name_is_not_utf8)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows names are UTF-16: a folder name that is not UTF-8 cannot be made";
#endif
    TempDir dir;
    const std::string folder = dir / "Caf\xE9";
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/Live.vyr", ThreeTracks());

    const CliRun list = RunCli({"list", "--json", folder + "/Live.vyr"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(nlohmann::json::parse(list.out)["file"], dir / "Caf\xEF\xBF\xBD/Live.vyr");

    const CliRun run = RunCli({"extract", "--json", "--tracks", "1", "--rename", "1=N\xFC.mp3", folder + "/Live.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(Statuses(json), (Strings{"written", "unticked", "unticked"}));
    EXPECT_EQ(json["rows"][0]["fileName"], "N\xEF\xBF\xBD.mp3");
    EXPECT_EQ(ReadFile(folder + "/N\xFC.mp3"), kData.substr(0, 1000));
}

TEST(cli_extract, refused_and_failed_rows_give_status_1_with_their_reasons)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    WriteFile(dir / "sub/Live.vyr", ThreeTracks("../escape.mp3"));
    const CliRun run = RunCli({"extract", "--json", dir / "sub/Live.vyr"});
    EXPECT_EQ(run.status, 1);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(Statuses(json), (Strings{"written", "written", "unsafe-name"}));
    EXPECT_EQ(json["rows"][2]["reason"], "the name is not a plain file name");
    EXPECT_FALSE(std::filesystem::exists(dir / "escape.mp3"));
    EXPECT_NE(run.err.find("These files were not written:"), std::string::npos);
    EXPECT_NE(run.err.find(": 2 written, 0 skipped as present, 1 refused, 0 failed, in "), std::string::npos)
        << run.err;

    // The last row now runs one byte past the end of the album.
    WriteFile(dir / "Short.vyr", ThreeTracks().substr(0, ThreeTracks().size() - 1));
    const CliRun past = RunCli({"extract", "--json", "--tracks", "3", dir / "Short.vyr"});
    EXPECT_EQ(past.status, 1);
    const auto rows = nlohmann::json::parse(past.out)["rows"];
    EXPECT_EQ(rows[2]["status"], "failed");
    EXPECT_EQ(rows[2]["reason"], "the track runs past the end of the album");
    EXPECT_FALSE(std::filesystem::exists(dir / "c.mp3"));
}

TEST(cli_extract, exit_statuses_for_usage_unreadable_and_non_albums)
{
    TempDir dir;
    WriteFile(dir / "Live.vyr", ThreeTracks());
    WriteFile(dir / "Other.vyr", ThreeTracks());
    WriteFile(dir / "noise.bin", PatternBytes(4000, 3));
    struct Case {
        const char* name;
        Strings arguments;
        int status;
    };
    const Case cases[] = {
        {"missing file", {"extract", dir / "missing.vyr"}, 2},
        {"bad track list", {"extract", "--tracks", "3-1", dir / "Live.vyr"}, 2},
        {"track past the album", {"extract", "--tracks", "4", dir / "Live.vyr"}, 2},
        {"bad rename", {"extract", "--rename", "x=a.mp3", dir / "Live.vyr"}, 2},
        {"unsafe rename", {"extract", "--rename", "1=../a.mp3", dir / "Live.vyr"}, 2},
        {"rows named for several albums", {"extract", "--tracks", "1", dir / "Live.vyr", dir / "Other.vyr"}, 2},
        {"output is no folder", {"extract", "-o", dir / "noise.bin", dir / "Live.vyr"}, 2},
        {"not an album", {"extract", dir / "noise.bin"}, 3},
        {"scan finds nothing", {"extract", "--scan", dir / "noise.bin"}, 3},
        {"usage outweighs the rest", {"extract", dir / "noise.bin", dir / "missing.vyr"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
    }
    EXPECT_EQ(Entries(dir.folder()), (Strings{"Live.vyr", "Other.vyr", "noise.bin"}));
}

TEST(cli_extract, several_files_are_each_their_own_album)
{
    TempDir one;
    TempDir two;
    WriteFile(one / "A.vyr", ThreeTracks());
    WriteFile(two / "B.vyr", Album({"#EXTBYT:10", "x.mp3", "#EXTBIN"}, "0123456789"));
    const CliRun run = RunCli({"extract", "--json", one / "A.vyr", two / "B.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[1]["targetFolder"], two.folder());
    EXPECT_EQ(ReadFile(two / "x.mp3"), "0123456789");
    EXPECT_EQ(ReadFile(one / "c.mp3"), kData.substr(3000, 3000));
}

#ifndef _WIN32
// True once the process holds a file open in `folder`: the copy's temporary, named or not.
bool WritesInto(pid_t pid, const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.starts_with(folder)) return true;
    }
    return false;
}

TEST(cli_extract, a_stop_signal_during_a_copy_leaves_nothing_and_ends_with_128_and_the_signal)
{
    TempDir dir;
    // A sparse track of 1 GiB: long enough to be caught in the middle of its copy.
    const std::string header = Album({"#EXTM3U", "#EXTBYT:1073741824", "big.mp3", "#EXTBIN"});
    WriteFile(dir / "big.vyr", header);
    std::filesystem::resize_file(dir / "big.vyr", header.size() + (1U << 30));
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        TempDir out;
        const std::string folder = out.path().string();
        const pid_t pid = StartCli({"extract", "-o", folder, dir / "big.vyr"});
        ASSERT_NE(pid, 0);
        int raw = 0;
        bool caught = false;
        while (!caught && ::waitpid(pid, &raw, WNOHANG) == 0) {
            caught = WritesInto(pid, folder);
            if (!caught) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(caught) << "the copy ended before it could be interrupted";
        ::kill(pid, signal);
        ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
        ASSERT_TRUE(WIFEXITED(raw)) << "ended by the signal itself";
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signal);
        // A track the stop came too late for is left whole; anything else, nothing at all.
        for (const std::string& name : Entries(out.folder())) {
            EXPECT_EQ(name, "big.mp3");
            EXPECT_EQ(std::filesystem::file_size(out / name), std::uintmax_t{1} << 30);
        }
    }
}
#endif

TEST(cli_extract, sync_flushes_and_the_help_says_the_default_follows_cp)
{
    TempDir dir;
    WriteFile(dir / "Live.vyr", ThreeTracks());
    const CliRun run = RunCli({"extract", "--sync", dir / "Live.vyr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "c.mp3"), kData.substr(3000, 3000));
    const CliRun help = RunCli({"extract", "--help"});
    EXPECT_NE(help.out.find("--sync"), std::string::npos);
    EXPECT_NE(help.out.find("as cp"), std::string::npos);
}

}  // namespace
}  // namespace vyr::test
