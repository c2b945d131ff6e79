#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "album/FirstPass.h"
#include "recovery/BlockWalk.h"
#include "recovery/MarkerFinder.h"
#include "support/ByteStream.h"
#include "tests/ScanMaterial.h"
#include "tests/recovery_naive_walk.h"

namespace vyr::recovery {
namespace {

using Bytes = std::string;
using test::kSync;
using test::TaggedPart;
using test::TextTag;

Bytes Fill(std::size_t count, char ch = 'a') { return Bytes(count, ch); }

class PositionLog : public WalkListener {
public:
    bool OnBlock(std::int64_t position, std::int64_t) override
    {
        positions.push_back(position);
        return true;
    }
    std::vector<std::int64_t> positions;
};

WalkResult Fast(const Bytes& file, std::size_t window = WalkOptions{}.windowBytes, FinderKind finder = FinderKind::Best,
                WalkListener* listener = nullptr, int readers = WalkOptions{}.readers)
{
    support::MemoryStream source(file);
    WalkOptions options;
    options.windowBytes = window;
    options.finder = finder;
    options.readers = readers;
    // Few slots, so readers wait for the walk to give windows back, as they do on large files.
    options.slots = readers > 0 ? 2 + readers : 2;
    return WalkBlocks(source, listener, options);
}

void ExpectSame(const WalkResult& expected, const WalkResult& actual, const std::string& what)
{
    EXPECT_EQ(expected.outcome, actual.outcome) << what;
    EXPECT_EQ(expected.syncFound, actual.syncFound) << what;
    EXPECT_EQ(expected.headerLength, actual.headerLength) << what;
    EXPECT_EQ(expected.dataBase, actual.dataBase) << what;
    EXPECT_EQ(expected.boundaries, actual.boundaries) << what;
    EXPECT_EQ(expected.byteCounts, actual.byteCounts) << what;
    EXPECT_EQ(expected.headerNames, actual.headerNames) << what;
}

// Each worked case: what the walk must find, checked against both walks and several windows.
struct WalkCase {
    const char* name;
    Bytes file;
    std::int64_t headerLength;
    std::int64_t dataBase;
    std::vector<std::int64_t> boundaries;
    std::vector<std::int64_t> byteCounts;
};

std::vector<WalkCase> WorkedCases()
{
    const Bytes header943 = Fill(943);
    const Bytes twoParts = header943 + TaggedPart(5000) + TaggedPart(7000);
    // A file whose tag starts 100 bytes before its end: the tag's missing bytes read as zeros.
    const Bytes shortTag = Fill(700) + TextTag() + Fill(1000) + "TAG" + Fill(97, 'b');
    return {
        {"empty file", "", 0, 0, {}, {0}},
        {"one byte", "T", 0, 0, {}, {0}},
        {"sync at offset 100 of the first block", Fill(100) + kSync + Fill(1000), 100, 0, {}, {0}},
        {"sync at offset 1500", Fill(1500) + kSync + Fill(600), 1500, 0, {}, {0}},
        {"sync across the first two blocks", Fill(511) + kSync + Fill(600), 511, 0, {}, {0}},
        {"sync at offset 0", kSync + Fill(2000), 0, 0, {}, {0}},
        {"943-byte header, parts of 5,000 and 7,000 bytes", twoParts, 943, 943, {5943, 12943}, {5000, 7000}},
        {"last part kept after the last tag",
         header943 + TaggedPart(5000) + kSync + Fill(3000),
         943,
         943,
         {5943},
         {5000, 3002}},
        {"tag with a byte above 126 ends nothing",
         Fill(700) + "TAG" + Fill(60, 'b') + "\x7F" + Fill(64, 'b') + Fill(900),
         0,
         0,
         {},
         {0}},
        {"tag less than 128 bytes before the end: part cut at the end", shortTag, 0, 0, {828, 1956}, {828, 1100}},
        {"a first part is cut at the end too", Fill(2) + "TAG" + Fill(31, 'b'), 0, 0, {130}, {36}},
        {"TAG in the first block ends a part", Fill(200) + TextTag() + Fill(1000), 0, 0, {328}, {328, 1000}},
        {"ID3v2.3 in the first block makes no boundary", Fill(100) + "ID3\x03" + Fill(2000), 0, 0, {}, {0}},
        {"ID3v2.3 after the first block", Fill(1000) + "ID3\x03" + Fill(2000), 0, 0, {1000}, {1000, 2004}},
        {"Info at index 36 or less: boundary at the header",
         Fill(1024 + 20) + "Info" + Fill(2000),
         0,
         0,
         {1044},
         {1044, 2004}},
        {"Xing past index 36: boundary at its frame's sync",
         Fill(1100) + kSync + Fill(34) + "Xing" + Fill(2000),
         1100,
         0,
         {1100},
         {1100, 2040}},
        {"VBRI past index 36 without a sync behind it: nothing", Fill(1100) + "VBRI" + Fill(2000), 0, 0, {}, {0}},
        {"VBRI without a sync falls through to Xing",
         Fill(1090) + "VBRI" + Fill(6) + kSync + Fill(30) + "Xing" + Fill(1000),
         1100,
         0,
         {1100},
         {1100, 1036}},
        {"first boundary before the header length counts from 0",
         Fill(600) + TextTag() + kSync + Fill(3000),
         728,
         0,
         {728},
         {728, 3002}},
        // The boundary at 2,000 moves the next block to 2,512 (1-based): the ID3 header at offset
        // 2,300 in between is never searched.
        {"bytes after a boundary are skipped",
         Fill(2000) + "ID3\x03" + Fill(296) + "ID3\x03" + Fill(3000),
         0,
         0,
         {2000},
         {2000, 3304}},
    };
}

TEST(recovery_block_walk, worked_cases)
{
    for (const WalkCase& c : WorkedCases()) {
        SCOPED_TRACE(c.name);
        const WalkResult naive = test::NaiveWalk(c.file);
        EXPECT_EQ(c.headerLength, naive.headerLength);
        EXPECT_EQ(c.dataBase, naive.dataBase);
        EXPECT_EQ(c.boundaries, naive.boundaries);
        EXPECT_EQ(c.byteCounts, naive.byteCounts);
        for (const std::size_t window : {kMinWindowBytes, std::size_t{5000}, WalkOptions{}.windowBytes})
            ExpectSame(naive, Fast(c.file, window), c.name + std::string(" window ") + std::to_string(window));
    }
}

TEST(recovery_block_walk, block_sequence_reads_each_quiet_block_twice)
{
    PositionLog log;
    const WalkResult result = Fast(Fill(1500) + kSync + Fill(600), WalkOptions{}.windowBytes, FinderKind::Best, &log);
    EXPECT_EQ(1500, result.headerLength);
    ASSERT_GE(log.positions.size(), 4u);
    EXPECT_EQ((std::vector<std::int64_t>{1, 513, 508, 1020}),
              std::vector<std::int64_t>(log.positions.begin(), log.positions.begin() + 4));

    // A tag that is no tag still moves the walk onto it, without a second reading.
    PositionLog moved;
    Fast(Fill(700) + "TAG" + Fill(60, 'b') + "\xC8" + Fill(1500), WalkOptions{}.windowBytes, FinderKind::Best, &moved);
    EXPECT_EQ((std::vector<std::int64_t>{1, 513, 702 + 512}),
              std::vector<std::int64_t>(moved.positions.begin(), moved.positions.begin() + 3));
}

TEST(recovery_block_walk, stops_when_the_listener_says_so)
{
    struct StopAtThird : WalkListener {
        int blocks = 0;
        bool OnBlock(std::int64_t, std::int64_t) override { return ++blocks < 3; }
    } stop;
    const WalkResult result =
        Fast(TaggedPart(5000) + TaggedPart(5000), WalkOptions{}.windowBytes, FinderKind::Best, &stop);
    EXPECT_EQ(WalkOutcome::Stopped, result.outcome);
    EXPECT_EQ(3, stop.blocks);
}

TEST(recovery_block_walk, too_many_rows_and_too_long_parts_fail)
{
    const Bytes three = Fill(1000) + TextTag() + Fill(1000) + TextTag() + Fill(1000);
    support::MemoryStream source(three);
    WalkOptions options;
    options.maxRows = 2;
    EXPECT_EQ(WalkOutcome::TooManyRows, WalkBlocks(source, nullptr, options).outcome);
    EXPECT_EQ(WalkOutcome::TooManyRows, test::NaiveWalk(three, 2).outcome);
    options.maxRows = 3;
    EXPECT_EQ(WalkOutcome::Completed, WalkBlocks(source, nullptr, options).outcome);
    options.maxByteCount = 1000;
    EXPECT_EQ(WalkOutcome::PartTooLong, WalkBlocks(source, nullptr, options).outcome);
}

// Bytes of a file far larger than memory: zeros, with a few byte strings at fixed offsets.
class SparseSource : public support::ByteStream {
public:
    SparseSource(std::int64_t length, std::vector<std::pair<std::int64_t, Bytes>> pieces)
        : m_length(length), m_pieces(std::move(pieces))
    {
    }
    std::int64_t Length() const override { return m_length; }
    support::IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override
    {
        const std::size_t count = static_cast<std::size_t>(
            std::clamp<std::int64_t>(m_length - offset, 0, static_cast<std::int64_t>(into.size())));
        std::memset(into.data(), 0, count);
        for (const auto& [at, bytes] : m_pieces)
            for (std::size_t i = 0; i < bytes.size(); ++i)
                if (at + static_cast<std::int64_t>(i) >= offset &&
                    at + static_cast<std::int64_t>(i) < offset + static_cast<std::int64_t>(count))
                    into[static_cast<std::size_t>(at + static_cast<std::int64_t>(i) - offset)] =
                        static_cast<unsigned char>(bytes[i]);
        return {count, 0};
    }

private:
    std::int64_t m_length;
    std::vector<std::pair<std::int64_t, Bytes>> m_pieces;
};

TEST(recovery_block_walk, positions_past_2_gib_are_exact)
{
    constexpr std::int64_t k2GiB = std::int64_t{1} << 31;
    // Tags just before and after the 2 GiB mark, each found in a block of its own.
    const std::int64_t firstTag = k2GiB - 4096 + 100;
    const std::int64_t secondTag = k2GiB + 8192 + 300;
    SparseSource source(k2GiB + 20000, {{0, kSync}, {firstTag, TextTag()}, {secondTag, TextTag()}});
    WalkOptions options;
    options.windowBytes = std::size_t{4} << 20;
    const WalkResult result = WalkBlocks(source, nullptr, options);
    ASSERT_EQ(WalkOutcome::Completed, result.outcome);
    EXPECT_EQ((std::vector<std::int64_t>{firstTag + 128, secondTag + 128}), result.boundaries);
    EXPECT_EQ(0, result.headerLength);
    EXPECT_EQ((std::vector<std::int64_t>{firstTag + 128, secondTag - firstTag, k2GiB + 20000 - secondTag - 128}),
              result.byteCounts);
}

// Keeps what the walk showed it: each window's own part as Prepare saw it on a reader thread,
// checked again when the walk hands the window over.
class RecordingObserver : public PieceObserver {
public:
    explicit RecordingObserver(std::size_t stopAfter = SIZE_MAX) : m_stopAfter(stopAfter) {}
    void Prepare(const support::Window& window) override
    {
        const auto own = window.Own();
        prepared[window.slot].assign(own.begin(), own.end());
    }
    bool Take(const support::Window& window) override
    {
        if (window.error != 0) {
            error = window.error;
            return false;
        }
        const auto own = window.Own();
        EXPECT_EQ(prepared[window.slot], Bytes(own.begin(), own.end())) << "window " << window.index;
        EXPECT_EQ(static_cast<std::int64_t>(seen.size()), window.ownStart);
        seen.append(own.begin(), own.end());
        return ++m_taken < m_stopAfter;
    }
    std::array<Bytes, 16> prepared;
    Bytes seen;
    int error = 0;

private:
    std::size_t m_stopAfter;
    std::size_t m_taken = 0;
};

TEST(recovery_block_walk, the_observer_sees_every_byte_once_in_order)
{
    constexpr std::size_t kWindow = kMinWindowBytes;
    const struct {
        const char* name;
        std::size_t size;
        std::size_t stopAfter;
    } cases[] = {
        {"shorter than a window", 1000, SIZE_MAX},
        {"whole windows", 4 * kWindow, SIZE_MAX},
        {"the walk ends before the last window", 5 * kWindow + 100, SIZE_MAX},
        {"the observer has seen enough", 6 * kWindow + 7, 2},
        {"empty", 0, SIZE_MAX},
    };
    std::mt19937 random(9);
    for (const auto& c : cases)
        for (const int readers : {0, 1, 2}) {
            Bytes file(c.size, 'a');
            for (char& b : file) b = static_cast<char>(random());
            support::MemoryStream source(file);
            WalkOptions options;
            options.windowBytes = kWindow;
            options.readers = readers;
            options.slots = 3;
            RecordingObserver observer(c.stopAfter);
            const WalkResult result = WalkBlocks(source, nullptr, options, &observer);
            ExpectSame(test::NaiveWalk(file), result, c.name);
            const std::size_t expected = std::min(file.size(), c.stopAfter * kWindow);
            EXPECT_EQ(file.substr(0, expected), observer.seen) << c.name << ", readers " << readers;
        }
}

// Fails every read that touches one offset, from whichever thread asks.
class FailingSource : public support::ByteStream {
public:
    FailingSource(const Bytes& bytes, std::int64_t failAt) : m_bytes(bytes), m_failAt(failAt) {}
    std::int64_t Length() const override { return m_bytes.Length(); }
    support::IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override
    {
        if (offset <= m_failAt && m_failAt < offset + static_cast<std::int64_t>(into.size())) return {0, EIO};
        return m_bytes.ReadAt(offset, into);
    }

private:
    support::MemoryStream m_bytes;
    std::int64_t m_failAt;
};

TEST(recovery_block_walk, a_read_that_fails_ends_the_walk_and_tells_the_observer)
{
    const Bytes file = TaggedPart(9000) + TaggedPart(9000) + TaggedPart(9000);
    for (const int readers : {0, 2}) {
        FailingSource source(file, 20'000);
        WalkOptions options;
        options.windowBytes = kMinWindowBytes;
        options.readers = readers;
        RecordingObserver observer;
        const WalkResult result = WalkBlocks(source, nullptr, options, &observer);
        EXPECT_EQ(WalkOutcome::ReadFailed, result.outcome) << readers;
        EXPECT_EQ(EIO, observer.error);
        // The parts before the window that failed were still found; none after it.
        EXPECT_EQ((std::vector<std::int64_t>{9000, 18000}), result.boundaries);
    }
}

// Each marker the walk reacts to, placed across the end of a window's own part at every offset
// from wholly before it to wholly after it, with the walk on its own thread and on readers.
TEST(recovery_block_walk, a_marker_across_a_window_edge_is_found_as_by_the_literal_walk)
{
    constexpr std::size_t kWindow = kMinWindowBytes;
    const std::pair<const char*, Bytes> markers[] = {
        {"text tag", TextTag()},
        {"ID3v2.3", "ID3\x03"},
        {"sync and Xing", kSync + Fill(34) + "Xing"},
        {"sync and Info", kSync + Fill(4) + "Info"},
        {"VBRI", "VBRI"},
        {"sync", kSync},
    };
    for (const auto& [name, marker] : markers)
        for (std::size_t before = 0; before <= marker.size() + 1; ++before) {
            const std::size_t edge = 2 * kWindow;
            const Bytes file = TaggedPart(1500) + Fill(edge - before - 1500) + marker + Fill(kWindow / 2);
            const WalkResult naive = test::NaiveWalk(file);
            for (const int readers : {0, 2})
                ExpectSame(naive, Fast(file, kWindow, FinderKind::Best, nullptr, readers),
                           std::string(name) + ", " + std::to_string(before) + " bytes before the edge, readers " +
                               std::to_string(readers));
        }
}

TEST(recovery_marker_finder, every_kind_finds_the_same_markers)
{
    std::mt19937 random(7);
    const char* pieces[] = {"TAG", "TA", "ID3\x03", "ID3\x04", "Info", "Inf", "VBRI", "VBR", "Xing", "Xin", "I", "X"};
    for (int round = 0; round < 200; ++round) {
        Bytes bytes;
        const std::size_t size = random() % 3000;
        while (bytes.size() < size) {
            if (random() % 4 == 0)
                bytes += pieces[random() % std::size(pieces)];
            else if (random() % 3 == 0)  // any byte: high ones, and ones that share a marker byte's nibble
                bytes += static_cast<char>(random() % 256);
            else
                bytes += static_cast<char>("TIVXADnBGia\x03"[random() % 12]);
        }
        std::vector<MarkerHit> scalar;
        const std::span<const unsigned char> span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        FindMarkers(span, scalar, FinderKind::Scalar);
        for (const FinderKind kind : {FinderKind::Sse2, FinderKind::Avx2, FinderKind::Avx512, FinderKind::Best}) {
            if (!FinderAvailable(kind)) continue;
            std::vector<MarkerHit> hits;
            FindMarkers(span, hits, kind);
            ASSERT_EQ(scalar.size(), hits.size()) << "round " << round;
            for (std::size_t i = 0; i < hits.size(); ++i) {
                EXPECT_EQ(scalar[i].offset, hits[i].offset);
                EXPECT_EQ(scalar[i].marker, hits[i].marker);
            }
        }
    }
}

// The walk's search with the first pass's line summary along the way must give what the two give
// apart, wherever the summarized piece begins and ends in the searched bytes.
TEST(recovery_marker_finder, the_search_that_summarizes_lines_finds_what_the_two_searches_find_apart)
{
    std::mt19937 random(11);
    const char* pieces[] = {"TAG",  "ID3\x03", "Info", "VBRI",   "Xing", "EXTBIN", "EXTBI", "AlbumWrap",
                            "Albu", "ID3",     "\r\n", "\r\r\n", "\n",   "\r",     "EX",    "Al"};
    for (int round = 0; round < 400; ++round) {
        Bytes bytes;
        // Some rounds hold runs of line ends long enough to fill every lane's counter many times.
        const std::size_t size = round % 10 == 9 ? 40'000 + random() % 3000 : random() % 5000;
        while (bytes.size() < size) {
            if (round % 10 == 9 && random() % 8 == 0)
                bytes += Bytes(random() % 20'000, random() % 2 == 0 ? '\r' : '\n');
            else if (random() % 4 == 0)
                bytes += pieces[random() % std::size(pieces)];
            else
                bytes += static_cast<char>(random() % 3 == 0 ? random() % 256 : "TIVXEADnBilX\r\n"[random() % 14]);
        }
        const std::span<const unsigned char> span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        const std::size_t to = bytes.empty() ? 0 : random() % (bytes.size() + 1);
        const std::size_t from = random() % 4 == 0 ? 0 : random() % (to + 1);
        const std::string trace = "round " + std::to_string(round) + ", [" + std::to_string(from) + ", " +
                                  std::to_string(to) + ") of " + std::to_string(bytes.size());

        // Both append: a hit already in the list stays first.
        std::vector<MarkerHit> expectedHits{{7, Marker::Xing}};
        FindMarkers(span, expectedHits, FinderKind::Scalar);
        const album::LineSummary expected =
            album::SummarizeLines(span.subspan(from, to - from), album::LineIndexKind::Scalar);
        for (const FinderKind kind : {FinderKind::Scalar, FinderKind::Avx2, FinderKind::Best}) {
            if (!FinderAvailable(kind)) continue;
            std::vector<MarkerHit> hits{{7, Marker::Xing}};
            album::LineSummary summary;
            FindMarkersAndSummarize(span, from, to, hits, summary, kind);
            ASSERT_EQ(expectedHits.size(), hits.size()) << trace;
            for (std::size_t i = 0; i < hits.size(); ++i) {
                EXPECT_EQ(expectedHits[i].offset, hits[i].offset) << trace;
                EXPECT_EQ(expectedHits[i].marker, hits[i].marker) << trace;
            }
            EXPECT_EQ(expected.lineEnds, summary.lineEnds) << trace;
            EXPECT_EQ(expected.pairedEnds, summary.pairedEnds) << trace;
            EXPECT_EQ(expected.lastLineEnd, summary.lastLineEnd) << trace;
            EXPECT_EQ(expected.lastId3, summary.lastId3) << trace;
            EXPECT_EQ(expected.verdictTag, summary.verdictTag) << trace;
        }
    }
}

// Files built from the pieces the walk reacts to, at random places and distances, so block
// edges, second readings, look-backs and skipped stretches all meet the patterns.
Bytes RandomFile(std::mt19937& random)
{
    Bytes file;
    const std::size_t size = random() % 12000;
    while (file.size() < size) {
        switch (random() % 12) {
        case 0: file += TextTag(); break;
        case 1: file += "TAG" + Fill(random() % 130, 'b') + "\xC8"; break;
        case 2: file += "ID3\x03"; break;
        case 3: file += kSync; break;
        case 4: file += kSync + Fill(random() % 60) + (random() % 2 ? "Xing" : "Info"); break;
        case 5: file += "VBRI"; break;
        case 6: file += "abc.mp3]" + Fill(random() % 20, ' ') + "Name" + std::to_string(random() % 100) + ".mp3"; break;
        case 7: file += static_cast<char>(random()); break;
        default: file += Fill(random() % 700, "a b]"[random() % 4]); break;
        }
    }
    return file;
}

TEST(recovery_block_walk, fast_walk_matches_the_literal_walk_on_random_files)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 600; ++round) {
        const Bytes file = RandomFile(random);
        const WalkResult naive = test::NaiveWalk(file);
        const std::size_t window = kMinWindowBytes + random() % 9000;
        const FinderKind kinds[] = {FinderKind::Scalar, FinderKind::Sse2, FinderKind::Avx2, FinderKind::Avx512};
        const FinderKind kind = kinds[round % 4];
        const int readers = round % 3;  // on the walk's thread, one reader thread, two
        ExpectSame(naive, Fast(file, window, FinderAvailable(kind) ? kind : FinderKind::Scalar, nullptr, readers),
                   "round " + std::to_string(round) + " window " + std::to_string(window) + " readers " +
                       std::to_string(readers));
        if (HasFailure()) break;
    }
}

// Reports in stretches of `width` positions, from 1, and logs what it is told.
class GridListener final : public WalkListener {
public:
    explicit GridListener(std::int64_t width) : m_width(width) {}
    bool OnBlock(std::int64_t position, std::int64_t) override
    {
        told.push_back(position);
        return true;
    }
    Stretch QuietStretch(std::int64_t position, std::int64_t) override
    {
        const std::int64_t first = (position - 1) / m_width * m_width + 1;
        return {first, first + m_width - 1};
    }
    std::vector<std::int64_t> told;

private:
    std::int64_t m_width;
};

// Every position told is one of the literal walk's, in its order; every one left out belongs to
// the stretch of the one told last before it. Returns how many were left out.
std::size_t ExpectToldAsRead(const std::vector<std::int64_t>& every, GridListener& grid, const std::string& what)
{
    std::size_t told = 0;
    for (const std::int64_t position : every) {
        if (told < grid.told.size() && grid.told[told] == position) {
            ++told;
            continue;
        }
        if (told == 0) {
            ADD_FAILURE() << what << ": position " << position << " left out before any was told";
            return 0;
        }
        const WalkListener::Stretch quiet = grid.QuietStretch(grid.told[told - 1], 0);
        if (position < quiet.first || position > quiet.last) {
            ADD_FAILURE() << what << ": position " << position << " left out outside the stretch told";
            return 0;
        }
    }
    EXPECT_EQ(grid.told.size(), told) << what << ": told a position the walk does not read";
    return every.size() - told;
}

TEST(recovery_block_walk, blocks_taken_at_once_are_those_the_listener_would_hear_as_the_last)
{
    std::mt19937 random(77);
    std::size_t untold = 0;
    for (int round = 0; round < 200; ++round) {
        // Sparse files: long quiet stretches between the pieces, so whole pairs of readings go.
        Bytes file;
        const std::size_t size = random() % 60000;
        while (file.size() < size) {
            file += RandomFile(random).substr(0, random() % 400);
            file += Fill(random() % 6000, "a b"[random() % 3]);
        }
        const std::int64_t widths[] = {1, 2, 507, 1000, 4096, INT64_MAX / 2};
        const std::int64_t width = widths[round % 6];
        const std::string what = "round " + std::to_string(round) + " width " + std::to_string(width);

        support::MemoryStream source(file);
        WalkOptions options;
        options.windowBytes = kMinWindowBytes + random() % 20000;
        options.slots = 3;
        options.skipQuietBlocks = false;
        PositionLog every;
        const WalkResult literal = WalkBlocks(source, &every, options);
        ExpectSame(test::NaiveWalk(file), literal, what);

        options.skipQuietBlocks = true;
        GridListener grid(width);
        ExpectSame(literal, WalkBlocks(source, &grid, options), what);
        untold += ExpectToldAsRead(every.positions, grid, what);
        if (width == 1) {
            EXPECT_EQ(every.positions, grid.told) << what;
        }
    }
    EXPECT_GT(untold, 2'000u);  // the walk did take blocks at once
}

// One marker after a long quiet stretch, at every place against the grid of readings, the
// windows' edges and the file's end: a walk that takes quiet blocks at once must stop exactly
// where the first block that holds it begins.
TEST(recovery_block_walk, a_marker_after_quiet_blocks_is_met_wherever_it_lies)
{
    const Bytes markers[] = {TextTag(), "ID3\x03", kSync + Fill(30) + "Xing", "VBRI"};
    for (std::size_t at = 2400; at < 2400 + 2 * (512 - 5) + 20; ++at) {
        for (const Bytes& marker : markers) {
            // A tag soon after: a block that holds both takes the tag, so a block that held the
            // marker alone and was passed over shows.
            const Bytes file =
                Fill(100) + kSync + Fill(at - 102) + marker + Fill(at % 500) + TextTag() + Fill(at % 300);
            const std::string what = "marker at " + std::to_string(at) + " size " + std::to_string(file.size());
            support::MemoryStream source(file);
            WalkOptions options;
            options.windowBytes = kMinWindowBytes + (at * 7) % 1500;
            options.skipQuietBlocks = false;
            PositionLog every;
            ExpectSame(test::NaiveWalk(file), WalkBlocks(source, &every, options), what);
            options.skipQuietBlocks = true;
            GridListener all(INT64_MAX / 2);
            ExpectSame(test::NaiveWalk(file), WalkBlocks(source, &all, options), what);
            ExpectToldAsRead(every.positions, all, what);
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace vyr::recovery
