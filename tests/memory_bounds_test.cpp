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
#include <functional>
#include <new>
#include <ostream>
#include <streambuf>
#include <string>

#include "album/LoadAlbum.h"
#include "cli/AlbumTable.h"
#include "cli/CliWindow.h"
#include "cli/Commands.h"
#include "tests/AlbumBuilder.h"
#include "tests/TestFiles.h"

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
        cli::CliWindow window(quiet, false, ",");
        ASSERT_EQ(album::LoadAlbum(state, window, path).kind, album::FileKind::Album);
        if (sink == nullptr) return;
        std::ostream out(sink);
        cli::PrintAlbum(out, state, window);
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

}  // namespace
}  // namespace vyr::test
