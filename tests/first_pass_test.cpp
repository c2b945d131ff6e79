#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>
#include <vector>

#include "album/FirstPass.h"
#include "fuzz/HeaderChecks.h"
#include "support/ByteStream.h"
#include "tests/AlbumBuilder.h"

namespace vyr::album {
namespace {

std::span<const unsigned char> Bytes(std::string_view text)
{
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// The pass fed `bytes` in pieces of `piece` bytes, as a reader of small windows would.
HeaderScan InPieces(std::string_view bytes, std::size_t piece)
{
    FirstPass pass(static_cast<std::int64_t>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        if (!pass.Feed(Bytes(bytes.substr(at, piece)))) break;
    return pass.Finish();
}

void ExpectSameScan(const HeaderScan& expected, const HeaderScan& actual, const std::string& what)
{
    EXPECT_EQ(expected.kind, actual.kind) << what;
    EXPECT_EQ(expected.headerLength, actual.headerLength) << what;
    EXPECT_EQ(expected.linesCounted, actual.linesCounted) << what;
    EXPECT_EQ(expected.lines, actual.lines) << what;
    EXPECT_EQ(expected.refusal, actual.refusal) << what;
}

// Files whose line ends and tags fall on every kind of piece edge once the piece sizes below
// are tried: a CR LF split between pieces, a tag cut anywhere, a CR right at a piece's end.
std::vector<std::pair<const char*, std::string>> EdgeFiles()
{
    const std::string data(400, 'x');
    return {
        {"worked example", test::Album({"#EXTM3U", "#EXTALB:Summer Songs", "#EXTBYT:3145728",
                                        "#EXTINF:215,Opening Theme", "01 Opening Theme.mp3", "#EXTBIN"},
                                       data)},
        {"EXTBIN after a long name", test::Album({std::string(37, 'n') + "EXTBIN"}, data)},
        {"AlbumWrap and ID3 far apart in one line",
         test::Album({"a.mp3", "ID3" + std::string(50, ' ') + "AlbumWrap"}, data)},
        {"AlbumWrap and ID3 on different lines", test::Album({"AlbumWrap", "ID3", "#EXTBIN"}, data)},
        {"tag cut by a CR", "EXT\rBIN\r\n" + data},
        {"bare CRs and lone LFs", "a\rb\n\rc\n\n\r\r\n#EXTBIN\r" + data},
        {"CR LF pairs back to back", "\r\n\r\n\r\n\r\nname\r\n\r\n#EXTBIN\r\n" + data},
        {"no header, stops at half", std::string(100, '\r') + std::string(300, 'y')},
        {"ZIP signature", std::string("PK\x03\x04", 4) + "#EXTBIN\r\n" + data},
        {"PK without a signature", "PK\x03\r\n#EXTBIN\r\n" + data},
        {"text after the last line end", "a.mp3\r\n#EXTB"},
        {"tag as the file's last bytes", "a.mp3\r\nAlbumWrap ID3"},
    };
}

TEST(first_pass, pieces_of_any_size_give_the_verdict_of_one_piece)
{
    for (const auto& [name, bytes] : EdgeFiles()) {
        const HeaderScan whole = InPieces(bytes, bytes.size() + 1);
        const fuzz::ReferenceHeader reference = fuzz::ReadReferenceHeader(bytes);
        EXPECT_EQ(reference.kind, whole.kind) << name;
        if (reference.kind != HeaderKind::ZipArchive) {
            EXPECT_EQ(reference.headerLength, whole.headerLength) << name;
        }
        for (const std::size_t piece : {1, 2, 3, 4, 5, 7, 8, 9, 10, 16, 33, 64})
            ExpectSameScan(whole, InPieces(bytes, piece), std::string(name) + ", pieces of " + std::to_string(piece));
    }
}

TEST(first_pass, the_stream_reader_keeps_lines_and_tags_across_its_reads)
{
    // Its first read is 64 KiB, the later ones 256 KiB: put a CR LF, an EXTBIN and an AlbumWrap
    // line across each edge.
    constexpr std::size_t kFirstRead = 64 * 1024;
    constexpr std::size_t kSecondEnd = kFirstRead + 256 * 1024;
    struct Case {
        const char* name;
        std::size_t edge;
        std::string across;
        HeaderKind kind;
    };
    const Case cases[] = {
        {"EXTBIN across the first read's end", kFirstRead - 3, "EXTBIN\r\n", HeaderKind::Album},
        {"CR LF across the second read's end", kSecondEnd - 1, "\r\nEXTBIN\r\n", HeaderKind::Album},
        {"AlbumWrap across the second read's end", kSecondEnd - 4, "AlbumWrap ID3\r\n", HeaderKind::AlbumWrap},
    };
    for (const Case& c : cases) {
        std::string bytes;
        while (bytes.size() + 40 < c.edge) bytes += std::string(30, 'n') + ".mp3\r\n";
        bytes += std::string(c.edge - bytes.size(), 'n') + c.across;
        const std::size_t header = bytes.size();
        bytes += std::string(header, 'x');
        support::MemoryStream source(bytes);
        const HeaderScan scan = ScanHeader(source);
        EXPECT_EQ(c.kind, scan.kind) << c.name;
        EXPECT_EQ(fuzz::ReadReferenceHeader(bytes).headerLength, scan.headerLength) << c.name;
        ExpectSameScan(InPieces(bytes, bytes.size()), scan, c.name);
    }
}

// A file that shrank after it was measured: its length says more bytes than its reads give.
class ShrunkStream final : public support::ByteStream {
public:
    ShrunkStream(std::string_view bytes, std::int64_t measured) : m_bytes(bytes), m_measured(measured) {}
    std::int64_t Length() const override { return m_measured; }
    support::IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override
    {
        return m_bytes.ReadAt(offset, into);
    }

private:
    support::MemoryStream m_bytes;
    std::int64_t m_measured;
};

TEST(first_pass, a_file_that_shrank_ends_where_its_bytes_end)
{
    // Lines past the first read, then the end: the reads past it give nothing, not zeros that
    // would lengthen the last line. The end falls inside a window and on a window's edge.
    for (const std::size_t size : {std::size_t{300'000}, std::size_t{64 << 10} + (256 << 10)}) {
        std::string bytes;
        while (bytes.size() < size) bytes += std::string(40, 'n') + ".mp3\r\n";
        bytes.resize(size);
        constexpr std::int64_t kMeasured = 8 << 20;
        FirstPass untilTheEnd(kMeasured);
        untilTheEnd.Feed(Bytes(bytes));
        const HeaderScan expected = untilTheEnd.Finish();
        ShrunkStream shrunk(bytes, kMeasured);
        const HeaderScan scan = ScanHeader(shrunk);
        EXPECT_EQ(0, scan.readError) << size;
        EXPECT_EQ(HeaderKind::NoHeader, scan.kind) << size;
        ExpectSameScan(expected, scan, "shrank to " + std::to_string(size));
    }
}

// Bytes made of the pieces the line rules react to, so that vector edges meet them everywhere.
std::string RandomHeaderBytes(std::mt19937& random)
{
    static const char* const pieces[] = {"EXTBIN", "EXTBI", "AlbumWrap",   "AlbumWra", "ID3", "ID",
                                         "\r",     "\n",    "\r\n",        "EX",       "Al",  "I",
                                         "E",      "A",     "#EXTINF:1,x", "a.mp3"};
    std::string bytes;
    const std::size_t size = random() % 3000;
    while (bytes.size() < size) {
        if (random() % 3 == 0)
            bytes += static_cast<char>(random() % 256);
        else if (random() % 4 == 0)
            bytes += std::string(random() % 200, 'z');
        else
            bytes += pieces[random() % std::size(pieces)];
    }
    return bytes;
}

TEST(first_pass, every_index_kind_finds_the_same_events)
{
    std::mt19937 random(15);
    for (int round = 0; round < 300; ++round) {
        const std::string bytes = RandomHeaderBytes(random);
        std::vector<LineEvent> scalar;
        IndexLines(Bytes(bytes), scalar, LineIndexKind::Scalar);
        for (const LineIndexKind kind : {LineIndexKind::Sse2, LineIndexKind::Avx2, LineIndexKind::Best}) {
            if (!LineIndexAvailable(kind)) continue;
            std::vector<LineEvent> events;
            IndexLines(Bytes(bytes), events, kind);
            ASSERT_EQ(scalar.size(), events.size()) << "round " << round;
            for (std::size_t i = 0; i < events.size(); ++i) {
                EXPECT_EQ(scalar[i].offset, events[i].offset) << "round " << round;
                EXPECT_EQ(scalar[i].mark, events[i].mark) << "round " << round;
            }
        }
    }
}

// The summary as the events of the same bytes tell it.
LineSummary SummaryFromEvents(std::string_view bytes)
{
    std::vector<LineEvent> events;
    IndexLines(Bytes(bytes), events, LineIndexKind::Scalar);
    LineSummary summary;
    for (const LineEvent& event : events) {
        if (event.mark == LineMark::LineEnd) {
            ++summary.lineEnds;
            summary.lastLineEnd = event.offset;
            if (event.offset + 1 < bytes.size() && bytes[event.offset + 1] == '\n') ++summary.pairedEnds;
        } else if (event.mark == LineMark::Id3) {
            summary.lastId3 = event.offset;
        } else {
            summary.verdictTag = true;
        }
    }
    return summary;
}

TEST(first_pass, every_summary_kind_counts_what_the_events_show)
{
    std::mt19937 random(16);
    for (int round = 0; round < 306; ++round) {
        // Runs of line ends that fill every lane's counter many times over, whole and cut short.
        const std::string runs[] = {std::string(20'000, '\r'), std::string(16'256, '\r') + "\r",
                                    std::string(9'000, '\r') + std::string(9'000, '\n')};
        std::string bytes = RandomHeaderBytes(random);
        if (round >= 300) bytes = round % 2 == 0 ? runs[(round - 300) / 2] : bytes + runs[(round - 301) / 2] + bytes;
        const LineSummary expected = SummaryFromEvents(bytes);
        for (const LineIndexKind kind : {LineIndexKind::Scalar, LineIndexKind::Avx2, LineIndexKind::Best}) {
            if (!LineIndexAvailable(kind)) continue;
            const LineSummary summary = SummarizeLines(Bytes(bytes), kind);
            EXPECT_EQ(expected.lineEnds, summary.lineEnds) << "round " << round;
            EXPECT_EQ(expected.pairedEnds, summary.pairedEnds) << "round " << round;
            EXPECT_EQ(expected.lastLineEnd, summary.lastLineEnd) << "round " << round;
            EXPECT_EQ(expected.lastId3, summary.lastId3) << "round " << round;
            EXPECT_EQ(expected.verdictTag, summary.verdictTag) << "round " << round;
        }
    }
}

TEST(first_pass, a_refused_header_counted_from_summaries_reads_as_followed_line_by_line)
{
    // Past the limit of lines, or within a line too long to store, the pass only counts: pieces
    // with their summaries must leave it where following every line would, up to the verdict,
    // the half-length stop included.
    const std::string tooManyLines = "a\r" + std::string(kMaxHeaderLines, '\r');
    const std::string tooLong = "a" + std::string(kMaxStoredLineBytes + 5, 'x');
    std::mt19937 random(17);
    for (int round = 0; round < 60; ++round) {
        const std::string& refused = round % 2 == 0 ? tooManyLines : tooLong;
        std::string bytes = refused;
        for (int part = 0; part < 4; ++part) bytes += RandomHeaderBytes(random);
        // The refused lines count twice their bytes; the half of the file falls within the
        // random lines or past them.
        const std::size_t randomPart = bytes.size() - refused.size();
        const auto length = static_cast<std::int64_t>(4 * refused.size() + random() % (4 * randomPart + 1));
        const std::size_t piece = 1 + random() % (round % 2 == 0 ? 700 : 7000);
        FirstPass followed(length);
        FirstPass counted(length);
        bool followedOn = true;
        bool countedOn = true;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const auto bytesAt = Bytes(std::string_view(bytes).substr(at, piece));
            if (followedOn) followedOn = followed.Feed(bytesAt);
            if (countedOn) countedOn = counted.Feed(bytesAt, SummarizeLines(bytesAt));
            ASSERT_EQ(followedOn, countedOn) << "round " << round << ", at " << at;
        }
        const std::string what = "round " + std::to_string(round) + ", pieces of " + std::to_string(piece);
        ExpectSameScan(followed.Finish(), counted.Finish(), what);
    }
}

// A file-name line longer than any file system takes a name is kept cut, at a character's start;
// every other line, and the header length, keep every byte.
TEST(first_pass, a_name_line_too_long_for_any_file_system_is_kept_cut)
{
    std::string accented;  // three bytes a character: the cut falls inside the 342nd
    while (accented.size() < 1100) accented += "\xE2\x82\xAC";
    const std::string info = "#EXTINF:1," + std::string(2000, 'd');
    const std::vector<std::string> lines = {info, std::string(2000, 'n'), std::string(kMaxKeptNameBytes, 'k'), accented,
                                            "#EXTBIN"};
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    const std::vector<std::string> kept = {info, std::string(kMaxKeptNameBytes, 'n'),
                                           std::string(kMaxKeptNameBytes, 'k'), accented.substr(0, 1023)};
    for (const std::size_t piece : {std::size_t{1}, std::size_t{700}, bytes.size()}) {
        std::string file = bytes + std::string(bytes.size(), 'x');
        const HeaderScan scan = InPieces(file, piece);
        EXPECT_EQ(scan.kind, HeaderKind::Album) << piece;
        EXPECT_EQ(scan.lines, kept) << piece;
        EXPECT_EQ(scan.headerLength, static_cast<std::int64_t>(bytes.size())) << piece;
    }
}

// A line too long to store is only counted, but its end still refuses the header, even when
// the next line gives the verdict.
TEST(first_pass, a_line_too_long_to_store_refuses_the_header_where_it_ends)
{
    // The line is known to be too long some pieces before it ends.
    const std::string line(kMaxStoredLineBytes + 9000, 'x');
    const std::string bytes = line + "\r" + std::string(9000, 'y') + "#EXTBIN\r\n";
    for (const std::size_t piece : {std::size_t{4096}, std::size_t{5000}, std::size_t{100'000}}) {
        FirstPass counted(4 * static_cast<std::int64_t>(bytes.size()));
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const auto bytesAt = Bytes(std::string_view(bytes).substr(at, piece));
            if (!counted.Feed(bytesAt, SummarizeLines(bytesAt))) break;
        }
        const HeaderScan scan = counted.Finish();
        EXPECT_EQ(HeaderKind::Album, scan.kind) << piece;
        EXPECT_EQ("A header line is longer than 1,048,576 bytes.", scan.refusal.value_or("")) << piece;
        // Each line counts 2 for its end: the lone CR one more than it is.
        EXPECT_EQ(static_cast<std::int64_t>(bytes.size()) + 1, scan.headerLength) << piece;
    }
}

TEST(first_pass, random_files_in_random_pieces_agree_with_the_plain_reading)
{
    std::mt19937 random(1116);
    for (int round = 0; round < 400; ++round) {
        const std::string bytes = RandomHeaderBytes(random);
        const fuzz::ReferenceHeader reference = fuzz::ReadReferenceHeader(bytes);
        const HeaderScan whole = InPieces(bytes, bytes.size() + 1);
        ASSERT_EQ(reference.kind, whole.kind) << "round " << round;
        if (reference.kind != HeaderKind::ZipArchive) {
            ASSERT_EQ(reference.headerLength, whole.headerLength) << "round " << round;
        }
        ExpectSameScan(whole, InPieces(bytes, 1 + random() % 40), "round " + std::to_string(round));
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace vyr::album
