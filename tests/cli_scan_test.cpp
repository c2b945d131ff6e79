#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/RunCli.h"
#include "tests/ScanMaterial.h"
#include "tests/TestFiles.h"

namespace vyr::test {
namespace {

TEST(cli_scan, json_lists_the_parts_with_their_offsets)
{
    TempDir dir;
    const std::string header = "[01] Intro.mp3\r\n" + std::string(600, ' ');
    WriteFile(dir / "Mix.alb", header + TaggedPart(5000) + TaggedPart(7000) + kSync + std::string(999, 'd'));
    const CliRun run = RunCli({"scan", "--json", dir / "Mix.alb"});
    ASSERT_EQ(0, run.status) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(dir / "Mix.alb", json["file"]);
    EXPECT_EQ("noheader", json["kind"]);
    EXPECT_EQ(true, json["scanned"]);
    EXPECT_EQ("", json["title"]);
    EXPECT_EQ("", json["artist"]);
    EXPECT_EQ(header.size(), json["headerLength"]);
    EXPECT_EQ(header.size(), json["dataBase"]);
    const auto& tracks = json["tracks"];
    ASSERT_EQ(3u, tracks.size());
    const struct {
        const char* fileName;
        std::size_t byteCount;
        std::size_t offset;
    } expected[] = {{"[01] Intro.mp3", 5000, header.size()},
                    {"[02] Mix.mp3", 7000, header.size() + 5000},
                    {"[03] Mix.mp3", 1001, header.size() + 12000}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(i, tracks[i]["row"]);
        EXPECT_EQ(expected[i].fileName, tracks[i]["fileName"]);
        EXPECT_EQ(expected[i].byteCount, tracks[i]["byteCount"]);
        EXPECT_EQ(expected[i].offset, tracks[i]["offset"]);
        EXPECT_EQ(true, tracks[i]["hasByteCount"]);
        EXPECT_EQ(true, tracks[i]["ticked"]);
    }
}

TEST(cli_scan, table_and_exit_statuses)
{
    TempDir dir;
    WriteFile(dir / "Two.mp3", TaggedPart(3000) + TaggedPart(4000));
    WriteFile(dir / "Plain.mp3", std::string(5000, 'p'));
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string out;  // a line the output holds
        std::string err;
    } cases[] = {
        {"found", {"scan", dir / "Two.mp3"}, 0, "[02] Two.mp3", ""},
        {"nothing found", {"scan", dir / "Plain.mp3"}, 3, "", "vyr Extract: Sorry cannot locate files to recover.\n"},
        {"unreadable",
         {"scan", dir / "absent.mp3"},
         2,
         "",
         "vyr Extract: Cannot read the file\n" + dir / "absent.mp3" + "\nNo such file or directory\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(c.status, run.status) << c.name << ": " << run.err;
        EXPECT_NE(std::string::npos, run.out.find(c.out)) << c.name << ": " << run.out;
        EXPECT_EQ(c.err, run.err) << c.name;
    }
}

TEST(cli_scan, json_kind_is_the_loaders_verdict_from_the_scans_own_reads)
{
    TempDir dir;
    const std::string parts = TaggedPart(3000) + TaggedPart(4000);
    // One line to its end, whose last 13 bytes lie just past 3 MiB: no block of the walk needs
    // them, so the verdict comes from reads past where the walk itself stopped.
    std::string wrapAtTheEnd;
    while (wrapAtTheEnd.size() < (std::size_t{3} << 20)) wrapAtTheEnd += parts;
    wrapAtTheEnd.resize(std::size_t{3} << 20);
    wrapAtTheEnd += "ID3 AlbumWrap";
    const struct {
        const char* name;
        std::string bytes;
        const char* kind;
    } cases[] = {
        {"album.vyr", "a.mp3\r\n#EXTBIN\r\n" + parts, "album"},
        {"archive.vyr", std::string("PK\x03\x04", 4) + parts, "zip"},
        {"wrap.mp3", "x\r\nID3 AlbumWrap\r\n" + parts, "albumwrap"},
        {"plain.mp3", parts, "noheader"},
        {"late.mp3", wrapAtTheEnd, "albumwrap"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / c.name, c.bytes);
        const CliRun scan = RunCli({"scan", "--json", dir / c.name});
        ASSERT_EQ(0, scan.status) << c.name << ": " << scan.err;
        EXPECT_EQ(c.kind, nlohmann::json::parse(scan.out)["kind"]) << c.name;
        const CliRun list = RunCli({"list", "--json", dir / c.name});
        EXPECT_EQ(c.kind, nlohmann::json::parse(list.out)["kind"]) << c.name;
    }
}

TEST(cli_scan, extract_writes_the_parts_of_a_file_whatever_its_name)
{
    std::vector<std::pair<std::string, std::string>> cases = {
        {std::string(248, 'a') + ".b", "[02] " + std::string(246, 'a') + ".mp3"},
    };
#ifndef _WIN32
    // Names only Linux can hold.
    cases.emplace_back("a:b.bin", "[02] a_b.mp3");
    cases.emplace_back("back\\slash.bin", "[02] back_slash.mp3");
    cases.emplace_back("line\nfeed.bin", "[02] line_feed.mp3");
#endif
    for (const auto& [name, second] : cases) {
        TempDir dir;
        TempDir out;
        WriteFile(dir / name, TaggedPart(3000) + TaggedPart(4000));
        const CliRun run = RunCli({"extract", "--scan", "-o", out.folder(), dir / name});
        EXPECT_EQ(0, run.status) << name << ": " << run.err;
        EXPECT_EQ(4000u, ReadFile(out / second).size()) << name;
    }
}

#ifndef _WIN32
TEST(cli_scan, a_sparse_3_gib_file_scans_in_bounded_memory)
{
    // Zeros but for two parts far apart: no frame sync near the front, so a scanner that kept the
    // bytes in front of the first sync would hold gigabytes.
    constexpr std::int64_t kLength = std::int64_t{3} << 30;
    constexpr std::int64_t kFirst = (std::int64_t{2} << 30) + 1000;
    TempDir dir;
    const std::string path = dir / "Big.alb";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ::ftruncate(fd, kLength));
    const std::string parts = TaggedPart(5000) + TaggedPart(7000);
    ASSERT_EQ(static_cast<ssize_t>(parts.size()), ::pwrite(fd, parts.data(), parts.size(), kFirst));
    ::close(fd);

    const CliRun run = RunCli({"scan", "--json", path});
    ASSERT_EQ(0, run.status) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(kFirst, json["headerLength"]);
    const auto& tracks = json["tracks"];
    ASSERT_EQ(3u, tracks.size());
    EXPECT_EQ(5000, tracks[0]["byteCount"]);
    EXPECT_EQ(kFirst, tracks[0]["offset"]);
    EXPECT_EQ(7000, tracks[1]["byteCount"]);
    EXPECT_EQ(kLength - kFirst - 12000, tracks[2]["byteCount"]);

    rusage usage{};
    ASSERT_EQ(0, ::getrusage(RUSAGE_CHILDREN, &usage));
    // Kilobytes; generous for the sanitizers' own shadow memory, far below the file's size.
    EXPECT_LT(usage.ru_maxrss, 128 * 1024);
}

// Bytes the process has read so far, or -1 once it is gone.
std::int64_t BytesRead(pid_t pid)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    for (std::string key; io >> key;) {
        std::int64_t value = 0;
        io >> value;
        if (key == "rchar:") return value;
    }
    return -1;
}

TEST(cli_scan, a_stop_signal_during_a_scan_ends_it_at_once_with_128_and_the_signal_and_writes_nothing)
{
    // Zeros with nothing to find: every scan reads on to the end, seconds after the signal.
    TempDir dir;
    const std::string path = dir / "Sparse.bin";
    WriteFile(path, "");
    std::filesystem::resize_file(path, std::int64_t{8} << 30);
    const std::vector<std::string> commands[] = {
        {"scan"},
        {"scan", "--json", "--precise"},
        {"list", "--scan"},
        {"list", "--json", "--scan", "--precise"},
        {"extract", "--scan"},
        {"extract", "--json", "--scan", "--precise"},
    };
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    int turn = 0;
    for (std::vector<std::string> arguments : commands) {
        const int signal = signals[turn++ % 3];
        TempDir out;
        if (arguments.front() == "extract") arguments.insert(arguments.end(), {"-o", out.path().string()});
        arguments.push_back(path);
        SCOPED_TRACE(arguments[0] + " " + arguments[1] + ", " + ::strsignal(signal));
        const pid_t pid = StartCli(arguments, out / "stdout");
        ASSERT_NE(pid, 0);
        // Well into the file, so the scan (or the loader's pass before it) is under way.
        int raw = 0;
        while (::waitpid(pid, &raw, WNOHANG) == 0 && BytesRead(pid) < (64 << 20))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(::kill(pid, signal), 0) << "the scan ended before it could be stopped";
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
        const auto took = std::chrono::steady_clock::now() - sent;
        EXPECT_LT(took, std::chrono::milliseconds(500));
        ASSERT_TRUE(WIFEXITED(raw)) << "ended by the signal itself";
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signal);
        EXPECT_EQ(ReadFile(out / "stdout"), "");
        std::filesystem::remove(out / "stdout");
        EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    }
}
#endif

}  // namespace
}  // namespace vyr::test
