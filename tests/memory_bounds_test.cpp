// What a load, a listing and a scan cost in memory, counted on the heap itself: every operator
// new of this program goes through the counter below, so a bound holds to the byte and does not
// depend on the sanitizers' own memory.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <new>
#include <ostream>
#include <streambuf>
#include <string>

#include "album/LoadAlbum.h"
#include "cli/AlbumTable.h"
#include "cli/CliWindow.h"
#include "cli/Commands.h"
#include "recovery/RecoveryScanner.h"
#include "recovery/ScanPrecisely.h"
#include "tests/AlbumBuilder.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

namespace {

std::atomic<std::int64_t> g_current{0};
std::atomic<std::int64_t> g_peak{0};
std::atomic<std::int64_t> g_total{0};

void Count(void* block)
{
    const auto size = static_cast<std::int64_t>(::malloc_usable_size(block));
    const std::int64_t now = g_current += size;
    g_total += size;
    for (std::int64_t peak = g_peak; now > peak && !g_peak.compare_exchange_weak(peak, now);) {
    }
}

}  // namespace

void* operator new(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    Count(block);
    return block;
}

void operator delete(void* block) noexcept
{
    if (block == nullptr) return;
    g_current -= static_cast<std::int64_t>(::malloc_usable_size(block));
    std::free(block);
}

void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete[](void* block) noexcept { ::operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }

namespace vyr::test {
namespace {

struct HeapUse {
    std::int64_t peak = 0;  // above what was in use before
    std::int64_t total = 0;  // every byte allocated on the way, freed or not
};

HeapUse Measure(const std::function<void()>& work)
{
    const std::int64_t before = g_current;
    g_peak = before;
    g_total = 0;
    work();
    return HeapUse{g_peak - before, g_total};
}

// Counts what the table would print and keeps none of it.
class Discard : public std::streambuf {
public:
    std::int64_t written = 0;

protected:
    int_type overflow(int_type c) override
    {
        ++written;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize count) override
    {
        written += count;
        return count;
    }
};

// A load through the terminal's window, as `vyr list` makes it; with `sink`, its table too.
HeapUse ListAlbum(const std::string& path, Discard* sink = nullptr)
{
    return Measure([&] {
        album::AlbumState state;
        std::ostream quiet(nullptr);
        cli::CliWindow window(quiet, false);
        recovery::RecoveryScanner scanner;
        ASSERT_EQ(album::LoadAlbum(state, window, path, scanner).kind, album::FileKind::Album);
        if (sink == nullptr) return;
        std::ostream out(sink);
        cli::PrintAlbum(out, state, ",");
    });
}

// The lines with CR LF ends; an album of them is followed by as many bytes of data, so the
// header stays within half of the file.
std::string HeaderOf(const std::vector<std::string>& lines)
{
    std::string header;
    for (const std::string& line : lines) header += line + "\r\n";
    return header;
}

TEST(memory_bounds, a_value_carried_over_to_many_tracks_is_held_once)
{
    // One display text of 512 KB above 800 file names: 400 MB were it copied into every row.
    const std::string display(512 << 10, 'D');
    std::vector<std::string> lines = {"#EXTM3U", "#EXTBYT:1", "#EXTINF:61," + display};
    for (int i = 0; i < 800; ++i) lines.push_back("t" + std::to_string(i) + ".mp3");
    lines.emplace_back("#EXTBIN");
    const std::string header = HeaderOf(lines);
    TempDir dir;
    WriteFile(dir / "bomb.vyr", header + std::string(header.size(), 'x'));

    Discard printed;
    const HeapUse use = ListAlbum(dir / "bomb.vyr", &printed);
    const auto headerBytes = static_cast<std::int64_t>(header.size());
    EXPECT_LT(use.peak, 4 * headerBytes) << "header of " << headerBytes << " bytes";
    // Each row shows the text cut to a cell's width, not the whole megabyte.
    EXPECT_LT(printed.written, 801 * 300);
}

TEST(memory_bounds, a_long_duration_is_read_once_not_once_per_track)
{
    // 30 KB of digits (the comma must lie within 32,767 characters) on one track-info line above 4,000 file names.
    const std::string duration = std::string(30 << 10, '0') + "61";
    std::vector<std::string> lines = {"#EXTBYT:1", "#EXTINF:" + duration + ",Song"};
    for (int i = 0; i < 4000; ++i) lines.push_back(std::to_string(i) + ".mp3");
    lines.emplace_back("#EXTBIN");
    const std::string header = HeaderOf(lines);
    TempDir dir;
    WriteFile(dir / "slow.vyr", header + std::string(header.size(), 'x'));

    const HeapUse use = ListAlbum(dir / "slow.vyr");
    // Reading the number again for every track allocates its digits 4,000 times over: 240 MB.
    // What a load allocates is a few hundred bytes per row and a small multiple of the header.
    EXPECT_LT(use.total, 4 * static_cast<std::int64_t>(header.size()) + 4000 * 512);
}

// A sparse file of `size` bytes with nothing to recover in it.
void SparseFile(const std::string& path, std::int64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

// `vyr extract --scan` in this process, with its own command-line parsing.
HeapUse ExtractScan(const std::string& path, const std::string& out)
{
    return Measure([&] {
        CLI::App app;
        int status = -1;
        cli::AddExtractCommand(app, status);
        app.parse(std::vector<std::string>{path, out, "-o", "--scan", "extract"});  // parsed from the back
        EXPECT_EQ(status, 3);
    });
}

// A command of `vyr` in this process, what it prints counted and dropped.
HeapUse RunCommand(std::vector<std::string> backwards, int expectedStatus)
{
    Discard printed;
    std::streambuf* const out = std::cout.rdbuf(&printed);
    std::streambuf* const err = std::cerr.rdbuf(&printed);
    const HeapUse use = Measure([&] {
        CLI::App app;
        int status = -1;
        cli::AddListCommand(app, status);
        cli::AddExtractCommand(app, status);
        app.parse(backwards);
        EXPECT_EQ(status, expectedStatus);
    });
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    return use;
}

// Every command stays far below 64 MiB, whatever names the header holds.
TEST(memory_bounds, long_names_are_held_cut_and_refused_without_copies)
{
    // 63 names of a megabyte each: the header alone is 63 MB, and was once held and copied into
    // the rows, the row report, the name claims and the failure text, 400 MB in all.
    std::vector<std::string> megabytes = {"#EXTM3U", "#EXTBYT:10"};
    for (int i = 0; i < 63; ++i) megabytes.push_back(std::to_string(i) + std::string(1'000'000, 'n'));
    // The most names a header holds, each too long and in the Windows-1252 range that takes three
    // bytes a character as UTF-8, each listed in the failure text.
    std::vector<std::string> widest = {"#EXTBYT:1"};
    for (int i = 0; i < 32'766; ++i) widest.push_back(std::to_string(100'000 + i) + std::string(250, '\x80'));
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::int64_t bound;
    } cases[] = {{"megabytes", megabytes, 16 << 20}, {"widest", widest, 48 << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines = c.lines;
        lines.emplace_back("#EXTBIN");
        const std::string header = HeaderOf(lines);
        TempDir dir;
        WriteFile(dir / "long.vyr", header);
        std::filesystem::resize_file(dir / "long.vyr", 2 * header.size());

        EXPECT_LT(RunCommand({dir / "long.vyr", "--json", "list"}, 0).peak, c.bound);
        EXPECT_LT(RunCommand({dir / "long.vyr", dir.folder(), "-o", "--json", "extract"}, 1).peak, c.bound);
        EXPECT_EQ(Entries(dir.folder()), std::vector<std::string>{"long.vyr"});
    }
}

TEST(memory_bounds, a_scan_before_extracting_stays_flat_whatever_the_file_size)
{
    TempDir dir;
    // The small file already fills every read-ahead window the scan holds.
    SparseFile(dir / "small.bin", 16 << 20);
    SparseFile(dir / "large.bin", 512 << 20);  // 32 times the blocks, and the progress values
    const HeapUse small = ExtractScan(dir / "small.bin", dir.folder());
    const HeapUse large = ExtractScan(dir / "large.bin", dir.folder());
    EXPECT_LT(large.peak, small.peak + (64 << 10)) << small.peak;
}

// `vyr scan --precise` in this process, through the terminal's window.
HeapUse PreciseScan(const std::string& path)
{
    return Measure([&] {
        album::AlbumState state;
        std::ostream quiet(nullptr);
        cli::CliWindow window(quiet, false);
        EXPECT_EQ(recovery::ScanPrecisely(state, window, path), album::ScanOutcome::Recovered);
    });
}

// An ID3v2.4 tag holding a title of `titleBytes` letters, and frames behind it.
std::string TrackWithTitle(std::size_t titleBytes)
{
    const auto synchsafe = [](std::size_t n) {
        return std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                           static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
    };
    const std::string frame =
        "TIT2" + synchsafe(titleBytes + 1) + std::string(2, '\0') + '\3' + std::string(titleBytes, 't');
    std::string frames;
    for (int i = 0; i < 8; ++i) frames += "\xFF\xFB\x90\x64" + std::string(413, '\x11');
    return std::string("ID3\4\0\0", 6) + synchsafe(frame.size()) + frame + frames;
}

TEST(memory_bounds, a_precise_scan_keeps_no_more_than_a_name_of_a_tag_or_a_header)
{
    TempDir dir;
    // 4 MiB of header lines in front of the frames: more lines than any header has.
    std::string lines;
    while (lines.size() < (std::size_t{4} << 20)) lines += "x\r";
    WriteFile(dir / "lines.bin", lines + TrackWithTitle(10) + TrackWithTitle(10));
    // Titles of 250 KiB: were each kept whole, 80 tracks would hold 20 MiB of them.
    std::string titles;
    for (int i = 0; i < 80; ++i) titles += TrackWithTitle(std::size_t{250} << 10);
    WriteFile(dir / "titles.bin", titles);
    for (const char* name : {"lines.bin", "titles.bin"}) {
        SCOPED_TRACE(name);
        EXPECT_LT(PreciseScan(dir / name).peak, std::int64_t{16} << 20);
    }
}

}  // namespace
}  // namespace vyr::test
